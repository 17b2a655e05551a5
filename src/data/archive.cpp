#include "data/archive.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"

namespace velmora {

namespace {

int32_t GetLE32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Length of an open file, or -1.
long FileLength(std::FILE* fp) {
    if (std::fseek(fp, 0, SEEK_END) != 0) return -1;
    long len = std::ftell(fp);
    if (std::fseek(fp, 0, SEEK_SET) != 0) return -1;
    return len;
}

// Traces damage of an archive and keeps the first reason on its index.
void Damage(ArchiveIndex& index, const std::string& path, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void Damage(ArchiveIndex& index, const std::string& path, const char* fmt, ...) {
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    ContentError("damaged", "archive %s: %s", path.c_str(), text);
    if (index.damage.empty()) index.damage = text;
}

// Takes one record's name field; false when it holds no terminator.
bool TakeName(const uint8_t* field, int width, std::string& name) {
    const void* nul = std::memchr(field, 0, static_cast<size_t>(width));
    if (!nul) return false;
    name.assign(reinterpret_cast<const char*>(field), static_cast<const uint8_t*>(nul) - field);
    return true;
}

// Adds one record after checking that its data lies inside the file. A
// record that fails is left out alone: one half-copied entry must not hide
// the rest of its archive.
void AddRecord(ArchiveIndex& index, const std::string& path, int i, long long at, const uint8_t* field, int width,
               long fileLength) {
    std::string name;
    if (!TakeName(field, width, name)) {
        Damage(index, path, "record %d at offset %lld: name without terminator; entry refused", i, at);
        return;
    }
    int32_t offset = GetLE32(field + width);
    int32_t size = GetLE32(field + width + 4);
    if (offset < 0 || size < 0 || static_cast<long long>(offset) + size > fileLength) {
        Damage(index, path, "entry %s (record %d at offset %lld) holds %d bytes at %d, outside the file of %ld bytes; "
               "entry refused", name.c_str(), i, at, size, offset, fileLength);
        return;
    }
    index.names.push_back(UpperName(name));
    index.offsets.push_back(offset);
    index.sizes.push_back(size);
}

}  // namespace

std::string UpperName(const std::string& name) {
    std::string up = name;
    for (char& c : up) c = AsciiUpper(c);
    return up;
}

void ReadScriptIndex(const std::string& path, ArchiveIndex& index) {
    index.Clear();
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return;
    long len = FileLength(fp);
    uint8_t head[4];
    if (len >= 4 && std::fread(head, 1, 4, fp) == 4) {
        int32_t n = GetLE32(head);
        if (n > 0 && static_cast<long long>(n) * 24 > len - 4) {
            Damage(index, path, "%d records do not fit in %ld bytes; index refused", n, len);
        } else if (n > 0) {
            bool ok = true;
            for (int i = 0; i < n && ok; ++i) {
                uint8_t rec[24];
                ok = std::fread(rec, 1, 24, fp) == 24;
                if (ok) AddRecord(index, path, i, 4 + 24LL * i, rec, 16, len);
            }
            if (ok) {
                index.count = static_cast<int32_t>(index.names.size());
            } else {
                index.Clear();
                Damage(index, path, "record block cut short in %ld bytes; index refused", len);
            }
        }
    } else if (len > 0) {
        Damage(index, path, "%ld bytes are shorter than its count; index refused", len);
    } else {
        Damage(index, path, "the file is empty (0 bytes)");
    }
    std::fclose(fp);
}

void ReadVolumeIndex(const std::string& path, ArchiveIndex& index) {
    index.Clear();
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return;
    long len = FileLength(fp);
    uint8_t head[8];
    if (len >= 4 && std::fread(head, 1, 4, fp) == 4 && GetLE32(head) <= 0) {
        // Count 0 (or less): an empty volume, whatever follows.
    } else if (len >= 8 && std::fread(head + 4, 1, 4, fp) == 4) {
        int32_t n = GetLE32(head);
        int32_t w = GetLE32(head + 4);
        long long block = (static_cast<long long>(w) + 8) * n;
        if (w <= 0 || w > 4096) {
            Damage(index, path, "name width %d is not usable; index refused", w);
        } else if (block > len - 8) {
            Damage(index, path, "%d records of %d bytes do not fit in %ld bytes; index refused", n, w + 8, len);
        } else {
            std::vector<uint8_t> records(static_cast<size_t>(block));
            bool ok = std::fread(records.data(), 1, records.size(), fp) == records.size();
            for (int i = 0; i < n && ok; ++i)
                AddRecord(index, path, i, 8 + (w + 8LL) * i, records.data() + static_cast<size_t>(w + 8) * i, w, len);
            if (ok) {
                index.count = static_cast<int32_t>(index.names.size());
                index.width = w;
            } else {
                index.Clear();
                Damage(index, path, "record block cut short in %ld bytes; index refused", len);
            }
        }
    } else if (len > 0) {
        Damage(index, path, "%ld bytes are shorter than its header; index refused", len);
    } else {
        Damage(index, path, "the file is empty (0 bytes)");
    }
    std::fclose(fp);
}

int FindEntry(const ArchiveIndex& index, const std::string& name) {
    std::string up = UpperName(name);
    for (int i = 0; i < index.count; ++i)
        if (index.names[i] == up) return i;
    return -1;
}

int32_t ReadEntry(const ArchiveIndex& index, int position, std::vector<uint8_t>& buffer) {
    if (position < 0 || position >= index.count) return -1;
    int32_t size = index.sizes[position];
    if (size > kMaxEntrySize) {
        Trace("archive %s: entry %s of %d bytes is too large", index.path.c_str(), index.names[position].c_str(),
              size);
        return -1;
    }
    buffer.resize(static_cast<size_t>(size));
    int32_t got = ReadEntry(index, position, buffer.data(), size);
    if (got < 0) buffer.clear();
    return got;
}

int32_t ReadEntry(const ArchiveIndex& index, int position, uint8_t* buffer, int32_t capacity) {
    if (position < 0 || position >= index.count) return -1;
    int32_t size = index.sizes[position];
    const std::string& name = index.names[position];
    if (size > capacity) {
        Trace("archive %s: entry %s of %d bytes exceeds its buffer of %d", index.path.c_str(), name.c_str(), size,
              capacity);
        return -1;
    }
    std::FILE* fp = std::fopen(index.path.c_str(), "rb");
    if (!fp) {
        Trace("archive %s: cannot open to read %s", index.path.c_str(), name.c_str());
        return -1;
    }
    bool ok = std::fseek(fp, index.offsets[position], SEEK_SET) == 0 &&
              std::fread(buffer, 1, static_cast<size_t>(size), fp) == static_cast<size_t>(size);
    std::fclose(fp);
    if (!ok) {
        ContentError("damaged", "archive %s: entry %s cannot be read in full", index.path.c_str(), name.c_str());
        return -1;
    }
    return size;
}

int32_t ReadEntryPrefix(const ArchiveIndex& index, int position, size_t length, std::vector<uint8_t>& buffer) {
    buffer.clear();
    if (position < 0 || position >= index.count) return -1;
    std::FILE* fp = std::fopen(index.path.c_str(), "rb");
    if (!fp) {
        Trace("archive %s: cannot open to read %s", index.path.c_str(), index.names[position].c_str());
        return -1;
    }
    const long fileLength = FileLength(fp);
    const long offset = index.offsets[position];
    bool ok = fileLength >= offset && std::fseek(fp, offset, SEEK_SET) == 0;
    if (ok) {
        length = std::min({length, static_cast<size_t>(fileLength - offset), static_cast<size_t>(kMaxEntrySize)});
        buffer.resize(length);
        ok = std::fread(buffer.data(), 1, length, fp) == length;
    }
    std::fclose(fp);
    if (!ok) {
        buffer.clear();
        ContentError("damaged", "archive %s: entry %s cannot be read", index.path.c_str(), index.names[position].c_str());
        return -1;
    }
    return static_cast<int32_t>(length);
}

void NegateBytes(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(0u - bytes[i]);
}

void LoadDataIndexes(TForm1& f) {
    static const char* const kNames[2] = {"vk_data.vrk", "vk_data2.vrk"};
    for (int i = 0; i < 2; ++i) {
        f.data.scripts[i].path = kNames[i];
        ReadScriptIndex(kNames[i], f.data.scripts[i]);
        Trace("archive %s: %d entries", kNames[i], f.data.scripts[i].count);
    }
}

void OpenArchiveVolumes(TForm1& f) {
    DataState& d = f.data;
    const ConfigValues& c = f.config;
    char name[32];
    auto open = [&](ArchiveIndex& index, const char* file, bool discFallback) {
        index.path = file;
        if (!FileExists(index.path) && discFallback) {
            index.path = d.cdDir + file;
            if (!FileExists(index.path)) index.path.clear();
        }
        index.Clear();
        if (!index.path.empty()) ReadVolumeIndex(index.path, index);
        Trace("archive %s: %d entries from \"%s\"", file, index.count, index.path.c_str());
    };
    for (int i = 0; i < 3; ++i) {
        if (i == 0) std::snprintf(name, sizeof name, "vk_gra.vrk");
        else std::snprintf(name, sizeof name, "vk_gra%d.vrk", i + 1);
        open(d.gra[i], name, i < c.VKD_GRA);
    }
    open(d.gjp, "vk_gjp.vrk", c.VKD_GJP != 0);
    for (int i = 0; i < 5; ++i) {
        std::snprintf(name, sizeof name, "vk_wav%d.vrk", i + 1);
        open(d.wav[i], name, i < c.VKD_WAV);
    }
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "vk_se%d.vrk", i);
        open(d.se[i], name, i < c.VKD_SE);
    }
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "vk_ogg%d.vrk", i + 1);
        open(d.ogg[i], name, i < c.VKD_OGG);
    }
    open(d.bgm, "vk_bgm.vrk", true);
    open(d.anim[0], "vk_anim.vrk", c.VKD_ANIM > 0);
    open(d.anim[1], "vk_anim2.vrk", c.VKD_ANIM > 1);
}

}  // namespace velmora
