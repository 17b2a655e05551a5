#pragma once
// What the gallery and the recollection share: where the script was when a
// replay began, so it can be put back when the replay ends, and their text
// tables read line by line.
#include <cstdint>
#include <string>
#include <vector>

#include "script/loader.h"

namespace velmora {

class TForm1;

struct ScriptPoint {
    bool taken = false;
    char name[kScriptNameMax + 1] = {};
    int32_t readPos = 0;
    int callDepth = 0;
    CallStackEntry stack[kCallDepthMax];
};

void TakeScriptPoint(const TForm1& f, ScriptPoint& p);
// Loads the script again and continues at the remembered place; false (the
// script left as it is) when the script cannot be loaded any more.
bool RestoreScriptPoint(TForm1& f, const ScriptPoint& p);

// The lines of a text table (without a trailing CR), line n at index n - 1;
// false when the table is missing.
// The lines of a text table. An optional one (a gallery or a recollection
// the game may not have) that is missing is no content error.
bool LoadTableLines(TForm1& f, const char* name, std::vector<std::string>& lines, bool optional = false);
// A decimal number with an optional sign and blanks around it; false for
// anything else.
bool ParseTableInt(const std::string& text, int& out);

// Credits are drawn as pictures; their lines reach the text outlets (the
// text feed, speech, screen readers) without the blanks that place them,
// each block of them a page of its own.
void CreditsNewPage(TForm1& f);
void CreditsLine(TForm1& f, const std::string& cp932);
// Scrolling credits come a line every few tenths of a second, quicker than
// a screen reader can say them one by one (it drops all but the last of a
// quick run): they are told a group at a time, a group ending at an empty
// line or after a few lines, each group a page.
struct CreditTeller {
    static constexpr size_t kGroupMax = 4;
    std::vector<std::string> held;
    int told = 0;  // lines of the sequence handed to Line so far
    void Line(TForm1& f, const std::string& cp932);
    void Flush(TForm1& f);
    // Tells the sequence's lines up to (not including) line `upTo`; the
    // last group goes at once, as no more lines are coming.
    void TellUpTo(TForm1& f, const std::vector<std::string>& lines, int upTo);
};
// How many of `count` lines, the first with its top at row `firstRow` and
// one every `pitch` rows, lie wholly above row `bottom`.
inline int CreditLinesAbove(int bottom, int firstRow, int pitch, int count) {
    const int n = bottom < firstRow ? 0 : (bottom - firstRow) / pitch;
    return n < count ? n : count;
}

}  // namespace velmora
