// CP932 <-> UTF-8 through tables made from iconv at build time; converts
// exactly as the iconv backend does, including what becomes '?'.
#include <algorithm>

#include "data/cp932_table.h"
#include "data/encoding.h"

namespace velmora {

namespace {

// One UTF-8 character at in[i]: its code point and length, or length 0 when
// the bytes there are not a well-formed character.
size_t TakeUtf8(const std::string& in, size_t i, uint32_t& cp) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(in[k]); };
    const unsigned char c = b(i);
    size_t n;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c < 0xE0) {
        n = 2, cp = c & 0x1F;
    } else if (c >= 0xE0 && c < 0xF0) {
        n = 3, cp = c & 0x0F;
    } else if (c >= 0xF0 && c < 0xF5) {
        n = 4, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > in.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (b(i + k) & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
    return n;
}

}  // namespace

bool Cp932ToUtf8(const std::string& in, std::string& out) {
    out.clear();
    bool ok = true;
    for (size_t i = 0; i < in.size();) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == 0) {
            out.push_back('\0');
            ++i;
            continue;
        }
        const size_t n = IsLeadByte(c) ? 2 : 1;
        const uint32_t cp = n == 1            ? Cp932CodeToUnicode(c)
                            : i + 1 < in.size() ? Cp932CodeToUnicode(c << 8 | static_cast<unsigned char>(in[i + 1]))
                                                : 0;
        if (cp == 0) {
            // Invalid or incomplete sequence: mark it and step over one byte.
            ok = false;
            out.push_back('?');
            ++i;
            continue;
        }
        AppendUtf8(cp, out);
        i += n;
    }
    return ok;
}

bool Utf8ToCp932(const std::string& in, std::string& out) {
    out.clear();
    bool ok = true;
    for (size_t i = 0; i < in.size();) {
        uint32_t cp = 0;
        const size_t n = TakeUtf8(in, i, cp);
        const Cp932Pair* end = kUnicodeToCp932 + kUnicodeToCp932Count;
        const Cp932Pair* hit = n == 0 || cp > 0xFFFF ? end
                               : std::lower_bound(kUnicodeToCp932, end, cp,
                                                  [](const Cp932Pair& p, uint32_t v) { return p.unicode < v; });
        if (cp == 0 && n == 1) {
            out.push_back('\0');
            ++i;
        } else if (hit != end && hit->unicode == cp) {
            if (hit->code > 0xFF) out.push_back(static_cast<char>(hit->code >> 8));
            out.push_back(static_cast<char>(hit->code & 0xFF));
            i += n;
        } else {
            ok = false;
            out.push_back('?');
            ++i;
        }
    }
    return ok;
}

}  // namespace velmora
