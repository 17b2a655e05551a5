// The text tables read at start-up or on demand, through the engine's own
// readers: the input is stored under every table name ("map", "view",
// "sys_flashbak", "seltree", "endroll", "sroll") in the second script
// archive, held in memory, and each reader takes its table from there; the
// roll tables' readers take the bytes.
#include <vector>

#include "data/archive.h"
#include "extras/extras.h"
#include "extras/gallery.h"
#include "extras/recollection.h"
#include "extras/rolls.h"
#include "fuzz/fuzz_engine.h"
#include "fuzz/memory_file.h"
#include "tools/archive_writer.h"
#include "ui/input.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEngine& e = fuzz::Engine();
    if (e.plat->Closed() || e.f->flags.quitRequest) fuzz::RestartEngine();
    TForm1& f = *e.f;
    const std::vector<uint8_t> table(data, data + size);
    std::vector<tools::PackEntry> entries;
    for (const char* name : {"MAP", "VIEW", "SYS_FLASHBAK", "SELTREE", "ENDROLL", "SROLL"})
        entries.push_back({name, table});
    std::vector<uint8_t> archive;
    std::string error;
    if (!tools::BuildScriptArchive(entries, archive, error)) return 0;
    ArchiveIndex& index = f.data.scripts[1];
    index.path = fuzz::MemoryFile(0, archive.data(), archive.size());
    ReadScriptIndex(index.path, index);

    StartClickMap(f, "ROOM");
    f.ui.choice = ChoiceDisplay();
    f.ui.choiceKind = kChoiceNone;

    f.extras.gallery.GalleryList.clear();
    BuildGalleryList(f, "VIEW_1");
    ViewerPage page;
    ReadViewerPage(f, "VIEW_2", page);

    LoadSceneTable(f);
    LoadChoiceTrees(f);

    // The two roll tables are read apart from the rolls they drive.
    const char* text = reinterpret_cast<const char*>(data);
    EndRollTable roll;
    ReadEndRollTable(text, static_cast<int32_t>(size), roll);
    std::vector<std::string> scroll;
    ReadSceneScrollLines(text, static_cast<int32_t>(size), scroll);
    return 0;
}
