// The global data: merged with "save0.dat" on every store, so that a bit
// once set in any run stays set.
#include "save/global_data.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/file_io.h"
#include "save/byte_order.h"
#include "save/slots.h"

namespace velmora {

namespace {

struct CheckTable {
    uint32_t v[256];
    CheckTable() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            v[n] = c;
        }
    }
};

// The lock file, made exclusively when it is missing; never through a link,
// and never a FIFO or device, which would block or lock nothing.
int OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;  // another run made it just now
        if (fd < 0) return -1;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    return -1;
}

// Two engines storing at the same moment must not interleave their
// read-merge-write. The lock file is never renamed, unlike "save0.dat".
class GlobalDataLock {
public:
    explicit GlobalDataLock(const std::string& path) {
        fd_ = OpenLockFile(path);
        if (fd_ < 0) {
            Trace("global data: cannot open the lock file %s", path.c_str());
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                Trace("global data: cannot lock %s", path.c_str());
                break;
            }
        }
    }
    ~GlobalDataLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    GlobalDataLock(const GlobalDataLock&) = delete;
    GlobalDataLock& operator=(const GlobalDataLock&) = delete;

private:
    int fd_ = -1;
};

void OrInto(uint8_t* memory, const uint8_t* file, size_t n) {
    for (size_t i = 0; i < n; ++i) memory[i] |= file[i];
}

// The record lists the player made in earlier runs. A file of another size
// is left alone (and replaced by the lists of this run at the next store).
void ReadKaiso(TForm1& f) {
    std::vector<uint8_t> bytes;
    const std::string path = SavePath(f, "kaiso.dat");
    if (!ReadWholeFile(path, bytes, kKaisoFileSize, true)) return;
    if (!TakeRecordLists(f, bytes.data(), bytes.size())) {
        Trace("global data: kaiso.dat has %zu bytes, not %d: record lists start empty", bytes.size(), kKaisoFileSize);
        return;
    }
    Trace("global data: record lists read from kaiso.dat");
}

void WriteKaiso(TForm1& f) {
    uint8_t bytes[kKaisoFileSize] = {};
    const ExtrasState& x = f.extras;
    uint8_t* p = bytes;
    for (int l = 0; l < kRecordLists; ++l)
        for (int k = 0; k < kRecordListLength; ++k, p += 4) PutLe32(p, static_cast<uint32_t>(x.recordLists[l][k]));
    static_assert(sizeof x.recordListNames == kKaisoFileSize - kRecordLists * kRecordListLength * 4);
    std::memcpy(p, x.recordListNames, sizeof x.recordListNames);
    std::string path = SavePath(f, "kaiso.dat");
    std::vector<uint8_t> old;
    if (ReadWholeFile(path, old, sizeof bytes, true) && old.size() == sizeof bytes &&
        std::memcmp(old.data(), bytes, sizeof bytes) == 0)
        return;
    if (!WriteFileAtomic(path, bytes, sizeof bytes, true)) Trace("global data: cannot write kaiso.dat");
}

}  // namespace

uint32_t GlobalCheckValue(const uint8_t* bytes, size_t n, uint32_t start) {
    static const CheckTable table;
    uint32_t r = start;
    for (size_t i = 0; i < n; ++i) r = (r >> 8) ^ table.v[(r ^ bytes[i]) & 0xFF];
    return r;
}

bool GlobalFileSound(const uint8_t* bytes, size_t n) {
    return n == static_cast<size_t>(kGlobalFileSize) &&
           GlobalCheckValue(bytes, kGlobalCheckOffset) == GetLe32(bytes + kGlobalCheckOffset);
}

void MergeGlobalFile(TForm1& f, const uint8_t* file, bool atStart) {
    VarBanks& v = f.vars;
    ExtrasState& x = f.extras;
    static_assert(sizeof v.E == kGlobalEBytes);
    static_assert(sizeof x.pictureSeen <= kGlobalCounterOffset - kGlobalPictureSeenOffset);
    static_assert(sizeof x.recollectionBits <= kGlobalRecollectionBytes);
    static_assert(sizeof f.ui.ReadMarks == kGlobalReadMarksBytes);
    OrInto(v.E, file + kGlobalEOffset, sizeof v.E);
    OrInto(x.pictureSeen, file + kGlobalPictureSeenOffset, sizeof x.pictureSeen);
    OrInto(x.recollectionBits, file + kGlobalRecollectionOffset, sizeof x.recollectionBits);
    OrInto(f.ui.ReadMarks, file + kGlobalReadMarksOffset, sizeof f.ui.ReadMarks);
    if (atStart) f.gfx.spriteChangeCounter |= static_cast<int32_t>(GetLe32(file + kGlobalCounterOffset));
}

bool TakeRecordLists(TForm1& f, const uint8_t* bytes, size_t n) {
    if (n != static_cast<size_t>(kKaisoFileSize)) return false;
    ExtrasState& x = f.extras;
    const uint8_t* p = bytes;
    for (int l = 0; l < kRecordLists; ++l)
        for (int k = 0; k < kRecordListLength; ++k, p += 4) x.recordLists[l][k] = static_cast<int32_t>(GetLe32(p));
    std::memcpy(x.recordListNames, p, sizeof x.recordListNames);
    // Every name ends inside its field, whatever the file held.
    for (int l = 0; l < kRecordLists; ++l) x.recordListNames[l][kRecordListNameSize - 1] = '\0';
    return true;
}

namespace {

// What of the game folder's save files is a link or not what it should be,
// or null when all are sound (or missing).
const char* PlantedSaveEntry() {
    static const char* const kFiles[] = {"save0.dat", "kaiso.dat", "save0.dat.lock"};
    struct stat st;
    if (::lstat("save", &st) == 0 && !S_ISDIR(st.st_mode)) return "save";
    for (const char* name : kFiles)
        if (::lstat(name, &st) == 0 && !S_ISREG(st.st_mode)) return name;
    return nullptr;
}

}  // namespace

void ChooseSaveFolder(TForm1& f) {
    f.save.folder.clear();
    // A game folder that ships its save files as links (or special files)
    // would lead the writes elsewhere: it counts as read-only.
    const char* planted = PlantedSaveEntry();
    if (!planted && !f.app.bundledGame && ::access(".", W_OK) == 0) return;
    if (planted) Trace("save folder: \"%s\" in the game folder is a link or not a plain file; not written", planted);
    else if (f.app.bundledGame) Trace("save folder: the bundled demo's folder belongs to the program");
    // A game installed read-only keeps its saves in the player's data folder.
    std::string base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.local/share";
    } else {
        Trace("save folder: the game directory is read-only and there is no home folder");
        return;
    }
    std::string id;
    for (char c : f.config.GAME_ID) id += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
    if (id.empty() || id == "." || id == "..") id = "game";
    std::string dir = base + "/velmora/" + id;
    if (!MakeDirectories(dir)) {
        Trace("save folder: cannot create %s", dir.c_str());
        return;
    }
    f.save.folder = dir + "/";
    Trace("save folder: %s", dir.c_str());
}

std::string SavePath(const TForm1& f, const char* name) { return f.save.folder + name; }

void StoreGlobalData(TForm1& f, bool atStart) {
    if (atStart) {
        ChooseSaveFolder(f);
        // A run killed while writing leaves its temporary files; they are of no use to anyone.
        RemoveStaleTemporaries(f.save.folder.empty() ? "." : f.save.folder.substr(0, f.save.folder.size() - 1));
        RemoveStaleTemporaries(SavePath(f, "save"));
        ReadKaiso(f);
    }
    GlobalDataLock lock(SavePath(f, "save0.dat.lock"));

    // The file's blocks; zeros when it is missing, short or damaged.
    uint8_t file[kGlobalFileSize] = {};
    std::vector<uint8_t> bytes;
    std::string path = SavePath(f, "save0.dat");
    bool present = ReadWholeFile(path, bytes, kGlobalFileSize, true);
    if (present && bytes.size() >= static_cast<size_t>(kGlobalFileSize) &&
        GlobalFileSound(bytes.data(), kGlobalFileSize)) {
        std::memcpy(file, bytes.data(), kGlobalFileSize);
    } else {
        // What is in memory is kept, read marks included: they were merged
        // from an earlier good file or read in this run.
        if (present)
            Trace("global data: save0.dat is damaged (%zu bytes), starting it again", bytes.size());
        else
            Trace("global data: no save0.dat yet");
    }

    MergeGlobalFile(f, file, atStart);
    VarBanks& v = f.vars;
    ExtrasState& x = f.extras;

    // The new file: the spare bytes of the bit blocks are carried from the
    // old one, the rest is what memory holds now.
    uint8_t out[kGlobalFileSize];
    std::memcpy(out, file, kGlobalFileSize);
    std::memcpy(out + kGlobalEOffset, v.E, sizeof v.E);
    std::memcpy(out + kGlobalPictureSeenOffset, x.pictureSeen, sizeof x.pictureSeen);
    std::memcpy(out + kGlobalRecollectionOffset, x.recollectionBits, sizeof x.recollectionBits);
    std::memcpy(out + kGlobalReadMarksOffset, f.ui.ReadMarks, sizeof f.ui.ReadMarks);
    PutLe32(out + kGlobalCounterOffset, static_cast<uint32_t>(f.gfx.spriteChangeCounter));
    PutLe32(out + kGlobalCheckOffset, GlobalCheckValue(out, kGlobalCheckOffset));
    // An unchanged file is left alone: loads store twice, and each write waits for the disk.
    bool same = bytes.size() == sizeof out && std::memcmp(bytes.data(), out, sizeof out) == 0;
    if (!same && !WriteFileAtomic(path, out, sizeof out, true)) Trace("global data: cannot write %s", path.c_str());

    platform::SettingsStore& st = f.plat.settings();
    platform::SettingsBatch batch(st);
    char name[8];
    for (int i = 0; i < kGBankSize; ++i) {
        std::snprintf(name, sizeof name, "GV%02d", i);
        st.WriteInteger(f.config.MAKER_REG, f.config.GAME_ID, name, v.G[i]);
    }
    WriteKaiso(f);
}

}  // namespace velmora
