// velmora-pack: builds and inspects the archives a game is made of.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/archive.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "tools/anim_encoder.h"
#include "tools/archive_writer.h"
#include "tools/game_build.h"
#include "tools/picture_encoder.h"
#include "tools/sound_encoder.h"
#include "tools/web_publish.h"

namespace {

const char kUsage[] =
    "usage: velmora-pack script FOLDER OUT.vrk\n"
    "       velmora-pack new DIR\n"
    "       velmora-pack build [--cache CACHE] DIR [OUT]\n"
    "       velmora-pack run [--cache CACHE] DIR [OUT] [-- ENGINE-OPTIONS...]\n"
    "       velmora-pack extract ARCHIVE [NAME...] [-o DIR]\n"
    "       velmora-pack volume [--width W] [--keep-ext] FOLDER OUT.vrk\n"
    "       velmora-pack list [--script|--volume] ARCHIVE\n"
    "       velmora-pack sound IN.wav OUT\n"
    "       velmora-pack music [--loop FRAME] [--quarter FRAMES] [--scale S] IN.wav OUT\n"
    "       velmora-pack voice [--quality Q] IN.wav OUT.ogg\n"
    "       velmora-pack info FILE\n"
    "       velmora-pack picture [--side-by-side|--stacked] [--no-run] [--no-delta] IN.png OUT\n"
    "       velmora-pack pictures [--stacked] [--no-run] [--no-delta] FOLDER OUT.vrk\n"
    "       velmora-pack picture-png ENTRY OUT.png\n"
    "       velmora-pack web [--engine DIR] [--font FILE]... GAME_DIR OUT_DIR\n"
    "       velmora-pack anim [--frame-time MS] [--animq] [--quality Q] [--key-every K]\n"
    "                         [--list FILE] [--sound IN.wav] FOLDER OUT\n"
    "\n"
    "  web      publishes the game folder GAME_DIR (its archives) as a static\n"
    "           web site in OUT_DIR: the browser engine and its page (from DIR,\n"
    "           default the browser build), a Japanese font (default IPA Gothic\n"
    "           or VL Gothic) and the game with a manifest.txt naming its files;\n"
    "           saves and global data in GAME_DIR are left out; with the app\n"
    "           manifest (the game's title and icon) and a service worker that\n"
    "           keeps the site for play without a network\n"
    "  new      writes a starter game into DIR: config.txt, scripts/, pictures/,\n"
    "           sounds/, loops/, voices/, music/ and anim/, ready to build and play\n"
    "  build    packs the game folder DIR into the archives the engine reads, in\n"
    "           OUT (default DIR/dist): config.txt and scripts/*.txt into\n"
    "           vk_data.vrk, pictures/*.png into vk_gra.vrk (RGBA as masked\n"
    "           pictures, stacked for *.stacked.png), pictures/*.jpg into\n"
    "           vk_gjp.vrk, sounds/*.wav into vk_se0.vrk and loops/*.wav into\n"
    "           vk_se2.vrk (WADY effects), voices/*.wav or *.ogg into vk_ogg1.vrk\n"
    "           (Ogg), music/*.wav into vk_bgm.vrk (WADY music, loop points in\n"
    "           music/loops.txt), anim/NAME/ frames into vk_anim.vrk; only what\n"
    "           changed since the last build is coded again, from what it coded\n"
    "           before, kept in CACHE (default OUT/.cache); warns when OUT holds\n"
    "           saved play (save/, save0.dat, kaiso.dat), which is not to be shipped\n"
    "  run      builds as build does, then plays the game from DIR/run (links to\n"
    "           the archives in OUT), so that the saves of your play stay out of\n"
    "           OUT; options after -- go to velmora (e.g. -- --verbose)\n"
    "  extract  writes the entries of ARCHIVE (or those named) into the folder\n"
    "           layout of build under DIR (default .): scripts as UTF-8 text,\n"
    "           pictures as PNG with their mask as alpha, sounds and music as\n"
    "           WAV, voices as Ogg; build makes the same archive of them again\n"
    "  script   packs every UTF-8 text file of FOLDER as a script entry named by\n"
    "           the file name without extension (at most 15 characters); each\n"
    "           line is converted to CP932 and ended by one NUL\n"
    "  volume   packs every file of FOLDER as it is, with a name field of W bytes\n"
    "           (default 16; names have at most W - 1 characters)\n"
    "  list     prints the index of an archive: name, offset, size; files named\n"
    "           vk_data*.vrk are read as script archives unless told otherwise\n"
    "  sound    a 16-bit PCM WAV (mono or stereo) to a run-coded WADY sound effect\n"
    "  music    a WAV to a byte-coded WADY music track that loops back to frame\n"
    "           FRAME (default 0) at its end; quarters of FRAMES frames (default a\n"
    "           quarter second); scale S 1 ... 255 (default: the best of 1 ... 16)\n"
    "  voice    a WAV to an Ogg Vorbis voice, quality Q from -0.1 to 1 (default 0.4)\n"
    "  info     prints the header of a WADY file, or the header and frame\n"
    "           table of an animation entry\n"
    "  sound and music print the signal-to-noise ratio of the coding\n"
    "  picture  packs one PNG into a packed picture entry file; an RGBA PNG\n"
    "           becomes a masked picture with its mask beside (--side-by-side)\n"
    "           or below (--stacked) the colour, otherwise its alpha is dropped\n"
    "  pictures packs every PNG of FOLDER into a picture volume (vk_gra.vrk),\n"
    "           entries named by the file name up to its first dot; RGBA PNGs\n"
    "           become side-by-side masked pictures, stacked with --stacked or\n"
    "           when the file name ends in .stacked.png; prints each size next\n"
    "           to the PNG's\n"
    "  picture-png  decodes a packed picture entry file into an RGB PNG\n"
    "  anim     builds an animation entry from the numbered PNG or JPEG frames\n"
    "           of FOLDER (in name order, all of one size): each frame becomes a\n"
    "           key frame, a patch of the box that changed or a hold, found by\n"
    "           comparing it with the frame before; the first and last frames\n"
    "           are key frames, and one at least every K frames (default 10,\n"
    "           0: none forced). --list FILE names the frames of FOLDER one a\n"
    "           line instead, each optionally followed by key, hold, patch or\n"
    "           patch X Y W H. MS per frame (default 100); --animq stores the\n"
    "           frame size for animq, which shows the frames doubled; JPEG\n"
    "           quality Q (default 90); --sound adds a WAV as the sound track\n"
    "  --no-run, --no-delta  never apply the run or delta stage (they are\n"
    "           otherwise applied whenever they make the entry smaller)\n";

// The author's own play (slots, read marks) found in the folder to ship.
void WarnOfPlayData(const std::string& out, const std::string& dir) {
    const std::vector<std::string> found = velmora::tools::PlayDataIn(out);
    if (found.empty()) return;
    std::string list;
    for (const std::string& f : found) list += (list.empty() ? "" : ", ") + f;
    std::fprintf(stderr,
                 "velmora-pack: warning: %s holds saved play (%s): it was played from there; leave it out of what "
                 "you ship, and play with \"velmora-pack run %s\", which plays from %s/run\n",
                 out.c_str(), list.c_str(), dir.c_str(), dir.c_str());
}

// Plays the built game from DIR/run, where the saves go, with the engine
// that sits beside this program (else the one on PATH).
int Run(const std::string& dir, const std::string& out, const char* self, const std::vector<std::string>& passOn) {
    const std::string run = dir + "/run";
    std::string error;
    if (!velmora::tools::PrepareRunFolder(out, run, error)) {
        std::fprintf(stderr, "velmora-pack: %s\n", error.c_str());
        return 1;
    }
    std::string engine = "velmora";
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string here = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(self);
    if (here.find('/') != std::string::npos) {
        const std::string beside = here.substr(0, here.rfind('/') + 1) + "velmora";
        if (::access(beside.c_str(), X_OK) == 0) engine = beside;
    }
    std::vector<std::string> args = {engine};
    args.insert(args.end(), passOn.begin(), passOn.end());
    args.push_back(run);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::printf("playing %s (saves stay in it)\n", run.c_str());
    std::fflush(stdout);
    ::execvp(engine.c_str(), argv.data());
    std::fprintf(stderr, "velmora-pack: cannot start %s: %s\n", engine.c_str(), std::strerror(errno));
    return 1;
}

int Usage(const char* why) {
    std::fprintf(stderr, "velmora-pack: %s\n\n%s", why, kUsage);
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "velmora-pack: %s\n", error.c_str());
    return 1;
}

int List(int argc, char** argv) {
    int mode = 0;  // 0 guess, 1 script, 2 volume
    std::string path;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--script") mode = 1;
        else if (a == "--volume") mode = 2;
        else if (path.empty()) path = a;
        else return Usage("list takes one archive");
    }
    if (path.empty()) return Usage("list needs an archive");
    if (!velmora::IsRegularFile(path)) return Fail(path + ": no such file");
    if (mode == 0) {
        std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
        mode = velmora::UpperName(base).rfind("VK_DATA", 0) == 0 ? 1 : 2;
    }
    velmora::ArchiveIndex index;
    index.path = path;
    if (mode == 1) velmora::ReadScriptIndex(path, index);
    else velmora::ReadVolumeIndex(path, index);
    if (index.count == 0 && velmora::FileSize(path) != 4 && !(mode == 2 && velmora::FileSize(path) == 8))
        return Fail(path + ": not " + (mode == 1 ? "a script archive" : "an archive") + " this engine can read");
    std::printf("%s: %s, %d entries%s\n", path.c_str(), mode == 1 ? "script archive" : "volume", index.count,
                mode == 2 ? (", name width " + std::to_string(index.width)).c_str() : "");
    for (int i = 0; i < index.count; ++i)
        std::printf("%-24s %10d %10d\n", index.names[i].c_str(), index.offsets[i], index.sizes[i]);
    return 0;
}

bool ReadSound(const std::string& path, velmora::tools::PcmSound& sound, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!velmora::ReadWholeFile(path, bytes)) {
        error = path + ": cannot be read";
        return false;
    }
    if (!velmora::tools::ReadWav(bytes, sound, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool Number(const char* text, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

// sound, music and voice: WAV in, one file out.
int Encode(const std::string& cmd, int argc, char** argv) {
    using namespace velmora::tools;
    MusicOptions mo;
    float quality = 0.4f;
    std::string in, out;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        long n = 0;
        if (cmd == "music" && (a == "--loop" || a == "--quarter" || a == "--scale") && i + 1 < argc) {
            if (!Number(argv[++i], n) || n < 0) return Usage((a + " takes a number").c_str());
            if (a == "--loop") mo.loopFrame = static_cast<uint32_t>(n);
            else if (a == "--quarter") mo.framesPerQuarter = static_cast<uint32_t>(n);
            else mo.scale = static_cast<int>(n);
        } else if (cmd == "voice" && a == "--quality" && i + 1 < argc) {
            quality = std::strtof(argv[++i], nullptr);
        } else if (in.empty()) {
            in = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return Usage((cmd + " takes IN.wav OUT").c_str());
        }
    }
    if (out.empty()) return Usage((cmd + " takes IN.wav OUT").c_str());
    PcmSound sound;
    std::string error;
    if (!ReadSound(in, sound, error)) return Fail(error);
    std::vector<uint8_t> bytes;
    if (cmd == "sound") bytes = EncodeSoundEffect(sound);
    else if (cmd == "music" && !EncodeMusic(sound, mo, bytes, error)) return Fail(error);
    else if (cmd == "voice" && !EncodeVoice(sound, quality, bytes, error)) return Fail(error);
    if (!velmora::WriteFileAtomic(out, bytes)) return Fail(out + ": cannot be written");
    std::printf("%s: %zu bytes from %zu frames (%d channels, %u Hz)", out.c_str(), bytes.size(), sound.Frames(),
                sound.channels, sound.rate);
    if (cmd != "voice") {
        PcmSound back;
        if (DecodeWadyFile(bytes, back, error))
            std::printf(", signal-to-noise %.1f dB", SignalToNoise(sound.samples, back.samples));
    }
    std::printf("\n");
    return 0;
}

int Info(int argc, char** argv) {
    if (argc != 1) return Usage("info takes one file");
    std::vector<uint8_t> bytes;
    if (!velmora::ReadWholeFile(argv[0], bytes)) return Fail(std::string(argv[0]) + ": cannot be read");
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "WADY", 4) != 0) {
        std::string text = velmora::tools::DescribeAnim(bytes);
        std::fputs(text.c_str(), stdout);
        return text.rfind("animation", 0) == 0 ? 0 : 1;
    }
    std::string text = velmora::tools::DescribeWady(bytes);
    std::fputs(text.c_str(), stdout);
    return text.rfind("WADY", 0) == 0 ? 0 : 1;
}

bool ReadFrame(const std::string& path, velmora::Picture& picture, std::string& error) {
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool jpeg = lower.size() > 4 && (lower.rfind(".jpg") == lower.size() - 4 ||
                                           (lower.size() > 5 && lower.rfind(".jpeg") == lower.size() - 5));
    if (!jpeg) {
        if (velmora::ReadPng(path, picture)) return true;
        error = path + ": not a PNG file that can be read";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (velmora::ReadWholeFile(path, bytes) && velmora::DecodeJpegPicture(bytes.data(), bytes.size(), picture))
        return true;
    error = path + ": not a JPEG file that can be read";
    return false;
}

bool FrameFile(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".png", ".jpg", ".jpeg"}) {
        const size_t n = std::strlen(ext);
        if (lower.size() > n && lower.compare(lower.size() - n, n, ext) == 0) return true;
    }
    return false;
}

int PackAnim(int argc, char** argv) {
    velmora::tools::AnimEncodeOptions options;
    std::string folder, out, list, wav;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        long n = 0;
        if ((a == "--frame-time" || a == "--quality" || a == "--key-every") && i + 1 < argc) {
            if (!Number(argv[++i], n) || n < 0) return Usage((a + " takes a number").c_str());
            if (a == "--frame-time") options.frameTime = static_cast<uint32_t>(n);
            else if (a == "--quality") options.jpegQuality = static_cast<int>(n);
            else options.keyEvery = static_cast<int>(n);
        } else if (a == "--list" && i + 1 < argc) {
            list = argv[++i];
        } else if (a == "--sound" && i + 1 < argc) {
            wav = argv[++i];
        } else if (a == "--animq") {
            options.quality = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage(("unknown option " + a).c_str());
        } else if (folder.empty()) {
            folder = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return Usage("anim takes FOLDER OUT");
        }
    }
    if (out.empty()) return Usage("anim takes FOLDER OUT");
    std::string error;
    std::vector<std::string> files;
    std::vector<velmora::tools::AnimFrameChoice> choices;
    if (!list.empty()) {
        std::vector<uint8_t> text;
        if (!velmora::ReadWholeFile(list, text)) return Fail(list + ": cannot be read");
        if (!velmora::tools::ReadFrameList(std::string(text.begin(), text.end()), files, choices, error))
            return Fail(list + ": " + error);
        for (std::string& f : files) f = folder + "/" + f;
    } else {
        std::vector<std::string> names, paths;
        if (!velmora::tools::ReadFolder(folder, true, names, paths, error)) return Fail(error);
        for (size_t i = 0; i < names.size(); ++i)
            if (FrameFile(names[i])) files.push_back(paths[i]);
        if (files.empty()) return Fail(folder + ": no PNG or JPEG frames");
    }
    std::vector<velmora::Picture> pictures(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        if (!ReadFrame(files[i], pictures[i], error)) return Fail(error);
    std::vector<uint8_t> sound;
    if (!wav.empty()) {
        velmora::tools::PcmSound pcm;
        if (!ReadSound(wav, pcm, error)) return Fail(error);
        if (!velmora::tools::EncodeMusic(pcm, velmora::tools::MusicOptions{}, sound, error)) return Fail(wav + ": " + error);
    }
    std::vector<uint8_t> entry;
    std::vector<velmora::tools::AnimFrame> frames;
    if (!velmora::tools::BuildAnimEntry(pictures, choices, options, sound, entry, frames, error)) return Fail(error);
    if (!velmora::WriteFileAtomic(out, entry)) return Fail(out + ": cannot be written");
    int count[3] = {0, 0, 0};
    for (const velmora::tools::AnimFrame& f : frames)
        if (f.kind >= 0 && f.kind <= 2) ++count[f.kind];
    std::printf("%s: %zu bytes, %zu frames of %dx%d (%d key, %d patch, %d hold), %u ms a frame, sound %zu bytes\n",
                out.c_str(), entry.size(), frames.size(), pictures[0].width, pictures[0].height, count[0], count[1],
                count[2], options.frameTime, sound.size());
    return 0;
}

double Ratio(size_t a, size_t b) { return b ? static_cast<double>(a) / static_cast<double>(b) : 0.0; }

int PackOnePicture(int argc, char** argv) {
    velmora::tools::MaskLayout layout = velmora::tools::MaskLayout::None;
    velmora::tools::PictureEncodeOptions options;
    std::string in, out;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--side-by-side") layout = velmora::tools::MaskLayout::SideBySide;
        else if (a == "--stacked") layout = velmora::tools::MaskLayout::Stacked;
        else if (a == "--no-run") options.allowRun = false;
        else if (a == "--no-delta") options.allowDelta = false;
        else if (!a.empty() && a[0] == '-') return Usage(("unknown option " + a).c_str());
        else if (in.empty()) in = a;
        else if (out.empty()) out = a;
        else return Usage("picture takes IN.png OUT");
    }
    if (out.empty()) return Usage("picture takes IN.png OUT");
    velmora::tools::PackedPictureFile file;
    std::string error, warning;
    if (!velmora::tools::PackPngPicture(in, layout, options, file, error, &warning)) return Fail(error);
    if (!warning.empty()) std::fprintf(stderr, "velmora-pack: %s\n", warning.c_str());
    if (!velmora::WriteFileAtomic(out, file.entry)) return Fail(out + ": cannot write");
    std::printf("%s: %zu bytes (PNG %zu bytes, %.3f of it)\n", out.c_str(), file.entry.size(), file.pngBytes,
                Ratio(file.entry.size(), file.pngBytes));
    return 0;
}

int PackPictures(int argc, char** argv) {
    bool stacked = false;
    velmora::tools::PictureEncodeOptions options;
    std::string folder, out;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--stacked") stacked = true;
        else if (a == "--no-run") options.allowRun = false;
        else if (a == "--no-delta") options.allowDelta = false;
        else if (!a.empty() && a[0] == '-') return Usage(("unknown option " + a).c_str());
        else if (folder.empty()) folder = a;
        else if (out.empty()) out = a;
        else return Usage("pictures takes FOLDER OUT.vrk");
    }
    if (out.empty()) return Usage("pictures takes FOLDER OUT.vrk");
    std::vector<velmora::tools::PackedPictureFile> packed;
    std::string error;
    if (!velmora::tools::PackPictureFolder(folder, stacked, options, out, packed, error)) return Fail(error);
    size_t raw = 0, png = 0, ours = 0;
    for (const velmora::tools::PackedPictureFile& p : packed) {
        velmora::PackedHeader h;
        velmora::ParsePackedHeader(p.entry.data(), p.entry.size(), h);
        const size_t bytes = static_cast<size_t>(h.width) * h.height * 3;
        std::printf("%-16s %5dx%-5d raw %9zu  packed %8zu (%.3f)  PNG %8zu (%.3f)  stages%s%s\n", p.name.c_str(),
                    h.width, h.height, bytes, p.entry.size(), Ratio(p.entry.size(), bytes), p.pngBytes,
                    Ratio(p.pngBytes, bytes), h.flags & velmora::kPackedDeltaStage ? " delta" : "",
                    h.flags & velmora::kPackedRunStage ? " run" : "");
        raw += bytes;
        png += p.pngBytes;
        ours += p.entry.size();
    }
    std::printf("%s: %zu pictures, raw %zu, packed %zu (%.3f), PNG %zu (%.3f)\n", out.c_str(), packed.size(), raw,
                ours, Ratio(ours, raw), png, Ratio(png, raw));
    return 0;
}

int PictureToPng(int argc, char** argv) {
    if (argc != 2) return Usage("picture-png takes ENTRY OUT.png");
    std::vector<uint8_t> entry;
    if (!velmora::ReadWholeFile(argv[0], entry)) return Fail(std::string(argv[0]) + ": cannot read");
    velmora::Picture picture;
    if (!velmora::DecodePackedPicture(entry.data(), entry.size(), picture, argv[0]))
        return Fail(std::string(argv[0]) + ": not a packed picture that can be decoded");
    if (!velmora::WritePng(argv[1], picture)) return Fail(std::string(argv[1]) + ": cannot write");
    std::printf("%s: %dx%d\n", argv[1], picture.width, picture.height);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("a command is needed");
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string error;
    int count = 0;
    if (cmd == "web") {
        velmora::tools::WebPublishOptions o;
        o.engineDir = VELMORA_WEB_ENGINE_DIR;
        std::vector<std::string> rest;
        for (int i = 2; i < argc; ++i) {
            const std::string a = argv[i];
            if ((a == "--engine" || a == "--font") && i + 1 < argc) {
                if (a == "--engine") o.engineDir = argv[++i];
                else o.fonts.push_back(argv[++i]);
            } else if (!a.empty() && a[0] == '-') {
                return Usage(("unknown option " + a).c_str());
            } else {
                rest.push_back(a);
            }
        }
        if (rest.size() != 2) return Usage("web takes GAME_DIR OUT_DIR");
        o.gameDir = rest[0];
        o.outDir = rest[1];
        if (!velmora::tools::PublishWebSite(o, error, &count)) return Fail(error);
        std::printf("%s: %d game files, the engine and its font; serve the folder with any static web server\n",
                    o.outDir.c_str(), count);
        return 0;
    }
    if (cmd == "script") {
        if (argc != 4) return Usage("script takes FOLDER OUT.vrk");
        if (!velmora::tools::PackScriptFolder(argv[2], argv[3], error, &count)) return Fail(error);
        // A vk_data2.vrk patch replaces entries one by one: it needs neither.
        const std::string out = argv[3];
        const bool patch = out.size() >= 12 && velmora::UpperName(out.substr(out.size() - 12)) == "VK_DATA2.VRK";
        for (const char* needed : {"main", "_config"}) {
            if (patch) break;
            std::vector<std::string> names, paths;
            bool found = false;
            if (velmora::tools::ReadFolder(argv[2], false, names, paths, error))
                for (const std::string& n : names) found = found || velmora::UpperName(n) == velmora::UpperName(needed);
            if (!found)
                std::fprintf(stderr, "velmora-pack: warning: %s has no script \"%s\"%s\n", argv[2], needed,
                             needed[0] == 'm' ? ": the game has nothing to start" : ": every key keeps its default");
        }
        std::printf("%s: %d scripts\n", argv[3], count);
        return 0;
    }
    if (cmd == "volume") {
        int width = 16;
        bool keepExt = false;
        std::string folder, out;
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--width" && i + 1 < argc) {
                char* end = nullptr;
                long w = std::strtol(argv[++i], &end, 10);
                if (*end != '\0') return Usage("--width takes a number");
                width = static_cast<int>(w);
            } else if (a == "--keep-ext") {
                keepExt = true;
            } else if (folder.empty()) {
                folder = a;
            } else if (out.empty()) {
                out = a;
            } else {
                return Usage("volume takes FOLDER OUT.vrk");
            }
        }
        if (out.empty()) return Usage("volume takes FOLDER OUT.vrk");
        if (!velmora::tools::PackVolumeFolder(folder, width, keepExt, out, error, &count)) return Fail(error);
        std::printf("%s: %d entries\n", out.c_str(), count);
        return 0;
    }
    if (cmd == "list") return List(argc - 2, argv + 2);
    if (cmd == "new") {
        if (argc != 3) return Usage("new takes DIR");
        if (!velmora::tools::NewGame(argv[2], error)) return Fail(error);
        std::printf("%s: a starter game; velmora-pack run %s builds and plays it\n", argv[2], argv[2]);
        return 0;
    }
    if (cmd == "build" || cmd == "run") {
        const bool run = cmd == "run";
        std::string dir, out, cache;
        std::vector<std::string> passOn;  // run: what follows "--" goes to the engine
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (run && a == "--") {
                passOn.assign(argv + i + 1, argv + argc);
                break;
            }
            if (a == "--cache") {
                if (i + 1 >= argc) return Usage("--cache takes a folder");
                cache = argv[++i];
            } else if (!a.empty() && a[0] == '-') {
                return Usage(("unknown option " + a).c_str());
            } else if (dir.empty()) {
                dir = a;
            } else if (out.empty()) {
                out = a;
            } else {
                return Usage((cmd + " takes DIR [OUT]").c_str());
            }
        }
        if (dir.empty()) return Usage((cmd + " takes DIR [OUT]").c_str());
        velmora::tools::BuildSummary s;
        if (!velmora::tools::BuildGame(dir, out, stderr, s, error, cache)) return Fail(error);
        const std::string shown = out.empty() ? dir + "/dist" : out;
        const std::string removed = s.removed ? ", " + std::to_string(s.removed) + " removed" : "";
        std::printf("%s: %d archives (%d unchanged%s), %d entries, %zu bytes, %d coded, %.2f s\n", shown.c_str(),
                    s.archives, s.unchanged, removed.c_str(), s.entries, s.bytes, s.coded, s.seconds);
        if (run) return Run(dir, shown, argv[0], passOn);
        WarnOfPlayData(shown, dir);
        return 0;
    }
    if (cmd == "extract") {
        std::string archive, out = ".";
        std::vector<std::string> names;
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "-o") {
                if (i + 1 >= argc) return Usage("-o takes a folder");
                out = argv[++i];
            } else if (!a.empty() && a[0] == '-') {
                return Usage(("unknown option " + a).c_str());
            } else if (archive.empty()) {
                archive = a;
            } else {
                names.push_back(a);
            }
        }
        if (archive.empty()) return Usage("extract takes ARCHIVE [NAME...] [-o DIR]");
        if (!velmora::tools::ExtractArchive(archive, names, out, stdout, error)) return Fail(error);
        return 0;
    }
    if (cmd == "sound" || cmd == "music" || cmd == "voice") return Encode(cmd, argc - 2, argv + 2);
    if (cmd == "info") return Info(argc - 2, argv + 2);
    if (cmd == "picture") return PackOnePicture(argc - 2, argv + 2);
    if (cmd == "pictures") return PackPictures(argc - 2, argv + 2);
    if (cmd == "picture-png") return PictureToPng(argc - 2, argv + 2);
    if (cmd == "anim") return PackAnim(argc - 2, argv + 2);
    return Usage(("unknown command " + cmd).c_str());
}
