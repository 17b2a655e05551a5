// The window's text feed: a read-only WebSocket on loopback that every
// reader gets each line from, where a reader that stalls is let go and
// the others go on; and the same lines the headless feed file holds.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QCheckBox>
#include <QDialog>
#include <QNetworkInterface>
#include <QPushButton>
#include <QTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <fstream>
#include <sstream>

#include "platform/qt/text_outlets.h"
#include "shell_support.h"

using namespace velmora;
using test::ReadText;
using platform::QtTextOutlets;
using platform::TextKind;

namespace {

int FreePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

template <class Done>
bool Until(Done done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A reader: every text message it receives, in order.
struct Reader {
    QWebSocket socket;
    QStringList got;
    explicit Reader(int port) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& m) { got << m; });
        socket.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
    }
};

}  // namespace

TEST(TextFeed, EveryReaderGetsEachLineAndAStalledOneIsDropped) {
    test::App();
    const int port = FreePort();
    QtTextOutlets out(port);
    ASSERT_TRUE(out.feedServer().isListening());
    EXPECT_EQ(out.feedServer().serverAddress(), QHostAddress(QHostAddress::LocalHost));

    Reader first(port);
    ASSERT_TRUE(Until([&] { return out.clients() == 1; }));
    out.Put(TextKind::Speaker, "「ミナ」「おはよう。」", true);
    out.Put(TextKind::Menu, "セーブ", true);  // only spoken
    out.Put(TextKind::Choice, "丘へ行く", true);
    ASSERT_TRUE(Until([&] { return first.got.size() == 2; }));
    EXPECT_EQ(first.got, QStringList({"「ミナ」「おはよう。」", "丘へ行く"}));

    // A second reader, and one that shakes hands and then never reads.
    Reader second(port);
    QTcpSocket stalled;
    stalled.setReadBufferSize(1);
    stalled.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    ASSERT_TRUE(stalled.waitForConnected(2000));
    stalled.write(QString("GET / HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                      .arg(port)
                      .toLatin1());
    ASSERT_TRUE(Until([&] { return out.clients() == 3; }));

    // Far more than the kernel buffers between them, a line a pass with the
    // window's events between, as a game under skip sends them.
    const QString line = QString(2000, QChar(0x3042));  // 6,000 bytes of あ
    const int lines = 2000;
    for (int i = 0; i < lines; ++i) {
        out.Put(TextKind::Narration, (QString::number(i) + line).toStdString(), false);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    ASSERT_TRUE(Until([&] { return second.got.size() == lines; }, 30000)) << second.got.size();
    ASSERT_TRUE(Until([&] { return first.got.size() == lines + 2; }, 30000)) << first.got.size();
    EXPECT_EQ(out.clients(), 2);  // the stalled one is gone
    for (int i = 0; i < lines; i += 499) EXPECT_TRUE(second.got[i].startsWith(QString::number(i) + QChar(0x3042)));
    EXPECT_TRUE(first.got.back().startsWith(QString::number(lines - 1)));

    // What a reader sends is not a command: it changes nothing and is dropped.
    first.socket.sendTextMessage("quit");
    out.Put(TextKind::Narration, "まだ続く", false);
    ASSERT_TRUE(Until([&] { return first.got.size() == lines + 3; }));
}

TEST(TextFeed, OnlyProgramsAndPagesOfThisMachineMayRead) {
    for (const char* ok : {"", "http://localhost:8000", "http://127.0.0.1", "https://[::1]:8443", "http://app.localhost"})
        EXPECT_TRUE(platform::FeedOriginAllowed(ok)) << ok;
    for (const char* no : {"null", "http://example.com", "https://localhost.example.com", "http://192.168.1.5",
                           "file://", "chrome-extension://abc", "http://127.0.0.1.example.org"})
        EXPECT_FALSE(platform::FeedOriginAllowed(no)) << no;

    // A browser's socket carries its page's Origin.
    test::App();
    const int port = FreePort();
    QtTextOutlets out(port);
    QWebSocket page(QStringLiteral("https://example.com"));
    bool closed = false;
    QObject::connect(&page, &QWebSocket::disconnected, [&] { closed = true; });
    page.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
    EXPECT_TRUE(Until([&] { return closed; }));
    EXPECT_EQ(out.clients(), 0);
    QWebSocket local(QStringLiteral("http://localhost:8000"));
    local.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
    EXPECT_TRUE(Until([&] { return out.clients() == 1; }));
}

TEST(TextFeed, OnlyLoopbackIsBoundAndTheSwitchesTurnItOnAndOff) {
    test::App();
    const int port = FreePort();
    {
        QtTextOutlets forced(port);
        platform::TextOutSwitches off;
        forced.Apply(off);
        EXPECT_TRUE(forced.feedServer().isListening()) << "the command line's port stays served";
        // Another address of this machine finds nobody listening.
        for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
            if (a.isLoopback() || a.protocol() != QAbstractSocket::IPv4Protocol) continue;
            QTcpSocket s;
            s.connectToHost(a, static_cast<quint16>(port));
            EXPECT_FALSE(s.waitForConnected(1000)) << a.toString().toStdString();
        }
    }
    QtTextOutlets bySettings;
    EXPECT_FALSE(bySettings.feedServer().isListening());
}

TEST(TextFeed, TheWindowSendsWhatTheHeadlessFeedFileHolds) {
    test::App();
    test::TempDir dir;
    const std::string demo = test::CopyDemo(dir);
    // The title screen: its choices open after about two seconds.
    dir.Write("e.txt", "wait 6000\n");
    std::string out;
    ASSERT_EQ(test::RunVelmora("--headless --game " + demo + " --events " + dir.File("e.txt") + " --text-feed " +
                                   dir.File("feed.txt"),
                               &out),
              0)
        << out;
    const QStringList headless = QString::fromStdString(ReadText(dir.File("feed.txt"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(headless.isEmpty());

    const int port = FreePort();
    QProcess window;
    window.start(VELMORA_EXE, {"--text-feed", QString::number(port), "--quit-after", "6000",
                               QString::fromStdString(demo)});
    ASSERT_TRUE(window.waitForStarted());
    QWebSocket reader;
    QStringList got;
    QObject::connect(&reader, &QWebSocket::textMessageReceived, [&](const QString& m) { got << m; });
    // The window listens from its first moment; knock until it answers.
    ASSERT_TRUE(Until([&] {
        if (reader.state() == QAbstractSocket::UnconnectedState) reader.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
        return reader.state() == QAbstractSocket::ConnectedState;
    }, 5000));
    ASSERT_TRUE(Until([&] { return got.size() >= headless.size(); }, 15000)) << got.join('|').toStdString();
    EXPECT_EQ(got.mid(0, headless.size()), headless);
    window.waitForFinished(15000);
}

// Self-voicing: without a speech-dispatcher to talk to the switch is refused
// at once, and with one (its dummy voice, a daemon of the test's own) a
// spoken line reaches it.
TEST(SelfVoicing, WithoutSpeechDispatcherItIsRefusedAndWithItALineIsSpoken) {
    test::App();
    test::TempDir dir;
    const QByteArray before = qgetenv("SPEECHD_ADDRESS");
    const std::string socket = dir.File("speechd.sock");
    qputenv("SPEECHD_ADDRESS", QByteArray("unix_socket:") + socket.c_str());
    {
        QtTextOutlets out;
        std::string why;
        EXPECT_FALSE(out.SpeechAvailable(&why));
        EXPECT_NE(why.find("speech-dispatcher is not running"), std::string::npos) << why;
    }
    if (QStandardPaths::findExecutable("speech-dispatcher").isEmpty()) {
        qputenv("SPEECHD_ADDRESS", before);
        GTEST_SKIP() << "speech-dispatcher is not installed";
    }
    dir.Write("speechd.conf", "LogLevel 5\nLogDir \"" + dir.path() + "\"\nAddModule \"dummy\" \"sd_dummy\" \"\"\n"
                              "DefaultModule dummy\nAudioOutputMethod \"libao\"\n");
    QProcess daemon;
    daemon.start("speech-dispatcher", {"-s", "-l", "5", "-L", QString::fromStdString(dir.path()), "-c", "unix_socket",
                                       "-S", QString::fromStdString(socket), "-t", "30", "-C",
                                       QString::fromStdString(dir.path()), "-P",
                                       QString::fromStdString(dir.File("pid"))});
    ASSERT_TRUE(daemon.waitForStarted());
    {
        QtTextOutlets out;
        ASSERT_TRUE(Until([&] { return out.SpeechAvailable(nullptr); }, 15000));
        platform::TextOutSwitches on;
        on.speech = true;
        out.Apply(on);
        out.Put(TextKind::Speaker, "「ミナ」読み上げの試験", true);
        out.Put(TextKind::Narration, "読まれない行", false);
        EXPECT_TRUE(Until([&] {
            return ReadText(dir.File("speech-dispatcher.log")).find("読み上げの試験") != std::string::npos;
        }, 20000));
        EXPECT_EQ(ReadText(dir.File("speech-dispatcher.log")).find("読まれない行"), std::string::npos);
    }
    daemon.terminate();
    if (!daemon.waitForFinished(5000)) daemon.kill();
    qputenv("SPEECHD_ADDRESS", before);
}

// What the player points at in a dialog is read out: its caption as it
// opens, then the control under the pointer.
TEST(SelfVoicing, TheDialogAndTheControlUnderThePointerAreSpoken) {
    struct Heard : platform::TextOutlets {
        QStringList menu;
        void Apply(const platform::TextOutSwitches&) override {}
        void Put(TextKind kind, const std::string& utf8, bool) override {
            if (kind == TextKind::Menu) menu << QString::fromStdString(utf8);
        }
    } heard;
    test::WindowGame g("一行目\n\\\n");
    g.plat.textOutletsImpl = &heard;
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        driven = true;
        auto* bold = d->findChild<QCheckBox*>("CheckBox5");
        ASSERT_NE(bold, nullptr);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(bold, &enter);
        d->findChild<QPushButton*>("Button2")->click();
    });
    g.plat.mainWindow().findChild<QPushButton*>("SpeedButton2")->click();
    g.plat.textOutletsImpl = nullptr;
    EXPECT_TRUE(driven);
    EXPECT_EQ(heard.menu, QStringList({"設定", "太字"}));
}
