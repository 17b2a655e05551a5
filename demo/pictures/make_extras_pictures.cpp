// Draws the demo's extras screens into the picture folder, from the
// backgrounds already drawn there: the gallery pages (pictures "VW1N",
// "VW1H", scenes "VW2N", "VW2H", music "VW3N", "VW3H", each normal and with
// every control lit), the plates "VWPLATE" and "VWPLATE2", the per-cent
// digits "sys_vwnum", and the recollection screen "ss_kaiso", "ss_kaiso2"
// and its sub-list selector "ss_kaiso_p".
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/encoding.h"
#include "gfx/pixel_ops.h"
#include "gfx/png_file.h"
#include "text/glyph_outline.h"
#include "tools/drawing.h"

namespace {

using velmora::OutlineFont;
using velmora::Picture;
using velmora::drawing::Edge;
using velmora::drawing::RoundRect;

struct Rgb {
    int r, g, b;
};

uint32_t Colour(Rgb c) { return static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b) << 16; }

void Blend(Picture& p, int x, int y, Rgb c, double a) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height || a <= 0) return;
    a = std::min(a, 1.0);
    uint8_t* d = p.Pixel(x, y);
    d[0] = static_cast<uint8_t>(d[0] + (c.b - d[0]) * a);
    d[1] = static_cast<uint8_t>(d[1] + (c.g - d[1]) * a);
    d[2] = static_cast<uint8_t>(d[2] + (c.r - d[2]) * a);
}

// A night-blue backdrop with a soft light from the top.
Picture Backdrop() {
    Picture p;
    p.Resize(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t* d = p.Pixel(x, y);
            const double t = y / 600.0;
            d[0] = static_cast<uint8_t>(70 - 40 * t);
            d[1] = static_cast<uint8_t>(40 - 25 * t);
            d[2] = static_cast<uint8_t>(30 - 20 * t);
        }
    return p;
}

// A rounded panel, filled and outlined.
void Panel(Picture& p, int x0, int y0, int x1, int y1, Rgb fill, double fillAlpha, Rgb line) {
    for (int y = y0 - 2; y <= y1 + 2; ++y)
        for (int x = x0 - 2; x <= x1 + 2; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, x0, y0, x1, y1, 6);
            Blend(p, x, y, fill, Edge(d) * fillAlpha);
            Blend(p, x, y, line, Edge(std::abs(d + 1) - 1));
        }
}

void Text(OutlineFont& font, Picture& p, int x, int y, const char* utf8, Rgb c) {
    font.DrawText(p, x, y, velmora::ToCp932(utf8), Colour(c));
}

void CentredText(OutlineFont& font, Picture& p, int cx, int y, const char* utf8, Rgb c) {
    Picture scratch;
    const std::string text = velmora::ToCp932(utf8);
    const int w = font.DrawText(scratch, 0, 0, text, 0);
    font.DrawText(p, cx - w / 2, y, text, Colour(c));
}

// A button with its caption; lit: the highlighted look.
void Button(OutlineFont& font, Picture& p, int x0, int y0, int x1, int y1, const char* caption, bool lit) {
    Panel(p, x0, y0, x1, y1, lit ? Rgb{90, 130, 200} : Rgb{30, 40, 70}, 0.9, lit ? Rgb{255, 240, 180} : Rgb{140, 150, 190});
    CentredText(font, p, (x0 + x1) / 2, (y0 + y1) / 2 - 9, caption, lit ? Rgb{255, 255, 255} : Rgb{210, 215, 235});
}

// A picture at a fifth of its size, framed, at (x, y).
void Thumbnail(Picture& p, const Picture& from, int x, int y, bool lit) {
    for (int ty = 0; ty < 120; ++ty)
        for (int tx = 0; tx < 160; ++tx) {
            int sum[3] = {0, 0, 0};
            for (int k = 0; k < 25; ++k) {
                const int sx = std::min(tx * 5 + k % 5, from.width - 1), sy = std::min(ty * 5 + k / 5, from.height - 1);
                const uint8_t* s = from.Pixel(sx, sy);
                for (int c = 0; c < 3; ++c) sum[c] += s[c];
            }
            uint8_t* d = p.Pixel(x + tx, y + ty);
            for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(std::min(255, sum[c] / 25 + (lit ? 40 : 0)));
        }
    const Rgb frame = lit ? Rgb{255, 230, 150} : Rgb{150, 160, 200};
    for (int i = -3; i < 163; ++i)
        for (int w = 1; w <= 3; ++w) Blend(p, x + i, y - w, frame, 1), Blend(p, x + i, y + 119 + w, frame, 1);
    for (int j = -3; j < 123; ++j)
        for (int w = 1; w <= 3; ++w) Blend(p, x - w, y + j, frame, 1), Blend(p, x + 159 + w, y + j, frame, 1);
}

bool Save(const std::string& dir, const char* name, const Picture& p) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePng(path, p)) return true;
    std::fprintf(stderr, "velmora-demo-extras-pictures: cannot write %s\n", path.c_str());
    return false;
}

bool SaveMasked(const std::string& dir, const char* name, const Picture& colour, const Picture& alpha) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePngWithAlpha(path, colour, &alpha)) return true;
    std::fprintf(stderr, "velmora-demo-extras-pictures: cannot write %s\n", path.c_str());
    return false;
}

bool Load(const std::string& dir, const char* name, Picture& p) {
    if (velmora::ReadPng(dir + "/" + name, p)) return true;
    std::fprintf(stderr, "velmora-demo-extras-pictures: cannot read %s (draw the backgrounds first)\n", name);
    return false;
}

struct Fonts {
    OutlineFont title, button, small;
    bool Open() {
        velmora::FontRequest r;
        r.family = "ＭＳ ゴシック";
        r.bold = true;
        r.cellHeight = 30;
        bool ok = title.Open(r);
        r.bold = false;
        r.cellHeight = 20;
        ok = ok && button.Open(r);
        r.cellHeight = 14;
        return ok && small.Open(r);
    }
};

// The page buttons along the top right and the exit at the bottom right,
// as the "view" table places them.
void PageFrame(Fonts& f, Picture& p, const char* title, int page, bool lit) {
    Text(f.title, p, 150, 24, title, {240, 235, 220});
    static const char* const kPages[3] = {"絵", "場面", "音楽"};
    for (int d = 1; d <= 3; ++d) {
        const int x0 = 470 + 100 * (d - 1);
        Button(f.button, p, x0, 20, x0 + 90, 56, kPages[d - 1], lit || d == page);
    }
    Button(f.button, p, 660, 540, 780, 580, "もどる", lit);
}

bool GalleryPages(const std::string& dir, Fonts& f) {
    Picture title, hills, night;
    if (!Load(dir, "A_TITLE.png", title) || !Load(dir, "A_HILLS.png", hills) || !Load(dir, "A_NIGHT.png", night))
        return false;
    bool ok = true;
    for (int lit = 0; lit < 2; ++lit) {
        // Pictures: three thumbnails and the per-cent digits' corner.
        Picture p = Backdrop();
        PageFrame(f, p, "ギャラリー", 1, lit);
        Panel(p, 14, 66, 150, 112, {10, 15, 30}, 0.8, {120, 130, 170});
        Text(f.button, p, 124, 80, "%", {220, 220, 230});
        const Picture* pictures[3] = {&title, &hills, &night};
        for (int i = 0; i < 3; ++i) Thumbnail(p, *pictures[i], 60 + 240 * i, 200, lit);
        Text(f.small, p, 60, 350, "見た絵はここに並びます。右クリックで一覧に戻ります。", {200, 205, 225});
        ok = ok && Save(dir, lit ? "VW1H.png" : "VW1N.png", p);

        // Scenes: one thumbnail and the light band the caption is written on,
        // framed well clear of the caption's 380 x 22 area at (220, 67).
        p = Backdrop();
        PageFrame(f, p, "シーン", 2, lit);
        Panel(p, 208, 58, 612, 98, {225, 225, 235}, 1.0, {120, 130, 170});
        Thumbnail(p, hills, 60, 200, lit);
        Text(f.small, p, 60, 350, "読んだ場面をもう一度見られます。", {200, 205, 225});
        ok = ok && Save(dir, lit ? "VW2H.png" : "VW2N.png", p);

        // Music: a button per track, stop and play again.
        p = Backdrop();
        PageFrame(f, p, "音楽", 3, lit);
        Button(f.button, p, 60, 200, 360, 250, "１．夜の丘", lit);
        Button(f.button, p, 60, 270, 360, 320, "２．はじまり", lit);
        Button(f.button, p, 420, 200, 520, 250, "■ 止める", lit);
        Button(f.button, p, 540, 200, 640, 250, "もう一度", lit);
        ok = ok && Save(dir, lit ? "VW3H.png" : "VW3N.png", p);
    }
    return ok;
}

bool Plates(const std::string& dir, Fonts& f) {
    // Nothing seen: a dark card with a question mark.
    Picture colour, alpha;
    colour.Resize(160, 120);
    alpha.Resize(160, 120);
    velmora::FillPicture(colour, Colour({25, 30, 50}));
    velmora::FillPicture(alpha, 0xFFFFFF);
    CentredText(f.title, colour, 80, 44, "？", {150, 160, 200});
    bool ok = SaveMasked(dir, "VWPLATE.png", colour, alpha);
    // Part seen: a veil with a corner mark.
    velmora::FillPicture(colour, Colour({20, 20, 40}));
    velmora::FillPicture(alpha, 0x505050);
    for (int y = 96; y < 120; ++y)
        for (int x = 0; x < 48; ++x) alpha.Pixel(x, y)[0] = alpha.Pixel(x, y)[1] = alpha.Pixel(x, y)[2] = 220;
    Text(f.small, colour, 6, 100, "一部", {255, 230, 150});
    ok = ok && SaveMasked(dir, "VWPLATE2.png", colour, alpha);
    // Digits 0 ... 9, 32 x 32 each, one under the other.
    colour.Resize(32, 320);
    alpha.Resize(32, 320);
    velmora::FillPicture(colour, Colour({255, 240, 200}));
    for (int d = 0; d < 10; ++d) {
        const char text[2] = {static_cast<char>('0' + d), 0};
        CentredText(f.title, alpha, 16, 32 * d + 1, text, {255, 255, 255});
    }
    return ok && SaveMasked(dir, "sys_vwnum.png", colour, alpha);
}

bool Recollection(const std::string& dir, Fonts& f) {
    static const char* const kTabs[1] = {"物語"};
    bool ok = true;
    for (int lit = 0; lit < 2; ++lit) {
        Picture p = Backdrop();
        for (int k = 0; k < 1; ++k) {
            Panel(p, 20, 20 + 30 * k, 197, 47 + 30 * k, lit ? Rgb{90, 130, 200} : Rgb{30, 40, 70}, 0.9,
                  {140, 150, 190});
            CentredText(f.button, p, 108, 24 + 30 * k, kTabs[k], {230, 230, 240});
        }
        Panel(p, 209, 19, 372, 142, {0, 0, 0}, 1.0, {120, 130, 170});
        for (int s = 0; s < 10; ++s) {
            const int x = 420 + 36 * (s % 5), y = 20 + 40 * (s / 5);
            Panel(p, x + 2, y + 2, x + 33, y + 37, lit ? Rgb{200, 160, 80} : Rgb{50, 60, 100}, 1.0, {160, 170, 210});
            const std::string n = std::to_string(s + 1);
            CentredText(f.small, p, x + 18, y + 12, n.c_str(), {240, 240, 250});
        }
        Panel(p, 15, 150, 515, 590, {5, 10, 25}, 0.6, {90, 100, 140});
        // The record list is drawn into its 200 x 350 panel at (570, 160) from
        // the panel's top row: the frame stands outside that area.
        Panel(p, 565, 154, 775, 514, {5, 10, 25}, 0.8, {90, 100, 140});
        Button(f.button, p, 718, 2, 798, 30, "もどる", lit);
        Button(f.button, p, 609, 40, 732, 82, "名前", lit);
        Button(f.button, p, 708, 520, 782, 594, "再生", lit);
        Button(f.button, p, 560, 548, 684, 588, "空にする", lit);
        ok = ok && Save(dir, lit ? "ss_kaiso2.png" : "ss_kaiso.png", p);
    }
    // The sub-list selector: two pieces of 46 rows, normal left, lit right.
    Picture sel;
    sel.Resize(40, 92);
    for (int half = 0; half < 2; ++half)
        for (int s = 0; s < 2; ++s) {
            Picture piece = Backdrop();
            piece.Resize(20, 46);
            velmora::FillPicture(piece, half ? Colour({200, 160, 80}) : Colour({50, 60, 100}));
            CentredText(f.small, piece, 10, 16, s == 0 ? "前" : "後", {255, 255, 255});
            velmora::CopyPicture(sel, piece, 20 * half, 46 * s);
        }
    return ok && Save(dir, "ss_kaiso_p.png", sel);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-demo-extras-pictures DIR\n"
                   "  draws the gallery pages, plates, digits and recollection screen into DIR,\n"
                   "  which must already hold the backgrounds A_TITLE, A_HILLS and A_NIGHT\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    Fonts fonts;
    if (!fonts.Open()) {
        std::fputs("velmora-demo-extras-pictures: no Japanese font is installed\n", stderr);
        return 1;
    }
    const std::string dir = argv[1];
    return GalleryPages(dir, fonts) && Plates(dir, fonts) && Recollection(dir, fonts) ? 0 : 1;
}
