// The page history: the last 20 pages with the pictures, window mode and
// voices that belonged to them, kept for the scene rewind and the saves.
#include <climits>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"

namespace velmora {

namespace {

// Copies a NUL-terminated text into a field, cut so that the NUL fits.
void CopyCut(char* field, size_t size, const char* text, size_t n) {
    std::memset(field, 0, size);
    std::memcpy(field, text, n < size ? n : size - 1);
}

}  // namespace

void RecordPage(TForm1& f) {
    BacklogState& b = f.backlog;
    PageHistoryBlocks& h = b.history;
    const int e = b.pageHistoryCount % kHistoryPageCount;
    static_assert(sizeof h.text[0] == sizeof f.text.PageText);
    std::memcpy(h.text[e], f.text.PageText, sizeof h.text[e]);
    const std::string pictures = f.gfx.backgroundName + "," + f.gfx.spriteList;
    CopyCut(h.pictures[e], sizeof h.pictures[e], pictures.data(), pictures.size());
    h.s023[e] = f.vars.S[23];
    h.mode[e] = f.vars.S[150];
    char* voices = f.stepper.MessageVoices;
    CopyCut(h.voices[e], sizeof h.voices[e], voices, strnlen(voices, sizeof f.stepper.MessageVoices));
    Trace("page %d recorded (voices: %s)", b.pageHistoryCount, TraceText(h.voices[e]).c_str());
    voices[0] = '\0';
    if (b.pageHistoryCount < INT32_MAX) ++b.pageHistoryCount;
}

void ExportPageHistory(const TForm1& f, PageHistoryBlocks& out) { out = f.backlog.history; }

void ImportPageHistory(TForm1& f, const PageHistoryBlocks& in) {
    PageHistoryBlocks& h = f.backlog.history;
    h = in;
    // Names from a file end inside their fields, whatever the file holds.
    for (int e = 0; e < kHistoryPageCount; ++e) {
        h.pictures[e][sizeof h.pictures[e] - 1] = '\0';
        h.voices[e][sizeof h.voices[e] - 1] = '\0';
    }
}

}  // namespace velmora
