// The headless runner: plays a game on the virtual clock, driven by an
// events file, and ends with the file.
#include <cstdio>
#include <memory>

#include "app/engine.h"
#include "app/trace.h"
#include "data/file_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/text_feed_file.h"

namespace velmora::platform {

namespace {

// Far beyond any timeline a test writes; /dev/zero and its kind end here.
constexpr size_t kEventsFileLimit = 16u << 20;

// Reads at most one byte past the limit. A pipe is fine (a shell's
// process substitution); only the size is bounded.
bool ReadEventsFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    uint8_t buf[65536];
    size_t n;
    while (bytes.size() <= kEventsFileLimit && (n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    const bool ok = !std::ferror(fp);
    std::fclose(fp);
    return ok;
}

}  // namespace

void RunEngineLoop(TForm1& engine, HeadlessPlatform& plat, const std::function<void()>& afterFirstPass,
                   const std::function<bool()>& stop) {
    try {
        engine.FormCreate();
        bool firstPass = true;
        while (!plat.Closed()) {
            plat.ProcessMessages();
            bool done = false;
            engine.AppIdle(done);
            if (firstPass) {
                firstPass = false;
                afterFirstPass();
            }
            if (stop && stop()) break;
        }
    } catch (const RunEnded&) {
    }
}

int RunHeadless(const HeadlessOptions& o) {
    std::FILE* trace = nullptr;
    if (!o.traceFile.empty()) {
        trace = std::fopen(o.traceFile.c_str(), "w");
        if (!trace) {
            std::fprintf(stderr, "velmora: cannot write the trace file %s\n", o.traceFile.c_str());
            return 2;
        }
        SetTraceSink(trace);
    }
    ResetContentErrors();
    Timeline timeline;
    if (!o.eventsFile.empty()) {
        std::vector<uint8_t> bytes;
        if (!ReadEventsFile(o.eventsFile, bytes)) {
            std::fprintf(stderr, "velmora: cannot read the events file %s\n", o.eventsFile.c_str());
            return 2;
        }
        if (bytes.size() > kEventsFileLimit) {
            std::fprintf(stderr, "velmora: the events file %s is larger than %zu bytes\n", o.eventsFile.c_str(),
                         kEventsFileLimit);
            return 2;
        }
        std::string error;
        if (!ParseTimeline(std::string(bytes.begin(), bytes.end()), timeline, error)) {
            std::fprintf(stderr, "velmora: %s: %s\n", o.eventsFile.c_str(), error.c_str());
            return 2;
        }
    }
    if (!IsDirectory(o.gameDir)) {
        std::fprintf(stderr, "velmora: the game directory %s does not exist\n", o.gameDir.c_str());
        return 2;
    }
    auto store = std::make_unique<IniSettingsStore>(o.settingsFile);
    std::string error;
    if (!store->Load(&error)) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 2;
    }
    TextFeedFile feed;
    if (!o.textFeedFile.empty() && !feed.Open(o.textFeedFile, error)) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 2;
    }
    HeadlessPlatform plat(std::move(store));
    if (!o.textFeedFile.empty()) plat.textOutletsImpl = &feed;
    plat.SetTimeline(std::move(timeline));
    auto engine = std::make_unique<TForm1>(plat);
    engine->app.gameDir = o.gameDir;
    engine->app.bundledGame = o.bundledGame;
    engine->app.seed = o.seed;
    plat.Attach(engine.get());
    RunEngineLoop(*engine, plat, [&] { plat.AllowEnd(true); }, [&] { return plat.TimelineDone(); });
    if (!plat.Closed()) {
        // The end of the timeline: the window goes as if its close had been confirmed.
        CloseConfirmed(*engine);
        engine->FormDestroy();
    }
    Trace("run ended at %u ms", plat.Now());
    const int errors = ContentErrorCount();
    const std::string summary = errors > 0 ? std::to_string(errors) + " (" + ContentErrorSummary() + ")" : "none";
    if (o.strict) Trace("content errors: %s", summary.c_str());
    const std::string failure = engine->app.startFailure;
    engine.reset();
    SetTraceSink(nullptr);
    if (trace) std::fclose(trace);
    if (!failure.empty()) {
        std::fprintf(stderr, "velmora: %s\n", failure.c_str());
        return 1;
    }
    if (plat.failedEvents > 0) {
        std::fprintf(stderr, "velmora: %d event(s) of the events file could not be carried out\n", plat.failedEvents);
        return 1;
    }
    if (o.strict && errors > 0) {
        std::fprintf(stderr, "velmora: content errors: %s%s\n", summary.c_str(),
                     o.traceFile.empty() ? "; --trace FILE names them" : "");
        return 3;
    }
    return 0;
}

}  // namespace velmora::platform
