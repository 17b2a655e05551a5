#pragma once
// The window's text outlets: the desktop clipboard, the local text feed (a
// read-only WebSocket on 127.0.0.1 that reading aids connect to) and speech
// through speech-dispatcher.
#include <QObject>
#include <QWebSocketServer>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/qt/speech_worker.h"

class QWebSocket;

namespace velmora::platform {

class ScreenReaderBridge;

// The port browser-based reading aids look for by convention.
constexpr int kTextFeedPort = 6677;

// Whether a WebSocket client with this Origin header may read the feed: none
// (a program), or a page served from this machine over http or https.
bool FeedOriginAllowed(const std::string& origin);
// A client further behind than this is dropped rather than buffered for.
constexpr qint64 kFeedBacklogLimit = 256 * 1024;

class QtTextOutlets : public QObject, public TextOutlets {
public:
    // forcedPort > 0: the feed serves on it whatever the switches say.
    explicit QtTextOutlets(int forcedPort = 0);
    ~QtTextOutlets() override;

    void Apply(const TextOutSwitches& switches) override;
    void Put(TextKind kind, const std::string& utf8, bool speak) override;
    void Copy(const std::string& utf8) override;
    void Hush() override;
    bool SpeechAvailable(std::string* why) override;
    std::string SpeechNeeds() const override { return "読み上げには speech-dispatcher が必要です（見つかりません）"; }
    void NewPage() override;
    void Notice(const std::string& utf8) override;
    bool ScreenReaderActive() override;

    // Where the same text goes for screen readers (accessibility.h); may be null.
    ScreenReaderBridge* screenReader = nullptr;

    // For tests: the feed's server (not listening while the feed is off).
    QWebSocketServer& feedServer() { return server_; }
    int clients() const { return static_cast<int>(clients_.size()); }

private:
    void StartFeed();
    void StopFeed();
    void Accept();
    void Drop(QWebSocket* client, const char* why);
    // Says once, in the trace, that speech was lost.
    void CheckSpeech();

    TextOutSwitches switches_;
    int forcedPort_ = 0;
    QWebSocketServer server_;
    std::vector<QWebSocket*> clients_;
    SpeechWorker speech_;
    bool speechLossTraced_ = false;
};

}  // namespace velmora::platform
