#pragma once
// CP932 (Shift-JIS) <-> UTF-8 at the edges of the engine, through iconv.
#include <string>

namespace velmora {

// Returns false when the input has no form in the target encoding; `out`
// then holds what converted before the failure (invalid bytes become '?').
bool Cp932ToUtf8(const std::string& in, std::string& out);
bool Utf8ToCp932(const std::string& in, std::string& out);
// Shortcuts that keep whatever converted.
std::string ToUtf8(const std::string& cp932);
std::string ToCp932(const std::string& utf8);
// True for a byte that starts a two-byte CP932 character.
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace velmora
