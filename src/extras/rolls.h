#pragma once
// The pieces of the choice tree and the credit sequences that need no
// engine: the tree table reader, the column-2 placement, the staff roll's
// text placement and the ending roll's frame.
#include <cstdint>
#include <string>
#include <vector>

#include "extras/extras.h"
#include "gfx/picture.h"

namespace velmora {

// Reads the "seltree" table (NUL-terminated lines) into trees; false, with
// the reason in error, when the table holds no usable tree.
bool ParseChoiceTrees(const char* table, int32_t length, ChoiceTree trees[kTreeCount], std::string& error);

// Where column 2 starts (pixels below the first row) for c rows beside a
// group in column-1 row r: level with the group, or lifted so that it ends
// at row 12.
inline int ColumnTwoOffset(int c, int r) { return c + r <= 12 ? 44 * r : 528 - 44 * c; }

// The staff roll's text rectangle and block placement.
constexpr int kRollLineHeight = 32;
// Top of the first of `lines` lines in a rectangle `height` high.
inline int RollBlockTop(int height, int lines, bool centred) {
    return centred ? (height - kRollLineHeight * lines) / 2 : 0;
}
// Left of a line `textWidth` wide in a rectangle `width` wide: alignment 0
// left, 1 centred, 2 right.
inline int RollLineLeft(int width, int textWidth, int alignment) {
    return alignment == 1 ? (width - textWidth) / 2 : alignment == 2 ? width - textWidth : 0;
}
// The alignment letters of "CENTER": horizontal alignment and vertical centring.
void ParseRollAlignment(const char* letters, int& horizontal, bool& vertical);

// A roll script ("roll NAME") read into steps, one per line, before any of
// it plays, so that every name, number and rectangle is checked once here
// and the roll itself only plays what it is given.
constexpr int kRollWordMax = 9;   // bytes of a command word
constexpr int kRollNameMax = 63;  // bytes of a GRA picture name
constexpr int kRollBlockMax = 64;  // lines of one text block
// The longest WAIT, in tenths of a second, whose deadline still fits the
// millisecond clock's signed difference (about 24 days).
constexpr int32_t kRollWaitMax = 0x7FFFFFFF / 100;

enum class RollOp : uint8_t {
    kText,          // text: a line of the current block
    kTextNewBlock,  // text: the first line after a command, which starts a new block
    kTextDropped,   // text: a line past kRollBlockMax in its block (traced, not shown)
    kMusic,         // value: the track
    kPicture,       // text: the picture name; value: the fade mode
    kRectangle,     // rect: left, top, right, bottom, on the screen and not empty
    kBadRectangle,  // text: WIN's arguments (traced; the rectangle stays)
    kPut,           // value: 0 at once, 1 faded in, anything else only shows the screen
    kErase,         // value: as PUT
    kResetClock,    // RESET and HOOK
    kWait,          // value: tenths of a second, 0 ... kRollWaitMax
    kAlign,         // alignment, centred
    kUnknown,       // text: the whole line (traced)
};

struct RollStep {
    RollOp op = RollOp::kText;
    int32_t value = 0;
    std::string text;
    int rect[4] = {};
    int alignment = 1;
    bool centred = true;
};

std::vector<RollStep> ParseRollScript(const char* script, int32_t length);
// Plays steps as the command roll does once it has read its script (play
// mode 3, pausable and stoppable after every step).
void PlayStaffRoll(TForm1& f, const std::vector<RollStep>& steps);

// The table "sroll": its lines up to a line "}" (all of them without one),
// at most kScrollLinesMax.
constexpr int kScrollLinesMax = 2000;
void ReadSceneScrollLines(const char* table, int32_t length, std::vector<std::string>& lines);

// The table "endroll": the step time, the picture lines and the credit
// lines between two "*" lines. False when there is nothing to roll.
constexpr int kCreditLinesMax = 1000;
constexpr int kCreditLineMax = 99;  // bytes of a credit line
struct EndRollTable {
    int32_t step = 0;
    int32_t phaseMark = -1;  // credit line where the background comes back; -1 never
    std::vector<std::string> credits;
};
bool ReadEndRollTable(const char* table, int32_t length, EndRollTable& out);

// The ending roll: the credits picture is 320 pixels wide; the column on
// the screen shows its pixel columns 64 ... 319, 600 rows from row y, with
// the top and bottom 128 rows faded toward black.
constexpr int kCreditWidth = 320;
constexpr int kCreditColumnFrom = 64;
constexpr int kEndingColumnWidth = 256;
constexpr int kEndingColumnX = 544;
constexpr int kCreditFirstRow = 600;
constexpr int kCreditPitch = 32;
void EndingRollFrame(const Picture& credits, int y, Picture& column);
// The deadline of the step after the one due at `previous`: one step later,
// so a late step is made up by the next ones; after a stall of more than
// kRollStallSteps steps (a dialog) the schedule starts again from now.
constexpr int kRollStallSteps = 10;
uint32_t NextRollDeadline(uint32_t previous, uint32_t now, uint32_t step);

}  // namespace velmora
