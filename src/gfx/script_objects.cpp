// obj_: 32 masked objects a script stamps onto the window, one command per
// stamp, and an off-screen buffer to build a frame of several objects and
// show it with one copy.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "gfx/frame_clock.h"
#include "gfx/graphics_commands.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "script/variables.h"

namespace velmora {

namespace {

enum ObjectSub { kLoad, kDel, kSet, kEra, kBMake, kBEnd, kBReset, kBSet, kBShow, kFix, kNone };

// In the order they are tried; "fix" is followed by one separator byte.
const char* const kObjectKeywords[] = {"load ", "del ", "set ", "era ", "b_make", "b_end",
                                       "b_reset", "b_set ", "b_show", "fix"};

struct ObjectFields {
    int32_t n = 0, x = 0, y = 0, wait = 0;
    bool hasWait = false;
};

// Where the field after the one at p starts: after the next comma, or at p
// itself when there is none (so it repeats the field's value).
const char* NextField(const char* p) {
    const char* c = std::strchr(p, ',');
    return c ? c + 1 : p;
}

ObjectFields ReadFields(TForm1& f, const char* p) {
    ObjectFields o;
    o.n = EvalExpression(f, p);
    p = NextField(p);
    o.x = EvalExpression(f, p);
    p = NextField(p);
    o.y = EvalExpression(f, p);
    if (const char* c = std::strchr(p, ',')) {
        o.hasWait = true;
        o.wait = EvalExpression(f, c + 1);
    }
    return o;
}

// The slot of a number, or nullptr (traced) for one outside 0 ... 31.
ScriptObject* Slot(TForm1& f, int32_t n, const char* sub) {
    if (n < 0 || n >= kObjectSlots) {
        ContentError("command", "obj_%s: object %d is outside 0 ... %d; refused", sub, n, kObjectSlots - 1);
        return nullptr;
    }
    return &f.gfx.objects.items[n];
}

// Composes the object over target's area at (x, y) in its save-under
// picture. Parts of the area outside target keep whatever the save-under
// picture held; they are never copied anywhere.
bool Stamp(ScriptObject& o, const Picture& target, int x, int y) {
    Picture& s = o.saveUnder;
    const int w = s.width, h = s.height;
    if (w == 0 || h == 0 || o.picture.width != w || o.picture.height < 2 * h) return false;
    CopyRect(s, 0, 0, target, x, y, w, h);
    // The last (3w) mod 8 bytes of a row keep the target's bytes.
    const int groups = 3 * w / 8;
    for (int j = 0; j < h; ++j) MaskRows(s.Row(j), o.picture.Row(j), o.picture.Row(h + j), groups, s.Row(j));
    return true;
}

void Wait(TForm1& f, const ObjectFields& o) {
    // A negative wait would be a wait of weeks on the unsigned clock.
    if (o.hasWait && o.wait > 0) WaitFrame(f, static_cast<uint32_t>(o.wait));
}

void Load(TForm1& f, const char* args) {
    const int32_t n = EvalExpression(f, args);
    ScriptObject* o = Slot(f, n, "load");
    if (!o) return;
    const std::string name = NextField(args);
    if (!o->allocated) {
        o->picture = Picture();
        o->saveUnder = Picture();
        o->allocated = true;
    }
    if (!LoadPicture(f, name, o->picture))
        ContentError("picture", "obj_load %d: no picture %s", n, TraceText(name).c_str());
    const int w = o->picture.width, h = o->picture.height / 2;
    if (o->saveUnder.width != w || o->saveUnder.height != h) o->saveUnder.Resize(w, h);
}

void Del(TForm1& f, const char* args) {
    ScriptObject* o = Slot(f, EvalExpression(f, args), "del");
    if (!o || !o->allocated) return;
    o->picture = Picture();
    o->saveUnder = Picture();
    o->allocated = false;
}

// set, fix and era: on the window, paced by the frame clock.
void OnWindow(TForm1& f, ObjectSub sub, const char* args) {
    static const char* const kNames[] = {"", "", "set", "era"};
    const ObjectFields o = ReadFields(f, args);
    StartFrameClock(f);
    ScriptObject* slot = Slot(f, o.n, sub == kFix ? "fix" : kNames[sub]);
    if (slot && slot->allocated) {
        GfxState& g = f.gfx;
        platform::Surface& win = f.plat.surface();
        if (sub == kEra) {
            // Takes a stamp off the window: what the screen picture holds there.
            const int w = slot->saveUnder.width, h = slot->saveUnder.height;
            CopyRect(slot->saveUnder, 0, 0, g.screen, o.x, o.y, w, h);
            win.Blit(g.screen, o.x, o.y, w, h, o.x, o.y);
            win.Update();
        } else if (Stamp(*slot, g.screen, o.x, o.y)) {
            win.BlitWhole(slot->saveUnder, o.x, o.y);
            win.Update();
            if (sub == kFix) CopyPicture(g.screen, slot->saveUnder, o.x, o.y);
        }
    }
    Wait(f, o);
}

void BufferSet(TForm1& f, const char* args) {
    ObjectTable& t = f.gfx.objects;
    const ObjectFields o = ReadFields(f, args);
    ScriptObject* slot = Slot(f, o.n, "b_set");
    if (!t.bufferActive || !slot || !slot->allocated) return;
    if (Stamp(*slot, t.buffer, o.x, o.y)) CopyPicture(t.buffer, slot->saveUnder, o.x, o.y);
}

}  // namespace

void ResetObjects(TForm1& f) {
    ObjectTable& t = f.gfx.objects;
    for (ScriptObject& o : t.items) o.allocated = false;
    t.bufferActive = false;
}

void InitScriptObjects(TForm1& f) { ResetObjects(f); }

void ObjectCommand(TForm1& f, const char* text) {
    int sub = 0;
    while (sub < kNone && !StartsWithNoCase(text, kObjectKeywords[sub])) ++sub;
    const char* args = text + (sub < kNone ? std::strlen(kObjectKeywords[sub]) : 0);
    ObjectTable& t = f.gfx.objects;
    switch (sub) {
        case kLoad: Load(f, args); break;
        case kDel: Del(f, args); break;
        case kSet:
        case kEra: OnWindow(f, static_cast<ObjectSub>(sub), args); break;
        case kFix:
            // One separator byte, but never past the end of the line.
            OnWindow(f, kFix, *args ? args + 1 : args);
            break;
        case kBMake:
            if (t.bufferActive) break;
            t.buffer.Resize(kScreenWidth, kScreenHeight);
            t.bufferActive = true;
            StartFrameClock(f);
            break;
        case kBEnd:
            if (!t.bufferActive) break;
            t.buffer = Picture();
            t.bufferActive = false;
            break;
        case kBReset:
            if (!t.bufferActive) break;
            StartFrameClock(f);
            CopyPicture(t.buffer, f.gfx.screen);
            break;
        case kBSet: BufferSet(f, args); break;
        case kBShow:
            if (!t.bufferActive) break;
            f.plat.surface().BlitWhole(t.buffer);
            f.plat.surface().Update();
            break;
        default:
            ContentError("command", "obj_%s: no such sub-command", TraceText(text).c_str());
            break;
    }
}

}  // namespace velmora
