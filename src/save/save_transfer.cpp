// Moving the player's saves between machines as one ZIP.
#include "save/save_transfer.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "app/engine.h"
#include "app/settings.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "platform/headless/ini_store.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "save/slots.h"
#include "save/zip_file.h"

namespace velmora {

namespace {

constexpr size_t kSettingsTextLimit = 64u << 10;
constexpr size_t kMostEntries = 128;
constexpr char kClearKey[] = "Software\\Sablewood";
constexpr char kClearSection[] = "lumen";

// Values that describe one machine, not the player: they stay where they are.
bool IsMachineValue(const std::string& name) {
    static const char* const kNames[] = {"Left", "Top", "CDDir", "GameDir", "CDDA_DRV"};
    for (const char* n : kNames)
        if (::strcasecmp(n, name.c_str()) == 0) return true;
    return false;
}

// The slot number of "saveNN.dat", or 0.
int SlotOfFileName(const std::string& name) {
    if (name.size() != 10 || name.compare(0, 4, "save") != 0 || name.compare(6, 4, ".dat") != 0) return 0;
    if (name[4] < '0' || name[4] > '9' || name[5] < '0' || name[5] > '9') return 0;
    const int slot = (name[4] - '0') * 10 + (name[5] - '0');
    return slot >= kFirstSlot && slot <= kLastSlot ? slot : 0;
}

long long EntryLimit(const std::string& name) {
    if (name == "save/") return 0;
    if (name == "save0.dat") return kGlobalFileSize;
    if (name == "kaiso.dat") return kKaisoFileSize;
    if (name == kTransferSettingsName) return static_cast<long long>(kSettingsTextLimit);
    if (name.compare(0, 5, "save/") == 0 && SlotOfFileName(name.substr(5))) return static_cast<long long>(kSlotFileSize);
    return -1;
}

// What an import brings, checked whole before anything is written.
struct Bundle {
    std::vector<uint8_t> slots[kLastSlot + 1];
    bool hasSlot[kLastSlot + 1] = {};
    std::vector<uint8_t> global, kaiso;
    bool hasGlobal = false, hasKaiso = false, hasSettings = false;
    platform::IniSettingsStore settings;  // in memory
    int slotCount = 0;
};

std::string GameGroup(const TForm1& f) {
    return platform::IniSettingsStore::GroupName(f.config.MAKER_REG, f.config.GAME_ID);
}

// Sorts the entries into the bundle and checks each; why says what is wrong.
bool CheckBundle(TForm1& f, const std::vector<ZipEntry>& entries, Bundle& b, std::string& why) {
    for (const ZipEntry& e : entries) {
        const std::string shown = "「" + e.name + "」";
        if (e.name == "save/") continue;
        if (e.name == "save0.dat") {
            if (!GlobalFileSound(e.data.data(), e.data.size())) {
                why = shown + "が壊れています（大きさか検査値が合いません）。";
                return false;
            }
            b.global = e.data;
            b.hasGlobal = true;
        } else if (e.name == "kaiso.dat") {
            if (e.data.size() != static_cast<size_t>(kKaisoFileSize)) {
                why = shown + "の大きさが合いません。";
                return false;
            }
            b.kaiso = e.data;
            b.hasKaiso = true;
        } else if (e.name == kTransferSettingsName) {
            b.settings.LoadText(std::string(e.data.begin(), e.data.end()));
            b.hasSettings = true;
        } else if (const int slot = e.name.compare(0, 5, "save/") == 0 ? SlotOfFileName(e.name.substr(5)) : 0) {
            auto image = std::make_unique<SlotImage>();
            std::string field;
            if (!DecodeSlot(e.data.data(), e.data.size(), *image) || !SlotRecordSound(*image, &field)) {
                why = "セーブデータ" + shown + "が壊れています。";
                Trace("save transfer: %s is not a slot file%s%s", e.name.c_str(), field.empty() ? "" : ": ",
                      field.c_str());
                return false;
            }
            b.slots[slot] = e.data;
            b.hasSlot[slot] = true;
            ++b.slotCount;
        } else {
            why = "このゲームのセーブデータではない項目があります：" + shown;
            return false;
        }
    }
    if (b.hasSettings) {
        // Settings of another game mean the saves are another game's too.
        const std::string ours = GameGroup(f);
        const std::string clear = platform::IniSettingsStore::GroupName(kClearKey, kClearSection);
        for (const std::string& group : b.settings.GroupNames())
            if (::strcasecmp(group.c_str(), ours.c_str()) != 0 && ::strcasecmp(group.c_str(), clear.c_str()) != 0) {
                why = "別のゲームのセーブデータです（" + group + "）。";
                return false;
            }
    }
    if (!b.slotCount && !b.hasGlobal && !b.hasKaiso && !b.hasSettings) {
        why = "セーブデータが入っていません。";
        return false;
    }
    return true;
}

// Writes what was checked. Slot files are replaced whole; the global data
// is merged into memory and stored, exactly as at start-up.
bool ApplyBundle(TForm1& f, Bundle& b, std::string& why) {
    int failed = 0;
    if (b.slotCount && !IsDirectory(SavePath(f, "save")) && !MakeDirectories(SavePath(f, "save")))
        Trace("save transfer: cannot create %s", SavePath(f, "save").c_str());
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (!b.hasSlot[slot]) continue;
        if (!WriteFileAtomic(SlotPath(f, slot), b.slots[slot], true)) {
            Trace("save transfer: cannot write %s", SlotPath(f, slot).c_str());
            ++failed;
        }
    }
    platform::SettingsStore& st = f.plat.settings();
    if (b.hasSettings) {
        platform::SettingsBatch batch(st);
        const std::string& key = f.config.MAKER_REG;
        const std::string& sec = f.config.GAME_ID;
        for (const std::string& name : b.settings.ValueNames(key, sec)) {
            if (IsMachineValue(name)) continue;
            const std::string value = b.settings.ReadString(key, sec, name, "");
            int g = -1;
            if (name.size() == 4 && ::strncasecmp(name.c_str(), "GV", 2) == 0 && name[2] == '0' && name[3] >= '0' &&
                name[3] <= '9')
                g = name[3] - '0';
            // The global integers live in memory and are stored with the global data below.
            if (g >= 0) f.vars.G[g] = b.settings.ReadInteger(key, sec, name, f.vars.G[g]);
            else st.WriteString(key, sec, name, value);
        }
        // The clear count only grows: the larger of the two is kept.
        const int32_t theirs = ClampSetting("Clear", b.settings.ReadInteger(kClearKey, kClearSection, "Clear", 0), 0);
        const int32_t ours = ClampSetting("Clear", st.ReadInteger(kClearKey, kClearSection, "Clear", 0), 0);
        if (theirs > ours) st.WriteInteger(kClearKey, kClearSection, "Clear", theirs);
    }
    if (b.hasGlobal) MergeGlobalFile(f, b.global.data(), true);
    if (b.hasKaiso) TakeRecordLists(f, b.kaiso.data(), b.kaiso.size());
    StoreGlobalData(f);
    if (failed) {
        why = "セーブデータの一部（" + std::to_string(failed) + "個）を書き込めませんでした。";
        return false;
    }
    return true;
}

bool ImportEntries(TForm1& f, const std::vector<ZipEntry>& entries, std::string& message) {
    auto bundle = std::make_unique<Bundle>();
    std::string why;
    if (!CheckBundle(f, entries, *bundle, why)) {
        message = "セーブデータを読み込めません。何も変更していません。\n" + why;
        Trace("save transfer: import refused: %s", why.c_str());
        return false;
    }
    if (!ApplyBundle(f, *bundle, why)) {
        message = why;
        return false;
    }
    message = "セーブデータを読み込みました（セーブ" + std::to_string(bundle->slotCount) + "個）。";
    if (bundle->hasSettings) message += "\n設定は次に起動したときから使われます。";
    Trace("save transfer: imported %d slots%s%s%s", bundle->slotCount, bundle->hasGlobal ? ", save0.dat" : "",
          bundle->hasKaiso ? ", kaiso.dat" : "", bundle->hasSettings ? ", settings" : "");
    return true;
}

// The save files of a folder: a game's folder, or its "save" folder.
bool ReadFolder(const std::string& folder, std::vector<ZipEntry>& entries, std::string& why) {
    auto take = [&](const std::string& path, const std::string& name) {
        if (!IsRegularFile(path)) return true;
        const long long most = EntryLimit(name);
        ZipEntry e;
        e.name = name;
        if (!ReadWholeFile(path, e.data, static_cast<size_t>(most), true) || e.data.size() > static_cast<size_t>(most)) {
            why = "「" + name + "」を読めないか、大きすぎます。";
            return false;
        }
        entries.push_back(std::move(e));
        return true;
    };
    if (!take(folder + "/save0.dat", "save0.dat") || !take(folder + "/kaiso.dat", "kaiso.dat") ||
        !take(folder + "/" + kTransferSettingsName, kTransferSettingsName))
        return false;
    char name[32];
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        std::snprintf(name, sizeof name, "save%02d.dat", slot);
        const std::string inSave = folder + "/save/" + name;
        const std::string path = IsRegularFile(inSave) ? inSave : folder + "/" + name;
        if (!take(path, std::string("save/") + name)) return false;
    }
    return true;
}

void DosNow(uint16_t& time, uint16_t& date) {
    std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    DosTimeOf(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, time, date);
}

}  // namespace

bool ExportSaves(TForm1& f, std::vector<uint8_t>& zip, std::string& message) {
    StoreGlobalData(f);
    std::vector<ZipEntry> entries;
    entries.push_back(ZipEntry{"save/", {}});
    int slots = 0;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const std::string path = SlotPath(f, slot);
        if (!IsRegularFile(path)) continue;
        ZipEntry e;
        char name[32];
        std::snprintf(name, sizeof name, "save/save%02d.dat", slot);
        e.name = name;
        // A slot the engine would refuse to load would make the whole ZIP refused: it stays behind.
        auto image = std::make_unique<SlotImage>();
        if (!ReadWholeFile(path, e.data, kSlotFileSize, true) || !DecodeSlot(e.data.data(), e.data.size(), *image) ||
            !SlotRecordSound(*image)) {
            Trace("save transfer: %s is not a whole slot file; left out", path.c_str());
            continue;
        }
        entries.push_back(std::move(e));
        ++slots;
    }
    for (const char* name : {"save0.dat", "kaiso.dat"}) {
        ZipEntry e;
        e.name = name;
        const long long most = EntryLimit(name);
        if (ReadWholeFile(SavePath(f, name), e.data, static_cast<size_t>(most), true) &&
            e.data.size() == static_cast<size_t>(most))
            entries.push_back(std::move(e));
        else
            Trace("save transfer: %s is missing or not whole; left out", name);
    }
    // The player's settings of this game (not the window's place or the installation paths) and the clear count.
    platform::IniSettingsStore settings;
    platform::SettingsStore& st = f.plat.settings();
    const std::string& key = f.config.MAKER_REG;
    const std::string& sec = f.config.GAME_ID;
    for (const std::string& name : st.ValueNames(key, sec))
        if (!IsMachineValue(name)) settings.WriteString(key, sec, name, st.ReadString(key, sec, name, ""));
    const int32_t clear = st.ReadInteger(kClearKey, kClearSection, "Clear", -1);
    if (clear >= 0) settings.WriteInteger(kClearKey, kClearSection, "Clear", clear);
    const std::string text = settings.Text();
    entries.push_back(ZipEntry{kTransferSettingsName, std::vector<uint8_t>(text.begin(), text.end())});

    uint16_t time, date;
    DosNow(time, date);
    zip = WriteZip(entries, time, date);
    message = "セーブデータを書き出しました（セーブ" + std::to_string(slots) + "個）。";
    Trace("save transfer: exported %d slots, %zu bytes", slots, zip.size());
    return true;
}

bool ExportSavesToFile(TForm1& f, const std::string& path, std::string& message) {
    std::vector<uint8_t> zip;
    if (!ExportSaves(f, zip, message)) return false;
    if (!WriteFileAtomic(path, zip)) {
        Trace("save transfer: cannot write %s", path.c_str());
        message = "セーブデータを書き出せませんでした：" + path;
        return false;
    }
    return true;
}

bool ImportSaveZip(TForm1& f, const uint8_t* bytes, size_t n, std::string& message) {
    std::vector<ZipEntry> entries;
    std::string why;
    if (!ReadZip(bytes, n, EntryLimit, kMostEntries, entries, why)) {
        message = "セーブデータを読み込めません。何も変更していません。\n" + why;
        Trace("save transfer: import refused: %s", why.c_str());
        return false;
    }
    return ImportEntries(f, entries, message);
}

bool ImportSaves(TForm1& f, const std::string& path, std::string& message) {
    std::vector<ZipEntry> entries;
    std::string why;
    if (IsDirectory(path)) {
        if (!ReadFolder(path, entries, why)) {
            message = "セーブデータを読み込めません。何も変更していません。\n" + why;
            return false;
        }
        return ImportEntries(f, entries, message);
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kTransferZipLimit)) {
        message = "ファイルを読めません：" + path;
        return false;
    }
    if (bytes.size() > kTransferZipLimit) {
        message = "セーブデータを読み込めません。何も変更していません。\nファイルが大きすぎます。";
        return false;
    }
    return ImportSaveZip(f, bytes.data(), bytes.size(), message);
}

namespace {

// Asks the platform where, moves the saves, and says how it went.
void TransferSaves(TForm1& f, bool exporting) {
    std::string path;
    if (!f.plat.dialogs().PickTransferPath(exporting, path)) return;
    std::string message;
    const bool ok = exporting ? ExportSavesToFile(f, path, message) : ImportSaves(f, path, message);
    f.plat.dialogs().MessageBox(ToCp932(message), ok ? "Information" : "Error!",
                                ok ? platform::BoxIcon::Information : platform::BoxIcon::Warning,
                                platform::BoxButtons::Ok);
}

}  // namespace

void ExportSavesAction(TForm1& f) { TransferSaves(f, true); }

void ImportSavesAction(TForm1& f) { TransferSaves(f, false); }

}  // namespace velmora
