// The settings store: the input is a settings file, loaded by the store the
// headless runner uses and read into the engine by its start-up entry, where
// every value is brought into range. A value out of range afterwards is a
// finding as much as a crash.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/engine.h"
#include "app/trace.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"

using namespace velmora;

namespace {

struct Harness {
    std::string path;
    platform::IniSettingsStore* store = nullptr;
    std::unique_ptr<platform::HeadlessPlatform> plat;
    std::unique_ptr<TForm1> f;
};

Harness& Get() {
    static Harness* h = [] {
        auto* n = new Harness;
        // In memory where there is such a folder: one file write per input.
        char shm[] = "/dev/shm/velmora-fuzz-settings-XXXXXX";
        char tmp[] = "/tmp/velmora-fuzz-settings-XXXXXX";
        char* pattern = ::mkdtemp(shm) ? shm : tmp;
        if (pattern == tmp && !::mkdtemp(tmp)) std::abort();
        n->path = std::string(pattern) + "/settings.ini";
        auto store = std::make_unique<platform::IniSettingsStore>(n->path);
        n->store = store.get();
        n->plat = std::make_unique<platform::HeadlessPlatform>(std::move(store));
        n->f = std::make_unique<TForm1>(*n->plat);
        n->plat->Attach(n->f.get());
        n->f->config.MAKER_REG = "Software\\Velmora\\Fuzz";
        n->f->config.GAME_ID = "fuzz";
        SetTraceSink(std::getenv("VELMORA_FUZZ_TRACE") ? stderr : nullptr);
        return n;
    }();
    return *h;
}

void Require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness& h = Get();
    std::FILE* fp = std::fopen(h.path.c_str(), "wb");
    if (!fp) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, fp) != size) std::abort();
    std::fclose(fp);
    if (!h.store->Load()) return 0;
    TForm1& f = *h.f;
    ReadInstallationValues(f);
    ReadSettings(f);
    const Settings& s = f.settings;
    Require(s.FONTSIZE >= 18 && s.FONTSIZE <= 24);
    Require(s.FontName.size() <= 63 && s.PlayerName.size() <= 63 && s.PlayerName2.size() <= 63);
    Require(s.TXBG_R >= 0 && s.TXBG_R <= 255 && s.TXBG_A2 >= 0 && s.TXBG_A2 <= 255);
    Require(s.Vol[0] >= -3000 && s.Vol[0] <= 0 && s.SpeechRate >= -100 && s.SpeechRate <= 100);
    Require(s.RC_MODE >= 0 && s.RC_MODE <= 4 && s.SMode >= 0 && s.SMode <= 2);
    Require(s.LastSaveSlot >= 0 && s.LastSaveSlot <= 60 && s.Clear >= 0 && s.Clear < 1000000000);
    return 0;
}
