// The click map's cursor shapes, from "icon\MSCUR01.ani" ... "icon\MSCUR12.ani"
// in the game directory; a missing or unreadable file leaves the default.
#include <cstdio>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/file_io.h"
#include "ui/cursor_file.h"
#include "ui/input.h"

namespace velmora {

namespace {
// Far more than a cursor's frames ever take; the first frame is all we use.
constexpr size_t kCursorFileLimit = 4u << 20;
}  // namespace

void LoadCursors(TForm1& f) {
    for (int n = 1; n <= kCursorFiles; ++n) {
        char upper[32], lower[32];
        std::snprintf(upper, sizeof upper, "icon/MSCUR%02d.ani", n);
        std::snprintf(lower, sizeof lower, "icon/mscur%02d.ani", n);
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(upper, bytes, kCursorFileLimit) && !ReadWholeFile(lower, bytes, kCursorFileLimit)) continue;
        if (bytes.size() > kCursorFileLimit) {
            Trace("%s: larger than any cursor (%zu bytes or more); not used", upper, kCursorFileLimit);
            continue;
        }
        CursorImage image;
        if (!ParseCursorFile(bytes.data(), bytes.size(), image)) {
            Trace("%s: not a cursor this engine can read", upper);
            continue;
        }
        f.plat.DefineCursor(kCursorShapeBase + n, image.colour, image.alpha, image.hotX, image.hotY);
        f.ui.cursorLoaded[n] = true;
    }
}

}  // namespace velmora
