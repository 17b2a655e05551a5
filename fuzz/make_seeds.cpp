// Writes the seed corpora of the harnesses: every entry of the demo game's
// archives sorted by the reader that takes it, the archives themselves, and
// small files made with the authoring tools where the demo has none.
// The settings and events harnesses are seeded from the tests: every events
// text a test hands to a run, and every settings file a test writes.
//   velmora-fuzz-seeds OUT_DIR DEMO_DIR [TESTS_DIR]
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/archive.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/picture.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "tools/anim_encoder.h"
#include "tools/archive_writer.h"
#include "tools/picture_encoder.h"
#include "tools/sound_encoder.h"

using namespace velmora;
using Bytes = std::vector<uint8_t>;

namespace {

std::string out;
int written = 0;

void Seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
    const std::string dir = out + "/" + harness;
    MakeDirectories(dir);
    if (!WriteFileAtomic(dir + "/" + name, bytes)) {
        std::fprintf(stderr, "velmora-fuzz-seeds: cannot write %s/%s\n", dir.c_str(), name.c_str());
        std::exit(1);
    }
    ++written;
}

Picture Gradient(int w, int h) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = p.Pixel(x, y);
            px[0] = static_cast<uint8_t>(x * 8);
            px[1] = static_cast<uint8_t>(y * 8);
            px[2] = static_cast<uint8_t>((x + y) * 4);
        }
    return p;
}

// Entries of one archive, as the engine's own index reader sees them.
void Entries(const std::string& path, bool script, std::vector<std::pair<std::string, Bytes>>& entries) {
    ArchiveIndex index;
    index.path = path;
    if (script) ReadScriptIndex(path, index);
    else ReadVolumeIndex(path, index);
    for (int i = 0; i < index.count; ++i) {
        Bytes b;
        if (ReadEntry(index, i, b) < 0) continue;
        if (script) NegateBytes(b.data(), b.size());
        entries.emplace_back(index.names[i], b);
    }
}

void PutLE32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 2 x 2 cursor, 24 bits, inside RIFF ACON / LIST fram.
Bytes Cursor() {
    Bytes cur = {0, 0, 2, 0, 1, 0, 2, 2, 0, 0, 1, 0, 0, 0};
    Bytes dib;
    PutLE32(dib, 40), PutLE32(dib, 2), PutLE32(dib, 4);
    dib.insert(dib.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) PutLE32(dib, 0);
    dib.insert(dib.end(), {0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0});
    dib.insert(dib.end(), {0, 0, 0, 0, 0x40, 0, 0, 0});
    PutLE32(cur, static_cast<uint32_t>(dib.size()));
    PutLE32(cur, 22);
    cur.insert(cur.end(), dib.begin(), dib.end());
    Bytes list = {'f', 'r', 'a', 'm', 'i', 'c', 'o', 'n'};
    PutLE32(list, static_cast<uint32_t>(cur.size()));
    list.insert(list.end(), cur.begin(), cur.end());
    Bytes ani = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'C', 'O', 'N', 'a', 'n', 'i', 'h'};
    PutLE32(ani, 4), PutLE32(ani, 0);
    ani.insert(ani.end(), {'L', 'I', 'S', 'T'});
    PutLE32(ani, static_cast<uint32_t>(list.size()));
    ani.insert(ani.end(), list.begin(), list.end());
    const uint32_t riff = static_cast<uint32_t>(ani.size() - 8);
    for (int i = 0; i < 4; ++i) ani[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
    return ani;
}

// A 24-bit bottom-up bitmap file.
Bytes Bitmap(const Picture& p) {
    const uint32_t stride = (p.width * 3 + 3) & ~3u;
    Bytes b = {'B', 'M'};
    PutLE32(b, 54 + stride * p.height), PutLE32(b, 0), PutLE32(b, 54);
    PutLE32(b, 40), PutLE32(b, p.width), PutLE32(b, p.height);
    b.insert(b.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) PutLE32(b, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        b.insert(b.end(), p.Row(y), p.Row(y) + p.width * 3);
        b.resize(b.size() + stride - p.width * 3, 0);
    }
    return b;
}

// The names after "roll " on a script's command lines.
void RollNames(const Bytes& script, std::vector<std::string>& names) {
    const std::string text(script.begin(), script.end());
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.size() > 6 && (line[0] == '*' || line[0] == '@') && StartsWithNoCase(line.c_str() + 1, "roll ")) {
            const size_t blank = line.find_first_of(" \t\r", 6);
            names.push_back(line.substr(6, blank == std::string::npos ? std::string::npos : blank - 6));
        }
        start = end + 1;
    }
}

// The C++ string literal starting at text[at] (at the quote), with any
// literals right after it joined on; at moves past them.
std::string Literal(const std::string& text, size_t& at) {
    std::string value;
    while (at < text.size() && text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            char c = text[at];
            if (c == '\\' && at + 1 < text.size()) {
                c = text[++at];
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            }
            value += c;
        }
        ++at;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\n')) ++at;
    }
    return value;
}

void SeedsFromTests(const std::string& tests) {
    namespace fs = std::filesystem;
    int events = 0, settings = 0;
    for (const auto& file : fs::recursive_directory_iterator(tests)) {
        if (file.path().extension() != ".cpp") continue;
        Bytes raw;
        if (!ReadWholeFile(file.path().string(), raw)) continue;
        const std::string text(raw.begin(), raw.end());
        for (size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at)) {
            const bool isEvents = at >= 7 && text.compare(at - 7, 7, "Events(") == 0;
            const std::string value = Literal(text, at);
            if (isEvents && !value.empty()) {
                Seed("events", "test-" + std::to_string(++events), Bytes(value.begin(), value.end()));
            } else if (value.size() > 3 && value[0] == '[' && value.find("]\n") != std::string::npos &&
                       value.find('=') != std::string::npos) {
                Seed("settings", "test-" + std::to_string(++settings), Bytes(value.begin(), value.end()));
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: velmora-fuzz-seeds OUT_DIR DEMO_DIR [TESTS_DIR]\n");
        return 2;
    }
    out = argv[1];
    const std::string demo = argv[2];
    std::string error;
    namespace fs = std::filesystem;
    for (const auto& file : fs::directory_iterator(demo)) {
        const std::string name = file.path().filename().string();
        if (name.size() < 4 || name.substr(name.size() - 4) != ".vrk") continue;
        const bool script = name.rfind("vk_data", 0) == 0;
        std::vector<std::pair<std::string, Bytes>> entries;
        Entries(file.path().string(), script, entries);
        // Roll scripts are named only by the scripts' "roll" lines.
        std::vector<std::string> rolls;
        if (script)
            for (const auto& [entry, bytes] : entries) RollNames(bytes, rolls);
        Bytes whole;
        if (file.file_size() <= 64 * 1024 && ReadWholeFile(file.path().string(), whole)) Seed("archive", name, whole);
        for (auto& [entry, bytes] : entries) {
            const std::string seed = name.substr(0, name.size() - 4) + "-" + entry;
            if (script) {
                Seed(entry == "_CONFIG" ? "config" : "script", seed, bytes);
                Seed("sjis", seed, bytes);
                for (const char* table : {"MAP", "VIEW", "SYS_FLASHBAK", "SELTREE", "ENDROLL", "SROLL"})
                    if (entry == table) Seed("tables", seed, bytes);
                for (const std::string& roll : rolls)
                    if (EqualsNoCase(entry.c_str(), roll.c_str())) Seed("roll", seed, bytes);
            } else if (name.rfind("vk_gra", 0) == 0) {
                Bytes whole = {0};
                whole.insert(whole.end(), bytes.begin(), bytes.end());
                Seed("packed_picture", seed, whole);
            } else if (name.rfind("vk_se", 0) == 0 || name.rfind("vk_wav", 0) == 0) {
                Seed("wady", seed, bytes);
            } else if (name.rfind("vk_bgm", 0) == 0) {
                // Long tracks make slow inputs; the tools make short ones below.
                if (bytes.size() > 64 * 1024) continue;
                Seed("music", seed, bytes);
                Seed("wady", seed, bytes);
            } else if (name.rfind("vk_ogg", 0) == 0) {
                Seed("ogg", seed, bytes);
            } else if (name.rfind("vk_anim", 0) == 0) {
                Seed("anim", seed, bytes);
            }
        }
    }
    // The scene scroll's table, which the demo does not have.
    Bytes scroll;
    if (tools::ScriptTextToCp932("　第一章\n\n夜明けの丘\n}\n", "sroll", scroll, error)) Seed("tables", "tool-sroll", scroll);
    // Volumes the demo has no entries for, made with the tools.
    const Picture small = Gradient(24, 16);
    Bytes packed;
    for (bool run : {false, true})
        for (bool delta : {false, true}) {
            tools::PictureEncodeOptions o;
            o.allowRun = run;
            o.allowDelta = delta;
            if (!tools::EncodePackedPicture(small, o, packed, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
            Bytes whole = {0};
            whole.insert(whole.end(), packed.begin(), packed.end());
            Seed("packed_picture", std::string("tool-") + (run ? "run" : "") + (delta ? "delta" : ""), whole);
        }
    Bytes jpeg;
    if (!tools::EncodeJpeg(small, 80, jpeg, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    Seed("jpeg", "tool-gradient", jpeg);
    Seed("bmp", "tool-gradient", Bitmap(small));
    Seed("cursor", "tool-arrow", Cursor());
    tools::PcmSound tone;
    for (int i = 0; i < 2000; ++i) tone.samples.push_back(static_cast<int16_t>((i % 50) * 600 - 15000));
    Bytes voice;
    if (!tools::EncodeVoice(tone, 0.1f, voice, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
    Seed("ogg", "tool-tone", voice);
    for (int channels : {1, 2}) {
        tools::PcmSound music = tone;
        music.channels = channels;
        Bytes track;
        if (!tools::EncodeMusic(music, {}, track, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
        Seed("music", "tool-tone" + std::to_string(channels), track);
        Seed("wady", "tool-tone" + std::to_string(channels), track);
    }
    // A slot and the global data as a fresh game writes them.
    auto slot = std::make_unique<SlotImage>();
    std::memset(slot.get(), 0, sizeof *slot);
    Bytes slotBytes(kSlotFileSize);
    EncodeSlot(*slot, slotBytes.data());
    Seed("slot", "tool-empty", slotBytes);
    Bytes global(kGlobalFileSize, 0);
    const uint32_t check = GlobalCheckValue(global.data(), kGlobalFileSize - 4);
    for (int i = 0; i < 4; ++i) global[kGlobalFileSize - 4 + i] = static_cast<uint8_t>(check >> (8 * i));
    Seed("global", "tool-fresh", global);
    if (argc == 4) SeedsFromTests(argv[3]);
    std::printf("velmora-fuzz-seeds: %d seeds in %s\n", written, out.c_str());
    return 0;
}
