// Text out: the added cost per shown character of handing every line to
// the clipboard, the text feed (two readers and one that never reads) and
// speech, against the character's own PutChar in the same run; and a feed
// line sent with a stalled reader against one with none.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/engine.h"
#include "data/encoding.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "platform/qt/text_outlets.h"
#include "text/message_window.h"
#include "text/text_out.h"

using namespace velmora;

namespace {

// One line of a page: 30 kanji and kana, as a message window line holds.
const std::string& Line() {
    static const std::string line = ToCp932("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。");
    return line;
}

int FreePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

struct Engine {
    platform::HeadlessPlatform plat{std::make_unique<platform::IniSettingsStore>()};
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    int port = FreePort();
    platform::QtTextOutlets outlets{port};
    QWebSocket readers[2];
    QTcpSocket stalled;
    bool speech = false;
    Engine() {
        plat.Attach(f.get());
        ConfigValues& c = f->config;
        c.TXW_OFS_X = 0, c.TXW_OFS_Y = 430, c.TXW_SIZE_X = 800, c.TXW_SIZE_Y = 170;
        c.TX_OFS_X = 40, c.TX_OFS_Y = 30, c.TX_PITCH_X = 12, c.TX_PITCH_Y = 28;
        c.MOJI_MAX_X = 58, c.MOJI_MAX_Y = 5;
        f->settings.FontName = ToCp932("ＭＳ ゴシック");
        f->settings.FONTSIZE = 19;
        f->vars.S[37] = 0xFFFFFF;
        CreateCompositionPictures(*f);
        InitGlyphs(*f);
        f->text.windowOpen = true;
        f->text.windowValid = true;
        for (QWebSocket& r : readers) r.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
        stalled.setReadBufferSize(1);
        stalled.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        stalled.waitForConnected(2000);
        stalled.write("GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        for (int i = 0; i < 200 && outlets.clients() < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::fprintf(stderr, "text feed readers connected: %d\n", outlets.clients());
    }
    void Outlets(bool on) {
        plat.textOutletsImpl = on ? &outlets : nullptr;
        f->settings.TextCopy = on;
        f->settings.TextFeed = on;
        f->settings.SelfVoice = on;
        f->settings.SpeakVoiced = on;
        ApplyTextOut(*f);
        speech = on && SelfVoicingAvailable(*f, nullptr);
    }
};

Engine& Shared() {
    static Engine e;
    return e;
}

// A line shown character by character, the page cleared for the next.
void ShowLine(TForm1& f, bool textOut) {
    const std::string& line = Line();
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
        if (textOut) TextOutChar(f, line.data() + i, 2);
        PutChar(f, line.data() + i, 2);
    }
    if (textOut) TextOutLineDone(f);
    f.text.column = 0;
    f.text.line = 0;
}

void BM_PutCharLine(benchmark::State& state) {
    Engine& e = Shared();
    e.Outlets(false);
    for (auto _ : state) {
        ShowLine(*e.f, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Line().size() / 2));
}
BENCHMARK(BM_PutCharLine)->Unit(benchmark::kMicrosecond);

void BM_PutCharLineWithTextOut(benchmark::State& state) {
    Engine& e = Shared();
    e.Outlets(true);
    int n = 0;
    for (auto _ : state) {
        ShowLine(*e.f, true);
        benchmark::ClobberMemory();
        // The readers read between passes, as the window's event loop lets them.
        if (++n % 16 == 0) {
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Line().size() / 2));
    state.SetLabel(e.speech ? "clipboard, feed, speech" : "clipboard, feed (no speech-dispatcher)");
    e.Outlets(false);
}
BENCHMARK(BM_PutCharLineWithTextOut)->Unit(benchmark::kMicrosecond);

// The service alone: the characters kept and the line handed to every outlet.
void BM_TextOutLineAlone(benchmark::State& state) {
    Engine& e = Shared();
    e.Outlets(true);
    const std::string& line = Line();
    int n = 0;
    for (auto _ : state) {
        for (size_t i = 0; i + 1 < line.size(); i += 2) TextOutChar(*e.f, line.data() + i, 2);
        TextOutLineDone(*e.f);
        e.f->textOut.page.clear();
        benchmark::ClobberMemory();
        if (++n % 16 == 0) {
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(line.size() / 2));
    state.SetLabel(e.speech ? "clipboard, feed, speech" : "clipboard, feed (no speech-dispatcher)");
    e.Outlets(false);
}
BENCHMARK(BM_TextOutLineAlone)->Unit(benchmark::kMicrosecond);

// One feed line to one reader, with and without a reader that never reads
// (which the feed lets go once it is far enough behind).
void FeedLine(benchmark::State& state, bool stalledReader) {
    const int port = FreePort();
    platform::QtTextOutlets out(port);
    QWebSocket reader;
    reader.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
    QTcpSocket stalled;
    int want = 1;
    if (stalledReader) {
        stalled.setReadBufferSize(1);
        stalled.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        stalled.waitForConnected(2000);
        stalled.write("GET / HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        want = 2;
    }
    for (int i = 0; i < 200 && out.clients() < want; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const std::string text = ToUtf8(Line());
    int n = 0;
    for (auto _ : state) {
        out.Put(platform::TextKind::Narration, text, false);
        if (++n % 16 == 0) {
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
    }
    state.counters["readers_left"] = out.clients();
}
void BM_FeedLineOneReader(benchmark::State& state) { FeedLine(state, false); }
void BM_FeedLineWithStalledReader(benchmark::State& state) { FeedLine(state, true); }
BENCHMARK(BM_FeedLineOneReader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FeedLineWithStalledReader)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double withOut = reporter.Ratio("BM_PutCharLineWithTextOut", "BM_PutCharLine");
    const double alone = reporter.Ratio("BM_TextOutLineAlone", "BM_PutCharLine");
    const double stalled = reporter.Ratio("BM_FeedLineWithStalledReader", "BM_FeedLineOneReader");
    std::printf("\n");
    if (alone != 0) std::printf("  text out per character, alone: %.1f %% of PutChar (target <= 5 %%)\n", 100 * alone);
    if (withOut != 0) std::printf("  PutChar with text out against PutChar alone: %+.1f %%\n", 100 * (withOut - 1));
    if (stalled != 0) std::printf("  a feed line with a stalled reader: %.2f x the line with none\n", stalled);
    benchmark::Shutdown();
    return 0;
}
