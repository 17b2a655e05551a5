// Variable banks, expressions, conditions and assignment lines.
#include "script/variables.h"

#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"

namespace velmora {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsTerminator(char c) {
    switch (c) {
        case '\0': case '!': case '&': case ',': case ';': case '<': case '=': case '>': case ']': case '|':
            return true;
        default:
            return false;
    }
}

// A variable number written with a fixed digit count. The text may end
// early (the digits present count); any other non-digit is a failed
// conversion, as is a number with no digits at all.
bool ReadFixedNumber(const char* p, int digits, int& value, int& consumed) {
    value = 0;
    consumed = 0;
    while (consumed < digits && p[consumed] != '\0') {
        if (!IsDigit(p[consumed])) return false;
        value = value * 10 + (p[consumed] - '0');
        ++consumed;
    }
    return consumed > 0;
}

int DigitsOf(char letter) { return letter == 'T' ? 4 : letter == 'G' ? 1 : 3; }

// Wrapping 32-bit arithmetic: scripts rely on the low 32 bits.
int32_t Wrap(int64_t x) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(x))); }

int32_t Apply(char op, int32_t a, int32_t x) {
    switch (op) {
        case '+': return Wrap(static_cast<int64_t>(a) + x);
        case '-': return Wrap(static_cast<int64_t>(a) - x);
        case '*': return Wrap(static_cast<int64_t>(a) * x);
        case '/':
            if (x == 0) return 0;
            return Wrap(static_cast<int64_t>(a) / x);
        case '%':
            if (x == 0) return 0;
            return Wrap(static_cast<int64_t>(a) % x);
        case '&': return a & x;  // "_&"
        case '|': return a | x;  // "_|"
        case 'X': return a ^ x;  // "_X"
        default: return x;
    }
}

// Upper-cases ASCII letters of a CP932 text, keeping two-byte characters whole.
void CopyNormalised(const char* in, char* out, size_t cap, bool dropBlanks, char stopAt) {
    size_t n = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
    while (*p && *p != static_cast<unsigned char>(stopAt) && n + 1 < cap) {
        if (IsLeadByte(*p) && p[1]) {
            if (dropBlanks && p[0] == 0x81 && p[1] == 0x40) {
                p += 2;
                continue;
            }
            if (n + 2 >= cap) break;
            out[n++] = static_cast<char>(p[0]);
            out[n++] = static_cast<char>(p[1]);
            p += 2;
            continue;
        }
        unsigned char c = *p++;
        if (dropBlanks && (c == ' ' || c == '\t')) continue;
        out[n++] = AsciiUpper(static_cast<char>(c));
    }
    out[n] = '\0';
}

}  // namespace

bool TestBit(const uint8_t* bank, int bits, int k) {
    if (k < 0 || k >= bits) return false;
    return (bank[k / 8] >> (k % 8)) & 1;
}

void SetBit(uint8_t* bank, int bits, int k, bool on) {
    if (k < 0 || k >= bits) return;
    uint8_t m = static_cast<uint8_t>(1u << (k % 8));
    if (on) bank[k / 8] |= m;
    else bank[k / 8] &= static_cast<uint8_t>(~m);
}

int32_t GetVar(const VarBanks& v, char letter, int n) {
    switch (letter) {
        case 'V': return n >= 0 && n < kVBankSize ? v.V[n] : 0;
        case 'S': return n >= 0 && n < kSBankSize ? v.S[n] : 0;
        case 'G': return n >= 0 && n < kGBankSize ? v.G[n] : 0;
        case 'P': return n >= 0 && n < kVBankSize ? GetVar(v, 'V', v.V[n]) : 0;
        case 'F': return TestBit(v.F, kFBits, n);
        case 'E': return TestBit(v.E, kEBits, n);
        case 'T': return TestBit(v.T, kTBits, n);
        default: return 0;
    }
}

bool SetVar(VarBanks& v, char letter, int n, int32_t value) {
    auto in = [&](int size) { return n >= 0 && n < size; };
    switch (letter) {
        case 'V':
            if (!in(kVBankSize)) return false;
            v.V[n] = value;
            return true;
        case 'S':
            if (!in(kSBankSize)) return false;
            v.S[n] = value;
            return true;
        case 'G':
            if (!in(kGBankSize)) return false;
            v.G[n] = value;
            return true;
        case 'P':
            if (!in(kVBankSize)) return false;
            return SetVar(v, 'V', v.V[n], value);
        case 'F':
        case 'E':
        case 'T': {
            int bits = letter == 'F' ? kFBits : letter == 'E' ? kEBits : kTBits;
            uint8_t* bank = letter == 'F' ? v.F : letter == 'E' ? v.E : v.T;
            if ((value != 0 && value != 1) || !in(bits)) return false;
            SetBit(bank, bits, n, value == 1);
            return true;
        }
        default: return false;
    }
}

ExprResult EvalExpression(const VarBanks& v, EngineRandom& rng, const char* text) {
    ExprResult r;
    int32_t a = 0, x = 0;
    char op = '+';
    int i = 0;
    for (;;) {
        char c = text[i];
        if (IsTerminator(c)) break;
        if (IsDigit(c)) {
            x = Wrap(static_cast<int64_t>(x) * 10 + (c - '0'));
            ++i;
            continue;
        }
        if (c == '+' || c == '-' || c == '*' || c == '/' || c == '%') {
            a = Apply(op, a, x);
            x = 0;
            op = c;
            ++i;
            continue;
        }
        if (c == '_' && (text[i + 1] == '&' || text[i + 1] == '|' || text[i + 1] == 'X')) {
            a = Apply(op, a, x);
            x = 0;
            op = text[i + 1];
            i += 2;
            continue;
        }
        if (c == 'V' || c == 'P' || c == 'S' || c == 'G' || c == 'F' || c == 'E' || c == 'T') {
            int n = 0, used = 0;
            if (!ReadFixedNumber(text + i + 1, DigitsOf(c), n, used)) {
                r.error = ExprError::Conversion;
                r.stop = i;
                return r;
            }
            x = GetVar(v, c, n);
            i += 1 + used;
            continue;
        }
        if (c == 'R') {
            int32_t m = 0;
            int used = 0;
            while (used < 7 && IsDigit(text[i + 1 + used])) m = m * 10 + (text[i + 1 + used++] - '0');
            if (used == 0 || m == 0) {
                // "R0" divides by zero: reported like a failed conversion.
                r.error = ExprError::Conversion;
                r.stop = i;
                return r;
            }
            x = rng.Next(32768) % m;
            i += 1 + used;
            continue;
        }
        r.error = ExprError::Invalid;
        r.stop = i;
        return r;
    }
    r.value = Apply(op, a, x);
    r.stop = i;
    return r;
}

bool EvalCondition(const VarBanks& v, EngineRandom& rng, const char* text, bool* conversionError) {
    if (conversionError) *conversionError = false;
    if (*text == '(') ++text;
    char copy[101];
    CopyNormalised(text, copy, sizeof copy, true, ')');
    int len = static_cast<int>(std::strlen(copy));
    int p = 0;
    for (;;) {
        ExprResult left = EvalExpression(v, rng, copy + p);
        if (left.error == ExprError::Conversion) {
            if (conversionError) *conversionError = true;
            return false;
        }
        int q = p + left.stop;
        char c = copy[q];
        bool result = false;  // a part without a comparison counts as false
        int r = q;
        if (c == '=' || c == '<' || c == '>' || c == '!') {
            ++q;
            bool orEqual = copy[q] == '=';
            if (orEqual) ++q;
            ExprResult right = EvalExpression(v, rng, copy + q);
            if (right.error == ExprError::Conversion) {
                if (conversionError) *conversionError = true;
                return false;
            }
            r = q + right.stop;
            int32_t L = left.value, R = right.value;
            switch (c) {
                case '=': result = L == R; break;
                case '!': result = L != R; break;
                case '<': result = orEqual ? L <= R : L < R; break;
                case '>': result = orEqual ? L >= R : L > R; break;
            }
        }
        char d = copy[r];
        if (d == '\0') return result;
        if (d == '&' && !result) return false;
        if (d == '|' && result) return true;
        p = r + 1;
        if (p > len) return result;
    }
}

int32_t EvalExpression(TForm1& f, const char* text, int32_t* stop) {
    ExprResult r = EvalExpression(f.vars, f.rng, text);
    if (stop) *stop = r.stop;
    if (r.error == ExprError::Invalid) {
        ContentError("expression", "無効数式: %s", TraceText(text).c_str());
    } else if (r.error == ExprError::Conversion) {
        ContentError("expression", "expression %s: not a number at byte %d; the rest of the line is not run",
                     TraceText(text).c_str(), r.stop);
        f.stepper.lineAborted = true;
    }
    return r.value;
}

bool EvalCondition(TForm1& f, const char* text) {
    bool conversion = false;
    bool result = EvalCondition(f.vars, f.rng, text, &conversion);
    if (conversion) {
        ContentError("expression", "condition %s: not a number; the rest of the line is not run",
                     TraceText(text).c_str());
        f.stepper.lineAborted = true;
    }
    return result;
}

int32_t GetVar(TForm1& f, char letter, int n) { return GetVar(f.vars, letter, n); }

void SetVar(TForm1& f, char letter, int n, int32_t value) {
    SetVar(f.vars, letter, n, value);
    if (letter == 'S' && (n == 0 || n == 28)) UpdateMenuStates(f);
}

void SetStringVar(VarBanks& v, int n, const char* text) {
    if (n < 0 || n > 9) return;
    std::memset(v.str[n], 0, kStringVarSize);
    size_t len = std::strlen(text);
    if (len > kStringVarSize - 1) len = kStringVarSize - 1;
    // Never end on the first byte of a two-byte character.
    size_t k = 0;
    while (k < len) {
        size_t w = IsLeadByte(static_cast<unsigned char>(text[k])) ? 2 : 1;
        if (k + w > len) break;
        k += w;
    }
    std::memcpy(v.str[n], text, k);
}

void ExecAssignments(TForm1& f, const char* text) {
    char buf[2048];
    CopyNormalised(text, buf, sizeof buf, true, '\0');
    int len = static_cast<int>(std::strlen(buf));
    int p = 0;
    while (p < len) {
        char letter = buf[p];
        int digits = DigitsOf(letter);
        const char* known = std::strchr("VSGPFET", letter);
        if (!known) {
            ContentError("expression", "代入エラー: %s", TraceText(buf + p).c_str());
        } else {
            int n = 0, used = 0;
            if (!ReadFixedNumber(buf + p + 1, digits, n, used) || used < digits) {
                ContentError("expression",
                             "assignment %s: the variable number is not a number; the rest of the line is not run",
                             TraceText(buf + p).c_str());
                f.stepper.lineAborted = true;
                return;
            }
            int valueAt = p + 1 + used + 1;  // the "=" is not checked
            if (valueAt > len) valueAt = len;
            ExprResult r = EvalExpression(f.vars, f.rng, buf + valueAt);
            if (r.error == ExprError::Conversion) {
                ContentError("expression", "assignment %s: not a number in the value; the rest of the line is not run",
                             TraceText(buf + p).c_str());
                f.stepper.lineAborted = true;
                return;
            }
            if (r.error == ExprError::Invalid)
                ContentError("expression", "無効数式: %s", TraceText(buf + valueAt).c_str());
            int32_t value = r.error == ExprError::Invalid ? 0 : r.value;
            char name[16];
            std::snprintf(name, sizeof name, "%c%0*d", letter, digits, n);
            bool bit = letter == 'F' || letter == 'E' || letter == 'T';
            if (bit && value != 0 && value != 1) {
                if (letter == 'F') Trace("assign %s = %d: not a bit value, unchanged", name, value);
                else
                    ContentError("expression", "代入エラー: %s = %d", name, value);
            } else if (!SetVar(f.vars, letter, n, value)) {
                ContentError("expression", "代入エラー: %s is outside its bank",
                             letter == 'P' ? "the target of P" : name);
            } else {
                if (letter == 'P') Trace("assign %s (V%03d) = %d", name, f.vars.V[n], value);
                else Trace("assign %s = %d", name, value);
                if (letter == 'S' && (n == 0 || n == 28)) UpdateMenuStates(f);
            }
            p = valueAt;
        }
        const char* semi = std::strchr(buf + p, ';');
        if (!semi) break;
        p = static_cast<int>(semi - buf) + 1;
    }
}

}  // namespace velmora
