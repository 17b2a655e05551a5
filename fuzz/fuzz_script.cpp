// The script loader and stepper: the input is a script (decoded CP932
// lines, NUL-separated) stored as "FUZZ" in the second script archive,
// loaded by name and stepped for a number of idle passes.
#include <cstring>
#include <vector>

#include "data/archive.h"
#include "fuzz/fuzz_engine.h"
#include "script/loader.h"
#include "tools/archive_writer.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEngine& e = fuzz::Engine();
    if (e.plat->Closed() || e.f->flags.quitRequest) fuzz::RestartEngine();
    TForm1& f = *e.f;
    std::vector<tools::PackEntry> entries(1);
    entries[0].name = "FUZZ";
    entries[0].data.assign(data, data + size);
    std::vector<uint8_t> archive;
    std::string error;
    if (!tools::BuildScriptArchive(entries, archive, error)) return 0;
    fuzz::WriteGameFile("vk_data2.vrk", archive.data(), archive.size());
    ReadScriptIndex("vk_data2.vrk", f.data.scripts[1]);
    // What the last input left open (a choice, a wait, a sleep, a prompt)
    // would hold the stepper, and this input would only be loaded.
    ResetWaits(f);
    f.stepper.SleepCountdown = 0;
    f.stepper.voiceEndWait = false;
    f.ui.promptKind = kPromptNone;
    f.app.playMode = 0;
    f.flags.busy = false;
    f.loader.callDepth = 0;
    std::strcpy(f.loader.currentScript, "FUZZ");
    if (!LoadScript(f, "fuzz", 1)) return 0;
    // Every pass is a click, so waits for the player pass on.
    for (int i = 0; i < 12 && !e.plat->Closed(); ++i) {
        f.PBMouseDown(platform::mbLeft, 0, 400, 300);
        f.PBMouseUp(platform::mbLeft, 0, 400, 300);
        fuzz::Passes(1);
    }
    return 0;
}
