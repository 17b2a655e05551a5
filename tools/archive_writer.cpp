#include "tools/archive_writer.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

#include "data/encoding.h"
#include "data/archive.h"
#include "data/file_io.h"

namespace velmora::tools {

namespace {

void PutLE32(std::vector<uint8_t>& out, size_t at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    out[at] = static_cast<uint8_t>(u);
    out[at + 1] = static_cast<uint8_t>(u >> 8);
    out[at + 2] = static_cast<uint8_t>(u >> 16);
    out[at + 3] = static_cast<uint8_t>(u >> 24);
}

bool CheckName(const std::string& name, size_t maxLength, std::string& error) {
    if (name.empty()) {
        error = "an entry has an empty name";
        return false;
    }
    if (name.size() > maxLength) {
        error = "entry name \"" + name + "\" is " + std::to_string(name.size()) + " characters; at most " +
                std::to_string(maxLength) + " fit";
        return false;
    }
    if (name.find('\0') != std::string::npos) {
        error = "entry name \"" + name + "\" holds a NUL byte";
        return false;
    }
    return true;
}

bool Build(const std::vector<PackEntry>& entries, bool script, int width, std::vector<uint8_t>& out,
           std::string& error) {
    size_t header = script ? 4 : 8;
    size_t record = script ? 24 : static_cast<size_t>(width) + 8;
    size_t nameField = script ? 16 : static_cast<size_t>(width);
    out.assign(header + record * entries.size(), 0);
    PutLE32(out, 0, static_cast<int32_t>(entries.size()));
    if (!script) PutLE32(out, 4, width);
    for (size_t i = 0; i < entries.size(); ++i) {
        const PackEntry& e = entries[i];
        if (!CheckName(e.name, nameField - 1, error)) return false;
        if (out.size() + e.data.size() > 0x7FFFFFFFu) {
            error = "the archive would pass 2 GiB";
            return false;
        }
        size_t at = header + record * i;
        std::copy(e.name.begin(), e.name.end(), out.begin() + static_cast<long>(at));
        PutLE32(out, at + nameField, static_cast<int32_t>(out.size()));
        PutLE32(out, at + nameField + 4, static_cast<int32_t>(e.data.size()));
        size_t start = out.size();
        out.insert(out.end(), e.data.begin(), e.data.end());
        if (script)
            for (size_t k = start; k < out.size(); ++k) out[k] = static_cast<uint8_t>(0u - out[k]);
    }
    return true;
}

}  // namespace

bool BuildScriptArchive(const std::vector<PackEntry>& entries, std::vector<uint8_t>& out, std::string& error) {
    return Build(entries, true, 16, out, error);
}

bool BuildVolume(const std::vector<PackEntry>& entries, int width, std::vector<uint8_t>& out, std::string& error) {
    if (width < 2 || width > 4096) {
        error = "name width " + std::to_string(width) + " is not between 2 and 4096";
        return false;
    }
    return Build(entries, false, width, out, error);
}

namespace {

// Names the first character of a line that CP932 cannot hold, by its place
// and code point, so that a translator sees which one to replace.
std::string UnwritableCharacter(const std::string& line) {
    int column = 0;
    for (size_t i = 0; i < line.size();) {
        const unsigned char b = static_cast<unsigned char>(line[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        ++column;
        if (n == 0 || i + n > line.size()) return "character " + std::to_string(column) + " is not UTF-8";
        const std::string ch = line.substr(i, n);
        std::string cp;
        if (!Utf8ToCp932(ch, cp)) {
            uint32_t code = n == 1 ? b : b & (0x7F >> n);
            for (size_t k = 1; k < n; ++k) code = code << 6 | (static_cast<unsigned char>(ch[k]) & 0x3F);
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", code);
            return "character " + std::to_string(column) + " \"" + ch + "\", " + hex;
        }
        i += n;
    }
    return "a character";
}

}  // namespace

bool ScriptTextToCp932(const std::string& utf8, const std::string& where, std::vector<uint8_t>& out,
                       std::string& error) {
    out.clear();
    size_t pos = 0;
    int lineNo = 0;
    // A UTF-8 byte order mark is not part of the first line.
    if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos < utf8.size()) {
        ++lineNo;
        size_t nl = utf8.find('\n', pos);
        std::string line = utf8.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? utf8.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string cp;
        if (!Utf8ToCp932(line, cp)) {
            error = where + ":" + std::to_string(lineNo) + ": text has no CP932 form (" + UnwritableCharacter(line) +
                    "): " + line;
            return false;
        }
        if (cp.find('\0') != std::string::npos) {
            error = where + ":" + std::to_string(lineNo) + ": a NUL byte inside a line";
            return false;
        }
        out.insert(out.end(), cp.begin(), cp.end());
        out.push_back(0);
    }
    return true;
}

bool ReadFolder(const std::string& dir, bool keepExtension, std::vector<std::string>& names,
                std::vector<std::string>& paths, std::string& error) {
    names.clear();
    paths.clear();
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        error = dir + ": no such folder";
        return false;
    }
    std::vector<std::string> files;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n.empty() || n[0] == '.') continue;
        if (IsRegularFile(dir + "/" + n)) files.push_back(n);
    }
    ::closedir(d);
    std::sort(files.begin(), files.end());
    for (const std::string& n : files) {
        std::string name = n;
        size_t dot = name.rfind('.');
        if (!keepExtension && dot != std::string::npos && dot > 0) name = name.substr(0, dot);
        for (const std::string& seen : names)
            if (UpperName(seen) == UpperName(name)) {
                error = dir + "/" + n + ": entry name \"" + name + "\" is already taken by another file";
                return false;
            }
        names.push_back(name);
        paths.push_back(dir + "/" + n);
    }
    return true;
}

bool PackScriptFolder(const std::string& dir, const std::string& outPath, std::string& error, int* count) {
    std::vector<std::string> names, paths;
    if (!ReadFolder(dir, false, names, paths, error)) return false;
    std::vector<PackEntry> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        std::vector<uint8_t> raw;
        if (!ReadWholeFile(paths[i], raw)) {
            error = paths[i] + ": cannot read";
            return false;
        }
        PackEntry e;
        e.name = names[i];
        if (e.name.size() > 15) {
            error = paths[i] + ": entry name \"" + e.name + "\" is " + std::to_string(e.name.size()) +
                    " characters; a script name has at most 15";
            return false;
        }
        if (!ScriptTextToCp932(std::string(raw.begin(), raw.end()), paths[i], e.data, error)) return false;
        entries.push_back(std::move(e));
    }
    std::vector<uint8_t> out;
    if (!BuildScriptArchive(entries, out, error)) return false;
    if (!WriteFileAtomic(outPath, out)) {
        error = outPath + ": cannot write";
        return false;
    }
    if (count) *count = static_cast<int>(entries.size());
    return true;
}

bool PackVolumeFolder(const std::string& dir, int width, bool keepExtension, const std::string& outPath,
                      std::string& error, int* count) {
    std::vector<std::string> names, paths;
    if (!ReadFolder(dir, keepExtension, names, paths, error)) return false;
    std::vector<PackEntry> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        PackEntry e;
        e.name = names[i];
        if (!ReadWholeFile(paths[i], e.data)) {
            error = paths[i] + ": cannot read";
            return false;
        }
        if (static_cast<int>(e.name.size()) > width - 1) {
            error = paths[i] + ": entry name \"" + e.name + "\" does not fit a name width of " +
                    std::to_string(width) + " (at most " + std::to_string(width - 1) + " characters)";
            return false;
        }
        entries.push_back(std::move(e));
    }
    std::vector<uint8_t> out;
    if (!BuildVolume(entries, width, out, error)) return false;
    if (!WriteFileAtomic(outPath, out)) {
        error = outPath + ": cannot write";
        return false;
    }
    if (count) *count = static_cast<int>(entries.size());
    return true;
}

}  // namespace velmora::tools
