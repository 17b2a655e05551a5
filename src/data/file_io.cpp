#include "data/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/trace.h"

namespace velmora {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    bool ok = !std::ferror(fp);
    std::fclose(fp);
    return ok;
}

bool ReadFilePart(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>& bytes) {
    bytes.assign(size, 0);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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

bool WriteFileAtomic(const std::string& path, const void* data, size_t size) {
    std::string tmp = path + ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    bool ok = true;
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

int RemoveStaleTemporaries(const std::string& folder) {
    static const char kMark[] = ".dat.tmp.";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const char* mark = std::strstr(e->d_name, kMark);
        if (!mark || mark == e->d_name) continue;
        const char* digits = mark + sizeof kMark - 1;
        if (*digits == '\0' || std::strspn(digits, "0123456789") != std::strlen(digits) ||
            std::strlen(digits) > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::atol(digits));
        // A live process (ours or another run's) may still rename it into place.
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        const std::string path = (folder.empty() ? std::string() : folder + "/") + e->d_name;
        if (!IsRegularFile(path)) continue;
        if (::unlink(path.c_str()) == 0) {
            ++removed;
            Trace("files: removed %s, left by an interrupted write", path.c_str());
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

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

}  // namespace velmora
