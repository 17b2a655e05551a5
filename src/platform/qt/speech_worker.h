#pragma once
// Speech through speech-dispatcher on a thread of its own: connecting (which
// may start the daemon) and every request can take long or hang, and the
// game must never wait for them.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace velmora::platform {

class SpeechWorker {
public:
    ~SpeechWorker();
    // Whether speech can be had: a daemon answers on its socket, or one can
    // be started. Quick: it asks the socket, not the daemon.
    static bool Reachable(std::string* why);
    // Connects in the background (once) and sets rate and volume (-100 ... 100).
    void Configure(int rate, int volume);
    // A text to speak; `interrupt`: what is being spoken stops first.
    void Say(const std::string& utf8, bool interrupt);
    void Cancel();
    // Set once a connection failed; `failure` says why.
    bool Failed(std::string* failure);

private:
    struct Request {
        enum Kind { Configure, Say, Cancel, Stop } kind;
        std::string text;
        int a = 0, b = 0;
        bool interrupt = false;
    };
    // What the thread shares with us; it keeps its own reference, so a
    // thread stuck in the daemon may outlive the worker.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Request> queue;
        std::atomic<bool> failed{false};
        std::string failure;  // under mutex
        bool started = false;  // the window's thread alone uses it
        std::atomic<bool> connected{false};
        std::chrono::steady_clock::time_point connectStart;  // the window's thread alone uses it
    };
    void Post(Request r);
    static void Run(std::shared_ptr<Shared> s);

    std::shared_ptr<Shared> s_ = std::make_shared<Shared>();
};

}  // namespace velmora::platform
