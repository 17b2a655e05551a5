// Process entry of the windowed engine.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <memory>

#include "app/engine.h"
#include "app/trace.h"
#include "data/config.h"
#include "platform/openal/openal_device.h"
#include "platform/openal/openal_mixer.h"
#include "platform/qt/accessibility.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/sdl_pad.h"
#include "platform/qt/text_outlets.h"

namespace velmora::platform {

bool QtPlatform::WaveOutputPresent() { return OpenAlOutputPresent(); }

// The game's window or one of its dialogs has the focus.
bool QtPlatform::Active() { return QApplication::activeWindow() != nullptr; }

namespace {

double CpuSeconds() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}


}  // namespace

// The name one game's window is known by on this desktop: the game's
// GAME_ID and its folder as the file system knows it, so that "DIR",
// "DIR/" and a link to DIR are one game. Reduced to what a file and
// socket name may hold; the folder goes in as a hash to keep it short.
std::string InstanceName(const std::string& gameDir) {
    std::error_code ec;
    std::filesystem::path folder = gameDir.empty() ? std::filesystem::path() : std::filesystem::canonical(gameDir, ec);
    if (gameDir.empty()) folder.clear();
    else if (ec) folder = std::filesystem::absolute(gameDir, ec).lexically_normal();
    std::string where = folder.string();
    while (where.size() > 1 && where.back() == '/') where.pop_back();
    const std::string id = gameDir.empty() ? std::string() : PeekGameConfig(gameDir).GAME_ID;
    std::string name = "VELMORAENGINE-";
    for (unsigned char c : id.substr(0, 60)) name += std::isalnum(c) || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    // FNV-1a: stable from run to run, unlike std::hash.
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : where) h = (h ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return name + "-" + hex + "-" + std::to_string(::getuid());
}

namespace {

// Asks the window already open for the game to come to the front.
bool RaiseOpenWindow(const std::string& name) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(name));
    if (!socket.waitForConnected(1000)) return false;
    socket.write("raise\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

}  // namespace

bool UseJapaneseQtWords() {
    // The engine speaks Japanese whatever the desktop's language, so Qt's
    // own words (the file pickers' buttons and lists) do too.
    static QTranslator words;
    if (!words.isEmpty()) return true;
    if (!words.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
    return QCoreApplication::installTranslator(&words);
}

int RunEngine(int argc, char** argv, const WindowedOptions& o) {
    int lockFd = -1;
    const std::string instance = InstanceName(o.gameDir);
    if (!AcquireInstanceLock(instance.c_str(), lockFd)) {
        // One window per game: the second start brings the first to the front.
        QCoreApplication core(argc, argv);
        const bool raised = RaiseOpenWindow(instance);
        std::fprintf(stderr, "velmora: %s is already open%s\n", o.gameDir.c_str(),
                     raised ? "; its window was brought to the front" : "");
        return 1;
    }
    std::FILE* trace = nullptr;
    if (!o.traceFile.empty()) {
        trace = std::fopen(o.traceFile.c_str(), "w");
        if (trace) SetTraceSink(trace);
    } else if (o.verbose) {
        SetTraceSink(stderr);
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        UseJapaneseQtWords();
        std::string gameDir = o.gameDir;
        if (gameDir.empty()) {
            // No game named and no demo beside the program: the player picks a folder.
            QString picked = QFileDialog::getExistingDirectory(nullptr, QString::fromUtf8("ゲームのフォルダを選んでください"));
            if (picked.isEmpty()) return 0;
            gameDir = picked.toStdString();
        }
        OpenAlMixer mixer;  // opened by the engine's first idle pass
        QtPlatform plat;
        plat.mixerImpl = &mixer;
        QtTextOutlets outlets(o.textFeedPort);
        plat.textOutletsImpl = &outlets;
        ScreenReaderBridge screenReader(plat);
        outlets.screenReader = &screenReader;
        auto engine = std::make_unique<TForm1>(plat);
        engine->app.gameDir = gameDir;
        engine->app.bundledGame = o.bundledGame && gameDir == o.gameDir;
        plat.settingsStore().SetGameFolder(gameDir);
        plat.Attach(engine.get());
        engine->FormCreate();
        QApplication::setApplicationName(QString::fromStdString(TraceText(engine->config.TITLE)));
        plat.mainWindow().show();
        if (o.fullScreen && !engine->ui.FullScreenActive && !engine->app.fullScreen && engine->app.created) {
            engine->app.screenMode = 1;
            EnterFullScreen(*engine);
        }
        // A second start of this game asks through this socket for the window.
        QLocalServer::removeServer(QString::fromStdString(instance));
        QLocalServer raiser;
        QObject::connect(&raiser, &QLocalServer::newConnection, [&] {
            while (QLocalSocket* s = raiser.nextPendingConnection()) {
                QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
                MainWindow& w = plat.mainWindow();
                if (w.isMinimized()) w.showNormal();
                w.raise();
                w.activateWindow();
                Trace("a second start of the game: window brought to the front");
            }
        });
        if (!raiser.listen(QString::fromStdString(instance)))
            Trace("cannot listen for a second start: %s", raiser.errorString().toStdString().c_str());
        // Game controllers, beside Qt: polled with Timer1. SDL's start scans
        // the input devices, which the first frame need not wait for.
        std::unique_ptr<SdlPad> pad;
        plat.mainWindow().PB->firstFramePainted = [&] {
            if (pad) return;
            pad = std::make_unique<SdlPad>(plat);
            if (pad->Available()) plat.pad = pad.get();
        };
        // A window that paints nothing (started minimized) gets its pad anyway.
        QTimer::singleShot(2000, &plat.mainWindow(), plat.mainWindow().PB->firstFramePainted);
        plat.mainWindow().Timer1.start();
        plat.mainWindow().idle.start();
        double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        if (o.quitAfterMs > 0) {
            QTimer::singleShot(o.quitAfterMs, [&] {
                double cpu = CpuSeconds() - cpu0;
                std::fprintf(stderr, "velmora: %.1f s, %ld idle passes, %.2f%% of one core\n", wall.elapsed() / 1000.0,
                             plat.idlePasses, 100.0 * cpu / (wall.elapsed() / 1000.0));
                plat.destroyed = true;
                engine->FormDestroy();
                // Every loop ends, a box's or form's that is open too:
                // quit() would be refused while the box stays on screen.
                QCoreApplication::exit(0);
            });
        }
        status = QApplication::exec();
        if (!plat.destroyed) {
            plat.destroyed = true;
            engine->FormDestroy();
        }
        if (!engine->app.startFailure.empty()) {
            std::fprintf(stderr, "velmora: %s\n", engine->app.startFailure.c_str());
            status = 1;
        }
        engine.reset();
    }
    SetTraceSink(nullptr);
    if (trace) std::fclose(trace);
    if (lockFd >= 0) ::close(lockFd);
    return status;
}

}  // namespace velmora::platform
