// The CPU path of the paint box: only the pixels that changed are brought
// into the painted format and painted, and what the window holds afterwards
// is still the whole picture, exactly.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/qt/picture_fit.h"
#include "platform/qt/qt_platform.h"
#include "shell/shell_support.h"

using namespace velmora;
using platform::PaintBox;

namespace {

QRgb Painted(const uchar* bgr) { return qRgb(bgr[2], bgr[1], bgr[0]); }

QImage Expected(const PaintBox& box, QSize area) {
    const QImage shown = box.canvas.convertToFormat(QImage::Format_RGB32);
    QImage out(area, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    PaintPicture(p, shown, platform::FitPicture(area, box.scaleMode), area);
    p.end();
    return out.convertToFormat(QImage::Format_RGB32);
}

// What the window system will be handed: the widget's backing store.
QImage Held(PaintBox& box) {
    QPaintDevice* device = box.backingStore() ? box.backingStore()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return QImage();
    const QImage& held = *static_cast<QImage*>(device);
    return held.copy(QRect(QPoint(0, 0), box.size() * box.devicePixelRatioF())).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(CpuPresent, RowsChangeExactlyWhereTheBytesDo) {
    std::mt19937 rng(5);
    // Widths around the four-pixel steps of the vector path, and the screen's.
    for (int n : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 17, 31, 799, 800}) {
        SCOPED_TRACE("width " + std::to_string(n));
        std::vector<uchar> bgr(static_cast<size_t>(n) * 3);
        for (uchar& b : bgr) b = static_cast<uchar>(rng());
        std::vector<QRgb> painted(n);
        for (int x = 0; x < n; ++x) painted[x] = Painted(&bgr[3 * x]);
        // Nothing changed.
        auto [first, last] = platform::UpdatePaintedRow(bgr.data(), painted.data(), n);
        EXPECT_GT(first, last);
        // One byte of one pixel at every place, then a random few.
        for (int trial = 0; trial < n + 20; ++trial) {
            std::vector<int> changed;
            if (trial < n) changed.push_back(trial);
            else
                for (int k = 0; k < 3; ++k) changed.push_back(static_cast<int>(rng() % n));
            for (int x : changed) bgr[3 * x + rng() % 3] ^= static_cast<uchar>(1 + rng() % 255);
            // The same byte twice may change back: the truth is in the bytes.
            int lo = n, hi = -1;
            for (int x = 0; x < n; ++x)
                if (painted[x] != Painted(&bgr[3 * x])) lo = std::min(lo, x), hi = x;
            std::tie(first, last) = platform::UpdatePaintedRow(bgr.data(), painted.data(), n);
            EXPECT_EQ(first, lo);
            EXPECT_EQ(last, hi);
            for (int x = 0; x < n; ++x) ASSERT_EQ(painted[x], Painted(&bgr[3 * x])) << "pixel " << x;
        }
    }
}

TEST(CpuPresent, AnUpdateLeavesTheWholePictureInTheWindow) {
    test::App();
    platform::QtPlatform plat;
    PaintBox box(plat, nullptr);
    box.DropGpu();
    for (QSize size : {QSize(1600, 1200), QSize(1366, 768)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        box.resize(size);
        box.show();
        for (int i = 0; i < 200 && !(box.windowHandle() && box.windowHandle()->isExposed()); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uchar* p = box.canvas.scanLine(y) + 3 * x;
                p[0] = static_cast<uchar>(x), p[1] = static_cast<uchar>(y), p[2] = static_cast<uchar>(x ^ y);
            }
        box.CanvasChanged(box.canvas.rect());
        box.PresentNow();
        QApplication::processEvents();
        if (Held(box).isNull()) GTEST_SKIP() << "the backing store is not an image here";
        ASSERT_EQ(Held(box), Expected(box, Held(box).size()));
        // A band, scattered columns and one pixel at the far corner change;
        // an update paints them at once and leaves the rest as it was.
        Picture band;
        band.Resize(800, 600);
        std::memset(band.bytes.data(), 0x33, band.bytes.size());
        box.Draw(band, 0, 200, 800, 40, 0, 200);
        for (int x = 5; x < 800; x += 16) box.Draw(band, x, 0, 1, 600, x, 0);
        box.Draw(band, 0, 0, 1, 1, 799, 599);
        box.PresentNow();
        EXPECT_EQ(Held(box), Expected(box, Held(box).size()));
        // Nothing changed: nothing to paint, and the picture stays.
        box.Draw(band, 0, 200, 800, 40, 0, 200);
        box.PresentNow();
        EXPECT_EQ(Held(box), Expected(box, Held(box).size()));
    }
}
