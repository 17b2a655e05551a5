// Writes the CP932 <-> Unicode tables of the browser build as C++ source,
// taken from this machine's iconv so that both builds convert alike.
//   velmora-cp932-table OUT.cpp
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The code points iconv gives for one CP932 character; empty when it refuses it.
std::vector<uint32_t> Decode(iconv_t cd, const char* in, size_t n) {
    char out[16];
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t left = n, room = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0) return {};
    std::vector<uint32_t> cps;
    for (const char* p = out; p + 4 <= dst; p += 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        cps.push_back(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    }
    return cps;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-cp932-table OUT.cpp\n");
        return 2;
    }
    iconv_t toUnicode = iconv_open("UTF-32LE", "CP932");
    iconv_t fromUnicode = iconv_open("CP932", "UTF-32LE");
    if (toUnicode == reinterpret_cast<iconv_t>(-1) || fromUnicode == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "velmora-cp932-table: iconv has no CP932\n");
        return 1;
    }
    std::string out = "// Made by velmora-cp932-table from the build machine's iconv.\n"
                      "#include \"data/cp932_table.h\"\n\nnamespace velmora {\n\n";
    // Single bytes, then lead byte x trail byte; 0 where CP932 has nothing.
    out += "const uint16_t kCp932Single[256] = {";
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        std::vector<uint32_t> cps = Decode(toUnicode, &in, 1);
        out += (b % 16 ? " " : "\n    ") + std::to_string(cps.size() == 1 && cps[0] < 0x10000 ? cps[0] : 0) + ",";
    }
    out += "\n};\n\nconst uint16_t kCp932Double[kCp932Leads][256] = {";
    int lead = 0;
    for (int l = 0x81; l <= 0xFC; ++l) {
        if (l > 0x9F && l < 0xE0) continue;
        out += "\n    {";
        for (int t = 0; t < 256; ++t) {
            const char in[2] = {static_cast<char>(l), static_cast<char>(t)};
            std::vector<uint32_t> cps = t >= 0x40 ? Decode(toUnicode, in, 2) : std::vector<uint32_t>();
            out += (t % 16 ? " " : "\n     ") + std::to_string(cps.size() == 1 && cps[0] < 0x10000 ? cps[0] : 0) + ",";
        }
        out += "},";
        ++lead;
    }
    // Unicode to CP932, as iconv picks among the duplicates: code point and
    // bytes (lead * 256 + trail, or the single byte), sorted by code point.
    out += "\n};\n\nconst Cp932Pair kUnicodeToCp932[] = {";
    int pairs = 0;
    for (uint32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000) continue;
        const unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8), 0, 0};
        char bytes[8];
        char* src = const_cast<char*>(reinterpret_cast<const char*>(in));
        char* dst = bytes;
        size_t left = 4, room = sizeof bytes;
        iconv(fromUnicode, nullptr, nullptr, nullptr, nullptr);
        if (iconv(fromUnicode, &src, &left, &dst, &room) == static_cast<size_t>(-1)) continue;
        const size_t n = static_cast<size_t>(dst - bytes);
        if (n < 1 || n > 2) continue;
        const unsigned code = n == 1 ? static_cast<unsigned char>(bytes[0])
                                     : static_cast<unsigned char>(bytes[0]) * 256u + static_cast<unsigned char>(bytes[1]);
        out += (pairs % 8 ? " " : "\n    ") + std::string("{") + std::to_string(cp) + ", " + std::to_string(code) + "},";
        ++pairs;
    }
    out += "\n};\n\nconst size_t kUnicodeToCp932Count = " + std::to_string(pairs) + ";\n\n}  // namespace velmora\n";
    iconv_close(toUnicode);
    iconv_close(fromUnicode);
    if (lead != 60) return 1;  // 0x81-0x9F and 0xE0-0xFC
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "velmora-cp932-table: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
