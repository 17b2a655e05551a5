#include "data/encoding.h"

#include <iconv.h>

#include <cerrno>

namespace velmora {

namespace {

bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    // Plain ASCII is the same in both; most names and values are, and opening
    // a converter costs far more than the text.
    bool ascii = true;
    for (unsigned char c : in) ascii = ascii && c < 0x80;
    if (ascii) {
        out = in;
        return true;
    }
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    bool ok = true;
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[1024];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // Invalid or incomplete sequence: mark it and step over one byte.
            ok = false;
            out.push_back('?');
            ++src;
            --left;
        }
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return ok;
}

}  // namespace

bool Cp932ToUtf8(const std::string& in, std::string& out) { return Convert("UTF-8", "CP932", in, out); }
bool Utf8ToCp932(const std::string& in, std::string& out) { return Convert("CP932", "UTF-8", in, out); }

}  // namespace velmora
