// The ZIP container of the save transfer.
#include "save/zip_file.h"

#include <strings.h>

#include <cstring>

#include "save/byte_order.h"
#include "save/global_data.h"
#include "save/inflate.h"

namespace velmora {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr uint16_t kMadeByUnix = 3 << 8 | 20;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    PutLe32(b, v);
    out.insert(out.end(), b, b + 4);
}

bool IsFolderName(const std::string& name) { return !name.empty() && name.back() == '/'; }

// A relative name made of plain parts: nothing that could lead a writer
// outside the folder it unpacks into, whoever unpacks it.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name[0] == '/') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '\\' || c == ':' || c >= 0x7F) return false;
    size_t start = 0;
    while (start < name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

uint32_t ZipCrc32(const uint8_t* bytes, size_t n) { return GlobalCheckValue(bytes, n, 0xFFFFFFFFu) ^ 0xFFFFFFFFu; }

void DosTimeOf(int year, int month, int day, int hour, int minute, int second, uint16_t& dosTime, uint16_t& dosDate) {
    if (year < 1980) year = 1980, month = 1, day = 1, hour = minute = second = 0;
    if (year > 2107) year = 2107;
    dosTime = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
    dosDate = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
}

std::vector<uint8_t> WriteZip(const std::vector<ZipEntry>& entries, uint16_t dosTime, uint16_t dosDate) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> central;
    for (const ZipEntry& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t crc = ZipCrc32(e.data.data(), e.data.size());
        const uint32_t size = static_cast<uint32_t>(e.data.size());
        const bool folder = IsFolderName(e.name);
        const uint16_t needed = folder ? 20 : 10;
        Put32(out, kLocalSignature);
        Put16(out, needed);
        Put16(out, 0);  // flags
        Put16(out, 0);  // stored
        Put16(out, dosTime);
        Put16(out, dosDate);
        Put32(out, crc);
        Put32(out, size);
        Put32(out, size);
        Put16(out, static_cast<uint16_t>(e.name.size()));
        Put16(out, 0);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), e.data.begin(), e.data.end());

        Put32(central, kCentralSignature);
        Put16(central, kMadeByUnix);
        Put16(central, needed);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, dosTime);
        Put16(central, dosDate);
        Put32(central, crc);
        Put32(central, size);
        Put32(central, size);
        Put16(central, static_cast<uint16_t>(e.name.size()));
        Put16(central, 0);  // extra
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        // Unix modes, so that unzip makes plain files and folders; 0x10 marks a folder for others.
        Put32(central, folder ? (0040755u << 16 | 0x10) : 0100644u << 16);
        Put32(central, offset);
        central.insert(central.end(), e.name.begin(), e.name.end());
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint16_t>(entries.size()));
    Put16(out, static_cast<uint16_t>(entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

bool ReadZip(const uint8_t* bytes, size_t n, ZipNameLimit limit, size_t maxEntries, std::vector<ZipEntry>& entries,
             std::string& why) {
    entries.clear();
    auto fail = [&](const std::string& text) {
        why = text;
        entries.clear();
        return false;
    };
    if (n < kEndSize) return fail("ZIPファイルではありません。");
    // The end record sits within the last 64 KiB (its comment); the comment must reach the file's end exactly.
    size_t end = SIZE_MAX;
    const size_t lowest = n - kEndSize > 0xFFFF ? n - kEndSize - 0xFFFF : 0;
    for (size_t p = n - kEndSize + 1; p-- > lowest;) {
        if (GetLe32(bytes + p) == kEndSignature && p + kEndSize + Get16(bytes + p + 20) == n) {
            end = p;
            break;
        }
    }
    if (end == SIZE_MAX) {
        for (size_t p = 0; p + 4 <= n; ++p)
            if (GetLe32(bytes + p) == kLocalSignature) return fail("ZIPファイルが途中で切れています。");
        return fail("ZIPファイルではありません。");
    }
    const uint8_t* e = bytes + end;
    const uint16_t count = Get16(e + 10);
    const uint32_t centralSize = GetLe32(e + 12);
    const uint32_t centralOffset = GetLe32(e + 16);
    if (Get16(e + 4) != 0 || Get16(e + 6) != 0 || Get16(e + 8) != count)
        return fail("複数に分かれたZIPファイルは読み込めません。");
    if (count == 0xFFFF || centralSize == 0xFFFFFFFFu || centralOffset == 0xFFFFFFFFu)
        return fail("ZIP64形式のファイルは読み込めません。");
    if (count > maxEntries) return fail("ZIPファイルの項目が多すぎます（" + std::to_string(count) + "個）。");
    if (static_cast<uint64_t>(centralOffset) + centralSize > end) return fail("ZIPファイルが壊れています（目次）。");

    size_t p = centralOffset;
    const size_t centralEnd = centralOffset + static_cast<size_t>(centralSize);
    for (uint16_t i = 0; i < count; ++i) {
        if (p + kCentralHeaderSize > centralEnd || GetLe32(bytes + p) != kCentralSignature)
            return fail("ZIPファイルが壊れています（目次）。");
        const uint8_t* c = bytes + p;
        const uint16_t flags = Get16(c + 8);
        const uint16_t method = Get16(c + 10);
        const uint32_t crc = GetLe32(c + 16);
        const uint32_t packed = GetLe32(c + 20);
        const uint32_t size = GetLe32(c + 24);
        const size_t nameLength = Get16(c + 28);
        const size_t next = p + kCentralHeaderSize + nameLength + Get16(c + 30) + Get16(c + 32);
        const uint32_t local = GetLe32(c + 42);
        if (next > centralEnd) return fail("ZIPファイルが壊れています（目次）。");
        const std::string name(reinterpret_cast<const char*>(c + kCentralHeaderSize), nameLength);
        p = next;

        const std::string shown = "「" + (IsPlainName(name) ? name : std::string("?")) + "」";
        if (!IsPlainName(name)) return fail("ZIPファイルにフォルダの外を指す名前の項目があります。");
        const long long most = limit(name);
        if (most < 0) return fail("このゲームのセーブデータではない項目があります：" + shown);
        for (const ZipEntry& seen : entries)
            if (::strcasecmp(seen.name.c_str(), name.c_str()) == 0)
                return fail("同じ名前の項目が二つあります：" + shown);
        if (flags & 1) return fail("暗号化されたZIPファイルは読み込めません。");
        if (method != 0 && method != 8) return fail("この圧縮方式の項目は読み込めません：" + shown);
        if (size == 0xFFFFFFFFu || packed == 0xFFFFFFFFu) return fail("ZIP64形式のファイルは読み込めません。");
        if (size > static_cast<unsigned long long>(most)) return fail("項目が大きすぎます：" + shown);
        if (method == 0 && packed != size) return fail("ZIPファイルが壊れています：" + shown);
        if (IsFolderName(name) && size != 0) return fail("ZIPファイルが壊れています：" + shown);

        // The local header must name the same entry; its data ends before the directory.
        if (static_cast<uint64_t>(local) + kLocalHeaderSize > centralOffset || GetLe32(bytes + local) != kLocalSignature)
            return fail("ZIPファイルが壊れています：" + shown);
        const uint8_t* h = bytes + local;
        const size_t localName = Get16(h + 26);
        const uint64_t data = static_cast<uint64_t>(local) + kLocalHeaderSize + localName + Get16(h + 28);
        if (localName != nameLength || std::memcmp(h + kLocalHeaderSize, name.data(), nameLength) != 0 ||
            data > centralOffset)
            return fail("ZIPファイルが壊れています：" + shown);
        if (data + packed > centralOffset) return fail("ZIPファイルが途中で切れています：" + shown);

        ZipEntry entry;
        entry.name = name;
        entry.data.resize(size);
        if (method == 0) {
            if (size) std::memcpy(entry.data.data(), bytes + data, size);
        } else if (!InflateRaw(bytes + data, packed, entry.data.data(), size)) {
            return fail("ZIPファイルが壊れています（展開できません）：" + shown);
        }
        if (ZipCrc32(entry.data.data(), entry.data.size()) != crc)
            return fail("ZIPファイルが壊れています（CRCが合いません）：" + shown);
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace velmora
