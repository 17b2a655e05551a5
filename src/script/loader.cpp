#include "script/loader.h"

#include <cstring>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"

namespace velmora {

bool LoadScript(TForm1& f, const std::string& name, int mode) {
    std::string up = UpperName(name);
    const ArchiveIndex* index = nullptr;
    int pos = -1;
    for (int a : {1, 0}) {
        pos = FindEntry(f.data.scripts[a], up);
        if (pos >= 0) {
            index = &f.data.scripts[a];
            break;
        }
    }
    if (!index) {
        Trace("script %s: not in vk_data2.vrk or vk_data.vrk", TraceText(name).c_str());
        return false;
    }
    // Read aside first: a damaged entry must leave the loaded script intact.
    std::vector<uint8_t> bytes;
    int32_t got = index->sizes[pos] <= kScriptBufferSize ? ReadEntry(*index, pos, bytes) : -1;
    if (got < 0) {
        Trace("script %s: entry of %d bytes cannot be read into the %d-byte buffer", TraceText(name).c_str(),
              index->sizes[pos], kScriptBufferSize);
        return false;
    }
    NegateBytes(bytes.data(), bytes.size());
    uint8_t* target = mode == 1 ? f.stepper.script : reinterpret_cast<uint8_t*>(f.loader.table);
    std::memcpy(target, bytes.data(), bytes.size());
    // A NUL after the data keeps line scans inside the buffer.
    if (got < kScriptBufferSize) target[got] = 0;
    ClearInsertedText(f);
    RecollectionScriptLoaded(f, up);
    if (mode == 1) {
        f.loader.loadedScript = name;
        f.stepper.scriptLength = got;
        f.stepper.readPos = 0;
        f.stepper.needLine = true;
        f.stepper.ScriptRunning = true;
        f.vars.S[10] = 0;
        Trace("script %s: loaded, %d bytes", TraceText(name).c_str(), got);
    } else {
        f.loader.tableLength = got;
        f.loader.tableReadPos = 0;
        Trace("table %s: loaded, %d bytes", TraceText(name).c_str(), got);
    }
    return true;
}

std::string ReadTableLine(const char* table, int32_t length, int32_t& pos) {
    if (pos < 0 || pos >= length) {
        pos = length;
        return std::string();
    }
    const char* start = table + pos;
    const void* nul = std::memchr(start, 0, static_cast<size_t>(length - pos));
    int32_t n = nul ? static_cast<int32_t>(static_cast<const char*>(nul) - start) : length - pos;
    pos += n + 1;
    return std::string(start, static_cast<size_t>(n));
}

std::string TableField(const std::string& text, int n) {
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) return std::string();
        start = comma + 1;
    }
    size_t end = text.find(',', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace velmora
