#include "data/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/trace.h"

namespace velmora {

namespace {

// The folder and the name of path ("." for a bare name).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

// Six letters no one can guess ahead, so a name planted beforehand is never ours.
std::string UniqueSuffix() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char raw[6];
    if (::getentropy(raw, sizeof raw) != 0) {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        static unsigned counter = 0;
        uint64_t x = static_cast<uint64_t>(t.tv_nsec) * 0x9E3779B97F4A7C15ull ^ (++counter * 0xBF58476D1CE4E5B9ull);
        for (unsigned char& c : raw) c = static_cast<unsigned char>(x >>= 8);
    }
    std::string s;
    for (unsigned char c : raw) s += kLetters[c % (sizeof kLetters - 1)];
    return s;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t w = ::write(fd, p, size);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        size -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

int OpenRegularFile(const std::string& path, bool noFollow) {
    // Non-blocking: opening a FIFO with no writer would wait for ever.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Trace("files: %s is not a regular file; not read", path.c_str());
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::FILE* OpenRegularStream(const std::string& path) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    std::FILE* fp = ::fdopen(fd, "rb");
    if (!fp) ::close(fd);
    return fp;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, size_t limit, bool noFollow) {
    bytes.clear();
    int fd = OpenRegularFile(path, noFollow);
    if (fd < 0) return false;
    // One byte past the limit tells the caller that the file is too large.
    const size_t most = limit < kLargestFile ? limit + 1 : kLargestFile;
    uint8_t buf[65536];
    bool ok = true;
    while (bytes.size() < most) {
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, most - bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return ok;
}

bool ReadFilePart(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>& bytes) {
    bytes.assign(size, 0);
    int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, bytes.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return got == size;
}

int64_t FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, bool ownFolder) {
    std::string folder, name;
    SplitPath(path, folder, name);
    if (name.empty()) return false;
    // Everything below happens inside this one folder, whatever its path names later.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (ownFolder ? O_NOFOLLOW : 0));
    if (dir < 0) {
        if (ownFolder && errno == ELOOP) Trace("files: %s is a link; %s not written", folder.c_str(), path.c_str());
        return false;
    }
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
        Trace("files: %s is %s; not written", path.c_str(), S_ISLNK(st.st_mode) ? "a link" : "not a regular file");
        ::close(dir);
        return false;
    }
    // The process id stays in the name: the start-up clean-up knows by it
    // whether the writer is gone.
    const std::string stem = name + ".tmp." + std::to_string(::getpid()) + ".";
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 64 && fd < 0; ++attempt) {
        tmp = stem + UniqueSuffix();
        fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        ::close(dir);
        return false;
    }
    bool ok = WriteAll(fd, data, size);
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::renameat(dir, tmp.c_str(), dir, name.c_str()) != 0) ok = false;
    if (!ok) ::unlinkat(dir, tmp.c_str(), 0);
    ::close(dir);
    return ok;
}

int RemoveStaleTemporaries(const std::string& folder, const std::string& only) {
    static const char kMark[] = ".tmp.";
    const std::string where = folder.empty() ? std::string(".") : folder;
    const int dirFd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        const size_t mark = entry.rfind(kMark);
        if (mark == std::string::npos || mark < 5) continue;
        const std::string target = entry.substr(0, mark);
        if (only.empty() ? target.compare(mark - 4, 4, ".dat") != 0 && target.compare(mark - 4, 4, ".ini") != 0
                         : target != only)
            continue;
        // "<pid>", or "<pid>.<unique letters>".
        const std::string tail = entry.substr(mark + sizeof kMark - 1);
        const size_t digits = std::strspn(tail.c_str(), "0123456789");
        if (digits == 0 || digits > 9 || (digits < tail.size() && tail[digits] != '.')) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(tail.c_str()));
        // A live process (ours or another run's) may still rename it into place.
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        // Only what a writer made: a planted link or folder is not ours to remove.
        struct stat st;
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::unlinkat(dirFd, e->d_name, 0) == 0) {
            ++removed;
            Trace("files: removed %s/%s, left by an interrupted write", where.c_str(), e->d_name);
        }
    }
    ::closedir(dir);
    return removed;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return IsDirectory(path);
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

}  // namespace velmora
