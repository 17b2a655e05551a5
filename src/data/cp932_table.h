#pragma once
// CP932 <-> Unicode as tables, for builds with no iconv (the browser). The
// tables are generated from iconv at build time by velmora-cp932-table.
#include <cstddef>
#include <cstdint>

#include "data/encoding.h"

namespace velmora {

constexpr int kCp932Leads = 60;  // lead bytes 0x81-0x9F, 0xE0-0xFC

struct Cp932Pair {
    uint16_t unicode;
    uint16_t code;  // the single byte, or lead * 256 + trail
};

// Code points; 0 where CP932 has no character (byte 0 maps to itself).
extern const uint16_t kCp932Single[256];
extern const uint16_t kCp932Double[kCp932Leads][256];
// Sorted by code point.
extern const Cp932Pair kUnicodeToCp932[];
extern const size_t kUnicodeToCp932Count;

// Index of a lead byte into kCp932Double, or -1.
inline int Cp932LeadIndex(unsigned char b) {
    if (!IsLeadByte(b)) return -1;
    return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31;
}

// The code point of a CP932 code (a single byte, or lead * 256 + trail); 0
// where CP932 has no character.
inline uint32_t Cp932CodeToUnicode(uint16_t code) {
    if (code < 0x100) return kCp932Single[code];
    const int lead = Cp932LeadIndex(static_cast<unsigned char>(code >> 8));
    return lead < 0 ? 0 : kCp932Double[lead][code & 0xFF];
}

}  // namespace velmora
