#include "fuzz/fuzz_engine.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/trace.h"
#include "data/file_io.h"
#include "platform/headless/ini_store.h"
#include "tools/archive_writer.h"

namespace velmora::fuzz {

namespace {

const char kConfig[] = "TITLE:Fuzz\nMAKER_REG:Software\\Velmora\\Fuzz\nGAME_ID:fuzz\n";

void Start(FuzzEngine* e) {
    e->f.reset();
    e->plat = std::make_unique<platform::HeadlessPlatform>(std::make_unique<platform::IniSettingsStore>());
    e->f = std::make_unique<TForm1>(*e->plat);
    e->f->app.gameDir = e->dir;
    e->f->app.seed = 1;
    e->plat->Attach(e->f.get());
    e->f->FormCreate();
    bool done = false;
    e->f->AppIdle(done);  // the title pass: "main" loaded, sound output open
}

FuzzEngine* Create() {
    auto* e = new FuzzEngine;
    char pattern[] = "/tmp/velmora-fuzz-XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    e->dir = pattern;
    std::vector<tools::PackEntry> scripts(2);
    std::string error;
    scripts[0].name = "_config";
    scripts[1].name = "main";
    if (!tools::ScriptTextToCp932(kConfig, "_config", scripts[0].data, error) ||
        !tools::ScriptTextToCp932("; nothing\n", "main", scripts[1].data, error))
        std::abort();
    std::vector<uint8_t> archive;
    if (!tools::BuildScriptArchive(scripts, archive, error) ||
        !WriteFileAtomic(e->dir + "/vk_data.vrk", archive))
        std::abort();
    // The trace stays quiet: libFuzzer's output is what matters here.
    SetTraceSink(std::getenv("VELMORA_FUZZ_TRACE") ? stderr : nullptr);
    Start(e);
    return e;
}

}  // namespace

FuzzEngine& Engine() {
    static FuzzEngine* engine = Create();
    return *engine;
}

void RestartEngine() { Start(&Engine()); }

void WriteGameFile(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* fp = std::fopen((Engine().dir + "/" + name).c_str(), "wb");
    if (!fp) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, fp) != size) std::abort();
    std::fclose(fp);
}

void Passes(int n) {
    FuzzEngine& e = Engine();
    for (int i = 0; i < n && !e.plat->Closed(); ++i) {
        e.plat->ProcessMessages();
        bool done = false;
        e.f->AppIdle(done);
    }
}

}  // namespace velmora::fuzz
