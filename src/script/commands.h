#pragma once
// The command table and the dispatcher of command lines ("*" or "@").
#include <cstdint>

namespace velmora {

class TForm1;

constexpr int kCommandCount = 63;
// The keywords in table order; trailing spaces take part in the match.
extern const char* const CommandTable[kCommandCount];

enum CommandIndex {
    kCmdGra = 0, kCmdMusic, kCmdVoice, kCmdGo, kCmdClrb, kCmdSelect, kCmdClickmap, kCmdSwitch, kCmdChain,
    kCmdWaitVEnd, kCmdSpr, kCmdCalc, kCmdIf, kCmdPtset, kCmdCall, kCmdEnd, kCmdMode, kCmdLoad, kCmdGameinit,
    kCmdGrb, kCmdWinClose, kCmdSpecial, kCmdGameclr, kCmdPartsload, kCmdMovie, kCmdMark, kCmdBg, kCmdFix,
    kCmdSleep, kCmdSeltree, kCmdString, kCmdDirect, kCmdSave, kCmdBreak, kCmdWinOpen, kCmdTitle, kCmdBackto,
    kCmdMap, kCmdBgAnim, kCmdRoll, kCmdAnim, kCmdShake, kCmdCjmp, kCmdSetname, kCmdOvr, kCmdViewer, kCmdSe,
    kCmdSeloop, kCmdSeoff, kCmdExitgame, kCmdRec, kCmdTwSet, kCmdExit, kCmdObj, kCmdSroll, kCmdScroll,
    kCmdKaisou, kCmdChgprm, kCmdCgfull, kCmdEffect, kCmdVend, kCmdManpu, kCmdSprmv,
};

// The first keyword, in table order, that the text after the line's first
// byte begins with (ASCII case ignored); -1 when none does.
int FindCommand(const char* line);
// The keyword (one that takes an argument) a line names without giving the
// argument ("*gra" alone), or -1.
int FindCommandWithoutArgument(const char* line);

// Runs command `index` on the line buffer (which still begins with "*" or
// "@"). 0: next line in the same pass; 1: end the pass; 2: the line buffer
// was rewritten and is dispatched again.
int ExecuteCommand(TForm1& f, int index, char* line);

// The argument text of command `index` in line (never past its NUL).
const char* CommandArgs(int index, const char* line);

// Decimal integer at the start of text: leading spaces and a sign allowed,
// reading stops at the first non-digit, no digits give 0.
int32_t ReadInt(const char* text);

// The field list of manpu and sprmv.
constexpr int kFieldMax = 32;
constexpr int kFieldTextMax = 31;
constexpr int32_t kNoNumber = -99999;
struct Field {
    char text[kFieldTextMax + 1];
    int32_t value;
};
int SplitFields(const char* text, Field fields[kFieldMax]);

}  // namespace velmora
