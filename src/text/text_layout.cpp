#include "text/text_layout.h"

#include <cctype>
#include <cstring>
#include <string>

#include "app/engine.h"
#include "data/encoding.h"
#include "text/message_window.h"

namespace velmora {

int Pen::Advance(uint16_t code, int width) const {
    if (!metrics) return (width == 2 ? 2 : 1) * pitch;
    if (code == 0) return pitch;
    if (width == 2 || code > 0xFF) return 2 * pitch;
    const int a = metrics->Advance(static_cast<uint8_t>(code));
    return a < 0 ? pitch : a;
}

int Pen::Kern(uint16_t prev, uint16_t code) const {
    if (!metrics || prev == 0 || prev > 0xFF || code == 0 || code > 0xFF) return 0;
    return metrics->Kerning(static_cast<uint8_t>(prev), static_cast<uint8_t>(code));
}

uint16_t LineCode(const uint8_t* line, int columns, int column, int& width) {
    const uint8_t b = line[column];
    if (IsLeadByte(b) && column + 1 < columns) {
        width = 2;
        return static_cast<uint16_t>(b << 8 | line[column + 1]);
    }
    width = 1;
    return b;
}

int Pen::LinePen(const uint8_t* line, int columns, int column, uint16_t& prev) const {
    prev = 0;
    if (!metrics) {
        if (column > 0 && column - 1 < columns) prev = line[column - 1];
        return column * pitch;
    }
    int x = 0;
    for (int c = 0; c < column && c < columns;) {
        int w;
        const uint16_t code = LineCode(line, columns, c, w);
        x += Kern(prev, code) + Advance(code, w);
        prev = code;
        c += w;
    }
    return x;
}

int Pen::Width(const char* text, size_t n) const {
    int x = 0;
    uint16_t prev = 0;
    for (size_t k = 0; k < n;) {
        const uint8_t b = static_cast<uint8_t>(text[k]);
        // A byte with its high bit set starts two, as strings are walked.
        const int w = (b & 0x80) && k + 1 < n ? 2 : 1;
        const uint16_t code = w == 2 ? static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(text[k + 1])) : b;
        x += Kern(prev, code) + Advance(code, w);
        prev = code;
        k += static_cast<size_t>(w);
    }
    return x;
}

int Pen::WordWidth(uint16_t prev, uint16_t code, const char* following) const {
    int x = Kern(prev, code) + Advance(code, 1);
    uint16_t p = code;
    for (const char* s = following; s && *s;) {
        const uint8_t b = static_cast<uint8_t>(*s);
        if (b <= ' ' || b >= 0x80) break;
        if (b == '[' || b == '<') {
            const char* close = std::strchr(s, b == '[' ? ']' : '>');
            if (!close) break;
            s = close + 1;
            continue;
        }
        if (b == '%') {
            ++s;
            while (*s >= '0' && *s <= '9') ++s;
            continue;
        }
        x += Kern(p, b) + Advance(b, 1);
        p = b;
        ++s;
    }
    return x;
}

bool BreaksBefore(const Pen& pen, const WrapQuery& q) {
    if (!q.lineHasText) return false;
    if (q.width == 2) {
        const int hang = IsLineStartForbidden(q.code) ? 3 * pen.pitch : pen.pitch;
        return q.penX + 2 * pen.pitch > q.limit + hang;
    }
    const int advance = pen.Kern(q.prev, q.code) + pen.Advance(q.code, 1);
    const bool wordStart = q.code != ' ' && (q.prev == 0 || q.prev == ' ' || q.prev > 0xFF);
    if (wordStart) {
        const int word = pen.WordWidth(q.prev, q.code, q.following);
        // A word that fits a line of its own starts one; a longer one
        // starts here and breaks where it must.
        if (q.penX + word > q.limit && word <= q.limit - q.indent) return true;
    }
    return q.penX + advance > q.limit;
}

bool ProportionalText(const TForm1& f) {
    std::string v = f.config.TEXT_LAYOUT;
    size_t a = v.find_first_not_of(" \t");
    if (a == std::string::npos) return f.settings.TextLayout != 0;
    v = v.substr(a, v.find_last_not_of(" \t") + 1 - a);
    for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v == "proportional";
}

Pen TextPen(TForm1& f, int pitch) {
    Pen pen;
    pen.pitch = pitch;
    if (ProportionalText(f)) pen.metrics = &GlyphPenMetrics(f);
    return pen;
}

}  // namespace velmora
