#include "platform/qt/speech_worker.h"

#include <libspeechd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace velmora::platform {

namespace {

// How long the socket may take to accept when asked whether speech can be had.
constexpr int kAnswerMs = 200;
// How long the speech thread may take to connect before speech counts as failed.
constexpr auto kConnectTimeout = std::chrono::seconds(5);

// Where libspeechd looks for the daemon unless SPEECHD_ADDRESS says otherwise.
std::string DefaultSocket() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return std::string(run) + "/speech-dispatcher/speechd.sock";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/speech-dispatcher/speechd.sock";
    return std::string();
}

// Asked from the window's thread, so it must not wait: a daemon that does
// not accept (its queue full, or stopped) fills the socket's backlog, and a
// blocking connect would wait for ever.
bool SocketAnswers(const std::string& path) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        ok = ::poll(&p, 1, kAnswerMs) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    }
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
    Shared& s = *s_;
    if (!s.failed && s.started && !s.connected && std::chrono::steady_clock::now() - s.connectStart > kConnectTimeout) {
        // The thread may stay stuck in the daemon; speech is given up on, the window goes on.
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.connected && !s.failed) {
            s.failure = "speech-dispatcher did not answer within 5 seconds";
            s.failed = true;
            s.queue.clear();
        }
    }
    if (!s.failed) return false;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (failure) *failure = s.failure;
    return true;
}

void SpeechWorker::Post(Request r) {
    Shared& s = *s_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.failed && r.kind != Request::Stop) return;  // nothing will ever take it
        if (!s.started) {
            if (r.kind != Request::Configure) return;  // nothing to cancel or say before the first switch-on
            s.started = true;
            s.connectStart = std::chrono::steady_clock::now();
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
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (c && s.failed) {
            // Too late: the window gave up on speech meanwhile.
            spd_close(c);
            c = nullptr;
        }
        s.connected = c != nullptr;
    }
    if (!c) {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.failed)
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
