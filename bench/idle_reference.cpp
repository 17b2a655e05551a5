// The least a Qt Widgets window can cost while it keeps the engine's pace at
// a page wait: the reference bench/idle_cpu.sh sets the engine against in the
// same sitting. Nothing of the engine runs here: a window of the engine's
// size (tool bar, 800 x 600 picture), an idle pass every 20 ms that sleeps
// out its time as the engine's does, the 55 ms timer, and a 24 x 24 picture
// that changes every other tick and is painted, as the click-wait icon is.
//   velmora-idle-reference --quit-after MS
// Prints "reference: S s, N idle passes, P% of one core" on stderr, in the
// engine's own words, when it quits.
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double CpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec + r.ru_stime.tv_usec / 1e6;
}

class Picture : public QWidget {
public:
    explicit Picture(QWidget* parent) : QWidget(parent), image_(800, 600, QImage::Format_RGB32) {
        image_.fill(Qt::darkBlue);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    // The icon's next frame, in the lower right corner where a page wait
    // shows it.
    void NextFrame() {
        const QRect icon(760, 560, 24, 24);
        QPainter p(&image_);
        p.fillRect(icon, Qt::darkBlue);
        p.fillRect(icon.adjusted(0, frame_ % 4, 0, 0), Qt::white);
        ++frame_;
        update(icon);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        const QRect r = e->rect();
        p.drawImage(r.topLeft(), image_, r);
    }

private:
    QImage image_;
    int frame_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    long quitAfterMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quit-after") == 0 && i + 1 < argc) quitAfterMs = std::atol(argv[++i]);
        else {
            std::fprintf(stderr, "usage: velmora-idle-reference --quit-after MS\n");
            return 2;
        }
    }
    if (quitAfterMs <= 0) {
        std::fprintf(stderr, "usage: velmora-idle-reference --quit-after MS\n");
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    window.resize(800, 624);
    auto* bar = new QWidget(&window);
    bar->setGeometry(0, 0, 800, 21);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(1, 0, 1, 0);
    for (const char* caption : {"終了", "ロード(L)", "セーブ(S)", "設定(C)"})
        layout->addWidget(new QPushButton(QString::fromUtf8(caption), bar));
    layout->addStretch(1);
    auto* picture = new Picture(&window);
    picture->setGeometry(0, 24, 800, 600);
    window.show();

    QElapsedTimer clock;
    clock.start();
    long passes = 0;
    QTimer idle;
    idle.setInterval(0);
    QObject::connect(&idle, &QTimer::timeout, [&] {
        const qint64 start = clock.elapsed();
        ++passes;
        const qint64 left = 20 - (clock.elapsed() - start);
        if (left > 0) QThread::msleep(static_cast<unsigned long>(left));
    });
    QTimer tick;
    tick.setInterval(55);
    long ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks % 2 == 0) picture->NextFrame();
    });
    idle.start();
    tick.start();
    const double cpu0 = CpuSeconds();
    QTimer::singleShot(quitAfterMs, [&] {
        const double wall = clock.elapsed() / 1000.0;
        std::fprintf(stderr, "reference: %.1f s, %ld idle passes, %.2f%% of one core\n", wall, passes,
                     100.0 * (CpuSeconds() - cpu0) / wall);
        QApplication::quit();
    });
    return QApplication::exec();
}
