// The CPU path of the paint box: only the pixels that changed are brought
// into the painted format and painted, and what the window holds afterwards
// is still the whole picture, exactly.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>
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

TEST(CpuPresent, TheFilterSamplesLikeTheShader) {
    // A whole factor is nearest-neighbour; one to one is the picture itself.
    for (int k : {1, 2, 3}) {
        const platform::SampleAxis a = platform::SampleAxisFor(800, 800 * k, k);
        for (int o = 0; o < 800 * k; ++o) {
            ASSERT_EQ(a.first[o], o / k) << "factor " << k << " pixel " << o;
            ASSERT_EQ(a.weight[o], 0) << "factor " << k << " pixel " << o;
        }
    }
    // Below twice the size: plain bilinear between texel centres, clamped at
    // both edges, never reading past the last texel.
    const platform::SampleAxis a = platform::SampleAxisFor(600, 1080, 1);
    for (int o = 0; o < 1080; ++o) {
        const double u = (o + 0.5) * 600 / 1080 - 0.5;
        const int i = std::clamp(static_cast<int>(std::floor(u)), 0, 599);
        ASSERT_LE(std::abs(a.first[o] * 256 + a.weight[o] - std::clamp(u, 0.0, 599.0) * 256), 1.0) << o;
        ASSERT_TRUE(a.first[o] == i || (a.first[o] == i + 1 && a.weight[o] == 0)) << o;
        ASSERT_TRUE(a.first[o] < 599 || a.weight[o] == 0) << o;
    }
    // Above twice: texels grown sharp to the whole factor, blended only at seams.
    // At 2.5 times, 2 of every 5 pixels fall inside a grown texel (a plain
    // bilinear filter has almost none).
    const platform::SampleAxis b = platform::SampleAxisFor(800, 2000, 2);
    const platform::SampleAxis soft = platform::SampleAxisFor(800, 2000, 1);
    int flat = 0, softFlat = 0;
    for (int o = 0; o < 2000; ++o) flat += b.weight[o] == 0, softFlat += soft.weight[o] == 0;
    EXPECT_GE(flat, 790);
    EXPECT_LT(softFlat, 20);
    for (int o = 1; o < 2000; ++o) ASSERT_GE(b.first[o] * 256 + b.weight[o], b.first[o - 1] * 256 + b.weight[o - 1]);
}

TEST(CpuPresent, TheVectorStretchAndTheBandsGiveThePlainPicture) {
    std::mt19937 rng(9);
    QImage picture(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < 800; ++x) row[x] = 0xFF000000u | (rng() & 0xFFFFFF);
    }
    // Widths around the eight-pixel steps of the vector path.
    for (int shown : {801, 803, 807, 1000, 1366, 1440, 2000, 2881}) {
        const platform::SampleAxis across = platform::SampleAxisFor(800, shown, std::max(1, shown / 800));
        std::vector<QRgb> vector(shown), plain(shown);
        for (int y : {0, 299, 599}) {
            const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            platform::StretchRow(row, across, vector.data(), true);
            platform::StretchRow(row, across, plain.data(), false);
            ASSERT_EQ(vector, plain) << shown << " wide, row " << y;
        }
    }
    // Every pixel of a scaled picture from its four texels, byte by byte.
    const auto mix = [](QRgb a, QRgb b, int w) {
        QRgb out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= static_cast<QRgb>(((a >> shift & 0xFF) * (256 - w) + (b >> shift & 0xFF) * w) >> 8) << shift;
        return out;
    };
    for (QSize size : {QSize(1440, 1080), QSize(1920, 1440), QSize(1001, 751)}) {
        const int grow = std::max(1, std::min(size.width() / 800, size.height() / 600));
        const platform::SampleAxis across = platform::SampleAxisFor(800, size.width(), grow);
        const platform::SampleAxis down = platform::SampleAxisFor(600, size.height(), grow);
        QImage out(size, QImage::Format_RGB32);
        platform::ScalePicture(picture, across, down, 0, size.height() - 1, out);
        const auto texel = [&](int x, int y) { return reinterpret_cast<const QRgb*>(picture.constScanLine(y))[x]; };
        for (int y = 0; y < size.height(); ++y) {
            const int i = down.first[y], wy = down.weight[y];
            for (int x = 0; x < size.width(); ++x) {
                const int j = across.first[x], wx = across.weight[x];
                const int i1 = std::min(i + 1, 599), j1 = std::min(j + 1, 799);
                const QRgb want = mix(mix(texel(j, i), texel(j1, i), wx), mix(texel(j, i1), texel(j1, i1), wx), wy);
                ASSERT_EQ(out.pixel(x, y), want) << size.width() << " wide at " << x << ", " << y;
            }
        }
    }
    // A paint clipped to a band gives exactly that band of the whole paint,
    // at a size below and one above twice the picture.
    for (QSize area : {QSize(1920, 1080), QSize(2560, 1440)}) {
        SCOPED_TRACE(std::to_string(area.width()));
        const platform::PictureFit fit = platform::FitPicture(area, platform::kScaleSmooth);
        ASSERT_EQ(fit.factor, 0);
        QImage whole(area, QImage::Format_RGB32), band(area, QImage::Format_RGB32);
        {
            QPainter p(&whole);
            PaintPicture(p, picture, fit, area);
        }
        band.fill(Qt::white);
        for (QRect clip : {QRect(0, 0, area.width(), 1), QRect(0, 333, area.width(), 77),
                           QRect(300, area.height() - 5, 900, 5)}) {
            QPainter p(&band);
            p.setClipRect(clip);
            PaintPicture(p, picture, fit, area);
            p.end();
            ASSERT_EQ(band.copy(clip), whole.copy(clip)) << clip.y();
        }
    }
}
