// The "view" table: the gallery list built at start-up, the pages the
// viewer shows, and the picture-seen bits. A page that an author got wrong
// shows what it can; every fault goes to the trace with its line.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "extras/gallery.h"
#include "script/variables.h"
#include "script/loader.h"

namespace velmora {

namespace {

bool Skipped(const std::string& line) { return line.empty() || line == "{"; }

int FindSection(const std::vector<std::string>& lines, const std::string& name) {
    const std::string want = ":" + UpperName(name);
    for (size_t i = 0; i < lines.size(); ++i)
        if (UpperName(lines[i]) == want) return static_cast<int>(i);
    return -1;
}

// KEY ":" VALUE; the key upper-cased, the value as written.
bool SplitKey(const std::string& line, std::string& key, std::string& value) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    key = UpperName(line.substr(0, colon));
    value = line.substr(colon + 1);
    return true;
}

// A key of one or more digits: its number, else -1.
int NumericKey(const std::string& key, size_t from = 0) {
    if (key.size() <= from || key.size() - from > 3) return -1;
    int n = 0;
    for (size_t i = from; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9') return -1;
        n = n * 10 + (key[i] - '0');
    }
    return n;
}

bool Ints(const std::string& value, int* out, int count) {
    for (int i = 0; i < count; ++i)
        if (!ParseTableInt(TableField(value, i), out[i])) return false;
    return true;
}

// x1,y1,x2,y2[,first,last[,target]] into a button; false (the button left
// as it was) when malformed.
bool ReadButton(const std::string& value, ViewerButton& b, bool withTarget, int defaultTarget) {
    int r[6];
    if (!Ints(value, r, 4)) return false;
    ViewerButton nb;
    nb.rect = {r[0], r[1], r[2], r[3]};
    nb.target = defaultTarget;
    if (!TableField(value, 4).empty()) {
        if (!Ints(value, r, 6)) return false;
        nb.first = r[4], nb.last = r[5];
        if (withTarget && !TableField(value, 6).empty() && !ParseTableInt(TableField(value, 6), nb.target))
            return false;
    }
    b = nb;
    return true;
}

void Fault(const char* page, int line, const char* what, const std::string& text) {
    Trace("view %s line %d: %s \"%s\"", page, line, what, TraceText(text).c_str());
}

// Each variant of a picture slot, in order, up to 50 and up to the first empty field.
int Variants(const std::string& value, std::string* out) {
    std::string fields[kViewerVariantsMax];
    int n = SplitTableFields(value, fields, kViewerVariantsMax);
    int k = 0;
    while (k < n && !fields[k].empty()) {
        out[k] = UpperName(fields[k]);
        ++k;
    }
    return k;
}

// The "M" lines of ":VIEW_0" or of a page.
bool PageButtonLine(const std::string& key, const std::string& value, ViewerPage& v, const char* page, int line) {
    if (key.size() != 2 || key[0] != 'M' || key[1] < '0' || key[1] > '9') return false;
    ViewerButton b;
    if (ReadButton(value, b, false, 0)) v.pageButtons[key[1] - '0'] = b;
    else Fault(page, line, "bad page button", value);
    return true;
}

}  // namespace

bool PictureSeenBit(const TForm1& f, int k) {
    return k >= 0 && k < kPictureSeenBits && TestBit(f.extras.pictureSeen, kPictureSeenBits, k);
}

std::string CompletionDigits(int seen, int total) {
    if (seen >= total) return "100";
    int p = seen * 100 / total;
    return std::to_string(p);
}

bool ReadViewerPage(TForm1& f, const std::string& pageName, ViewerPage& v) {
    v = ViewerPage();
    v.name = UpperName(pageName);
    const char* page = v.name.c_str();
    std::vector<std::string> lines;
    if (!LoadTableLines(f, "view", lines)) {
        Trace("view %s: the table \"view\" is missing", page);
        return false;
    }
    std::string key, value;
    int at = FindSection(lines, "VIEW_0");
    if (at < 0) {
        Trace("view %s: the table has no :VIEW_0 section", page);
        return false;
    }
    for (size_t i = static_cast<size_t>(at) + 1; i < lines.size() && lines[i] != "}"; ++i) {
        if (Skipped(lines[i])) continue;
        const int ln = static_cast<int>(i) + 1;
        if (!SplitKey(lines[i], key, value) || !PageButtonLine(key, value, v, "VIEW_0", ln))
            Fault("VIEW_0", ln, "not a page button", lines[i]);
    }
    at = FindSection(lines, v.name);
    if (at < 0) {
        Trace("view %s: the table has no section for this page", page);
        return false;
    }
    for (int n = 1; n <= kViewerSlots; ++n) v.slotX[n] = v.slotY[n] = -999;
    size_t i = static_cast<size_t>(at) + 1;
    for (; i < lines.size() && lines[i] != "}"; ++i) {
        if (Skipped(lines[i])) continue;
        const int ln = static_cast<int>(i) + 1;
        if (!SplitKey(lines[i], key, value)) {
            Fault(page, ln, "no key", lines[i]);
            continue;
        }
        int r[4];
        int n = NumericKey(key);
        if (n >= 0) {
            if (n < 1 || n > kViewerSlots || !Ints(value, r, 2)) Fault(page, ln, "bad slot", lines[i]);
            else v.slotX[n] = r[0], v.slotY[n] = r[1];
        } else if (key == "TYPE") {
            if (!Ints(value, r, 1) || r[0] < 0 || r[0] > 3) Fault(page, ln, "bad page type", value);
            else v.type = r[0];
        } else if (key == "GRA") {
            if (v.sets.empty()) v.sets.resize(1);
            v.sets[0].normal = UpperName(TableField(value, 0));
            v.sets[0].highlight = UpperName(TableField(value, 1));
        } else if (key == "PLATE") {
            v.plate = UpperName(value);
        } else if (key == "PLATE2") {
            v.plate2 = UpperName(value);
        } else if (key == "SET") {
            if (!Ints(value, r, 1) || r[0] < 0) {
                Fault(page, ln, "bad set count", value);
            } else if (r[0] > kViewerSetsMax) {
                Fault(page, ln, "too many sets, 100 kept", value);
                v.setCount = kViewerSetsMax;
            } else {
                v.setCount = r[0];
            }
        } else if (key == "THM_SIZE") {
            if (!Ints(value, r, 2) || r[0] < 0 || r[1] < 0) Fault(page, ln, "bad thumbnail size", value);
            else v.thumbW = r[0], v.thumbH = r[1];
        } else if (key == "NEXT" || key == "PREV" || key == "EXIT") {
            ViewerRect& rect = key == "NEXT" ? v.next : key == "PREV" ? v.prev : v.exit;
            if (!Ints(value, r, 4)) Fault(page, ln, "bad button", lines[i]);
            else rect = {r[0], r[1], r[2], r[3]};
        } else if (key.size() >= 2 && key[0] == 'P' && NumericKey(key, 1) >= 0 && key.size() <= 3) {
            int nn = NumericKey(key, 1);
            if (nn >= kViewerSetButtons || !ReadButton(value, v.setButtons[nn], true, nn))
                Fault(page, ln, "bad set button", lines[i]);
        } else if (!PageButtonLine(key, value, v, page, ln)) {
            Fault(page, ln, "unknown key", lines[i]);
        }
    }
    if (i >= lines.size()) Trace("view %s: the page section has no closing }", page);

    // The set blocks, one per set after the section's "}".
    std::string firstNormal, firstHighlight;
    if (!v.sets.empty()) firstNormal = v.sets[0].normal, firstHighlight = v.sets[0].highlight;
    v.sets.assign(static_cast<size_t>(v.setCount), ViewerSet());
    int running = v.name == "2_VIEW_1" ? f.extras.gallery.firstPageEntries : 0;
    ++i;
    for (int s = 0; s < v.setCount; ++s) {
        ViewerSet& set = v.sets[static_cast<size_t>(s)];
        set.normal = firstNormal, set.highlight = firstHighlight;
        int read = 0;
        bool closed = false;
        for (; i < lines.size() && read < kViewerSetLinesMax; ++i, ++read) {
            const std::string& line = lines[i];
            const int ln = static_cast<int>(i) + 1;
            if (line == "}") {
                closed = true;
                ++i;
                break;
            }
            if (Skipped(line)) continue;
            if (line[0] == ':') {
                Trace("view %s line %d: set %d runs into the next section", page, ln, s);
                break;
            }
            if (!SplitKey(line, key, value)) {
                Fault(page, ln, "no key", line);
                continue;
            }
            if (key == "GRA") {
                set.normal = UpperName(TableField(value, 0));
                set.highlight = UpperName(TableField(value, 1));
                continue;
            }
            int n = NumericKey(key);
            if (n < 1 || n > kViewerSlots) {
                Fault(page, ln, n < 0 ? "unknown key" : "slot out of range", line);
                continue;
            }
            ViewerSlot& slot = set.cells[n];
            slot = ViewerSlot();
            slot.value = value;
            if (v.type == 0) {
                std::string names[kViewerVariantsMax];
                v.variantLines.push_back(value);
                slot.variants = Variants(value, names);
                for (int k = 0; k < slot.variants; ++k, ++running)
                    if (PictureSeenBit(f, running)) ++slot.seen;
                slot.state = slot.seen == 0 ? 1 : slot.seen < slot.variants ? 2 : 3;
                if (slot.variants == 0) {
                    Fault(page, ln, "slot without pictures", line);
                    slot.state = 0;
                }
                v.totalVariants += slot.variants;
                v.totalSeen += slot.seen;
            } else if (v.type == 1) {
                int flag = 0;
                if (!ParseTableInt(TableField(value, 0), flag) || flag < 0 || flag >= kEBits)
                    Fault(page, ln, "bad flag number", line);
                slot.value = TableField(value, 1);
                slot.caption = TableField(value, 2);
                ++v.totalVariants;
                if (flag >= 0 && flag < kEBits && TestBit(f.vars.E, kEBits, flag)) {
                    slot.state = 3;
                    ++v.totalSeen;
                } else {
                    slot.state = 1;
                }
            } else if (v.type == 2) {
                slot.state = 2;
            }
        }
        if (!closed && i >= lines.size()) {
            Trace("view %s: only %d of %d set blocks are in the table", page, s + (read > 0 ? 1 : 0), v.setCount);
            break;
        }
        if (!closed) Trace("view %s: set %d has no closing } within %d lines", page, s, kViewerSetLinesMax);
    }
    if (v.setCount == 0) {
        // A page without set blocks still shows its page pictures.
        v.sets.assign(1, ViewerSet());
        v.sets[0].normal = firstNormal, v.sets[0].highlight = firstHighlight;
    }
    return true;
}

void BuildGalleryList(TForm1& f, const std::string& page) {
    GalleryState& g = f.extras.gallery;
    if (!ScriptExists(f, "view")) {
        Trace("gallery list: the game has no table \"view\"");
        return;
    }
    ViewerPage v;
    const size_t before = g.GalleryList.size();
    if (ReadViewerPage(f, page, v)) {
        // In the order the viewer numbers them, so that entry k is the
        // picture whose running number is k.
        for (const std::string& line : v.variantLines) {
            std::string names[kViewerVariantsMax];
            const int k = Variants(line, names);
            for (int j = 0; j < k; ++j) g.GalleryList.push_back(names[j]);
        }
    }
    const int added = static_cast<int>(g.GalleryList.size() - before);
    Trace("gallery list: %d pictures from %s", added, TraceText(page).c_str());
    if (UpperName(page) == "VIEW_1") {
        g.firstPageEntries = added;
        // The second picture page numbers its pictures on from the first
        // one's; listing it here lets its pictures be marked seen too.
        std::vector<std::string> lines;
        if (LoadTableLines(f, "view", lines) && FindSection(lines, "2_VIEW_1") >= 0)
            BuildGalleryList(f, "2_VIEW_1");
    }
    if (static_cast<int>(g.GalleryList.size()) > kPictureSeenBits)
        Trace("gallery list: %zu pictures, those from %d on are never marked seen", g.GalleryList.size(),
              kPictureSeenBits);
}

void MarkPictureSeen(TForm1& f, const std::string& name) {
    const std::vector<std::string>& list = f.extras.gallery.GalleryList;
    const std::string up = UpperName(name);
    const int n = static_cast<int>(list.size()) < kPictureSeenBits ? static_cast<int>(list.size()) : kPictureSeenBits;
    for (int k = 0; k < n; ++k)
        if (list[static_cast<size_t>(k)] == up) {
            if (!PictureSeenBit(f, k)) Trace("picture %s: seen, gallery entry %d", TraceText(up).c_str(), k);
            SetBit(f.extras.pictureSeen, kPictureSeenBits, k, true);
        }
}

void MarkAllPicturesSeen(TForm1& f) {
    const int n = static_cast<int>(f.extras.gallery.GalleryList.size());
    for (int k = 0; k < n && k < kPictureSeenBits; ++k) SetBit(f.extras.pictureSeen, kPictureSeenBits, k, true);
    Trace("cgfull: %d gallery pictures marked seen", n < kPictureSeenBits ? n : kPictureSeenBits);
}

}  // namespace velmora
