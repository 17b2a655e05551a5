#include "platform/qt/speech_worker.h"

#include <libspeechd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace velmora::platform {

namespace {

// Where libspeechd looks for the daemon unless SPEECHD_ADDRESS says otherwise.
std::string DefaultSocket() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return std::string(run) + "/speech-dispatcher/speechd.sock";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/speech-dispatcher/speechd.sock";
    return std::string();
}

bool SocketAnswers(const std::string& path) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

bool DaemonInstalled() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string file = dirs.substr(start, end - start) + "/speech-dispatcher";
        if (::access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

SpeechWorker::~SpeechWorker() {
    // The thread ends by itself; a daemon that hangs must not hang the
    // window's close as well.
    Post({Request::Stop, {}, 0, 0, false});
}

bool SpeechWorker::Reachable(std::string* why) {
    const char* address = std::getenv("SPEECHD_ADDRESS");
    if (address && *address) {
        const std::string a = address;
        if (a.rfind("unix_socket:", 0) != 0) return true;  // a network daemon: asked when connecting
        if (SocketAnswers(a.substr(12))) return true;
        if (why) *why = "speech-dispatcher is not running at " + a.substr(12);
        return false;
    }
    if (SocketAnswers(DefaultSocket())) return true;
    // libspeechd starts the daemon itself when it is installed.
    if (DaemonInstalled()) return true;
    if (why) *why = "speech-dispatcher is not installed";
    return false;
}

bool SpeechWorker::Failed(std::string* failure) {
    if (!s_->failed) return false;
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (failure) *failure = s_->failure;
    return true;
}

void SpeechWorker::Post(Request r) {
    Shared& s = *s_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.started) {
            if (r.kind != Request::Configure) return;  // nothing to cancel or say before the first switch-on
            s.started = true;
            std::thread(Run, s_).detach();
        }
        // Lines said while the daemon lags are dropped rather than read late.
        if (r.kind == Request::Cancel || r.interrupt) {
            for (auto it = s.queue.begin(); it != s.queue.end();)
                it = it->kind == Request::Say ? s.queue.erase(it) : it + 1;
        }
        if (r.kind == Request::Say && s.queue.size() > 32) return;
        s.queue.push_back(std::move(r));
    }
    s.wake.notify_one();
}

void SpeechWorker::Configure(int rate, int volume) { Post({Request::Configure, {}, rate, volume, false}); }
void SpeechWorker::Say(const std::string& utf8, bool interrupt) { Post({Request::Say, utf8, 0, 0, interrupt}); }
void SpeechWorker::Cancel() { Post({Request::Cancel, {}, 0, 0, true}); }

void SpeechWorker::Run(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    char* error = nullptr;
    SPDConnection* c = spd_open2("velmora", "main", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
    if (!c) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.failure = std::string("speech-dispatcher did not answer") + (error ? std::string(": ") + error : "");
        s.failed = true;
        s.queue.clear();
    } else {
        // A Japanese voice where one is installed; speech-dispatcher falls
        // back to the desktop's default voice otherwise.
        spd_set_language(c, "ja");
    }
    std::free(error);
    for (;;) {
        Request r;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.wake.wait(lock, [&s] { return !s.queue.empty(); });
            r = std::move(s.queue.front());
            s.queue.pop_front();
        }
        if (r.kind == Request::Stop) break;
        if (!c) continue;
        switch (r.kind) {
            case Request::Configure:
                spd_set_voice_rate(c, r.a);
                spd_set_volume(c, r.b);
                break;
            case Request::Say:
                if (r.interrupt) spd_cancel(c);
                spd_say(c, SPD_TEXT, r.text.c_str());
                break;
            case Request::Cancel: spd_cancel(c); break;
            case Request::Stop: break;
        }
    }
    if (c) spd_close(c);
}

}  // namespace velmora::platform
