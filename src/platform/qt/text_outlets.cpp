#include "platform/qt/text_outlets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHostAddress>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <algorithm>

#include "app/trace.h"
#include "platform/qt/accessibility.h"

namespace velmora::platform {

QtTextOutlets::QtTextOutlets(int forcedPort)
    : forcedPort_(forcedPort), server_(QStringLiteral("velmora"), QWebSocketServer::NonSecureMode) {
    QObject::connect(&server_, &QWebSocketServer::newConnection, this, [this] { Accept(); });
    // Any web page the player has open could otherwise read the story: only
    // programs (no Origin) and pages served from this machine are let in.
    QObject::connect(&server_, &QWebSocketServer::originAuthenticationRequired, this,
                     [](QWebSocketCorsAuthenticator* a) {
                         a->setAllowed(FeedOriginAllowed(a->origin().toStdString()));
                         if (!a->allowed()) Trace("text feed: a page from %s refused", a->origin().toStdString().c_str());
                     });
    if (forcedPort_ > 0) StartFeed();
}

bool FeedOriginAllowed(const std::string& origin) {
    if (origin.empty()) return true;
    const QUrl url(QString::fromStdString(origin));
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return false;  // "null" (a file or a sandboxed frame) included
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost"))) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QtTextOutlets::~QtTextOutlets() { StopFeed(); }

void QtTextOutlets::Apply(const TextOutSwitches& switches) {
    switches_ = switches;
    if (screenReader) screenReader->SetEnabled(switches.screenReader);
    if (switches.feed || forcedPort_ > 0) StartFeed();
    else StopFeed();
    if (switches.speech) speech_.Configure(switches.speechRate, switches.speechVolume);
    else Hush();
}

void QtTextOutlets::StartFeed() {
    if (server_.isListening()) return;
    const int port = forcedPort_ > 0 ? forcedPort_ : kTextFeedPort;
    // Loopback only: the story is nobody else's business on the network.
    if (server_.listen(QHostAddress::LocalHost, static_cast<quint16>(port)))
        Trace("text feed: serving on ws://127.0.0.1:%d", port);
    else
        Trace("text feed: cannot listen on 127.0.0.1:%d: %s", port, server_.errorString().toStdString().c_str());
}

void QtTextOutlets::StopFeed() {
    if (!server_.isListening() && clients_.empty()) return;
    server_.close();
    for (QWebSocket* c : std::vector<QWebSocket*>(clients_)) Drop(c, "the feed is off");
    Trace("text feed: off");
}

void QtTextOutlets::Accept() {
    while (QWebSocket* c = server_.nextPendingConnection()) {
        // Read-only: what a client sends is read and forgotten, and a client
        // that floods is dropped.
        c->setMaxAllowedIncomingMessageSize(1024);
        c->setMaxAllowedIncomingFrameSize(1024);
        clients_.push_back(c);
        QObject::connect(c, &QWebSocket::disconnected, this, [this, c] {
            auto it = std::find(clients_.begin(), clients_.end(), c);
            if (it == clients_.end()) return;
            clients_.erase(it);
            c->deleteLater();
            Trace("text feed: a reader left (%zu connected)", clients_.size());
        });
        Trace("text feed: a reader connected from %s (%zu connected)",
              c->peerAddress().toString().toStdString().c_str(), clients_.size());
    }
}

void QtTextOutlets::Drop(QWebSocket* client, const char* why) {
    auto it = std::find(clients_.begin(), clients_.end(), client);
    if (it == clients_.end()) return;
    clients_.erase(it);
    Trace("text feed: a reader dropped: %s (%zu connected)", why, clients_.size());
    client->disconnect(this);
    client->abort();
    client->deleteLater();
}

void QtTextOutlets::Put(TextKind kind, const std::string& utf8, bool speak) {
    if (switches_.copy && ClipboardCarries(kind)) Copy(utf8);
    if (!clients_.empty() && FeedCarries(kind)) {
        const QString message = QString::fromStdString(utf8);
        for (QWebSocket* c : std::vector<QWebSocket*>(clients_)) {
            // Writes never block; a reader that does not keep up only grows
            // its queue, and is let go before that costs the game anything.
            if (c->bytesToWrite() > kFeedBacklogLimit) Drop(c, "it does not keep up");
            else c->sendTextMessage(message);
        }
    }
    if (screenReader) screenReader->Put(kind, QString::fromStdString(utf8));
    // What lies under the pointer replaces what was being read; story lines queue.
    if (speak && switches_.speech && kind != TextKind::Backlog) speech_.Say(utf8, kind == TextKind::Menu);
    CheckSpeech();
}

void QtTextOutlets::Copy(const std::string& utf8) {
    if (QClipboard* clip = QGuiApplication::clipboard()) clip->setText(QString::fromStdString(utf8));
}

void QtTextOutlets::Hush() { speech_.Cancel(); }

void QtTextOutlets::NewPage() {
    if (screenReader) screenReader->NewPage();
}

void QtTextOutlets::Notice(const std::string& utf8) {
    if (screenReader) screenReader->Notice(QString::fromStdString(utf8));
    if (switches_.speech) speech_.Say(utf8, true);
}

bool QtTextOutlets::ScreenReaderActive() { return ScreenReaderBridge::AssistiveTechnologyActive(); }

void QtTextOutlets::CheckSpeech() {
    std::string why;
    if (speechLossTraced_ || !speech_.Failed(&why)) return;
    speechLossTraced_ = true;
    Trace("self-voicing is unavailable: %s", why.c_str());
}

bool QtTextOutlets::SpeechAvailable(std::string* why) {
    CheckSpeech();
    if (speech_.Failed(why)) return false;
    return SpeechWorker::Reachable(why);
}

}  // namespace velmora::platform
