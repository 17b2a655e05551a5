#pragma once
// Where characters go along a line. Both layouts move one pen: the fixed
// grid moves it one pitch per byte column; the proportional layout moves it
// by a one-byte character's glyph advance (and the face's kerning), while a
// two-byte character keeps its full-width cell of two pitches and an empty
// column (an indentation, wide spacing) one pitch. Page text keeps its byte
// columns in both, so a page drawn again from its bytes lands where it was
// typed.
#include <cstddef>
#include <cstdint>

namespace velmora {

class TForm1;

// The glyph measures the proportional pen needs, for one-byte codes.
class PenMetrics {
public:
    virtual ~PenMetrics() = default;
    // Pixels the pen moves past the character; -1 when the face lacks it.
    virtual int Advance(uint8_t code) = 0;
    virtual int Kerning(uint8_t left, uint8_t right) = 0;
};

struct Pen {
    PenMetrics* metrics = nullptr;  // nullptr: the fixed grid
    int pitch = 0;                  // pixels per byte column

    // What the pen moves past one character (width 1 or 2 bytes; code 0 an
    // empty column).
    int Advance(uint16_t code, int width) const;
    // The kerning that moves a character toward the one before it (`prev`,
    // 0 at a line's start or after an empty column).
    int Kern(uint16_t prev, uint16_t code) const;
    // The pen after the characters before byte column `column` of a page
    // line, and the last of them in prev.
    int LinePen(const uint8_t* line, int columns, int column, uint16_t& prev) const;
    // The width of Shift-JIS text.
    int Width(const char* text, size_t n) const;
    // The width of the word that starts with the one-byte `code`: it runs
    // through `following` up to a space, a two-byte character or the end;
    // inline tags, ruby and pauses inside it take no room.
    int WordWidth(uint16_t prev, uint16_t code, const char* following) const;
};

// The character and its place on a line, for the proportional wrap.
struct WrapQuery {
    int penX = 0;            // the pen after the characters before it
    uint16_t prev = 0;       // the character before it on the line
    uint16_t code = 0;
    int width = 1;           // bytes
    bool lineHasText = false;
    const char* following = nullptr;  // the text after it, when known
    int limit = 0;           // the line's width in pixels
    int indent = 0;          // where a continuation line starts
};

// Whether the proportional layout moves the character to the next line:
// at the last space that fits, inside a word only when the word is longer
// than a line; two-byte characters break as the grid breaks them, the
// line-start-forbidden ones hanging two columns past the edge.
bool BreaksBefore(const Pen& pen, const WrapQuery& q);

// The glyph code of the character at line[column] (two bytes when it starts
// with a lead byte), and its width in bytes.
uint16_t LineCode(const uint8_t* line, int columns, int column, int& width);

// The game's TEXT_LAYOUT, or the player's choice when the game does not say.
bool ProportionalText(const TForm1& f);
// The pen of the glyph font at the given pitch, in the game's layout.
Pen TextPen(TForm1& f, int pitch);

}  // namespace velmora
