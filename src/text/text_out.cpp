// Text out: shown text to the clipboard, the text feed and speech.
#include "text/text_out.h"

#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"

namespace velmora {

using platform::TextKind;

namespace {

// 「 and 」 in CP932.
const char kOpenName[] = "\x81\x75";
const char kCloseName[] = "\x81\x76";

void Copy(char* to, size_t size, const char* from) {
    size_t n = 0;
    while (from[n] && n + 1 < size) {
        // Never half a two-byte character at the cut.
        const size_t w = IsLeadByte(static_cast<unsigned char>(from[n])) && from[n + 1] ? 2 : 1;
        if (n + w + 1 > size) break;
        n += w;
    }
    std::memcpy(to, from, n);
    to[n] = '\0';
}

void StoreSwitch(TForm1& f, const char* value, int32_t v) {
    f.plat.settings().WriteInteger(f.config.MAKER_REG, f.config.GAME_ID, value, v);
    Trace("settings: %s = %d", value, v);
}

}  // namespace

void ShowText(platform::Platform& plat, TextKind kind, const std::string& cp932, bool speak) {
    platform::TextOutlets* out = plat.textOutlets();
    if (!out || cp932.empty()) return;
    out->Put(kind, ToUtf8(cp932), speak);
}

void TextOutLineStart(TForm1& f) { f.textOut.lineLength = 0; }

void TextOutChar(TForm1& f, const char* bytes, int n) {
    TextOutState& t = f.textOut;
    if (t.lineLength + n >= kTextOutLineSize) return;
    std::memcpy(t.line + t.lineLength, bytes, static_cast<size_t>(n));
    t.lineLength += n;
}

void TextOutSpeaker(TForm1& f, const char* name) { Copy(f.textOut.speaker, sizeof f.textOut.speaker, name); }

void TextOutLineDone(TForm1& f) {
    TextOutState& t = f.textOut;
    t.line[t.lineLength] = '\0';
    const int32_t length = t.lineLength;
    t.lineLength = 0;
    // The full-screen style prints the speaker as a line of its own.
    if (f.stepper.PrintingNameLine) {
        TextOutSpeaker(f, t.line);
        return;
    }
    if (length == 0) return;
    std::string text;
    if (t.speaker[0]) text = std::string(kOpenName) + t.speaker + kCloseName;
    text.append(t.line, static_cast<size_t>(length));
    if (!t.page.empty()) t.page += '\n';
    t.page += text;
    // A line with its own recorded voice is heard in that voice, unless the
    // player wants both; skipped pages go by unspoken.
    const bool speak = !f.ui.SkipActive && (!t.voiced || f.settings.SpeakVoiced);
    ShowText(f.plat, t.speaker[0] ? TextKind::Speaker : TextKind::Narration, text, speak);
}

void TextOutNewPage(TForm1& f) {
    TextOutState& t = f.textOut;
    t.page.clear();
    if (platform::TextOutlets* out = f.plat.textOutlets()) out->NewPage();
    // The window opening for a line's first character starts a page too:
    // that line, its speaker and its voice go on.
    if (t.lineLength > 0) return;
    t.speaker[0] = '\0';
    t.voiced = false;
    if (platform::TextOutlets* out = f.plat.textOutlets()) out->Hush();
}

void TextOutCtrlDown(TForm1& f) { f.textOut.pageAtCtrl = f.textOut.page; }

void CopyPage(TForm1& f) {
    TextOutState& t = f.textOut;
    // Ctrl starts skipping as it goes down; the page the player looked at
    // then is the one wanted. A line still typing out counts as far as it shows.
    std::string page = f.ui.SkipActive && !t.pageAtCtrl.empty() ? t.pageAtCtrl : t.page;
    if (!f.ui.SkipActive && t.lineLength > 0 && !f.stepper.PrintingNameLine) {
        if (!page.empty()) page += '\n';
        if (t.speaker[0]) page += std::string(kOpenName) + t.speaker + kCloseName;
        page.append(t.line, static_cast<size_t>(t.lineLength));
    }
    platform::TextOutlets* out = f.plat.textOutlets();
    if (!out || page.empty()) {
        Trace("copy: nothing to copy");
        return;
    }
    out->Copy(ToUtf8(page));
    Trace("copy: the page (%zu bytes) onto the clipboard", page.size());
}

bool SelfVoicingAvailable(TForm1& f, std::string* why) {
    platform::TextOutlets* out = f.plat.textOutlets();
    if (!out) {
        if (why) *why = "no speech on this platform";
        return false;
    }
    return out->SpeechAvailable(why);
}

void ApplyTextOut(TForm1& f) {
    const Settings& s = f.settings;
    platform::TextOutSwitches sw;
    sw.copy = s.TextCopy != 0;
    sw.feed = s.TextFeed != 0;
    sw.speech = s.SelfVoice != 0;
    sw.speechRate = s.SpeechRate < -100 ? -100 : s.SpeechRate > 100 ? 100 : s.SpeechRate;
    // The volume is an attenuation like the others: 0 full, -3000 and below silent.
    const int32_t vol = s.SpeechVol < -3000 ? -3000 : s.SpeechVol > 0 ? 0 : s.SpeechVol;
    sw.speechVolume = 100 + vol / 15;
    platform::TextOutlets* out = f.plat.textOutlets();
    const bool readerRunning = out && out->ScreenReaderActive();
    // Unless the player chose, the bridge follows the desktop: on while a
    // screen reader runs.
    if (f.settings.ScreenReaderFollows) f.settings.ScreenReader = readerRunning;
    sw.screenReader = f.settings.ScreenReader != 0;
    // Two voices reading the same line over each other help nobody: the
    // screen reader reads, self-voicing waits until it has gone.
    if (sw.speech && sw.screenReader && readerRunning) {
        sw.speech = false;
        if (!f.textOut.selfVoicingYieldTraced) {
            f.textOut.selfVoicingYieldTraced = true;
            Trace("self-voicing: off while a screen reader reads");
        }
    }
    std::string why;
    if (sw.speech && !SelfVoicingAvailable(f, &why)) {
        sw.speech = false;
        if (!f.textOut.speechUnavailableTraced) {
            f.textOut.speechUnavailableTraced = true;
            Trace("self-voicing is unavailable: %s", why.c_str());
        }
    }
    if (out) out->Apply(sw);
}

void ToggleTextCopy(TForm1& f) {
    f.settings.TextCopy = !f.settings.TextCopy;
    StoreSwitch(f, "TextCopy", f.settings.TextCopy);
    ApplyTextOut(f);
}

void ToggleSelfVoicing(TForm1& f) {
    std::string why;
    if (!f.settings.SelfVoice && !SelfVoicingAvailable(f, &why)) {
        if (!f.textOut.speechUnavailableTraced) {
            f.textOut.speechUnavailableTraced = true;
            Trace("self-voicing is unavailable: %s", why.c_str());
        }
        return;
    }
    f.settings.SelfVoice = !f.settings.SelfVoice;
    StoreSwitch(f, "SelfVoice", f.settings.SelfVoice);
    ApplyTextOut(f);
}

}  // namespace velmora
