#pragma once
// CP932 (Shift-JIS) <-> UTF-8 at the edges of the engine, through iconv.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace velmora {

// Returns false when the input has no form in the target encoding; `out`
// then holds what converted before the failure (invalid bytes become '?').
bool Cp932ToUtf8(const std::string& in, std::string& out);
bool Utf8ToCp932(const std::string& in, std::string& out);
// Shortcuts that keep whatever converted.
inline std::string ToUtf8(const std::string& cp932) {
    std::string out;
    Cp932ToUtf8(cp932, out);
    return out;
}
inline std::string ToCp932(const std::string& utf8) {
    std::string out;
    Utf8ToCp932(utf8, out);
    return out;
}
// True for a byte that starts a two-byte CP932 character.
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// One code point (at most U+10FFFF) onto the end of a UTF-8 string.
inline void AppendUtf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    out.push_back(static_cast<char>(kLead[extra] | cp >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<char>(0x80 | (cp >> (6 * k) & 0x3F)));
}

// Script words and names ignore case byte by byte: a to z count as A to Z,
// every other byte as itself.
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// Whether the first n bytes of a and b agree, ignoring case.
inline bool SameNoCase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}
// Whether text begins with word, ignoring case.
inline bool StartsWithNoCase(const char* text, const char* word) {
    for (; *word; ++text, ++word)
        if (*text == '\0' || AsciiUpper(*text) != AsciiUpper(*word)) return false;
    return true;
}
inline bool EqualsNoCase(const char* a, const char* b) {
    const size_t n = std::strlen(a);
    return n == std::strlen(b) && SameNoCase(a, b, n);
}

}  // namespace velmora
