#pragma once
// The script variable banks, the names scripts give them, and the integer
// expression language of assignments, conditions, [?...] and cjmp.
#include <cstdint>

#include "app/random.h"

namespace velmora {

class TForm1;

constexpr int kStringVarSize = 64;
constexpr int kVBankSize = 1000;
constexpr int kSBankSize = 200;
constexpr int kGBankSize = 10;
constexpr int kFBits = 1024;
constexpr int kEBits = 1024;
constexpr int kTBits = 10000;

struct VarBanks {
    int32_t V[kVBankSize] = {};
    int32_t S[kSBankSize] = {};
    int32_t G[kGBankSize] = {};
    uint8_t F[kFBits / 8] = {};
    uint8_t E[kEBits / 8] = {};
    uint8_t T[kTBits / 8] = {};
    char str[10][kStringVarSize] = {};  // $0 ... $9, NUL-terminated CP932
};

// Bit k of a bank of `bits` bits is bit k mod 8 of byte k div 8. Numbers
// outside the bank read 0 and write nothing.
bool TestBit(const uint8_t* bank, int bits, int k);
void SetBit(uint8_t* bank, int bits, int k, bool on);

// Access by bank letter ('V', 'S', 'G', 'P', 'F', 'E', 'T'). Out-of-range
// numbers and unknown letters read 0; a write to them is dropped and
// reported by a false result. Bit banks take 0 and 1 only.
int32_t GetVar(const VarBanks& v, char letter, int n);
bool SetVar(VarBanks& v, char letter, int n, int32_t value);

// How an expression ended.
enum class ExprError {
    None,
    Invalid,     // a byte outside the language: the value is 0 ("無効数式")
    Conversion,  // a variable number or "R" bound that is not a number: the line stops
};

struct ExprResult {
    int32_t value = 0;
    int32_t stop = 0;  // offset of the terminator (or of the offending byte)
    ExprError error = ExprError::None;
};

// Evaluates the expression at the start of text, left to right without
// precedence, up to the first terminator. Pure: reads the banks and draws
// from rng for "R".
ExprResult EvalExpression(const VarBanks& v, EngineRandom& rng, const char* text);

// The condition of if, switch and the click map: comparisons chained by "&"
// and "|", decided left to right with short cuts. `conversionError` is set
// when a variable number in it is not a number.
bool EvalCondition(const VarBanks& v, EngineRandom& rng, const char* text, bool* conversionError = nullptr);

// The same on the engine, with the errors reported to the trace. A
// conversion error sets the stepper's line-abort flag.
int32_t EvalExpression(TForm1& f, const char* text, int32_t* stop = nullptr);
bool EvalCondition(TForm1& f, const char* text);

// Runs the assignments of a "!" line or of calc. Every assignment and every
// error goes to the trace; a conversion error stops the rest of the line.
void ExecAssignments(TForm1& f, const char* text);

// Engine access with the side effects of the system variables (S000 and
// S028 update the menus).
int32_t GetVar(TForm1& f, char letter, int n);
void SetVar(TForm1& f, char letter, int n, int32_t value);

// Copies text into string variable n (0 ... 9), cut to 63 bytes.
void SetStringVar(VarBanks& v, int n, const char* text);

}  // namespace velmora
