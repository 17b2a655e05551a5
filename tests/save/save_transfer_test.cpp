// Saves that travel: a ZIP exported from one copy of a game imports into
// another (slots byte for byte, global data merged, settings carried), a
// desktop game's folder imports the same way, and anything damaged or
// foreign is refused before a single file changes.
#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "data/file_io.h"
#include "platform/headless/ini_store.h"
#include "save/global_data.h"
#include "save/save_transfer.h"
#include "save/slots.h"
#include "save/zip_file.h"
#include "script/variables.h"
#include "support/test_game.h"

using namespace velmora;
using test::HeadlessEngine;
using test::TempDir;
using test::TestGame;

namespace {

const char kConfig[] = "TITLE:Travel\nMAKER_REG:Software\\Test\\Travel\nGAME_ID:travel\n";
const char kGroup[] = "Software/Test/Travel/travel";

struct Copy {
    explicit Copy(const char* main = "!V001=7\n一ページ目\n\\\n二ページ目\n\\\n") {
        game.Script("_config", kConfig).Script("main", main);
        game.Build();
    }
    // An engine playing this copy, its settings in the copy's own file.
    std::unique_ptr<HeadlessEngine> Start() {
        auto store = std::make_unique<platform::IniSettingsStore>(game.dir().File("settings.ini"));
        store->Load();
        auto e = std::make_unique<HeadlessEngine>(game.path(), 1920, 1080, std::move(store));
        for (int i = 0; i < 20; ++i) {
            e->plat.ProcessMessages();
            bool done = false;
            e->f->AppIdle(done);
        }
        return e;
    }
    std::string File(const std::string& name) const { return game.dir().File(name); }
    // Every file the player's runs left, by name.
    std::map<std::string, std::vector<uint8_t>> Files() const {
        std::map<std::string, std::vector<uint8_t>> m;
        std::vector<std::string> names = {"save0.dat", "kaiso.dat", "settings.ini"};
        char slot[32];
        for (int s = 1; s <= 99; ++s) {
            std::snprintf(slot, sizeof slot, "save/save%02d.dat", s);
            names.push_back(slot);
        }
        for (const std::string& n : names) {
            std::vector<uint8_t> bytes;
            if (ReadWholeFile(File(n), bytes)) m[n] = bytes;
        }
        return m;
    }
    TestGame game;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> b;
    ReadWholeFile(path, b);
    return b;
}

// A game with three slots, global bits, record lists and settings, exported.
std::vector<uint8_t> ExportFrom(Copy& a) {
    auto e = a.Start();
    TForm1& f = *e->f;
    f.vars.V[2] = 1;
    EXPECT_TRUE(SaveGame(f, 1, true));
    f.vars.V[2] = 5;
    EXPECT_TRUE(SaveGame(f, 5, true));
    EXPECT_TRUE(SaveGame(f, 99, true));
    SetBit(f.vars.E, kEBits, 5, true);
    SetBit(f.ui.ReadMarks, 81920, 100, true);
    f.vars.G[4] = 44;
    f.extras.recordLists[1][2] = 12;
    std::strcpy(f.extras.recordListNames[1], "A");
    platform::SettingsStore& st = f.plat.settings();
    st.WriteInteger("Software\\Test\\Travel", "travel", "Vol1", -500);
    st.WriteInteger("Software\\Test\\Travel", "travel", "Left", 123);
    st.WriteInteger("Software\\Sablewood", "lumen", "Clear", 3);
    std::vector<uint8_t> zip;
    std::string message;
    EXPECT_TRUE(ExportSaves(f, zip, message)) << message;
    EXPECT_NE(message.find("3個"), std::string::npos) << message;
    return zip;
}

}  // namespace

TEST(SaveTransfer, ExportThenImportIntoAnotherCopyRestoresEverySlotAndMergesTheRest) {
    Copy a, b;
    const std::vector<uint8_t> zip = ExportFrom(a);
    // The ZIP holds the slot files as they are on disk.
    std::vector<ZipEntry> entries;
    std::string why;
    ASSERT_TRUE(ReadZip(zip.data(), zip.size(), [](const std::string&) { return 1LL << 20; }, 200, entries, why));
    std::vector<std::string> names;
    for (const ZipEntry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"save/", "save/save01.dat", "save/save05.dat", "save/save99.dat",
                                               "save0.dat", "kaiso.dat", "settings.ini"}));
    const std::string settings(entries.back().data.begin(), entries.back().data.end());
    EXPECT_NE(settings.find("[Software/Test/Travel/travel]"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Vol1=-500"), std::string::npos) << settings;
    EXPECT_NE(settings.find("GV04=44"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("Left="), std::string::npos) << "the window's place stays on its machine";
    EXPECT_NE(settings.find("[Software/Sablewood/lumen]\nClear=3"), std::string::npos) << settings;

    {
        // The other copy has a slot 5 of its own (replaced), a slot 7 (kept) and bits of its own.
        auto e = b.Start();
        TForm1& f = *e->f;
        f.vars.V[2] = 70;
        ASSERT_TRUE(SaveGame(f, 5, true));
        ASSERT_TRUE(SaveGame(f, 7, true));
        SetBit(f.vars.E, kEBits, 6, true);
        f.settings.LastSaveSlot = 7;
        StoreGlobalData(f);
    }
    const std::vector<uint8_t> slot7 = ReadAll(b.File("save/save07.dat"));
    {
        auto e = b.Start();
        TForm1& f = *e->f;
        std::string message;
        ASSERT_TRUE(ImportSaveZip(f, zip.data(), zip.size(), message)) << message;
        EXPECT_NE(message.find("3個"), std::string::npos) << message;
        for (const char* slot : {"save/save01.dat", "save/save05.dat", "save/save99.dat"})
            EXPECT_EQ(ReadAll(b.File(slot)), ReadAll(a.File(slot))) << slot;
        EXPECT_EQ(ReadAll(b.File("save/save07.dat")), slot7);
        // Global bits of both runs; the record lists and the global integers of the ZIP.
        std::vector<uint8_t> global = ReadAll(b.File("save0.dat"));
        ASSERT_TRUE(GlobalFileSound(global.data(), global.size()));
        EXPECT_EQ(global[0], 0x60);
        EXPECT_EQ(global[640 + 12], 0x10);
        EXPECT_EQ(ReadAll(b.File("kaiso.dat")), ReadAll(a.File("kaiso.dat")));
        EXPECT_EQ(f.vars.G[4], 44);
        EXPECT_STREQ(f.extras.recordListNames[1], "A");
        platform::SettingsStore& st = f.plat.settings();
        EXPECT_EQ(st.ReadInteger("Software\\Test\\Travel", "travel", "Vol1", 0), -500);
        EXPECT_EQ(st.ReadInteger("Software\\Test\\Travel", "travel", "GV04", 0), 44);
        EXPECT_EQ(st.ReadInteger("Software\\Test\\Travel", "travel", "Left", -1), -1);
        EXPECT_EQ(st.ReadInteger("Software\\Sablewood", "lumen", "Clear", 0), 3);
        // An imported slot loads.
        ASSERT_TRUE(LoadGame(f, 5, true));
        EXPECT_EQ(f.vars.V[2], 5);
        EXPECT_EQ(f.vars.V[1], 7);
    }
    // The next start of the copy keeps it all.
    auto e = b.Start();
    EXPECT_TRUE(TestBit(e->f->vars.E, kEBits, 5));
    EXPECT_TRUE(TestBit(e->f->vars.E, kEBits, 6));
    EXPECT_EQ(e->f->vars.G[4], 44);
    EXPECT_EQ(e->f->extras.recordLists[1][2], 12);
}

TEST(SaveTransfer, ADesktopGameFolderImportsLikeItsZip) {
    Copy a, b;
    ExportFrom(a);
    auto e = b.Start();
    std::string message;
    ASSERT_TRUE(ImportSaves(*e->f, a.game.path(), message)) << message;
    for (const char* slot : {"save/save01.dat", "save/save05.dat", "save/save99.dat", "kaiso.dat"})
        EXPECT_EQ(ReadAll(b.File(slot)), ReadAll(a.File(slot))) << slot;
    // The folder's own settings file is the headless store here: it travels too.
    EXPECT_EQ(e->f->plat.settings().ReadInteger("Software\\Test\\Travel", "travel", "Vol1", 0), -500);
    // Its "save" folder alone brings the slots.
    TempDir empty;
    EXPECT_FALSE(ImportSaves(*e->f, empty.path(), message));
    EXPECT_NE(message.find("入っていません"), std::string::npos) << message;
    ASSERT_TRUE(ImportSaves(*e->f, a.File("save"), message)) << message;
}

TEST(SaveTransfer, DamagedOrForeignZipsChangeNothing) {
    Copy a, b;
    const std::vector<uint8_t> zip = ExportFrom(a);
    {
        auto e = b.Start();
        ASSERT_TRUE(SaveGame(*e->f, 5, true));
    }
    const auto before = b.Files();
    ASSERT_TRUE(before.count("save/save05.dat"));

    std::vector<ZipEntry> entries;
    std::string why;
    ASSERT_TRUE(ReadZip(zip.data(), zip.size(), [](const std::string&) { return 1LL << 20; }, 200, entries, why));
    auto with = [&](auto change) {
        std::vector<ZipEntry> copy = entries;
        change(copy);
        return WriteZip(copy, 0, 0x21);
    };
    auto entry = [](std::vector<ZipEntry>& v, const char* name) -> ZipEntry& {
        for (ZipEntry& e : v)
            if (e.name == name) return e;
        return v.front();
    };
    std::vector<uint8_t> flipped = zip;
    flipped[flipped.size() / 3] ^= 0x40;
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
        {"CRC", flipped},
        {"truncated", std::vector<uint8_t>(zip.begin(), zip.end() - 30)},
        {"traversal", with([](auto& v) { v.push_back(ZipEntry{"../save0.dat", v[4].data}); })},
        {"absolute", with([](auto& v) { v.push_back(ZipEntry{"/tmp/save01.dat", v[1].data}); })},
        {"foreign entry", with([](auto& v) { v.push_back(ZipEntry{"readme.txt", {'h', 'i'}}); })},
        {"slot 100", with([](auto& v) { v.push_back(ZipEntry{"save/save100.dat", v[1].data}); })},
        {"short slot", with([&](auto& v) { entry(v, "save/save05.dat").data.resize(1000); })},
        {"oversized slot", with([&](auto& v) { entry(v, "save/save05.dat").data.push_back(0); })},
        {"random slot", with([&](auto& v) {
             for (uint8_t& c : entry(v, "save/save05.dat").data) c = 0xA5;
         })},
        {"bad check", with([&](auto& v) { entry(v, "save0.dat").data[3] ^= 1; })},
        {"short kaiso", with([&](auto& v) { entry(v, "kaiso.dat").data.pop_back(); })},
        {"another game", with([&](auto& v) {
             std::string s = "[Software/Other/Game/other]\nVol1=0\n";
             entry(v, "settings.ini").data.assign(s.begin(), s.end());
         })},
        {"empty", WriteZip({}, 0, 0x21)},
    };
    auto e = b.Start();
    const auto started = b.Files();
    for (const auto& [what, bytes] : bad) {
        std::string message;
        EXPECT_FALSE(ImportSaveZip(*e->f, bytes.data(), bytes.size(), message)) << what;
        EXPECT_EQ(message.rfind("セーブデータを読み込めません。何も変更していません。\n", 0), 0u) << what << ": " << message;
        EXPECT_EQ(b.Files(), started) << what;
    }
    EXPECT_EQ(started.at("save/save05.dat"), before.at("save/save05.dat"));
    EXPECT_FALSE(TestBit(e->f->vars.E, kEBits, 5)) << "nothing of a refused ZIP reaches memory";
    // A file that is not there, or far too large to be saves.
    std::string message;
    EXPECT_FALSE(ImportSaves(*e->f, b.File("nowhere.zip"), message));
    {
        std::FILE* fp = std::fopen(b.File("huge.zip").c_str(), "wb");
        ASSERT_TRUE(fp);
        std::fseek(fp, static_cast<long>(kTransferZipLimit) + 10, SEEK_SET);
        std::fputc(0, fp);
        std::fclose(fp);
    }
    EXPECT_FALSE(ImportSaves(*e->f, b.File("huge.zip"), message));
    EXPECT_NE(message.find("大きすぎます"), std::string::npos) << message;
    EXPECT_EQ(b.Files(), started);
}

TEST(SaveTransfer, TheRunnerExportsFromOneCopyAndImportsIntoAnother) {
    Copy a, b;
    TempDir dir;
    dir.Write("a.txt", "wait 500\nsave 3\nexport " + dir.File("out.zip") + "\n");
    std::string out;
    ASSERT_EQ(test::RunVelmora("--headless --game " + a.game.path() + " --events " + dir.File("a.txt"), &out), 0)
        << out;
    dir.Write("b.txt", "import " + dir.File("out.zip") + "\nload 3\nwait 500\n");
    ASSERT_EQ(test::RunVelmora("--headless --game " + b.game.path() + " --events " + dir.File("b.txt") + " --trace " +
                                   dir.File("b.log"),
                               &out),
              0)
        << out;
    EXPECT_EQ(ReadAll(b.File("save/save03.dat")), ReadAll(a.File("save/save03.dat")));
    EXPECT_NE(test::ReadText(dir.File("b.log")).find("load 3: resumed"), std::string::npos);
    // A refused import is an event that could not be carried out.
    dir.Write("bad.zip", "not a zip");
    dir.Write("c.txt", "import " + dir.File("bad.zip") + "\n");
    EXPECT_EQ(test::RunVelmora("--headless --game " + b.game.path() + " --events " + dir.File("c.txt"), &out), 1);
    dir.Write("d.txt", "export\n");
    EXPECT_EQ(test::RunVelmora("--headless --game " + b.game.path() + " --events " + dir.File("d.txt"), &out), 2);
}
