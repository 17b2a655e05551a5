#include "tools/game_build.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "audio/wady.h"
#include "data/archive.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "tools/anim_encoder.h"
#include "tools/archive_writer.h"
#include "tools/game_layout.h"
#include "tools/picture_encoder.h"
#include "tools/sound_encoder.h"

namespace velmora::tools {

namespace {

constexpr int kVolumeNameWidth = 16;

// One entry and the files it is coded from.
struct Source {
    std::string entry;
    SourceKind kind = SourceKind::Script;
    std::vector<std::string> paths;
    std::string options;  // coding options that live outside the files (music loops)
};

struct Target {
    std::string archive;
    bool script = false;
    std::vector<Source> sources;
};

bool EndsWithNoCase(const std::string& s, const char* ext) {
    const std::string a = UpperName(s), b = UpperName(ext);
    return a.size() >= b.size() && a.compare(a.size() - b.size(), b.size(), b) == 0;
}

// Size and modification time: what tells a changed file from an unchanged
// one. The file is named from `skip` on, so that the same game folder named
// another way (relative, absolute, through a link) is not coded again.
std::string Stamp(const std::string& path, size_t skip = 0) {
    const std::string name = path.substr(std::min(skip, path.size()));
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return name + " missing\n";
    return name + " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + "\n";
}

// Source paths are the game folder's (dirLength characters) and a name in it.
std::string SourceStamp(const Source& s, size_t dirLength) {
    std::string out = s.entry + "|" + s.options + "\n";
    for (const std::string& p : s.paths) out += Stamp(p, dirLength);
    return out;
}

bool ReadText(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteFileAtomic(path, text.data(), text.size());
}

// "music/loops.txt": one line per track, "NAME loop=FRAME quarter=FRAMES scale=S"
// (a bare number is the loop frame).
std::map<std::string, std::string> ReadMusicOptions(const std::string& path) {
    std::map<std::string, std::string> out;
    std::string text;
    if (!ReadText(path, text)) return out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t sp = line.find(' ');
        if (sp == std::string::npos) continue;
        out[UpperName(line.substr(0, sp))] = line.substr(sp + 1);
    }
    return out;
}

bool ParseMusicOptions(const std::string& text, MusicOptions& o, std::string& error) {
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        size_t end = text.find(' ', pos);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(pos, end - pos);
        pos = end;
        if (word.empty()) continue;
        const size_t eq = word.find('=');
        const std::string key = eq == std::string::npos ? "loop" : word.substr(0, eq);
        const std::string value = eq == std::string::npos ? word : word.substr(eq + 1);
        char* stop = nullptr;
        const long n = std::strtol(value.c_str(), &stop, 10);
        if (value.empty() || *stop != '\0' || n < 0) {
            error = "\"" + word + "\" is not KEY=NUMBER";
            return false;
        }
        if (key == "loop")
            o.loopFrame = static_cast<uint32_t>(n);
        else if (key == "quarter")
            o.framesPerQuarter = static_cast<uint32_t>(n);
        else if (key == "scale")
            o.scale = static_cast<int>(n);
        else {
            error = "unknown option \"" + key + "\" (loop, quarter, scale)";
            return false;
        }
    }
    return true;
}

// A sound effect written out by extract keeps its coded entry in a chunk
// after the samples: the effect coding is lossy and would not give the same
// bytes twice, so build takes the entry back as long as the samples are
// still those it decodes to (an edited sound is coded afresh).
constexpr char kCodedChunk[] = "vwdy";

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

std::vector<uint8_t> WavWithCodedEntry(const PcmSound& pcm, const std::vector<uint8_t>& entry) {
    std::vector<uint8_t> wav = WriteWav(pcm);
    const size_t at = wav.size();
    wav.resize(at + 8);
    std::memcpy(wav.data() + at, kCodedChunk, 4);
    Put32(wav, at + 4, static_cast<uint32_t>(entry.size()));
    wav.insert(wav.end(), entry.begin(), entry.end());
    if (entry.size() & 1) wav.push_back(0);
    Put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    return wav;
}

bool CodedEntryOf(const std::vector<uint8_t>& wav, std::vector<uint8_t>& entry) {
    size_t pos = 12;
    while (pos + 8 <= wav.size()) {
        const uint32_t len = static_cast<uint32_t>(wav[pos + 4] | wav[pos + 5] << 8 | wav[pos + 6] << 16 |
                                                   static_cast<uint32_t>(wav[pos + 7]) << 24);
        if (len > wav.size() - pos - 8) return false;
        if (std::memcmp(wav.data() + pos, kCodedChunk, 4) == 0) {
            entry.assign(wav.begin() + static_cast<long>(pos + 8), wav.begin() + static_cast<long>(pos + 8 + len));
            return true;
        }
        pos += 8 + len + (len & 1);
    }
    return false;
}

// The samples of a coded sound effect without the silence the coder adds.
bool DecodeEffect(const std::vector<uint8_t>& entry, PcmSound& pcm, std::string& error) {
    if (!DecodeWadyFile(entry, pcm, error)) return false;
    if (pcm.Frames() > static_cast<size_t>(kSoundEffectTail))
        pcm.samples.resize((pcm.Frames() - kSoundEffectTail) * static_cast<size_t>(pcm.channels));
    return true;
}

bool ReadSoundFile(const std::string& path, PcmSound& sound, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        error = path + ": cannot be read";
        return false;
    }
    if (!ReadWav(bytes, sound, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

// anim/NAME/anim.txt: "frame-time MS", "animq", "quality Q", "key-every K".
bool ReadAnimOptions(const std::string& path, AnimEncodeOptions& o, std::string& error) {
    std::string text;
    if (!ReadText(path, text)) return true;
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        ++lineNo;
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t sp = line.find(' ');
        const std::string key = line.substr(0, sp);
        const long n = sp == std::string::npos ? -1 : std::strtol(line.c_str() + sp + 1, nullptr, 10);
        if (key == "animq")
            o.quality = true;
        else if (key == "frame-time" && n > 0)
            o.frameTime = static_cast<uint32_t>(n);
        else if (key == "quality" && n > 0 && n <= 100)
            o.jpegQuality = static_cast<int>(n);
        else if (key == "key-every" && n >= 0)
            o.keyEvery = static_cast<int>(n);
        else {
            error = path + ":" + std::to_string(lineNo) + ": not one of frame-time MS, animq, quality Q, key-every K";
            return false;
        }
    }
    return true;
}

bool CodeAnim(const Source& s, std::vector<uint8_t>& out, std::string& error) {
    AnimEncodeOptions options;
    std::vector<Picture> frames;
    std::vector<uint8_t> sound;
    std::string soundPath;
    for (const std::string& p : s.paths) {
        if (EndsWithNoCase(p, "/anim.txt")) {
            if (!ReadAnimOptions(p, options, error)) return false;
        } else if (EndsWithNoCase(p, ".wav")) {
            // An animation has one sound track; a second WAV is no choice to make silently.
            if (!soundPath.empty()) {
                error = p + ": a second sound beside " + soundPath + "; an animation has one";
                return false;
            }
            soundPath = p;
            PcmSound pcm;
            if (!ReadSoundFile(p, pcm, error)) return false;
            if (!EncodeMusic(pcm, MusicOptions{}, sound, error)) {
                error = p + ": " + error;
                return false;
            }
        } else {
            Picture frame;
            std::vector<uint8_t> bytes;
            const bool jpeg = EndsWithNoCase(p, ".jpg") || EndsWithNoCase(p, ".jpeg");
            const bool ok = jpeg ? ReadWholeFile(p, bytes) && DecodeJpegPicture(bytes.data(), bytes.size(), frame)
                                 : ReadPng(p, frame);
            if (!ok) {
                error = p + ": not a picture that can be read";
                return false;
            }
            frames.push_back(std::move(frame));
        }
    }
    if (frames.empty()) {
        error = "anim/" + s.entry + ": no PNG or JPEG frames";
        return false;
    }
    std::vector<AnimFrame> stored;
    if (!BuildAnimEntry(frames, {}, options, sound, out, stored, error)) {
        error = "anim/" + s.entry + ": " + error;
        return false;
    }
    return true;
}

// Codes one source into its entry bytes.
bool Code(const Source& s, std::vector<uint8_t>& out, std::string& error) {
    const std::string& path = s.paths.empty() ? std::string() : s.paths[0];
    switch (s.kind) {
        case SourceKind::Script: {
            std::string text;
            if (!ReadText(path, text)) {
                error = path + ": cannot be read";
                return false;
            }
            return ScriptTextToCp932(text, path, out, error);
        }
        case SourceKind::Picture: {
            if (EndsWithNoCase(path, ".jpg")) {
                if (ReadWholeFile(path, out)) return true;
                error = path + ": cannot be read";
                return false;
            }
            const MaskLayout layout =
                EndsWithNoCase(path, ".stacked.png") ? MaskLayout::Stacked : MaskLayout::SideBySide;
            PackedPictureFile file;
            if (!PackPngPicture(path, layout, PictureEncodeOptions{}, file, error)) return false;
            out = std::move(file.entry);
            return true;
        }
        case SourceKind::Sound:
        case SourceKind::Loop: {
            PcmSound pcm;
            if (!ReadSoundFile(path, pcm, error)) return false;
            std::vector<uint8_t> wav, coded;
            PcmSound back;
            std::string ignored;
            if (ReadWholeFile(path, wav) && CodedEntryOf(wav, coded) && DecodeEffect(coded, back, ignored) &&
                back.channels == pcm.channels && back.rate == pcm.rate && back.samples == pcm.samples) {
                out = std::move(coded);
                return true;
            }
            out = EncodeSoundEffect(pcm);
            return true;
        }
        case SourceKind::Voice: {
            if (EndsWithNoCase(path, ".ogg")) {
                if (ReadWholeFile(path, out)) return true;
                error = path + ": cannot be read";
                return false;
            }
            PcmSound pcm;
            if (!ReadSoundFile(path, pcm, error)) return false;
            if (EncodeVoice(pcm, 0.4f, out, error)) return true;
            error = path + ": " + error;
            return false;
        }
        case SourceKind::Music: {
            MusicOptions o;
            if (!ParseMusicOptions(s.options, o, error)) {
                error = "music/loops.txt: " + s.entry + ": " + error;
                return false;
            }
            PcmSound pcm;
            if (!ReadSoundFile(path, pcm, error)) return false;
            if (EncodeMusic(pcm, o, out, error)) return true;
            error = path + ": " + error;
            return false;
        }
        case SourceKind::Anim:
            if (s.paths.size() == 1 && EndsWithNoCase(path, ".anim")) {
                if (ReadWholeFile(path, out)) return true;
                error = path + ": cannot be read";
                return false;
            }
            return CodeAnim(s, out, error);
    }
    return false;
}

void AddSource(std::map<std::string, Target>& targets, const std::string& archive, bool script, Source s) {
    Target& t = targets[archive];
    t.archive = archive;
    t.script = script;
    t.sources.push_back(std::move(s));
}

bool CollectSources(const std::string& dir, std::vector<Target>& out, std::string& error) {
    std::map<std::string, Target> targets;
    if (IsRegularFile(dir + "/" + kConfigFile))
        AddSource(targets, "vk_data.vrk", true, {"_CONFIG", SourceKind::Script, {dir + "/" + kConfigFile}, ""});
    std::map<std::string, std::string> music = ReadMusicOptions(dir + "/music/loops.txt");
    for (const LayoutFolder& l : kLayoutFolders) {
        const std::string folder = dir + "/" + l.folder;
        if (l.kind == SourceKind::Anim) {
            for (const std::string& sub : ListFolder(folder, true)) {
                Source s{EntryNameOf(sub), l.kind, {}, ""};
                for (const std::string& f : ListFolder(folder + "/" + sub, false))
                    if (f[0] != '.' && f.back() != '~') s.paths.push_back(folder + "/" + sub + "/" + f);
                AddSource(targets, l.archive, false, std::move(s));
            }
            for (const std::string& f : ListFolder(folder, false))
                if (EndsWithNoCase(f, ".anim"))
                    AddSource(targets, l.archive, false, {EntryNameOf(f), l.kind, {folder + "/" + f}, ""});
            continue;
        }
        for (const std::string& f : ListFolder(folder, false)) {
            if (!IsSourceFile(l.kind, f)) continue;
            Source s{EntryNameOf(f), l.kind, {folder + "/" + f}, ""};
            if (l.kind == SourceKind::Music) {
                auto it = music.find(s.entry);
                if (it != music.end()) s.options = it->second;
            }
            const bool jpeg = l.kind == SourceKind::Picture && EndsWithNoCase(f, ".jpg");
            AddSource(targets, jpeg ? "vk_gjp.vrk" : l.archive, l.kind == SourceKind::Script, std::move(s));
        }
    }
    for (auto& [name, t] : targets) {
        std::sort(t.sources.begin(), t.sources.end(),
                  [](const Source& a, const Source& b) { return a.entry < b.entry; });
        for (size_t i = 0; i < t.sources.size(); ++i) {
            const Source& s = t.sources[i];
            if (s.entry.size() > 15) {
                error = s.paths.empty() ? s.entry : s.paths[0];
                error += ": the entry name \"" + s.entry + "\" is longer than 15 characters";
                return false;
            }
            if (i > 0 && t.sources[i - 1].entry == s.entry) {
                error = s.paths[0] + ": the entry name \"" + s.entry + "\" is taken by " + t.sources[i - 1].paths[0];
                return false;
            }
        }
        out.push_back(std::move(t));
    }
    return true;
}

// Runs code(0 ... count - 1) on every core; code names the file it works on
// for the progress line, which only a terminal gets (it rewrites itself).
// After a failure no further job is started. False when any job failed.
bool CodeInParallel(size_t count, std::FILE* progress,
                    const std::function<bool(size_t, const char*&)>& code) {
    const bool showProgress = progress && count >= 8 && ::isatty(::fileno(progress));
    std::atomic<size_t> next{0}, done{0};
    std::atomic<bool> failed{false};
    std::mutex printing;
    auto worker = [&] {
        while (!failed) {
            const size_t j = next++;
            if (j >= count) break;
            const char* shown = "";
            if (!code(j, shown)) failed = true;
            const size_t n = ++done;
            if (showProgress) {
                std::lock_guard<std::mutex> lock(printing);
                std::fprintf(progress, "\r  %zu/%zu %-40.40s", n, count, shown);
                std::fflush(progress);
            }
        }
    };
    const size_t threads = std::min<size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (size_t i = 1; i < threads; ++i) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    if (showProgress) std::fputc('\n', progress);
    return !failed;
}

// An archive this build made before whose folder has no source left would
// keep playing what the author took out: it goes, unless it was changed by
// hand since.
bool RemoveStaleArchives(const std::vector<Target>& targets, const std::string& out, const std::string& cache,
                         BuildSummary& summary, std::string& error) {
    std::vector<std::string> names = {"vk_gjp.vrk"};
    for (const LayoutFolder& l : kLayoutFolders) names.push_back(l.archive);
    for (const std::string& name : names) {
        if (std::any_of(targets.begin(), targets.end(), [&](const Target& t) { return t.archive == name; })) continue;
        const std::string stampFile = cache + "/" + name + ".stamp", archive = out + "/" + name;
        std::string old;
        if (!ReadText(stampFile, old)) continue;
        const std::string mine = Stamp(archive, out.size());
        if (IsRegularFile(archive) && old.size() >= mine.size() &&
            old.compare(old.size() - mine.size(), mine.size(), mine) == 0) {
            if (std::remove(archive.c_str()) != 0) {
                error = archive + ": no longer has any source and cannot be removed";
                return false;
            }
            ++summary.removed;
        }
        std::remove(stampFile.c_str());
    }
    return true;
}

}  // namespace

bool BuildGame(const std::string& dir, const std::string& outArg, std::FILE* progress, BuildSummary& summary,
               std::string& error, const std::string& cacheArg) {
    const auto start = std::chrono::steady_clock::now();
    summary = BuildSummary{};
    if (!IsDirectory(dir)) {
        error = dir + ": no such folder";
        return false;
    }
    if (!IsDirectory(dir + "/scripts")) {
        error = dir + ": no scripts folder; velmora-pack new " + dir + " writes a game to start from";
        return false;
    }
    const std::string out = outArg.empty() ? dir + "/" + kDistFolder : outArg;
    const std::string cache = cacheArg.empty() ? out + "/.cache" : cacheArg;
    for (const std::string& d : {out, cache})
        if (!MakeDirectories(d)) {
            error = d + ": cannot be made";
            return false;
        }
    std::vector<Target> targets;
    if (!CollectSources(dir, targets, error)) return false;
    if (!RemoveStaleArchives(targets, out, cache, summary, error)) return false;
    // First which archives are to be made again.
    struct Work {
        Target* target;
        std::string stamp;
        bool fresh;
    };
    std::vector<Work> work;
    for (Target& t : targets) {
        std::string stamp;
        for (const Source& s : t.sources) stamp += SourceStamp(s, dir.size());
        std::string old;
        const std::string archive = out + "/" + t.archive;
        const bool fresh =
            ReadText(cache + "/" + t.archive + ".stamp", old) && old == stamp + Stamp(archive, out.size());
        work.push_back({&t, stamp, fresh});
    }
    // The entries to code: those of the archives to make whose files changed
    // since they were coded (or that never were). Coded entries go to the
    // cache; each archive is then made from there, one at a time, so no more
    // than one archive is held in memory however large the game.
    struct Job {
        const Source* source;
        std::string cached, stamp, error;
        bool ok = false;
    };
    std::vector<Job> jobs;
    for (const Work& w : work) {
        if (w.fresh) continue;
        const std::string entryDir = cache + "/" + w.target->archive;
        if (!MakeDirectories(entryDir)) {
            error = entryDir + ": cannot be made";
            return false;
        }
        for (const Source& s : w.target->sources) {
            const std::string cached = entryDir + "/" + s.entry, stamp = SourceStamp(s, dir.size());
            std::string oldStamp;
            if (!(ReadText(cached + ".stamp", oldStamp) && oldStamp == stamp && IsRegularFile(cached)))
                jobs.push_back({&s, cached, stamp, "", false});
        }
    }
    if (!CodeInParallel(jobs.size(), progress, [&](size_t j, const char*& shown) {
            Job& job = jobs[j];
            shown = job.source->paths.empty() ? "" : job.source->paths[0].c_str();
            std::vector<uint8_t> data;
            if (!Code(*job.source, data, job.error)) return false;
            if (!WriteFileAtomic(job.cached, data) || !WriteText(job.cached + ".stamp", job.stamp)) {
                job.error = job.cached + ": cannot be written";
                return false;
            }
            return job.ok = true;
        })) {
        // The first failure in the order of the folders, whichever thread met it.
        for (const Job& job : jobs)
            if (!job.ok && !job.error.empty()) {
                error = job.error;
                return false;
            }
        error = "coding failed";
        return false;
    }
    summary.coded = static_cast<int>(jobs.size());
    for (const Work& w : work) {
        const Target& t = *w.target;
        const std::string archive = out + "/" + t.archive;
        if (w.fresh) {
            ++summary.unchanged;
        } else {
            std::vector<PackEntry> entries(t.sources.size());
            for (size_t k = 0; k < t.sources.size(); ++k) {
                entries[k].name = t.sources[k].entry;
                const std::string cached = cache + "/" + t.archive + "/" + t.sources[k].entry;
                if (!ReadWholeFile(cached, entries[k].data)) {
                    error = cached + ": cannot be read";
                    return false;
                }
            }
            std::vector<uint8_t> image;
            const bool ok = t.script ? BuildScriptArchive(entries, image, error)
                                     : BuildVolume(entries, kVolumeNameWidth, image, error);
            if (!ok) return false;
            std::vector<uint8_t> old;
            // An archive with the same bytes is left as it is.
            if (!(ReadWholeFile(archive, old) && old == image) && !WriteFileAtomic(archive, image)) {
                error = archive + ": cannot be written";
                return false;
            }
            if (!WriteText(cache + "/" + t.archive + ".stamp", w.stamp + Stamp(archive, out.size()))) {
                error = cache + ": cannot be written";
                return false;
            }
        }
        ++summary.archives;
        summary.entries += static_cast<int>(t.sources.size());
        const int64_t size = FileSize(archive);
        summary.bytes += size > 0 ? static_cast<size_t>(size) : 0;
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

// ---- extract ----

namespace {

enum class ArchiveKind { Scripts, Pictures, Jpeg, Sounds, Loops, Voices, Music, Anim };

// What an archive holds, by the start of its file name; the first match
// counts ("VK_SE2" is the loops' volume, other "VK_SE" volumes effects).
constexpr struct {
    const char* prefix;
    ArchiveKind kind;
} kArchiveKinds[] = {
    {"VK_DATA", ArchiveKind::Scripts}, {"VK_GJP", ArchiveKind::Jpeg},   {"VK_GRA", ArchiveKind::Pictures},
    {"VK_SE2", ArchiveKind::Loops},    {"VK_SE", ArchiveKind::Sounds},  {"VK_WAV", ArchiveKind::Sounds},
    {"VK_OGG", ArchiveKind::Voices},   {"VK_BGM", ArchiveKind::Music},  {"VK_ANIM", ArchiveKind::Anim},
};

bool KindOf(const std::string& path, ArchiveKind& kind) {
    const size_t slash = path.find_last_of('/');
    const std::string base = UpperName(slash == std::string::npos ? path : path.substr(slash + 1));
    for (const auto& k : kArchiveKinds)
        if (base.rfind(k.prefix, 0) == 0) {
            kind = k.kind;
            return true;
        }
    return false;
}

// Whether the picture is a masked picture that an RGBA PNG gives back byte
// for byte: every mask pixel grey, and black colour under a clear mask.
bool SplitMasked(const Picture& p, MaskLayout layout, Picture& colour, Picture& alpha) {
    const bool side = layout == MaskLayout::SideBySide;
    const int w = side ? p.width / 2 : p.width, h = side ? p.height : p.height / 2;
    if (w <= 0 || h <= 0 || (side ? p.width % 2 : p.height % 2) != 0) return false;
    colour.Resize(w, h);
    alpha.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* c = p.Pixel(x, y);
            const uint8_t* m = side ? p.Pixel(x + w, y) : p.Pixel(x, y + h);
            if (m[0] != m[1] || m[0] != m[2]) return false;
            if (m[0] == 0 && (c[0] | c[1] | c[2]) != 0) return false;
            std::memcpy(colour.Pixel(x, y), c, 3);
            std::memcpy(alpha.Pixel(x, y), m, 3);
        }
    return true;
}

bool WritePicture(const std::string& dir, const std::string& name, const std::vector<uint8_t>& entry, std::string& file,
                  std::string& error) {
    Picture p;
    if (!DecodePackedPicture(entry.data(), entry.size(), p, name.c_str())) {
        error = name + ": not a packed picture that can be decoded";
        return false;
    }
    Picture colour, alpha;
    // Sprites and other masked pictures come out with their mask as alpha;
    // a picture whose mask half is no mask stays whole.
    if (SplitMasked(p, MaskLayout::SideBySide, colour, alpha)) {
        file = dir + "/" + name + ".png";
        return WritePngWithAlpha(file, colour, &alpha) || (error = file + ": cannot be written", false);
    }
    if (SplitMasked(p, MaskLayout::Stacked, colour, alpha)) {
        file = dir + "/" + name + ".stacked.png";
        return WritePngWithAlpha(file, colour, &alpha) || (error = file + ": cannot be written", false);
    }
    file = dir + "/" + name + ".png";
    return WritePng(file, p) || (error = file + ": cannot be written", false);
}

// An entry's name as a file name inside the output folder: separators and
// control characters become "_", and "." or ".." is no folder to climb.
std::string FileNameOfEntry(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    if (out.empty() || out == "." || out == "..") out = std::string(out.size() + 1, '_');
    return out;
}

}  // namespace

bool ExtractArchive(const std::string& archive, const std::vector<std::string>& names, const std::string& outDir,
                    std::FILE* log, std::string& error) {
    ArchiveKind kind;
    if (!IsRegularFile(archive)) {
        error = archive + ": no such file";
        return false;
    }
    if (!KindOf(archive, kind)) {
        error = archive + ": not named like a game archive (vk_data.vrk, vk_gra.vrk, vk_se0.vrk, ...)";
        return false;
    }
    ArchiveIndex index;
    index.path = archive;
    if (kind == ArchiveKind::Scripts)
        ReadScriptIndex(archive, index);
    else
        ReadVolumeIndex(archive, index);
    if (index.count == 0 && FileSize(archive) > 4) {
        error = archive + ": not an archive this engine can read";
        return false;
    }
    static const char* const kFolders[] = {"scripts", "pictures", "pictures", "sounds",
                                           "loops",   "voices",   "music",    "anim"};
    const std::string folder = outDir + "/" + kFolders[static_cast<int>(kind)];
    if (!MakeDirectories(folder)) {
        error = folder + ": cannot be made";
        return false;
    }
    std::vector<bool> wanted(static_cast<size_t>(index.count), names.empty());
    for (const std::string& n : names) {
        const int pos = FindEntry(index, n);
        if (pos < 0) {
            error = archive + ": no entry " + n;
            return false;
        }
        wanted[static_cast<size_t>(pos)] = true;
    }
    std::string loops;
    for (int i = 0; i < index.count; ++i) {
        if (!wanted[static_cast<size_t>(i)]) continue;
        const std::string name = FileNameOfEntry(index.names[i]);
        if (name != index.names[i])
            std::fprintf(stderr, "velmora-pack: entry \"%s\" is not a file name; written as %s\n", index.names[i].c_str(), name.c_str());
        std::vector<uint8_t> entry;
        if (ReadEntry(index, i, entry) < 0) {
            error = archive + ": entry " + name + " cannot be read";
            return false;
        }
        std::string file;
        bool ok = true;
        switch (kind) {
            case ArchiveKind::Scripts: {
                NegateBytes(entry.data(), entry.size());
                std::string text;
                size_t start = 0;
                for (size_t k = 0; k <= entry.size(); ++k) {
                    if (k < entry.size() && entry[k] != 0) continue;
                    if (k == entry.size() && start == k) break;
                    std::string utf8;
                    Cp932ToUtf8(std::string(reinterpret_cast<const char*>(entry.data()) + start, k - start), utf8);
                    text += utf8 + "\n";
                    start = k + 1;
                }
                file = name == "_CONFIG" ? outDir + "/" + kConfigFile : folder + "/" + name + ".txt";
                ok = WriteText(file, text) || (error = file + ": cannot be written", false);
                break;
            }
            case ArchiveKind::Pictures:
                ok = WritePicture(folder, name, entry, file, error);
                break;
            case ArchiveKind::Jpeg:
                file = folder + "/" + name + ".jpg";
                ok = WriteFileAtomic(file, entry) || (error = file + ": cannot be written", false);
                break;
            case ArchiveKind::Voices:
                file = folder + "/" + name + ".ogg";
                ok = WriteFileAtomic(file, entry) || (error = file + ": cannot be written", false);
                break;
            case ArchiveKind::Anim:
                file = folder + "/" + name + ".anim";
                ok = WriteFileAtomic(file, entry) || (error = file + ": cannot be written", false);
                break;
            case ArchiveKind::Sounds:
            case ArchiveKind::Loops:
            case ArchiveKind::Music: {
                PcmSound pcm;
                const bool effect = kind != ArchiveKind::Music;
                if (!(effect ? DecodeEffect(entry, pcm, error) : DecodeWadyFile(entry, pcm, error))) {
                    error = archive + ": entry " + name + ": " + error;
                    return false;
                }
                file = folder + "/" + name + ".wav";
                ok = WriteFileAtomic(file, effect ? WavWithCodedEntry(pcm, entry) : WriteWav(pcm)) ||
                     (error = file + ": cannot be written", false);
                if (kind == ArchiveKind::Music) {
                    WadyHeader h;
                    if (ParseWadyHeader(entry.data(), entry.size(), h))
                        loops += name +
                                 " loop=" + std::to_string(h.loopStart / static_cast<uint32_t>(h.ByteChannels())) +
                                 " quarter=" + std::to_string(h.framesPerQuarter) +
                                 " scale=" + std::to_string(h.scale) + "\n";
                }
                break;
            }
        }
        if (!ok) return false;
        if (log) std::fprintf(log, "%s\n", file.c_str());
    }
    if (!loops.empty()) {
        // Kept beside earlier lines for other tracks.
        std::map<std::string, std::string> all = ReadMusicOptions(folder + "/loops.txt");
        size_t pos = 0;
        while (pos < loops.size()) {
            const size_t nl = loops.find('\n', pos);
            const std::string line = loops.substr(pos, nl - pos);
            all[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
            pos = nl + 1;
        }
        std::string text = "# NAME loop=FRAME quarter=FRAMES scale=S: how build codes each track\n";
        for (const auto& [n, o] : all) text += n + " " + o + "\n";
        if (!WriteText(folder + "/loops.txt", text)) {
            error = folder + "/loops.txt: cannot be written";
            return false;
        }
    }
    return true;
}

std::vector<std::string> PlayDataIn(const std::string& out) {
    std::vector<std::string> found;
    std::error_code ec;
    if (std::filesystem::is_directory(out + "/save", ec)) found.push_back("save/");
    for (const char* file : {"save0.dat", "kaiso.dat"})
        if (std::filesystem::exists(out + "/" + file, ec)) found.push_back(file);
    return found;
}

bool PrepareRunFolder(const std::string& out, const std::string& run, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(run, ec);
    if (!fs::is_directory(run, ec)) {
        error = "cannot make the folder " + run;
        return false;
    }
    // Links made before, to archives that are gone or moved, go first.
    for (const fs::directory_entry& e : fs::directory_iterator(run, ec))
        if (e.is_symlink(ec)) fs::remove(e.path(), ec);
    const fs::path from = fs::absolute(out, ec);
    for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
        if (!e.is_regular_file(ec)) continue;  // .cache, save/ and other folders
        const std::string name = e.path().filename().string();
        if (name == "save0.dat" || name == "kaiso.dat") continue;
        const fs::path link = fs::path(run) / name;
        if (fs::exists(fs::symlink_status(link, ec))) {
            error = link.string() + " is in the way of the link to " + e.path().string();
            return false;
        }
        fs::create_symlink(e.path(), link, ec);
        if (ec) {
            error = "cannot link " + link.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

}  // namespace velmora::tools
