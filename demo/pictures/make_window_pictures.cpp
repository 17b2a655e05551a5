// Draws the demo's message-window pictures, sized from the game's
// configuration block:
//   sys_tw, sys_tw1    the band window (colour over alpha) and its tint mask
//   sys_twz, sys_twz1  the full-screen window of the novel style and its mask
//   sys_np, np_01      the name plate, and the first speaker's own plate with
//                      the name on it (the other speakers get sys_np)
//   sys_clickw         the click-wait icon, its frames side by side
//   sys_gaiji          four picture characters: heart, star, note, drop
//   sys_qbtn, AUTO_CR  the quick bar's hover and pressed faces (the normal
//                      faces are part of sys_tw and sys_twz) and the marker
//                      of the auto level
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "tools/drawing.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/png_file.h"
#include "text/glyph_cell.h"
#include "text/glyph_outline.h"
#include "text/glyphs.h"
#include "text/message_window.h"

namespace {

using velmora::drawing::Edge;
using velmora::drawing::RoundRect;

using velmora::Picture;

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

void PutColour(Picture& p, int x, int y, Rgb c) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = Byte(c.b), d[1] = Byte(c.g), d[2] = Byte(c.r);
}

void PutGrey(Picture& p, int x, int y, double v) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = d[1] = d[2] = Byte(v);
}

// The configuration keys this program needs, and the speaker table.
struct Config {
    std::map<std::string, int> numbers;
    std::string font;
    std::string speakerName[60];  // UTF-8
    uint32_t speakerColour[60] = {};
    int Get(const char* key, int fallback) const {
        auto it = numbers.find(key);
        return it == numbers.end() ? fallback : it->second;
    }
};

// The three-character colour notation: 0-9 and A-F are that value x 16,
// G is 255, anything else 0; red in the low byte.
uint32_t ParseColour(const std::string& text) {
    if (text.empty()) return 0xFFFFFF;
    uint32_t channel[3] = {};
    for (int i = 0; i < 3 && i < static_cast<int>(text.size()); ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        channel[i] = c >= '0' && c <= '9' ? (c - '0') * 16u : c >= 'A' && c <= 'F' ? (c - 'A' + 10) * 16u
                                                                  : c == 'G'              ? 255u
                                                                                          : 0u;
    }
    return channel[0] | channel[1] << 8 | channel[2] << 16;
}

bool ReadConfig(const std::string& path, Config& config) {
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, fp)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line == "END") break;
        if (line.empty() || line[0] == ';' || line[0] == '*') continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon), value = line.substr(colon + 1);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (key == "FONT_NAME") {
            config.font = value;
        } else if (key == "NAME") {
            const size_t a = value.find(','), b = a == std::string::npos ? a : value.find(',', a + 1);
            if (b == std::string::npos) continue;
            const int n = std::atoi(value.substr(0, a).c_str());
            if (n < 0 || n >= 60) continue;
            config.speakerName[n] = value.substr(a + 1, b - a - 1);
            config.speakerColour[n] = ParseColour(value.substr(b + 1));
        } else {
            char* end = nullptr;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (end != value.c_str()) config.numbers[key] = static_cast<int>(v);
        }
    }
    std::fclose(fp);
    return true;
}

constexpr Rgb kFrameLight{176, 192, 232};
constexpr Rgb kPanelDeep{4, 6, 22};

// ---- The quick bar ----
//
// The engine keeps the buttons' places (bar coordinates, the bar being the
// window's rows 224 ... 255); the demo gives them faces. A face fills its
// whole rectangle, because the engine copies hover and pressed faces over
// the bar without a mask: the normal face in the window picture is opaque
// too, so that leaving a button puts back exactly what was there.

struct BarButton {
    int x, y, width, height;
    const char* label;  // UTF-8
};

constexpr BarButton kBarButtons[] = {
    {88, 4, 100, 26, "Qセーブ"},
    {192, 4, 100, 26, "Qロード"},
    {306, 4, 66, 26, "スキップ"},
    {378, 4, 90, 26, "ログ"},
    {472, 4, 108, 26, "オート"},
};

// The auto meter: the marker of level a stands at bar x = 682 - 10 a, y = 5,
// so it is at most 26 rows high.
constexpr int kMarkerWidth = 8, kMarkerHeight = 22;
constexpr int kAutoLevels = 10;  // the levels a click on the meter can choose

enum class Face { Normal, Hover, Pressed };

struct FaceLook {
    Rgb top, bottom, border, label;
    int shift;  // the pressed label sits one pixel lower and to the right
};

FaceLook LookOf(Face face) {
    switch (face) {
        case Face::Hover: return {{86, 110, 178}, {46, 62, 122}, {206, 218, 255}, {255, 255, 255}, 0};
        // Pressed is also how skip and auto show that they are on: sunk in,
        // with an amber edge that reads as "lit".
        case Face::Pressed: return {{8, 10, 26}, {24, 30, 64}, {255, 204, 110}, {255, 222, 150}, 1};
        default: return {{32, 40, 82}, {14, 18, 46}, {98, 114, 170}, {208, 216, 242}, 0};
    }
}

// Where a face is drawn: colour rows, and (optionally) the alpha rows and
// the tint mask of a window picture, with the bar's corner at (ox, oy).
struct BarTarget {
    Picture* colour;
    Picture* alpha;   // the alpha of pixel (x, y) is alpha->Pixel(x, alphaTop + y)
    int alphaTop;
    Picture* tint;    // may be null
    int ox, oy;
};

void PutBarPixel(const BarTarget& t, int x, int y, Rgb c) {
    PutColour(*t.colour, t.ox + x, t.oy + y, c);
    if (t.alpha) PutGrey(*t.alpha, t.ox + x, t.alphaTop + t.oy + y, 255);
    if (t.tint) PutGrey(*t.tint, t.ox + x, t.oy + y, 0);
}

// One button face: a shaded fill, a frame line with a lighter top edge,
// the label centred in the engine's message face.
void DrawFace(const BarTarget& t, const BarButton& b, Face face, velmora::OutlineFont& font) {
    const FaceLook look = LookOf(face);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            Rgb c = Mix(look.top, look.bottom, y / double(b.height - 1));
            const bool edge = x == 0 || y == 0 || x == b.width - 1 || y == b.height - 1;
            if (edge) c = look.border;
            else if (y == 1 && face != Face::Pressed) c = Mix(c, look.border, 0.45);
            PutBarPixel(t, b.x + x, b.y + y, c);
        }
    }
    // The label is drawn on a copy of the face, then copied back inside the
    // frame, so its coverage blends with the fill and never leaves the button.
    Picture cell;
    cell.Resize(b.width, b.height);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            std::memcpy(cell.Pixel(x, y), t.colour->Pixel(t.ox + b.x + x, t.oy + b.y + y), 3);
    const std::string text = velmora::ToCp932(b.label);
    Picture scratch;
    const int width = font.DrawText(scratch, 0, 0, text, 0);
    const int height = font.Ascent() + font.Descent();
    const uint32_t colour = Byte(look.label.r) | Byte(look.label.g) << 8 | Byte(look.label.b) << 16;
    font.DrawText(cell, (b.width - width) / 2 + look.shift, (b.height - height) / 2 + look.shift, text, colour);
    for (int y = 1; y < b.height - 1; ++y)
        for (int x = 1; x < b.width - 1; ++x)
            std::memcpy(t.colour->Pixel(t.ox + b.x + x, t.oy + b.y + y), cell.Pixel(x, y), 3);
}

bool OpenBarFont(const Config& config, velmora::OutlineFont& font) {
    velmora::FontRequest request;
    request.family = config.font;
    request.pointSize = 11;
    request.bold = true;
    return font.Open(request);
}

// The meter under the marker: a groove with one notch per level.
void DrawAutoMeter(const BarTarget& t) {
    const int left = 682 - 10 * kAutoLevels, right = 682 - 10 + kMarkerWidth;
    for (int x = left - 2; x <= right + 2; ++x) {
        for (int y = 14; y <= 17; ++y) {
            const double ends = std::min(x - (left - 2), right + 2 - x) < 1 ? 0.5 : 1.0;
            const Rgb groove = y == 14 ? Rgb{4, 6, 16} : y == 17 ? Rgb{70, 84, 130} : Rgb{12, 16, 36};
            PutBarPixel(t, x, y, Mix({14, 18, 46}, groove, ends));
        }
    }
    for (int a = 1; a <= kAutoLevels; ++a) {
        const int cx = 682 - 10 * a + kMarkerWidth / 2;
        for (int y = 10; y <= 12; ++y) PutBarPixel(t, cx, y, {98, 114, 170});
        for (int y = 19; y <= 21; ++y) PutBarPixel(t, cx, y, {98, 114, 170});
    }
}

// Every normal face and the meter into a window picture.
bool DrawBarBand(const Config& config, const BarTarget& t) {
    velmora::OutlineFont font;
    if (!OpenBarFont(config, font)) return false;
    for (const BarButton& b : kBarButtons) DrawFace(t, b, Face::Normal, font);
    DrawAutoMeter(t);
    return true;
}

// "sys_qbtn": the normal faces in rows 0 ... 31 (for reference; the engine
// takes them from the window), hover faces 32 rows below, pressed faces 64
// rows below, each at its button's own place.
bool QuickButtonSheet(const Config& config, Picture& sheet) {
    velmora::OutlineFont font;
    if (!OpenBarFont(config, font)) return false;
    sheet.Resize(velmora::kQuickBandWidth, 3 * velmora::kQuickBandHeight);
    const Face faces[3] = {Face::Normal, Face::Hover, Face::Pressed};
    for (int k = 0; k < 3; ++k) {
        const BarTarget t{&sheet, nullptr, 0, nullptr, 0, k * velmora::kQuickBandHeight};
        for (const BarButton& b : kBarButtons) DrawFace(t, b, faces[k], font);
    }
    return true;
}

// "AUTO_CR": a small amber pill, colour on the left half and its mask on
// the right.
Picture AutoMarker() {
    const int w = kMarkerWidth, h = kMarkerHeight;
    Picture p;
    p.Resize(2 * w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double d = RoundRect(px, py, 0.5, 0.5, w - 0.5, h - 0.5, 3.5);
            const double shine = std::clamp(1 - std::fabs(px - w * 0.38) / (w * 0.5), 0.0, 1.0);
            const Rgb c = Mix(Mix({214, 140, 40}, {255, 214, 120}, shine), {255, 250, 230}, py < 3 ? 0.5 : 0);
            PutColour(p, x, y, c);
            PutGrey(p, w + x, y, Edge(d) * 255);
        }
    }
    return p;
}

// The band window. Its top rows stay clear, so the name plate, which is
// drawn over the scene, sits above the panel and not on it. Only the panel's
// inside is tinted with the player's colour and opacity; the frame keeps its
// own light line. The panel reaches down past the quick bar's rows, which
// carry the bar's buttons under a faint dividing line.
bool BandWindow(const Config& config, Picture& tw, Picture& tw1) {
    const int w = config.Get("TXW_SIZE_X", 800), h = config.Get("TXW_SIZE_Y", 260);
    const int top = config.Get("TXW_OFS_Y", 340);
    const double panelTop = std::max(2, velmora::kPlateY + velmora::kPlateHeight + 4 - top);
    const double x0 = 12, x1 = w - 12, y0 = panelTop, y1 = h - 2, radius = 12;
    const double ownAlpha = config.Get("TXW_ALPHA", 160);
    const int divider = velmora::kQuickBandRow - 3;
    tw.Resize(w, 2 * h);
    tw1.Resize(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, x0, y0, x1, y1, radius);
            const double outer = Edge(d);            // the panel with its frame
            double body = Edge(d + 1.6);             // inside the frame line
            const double frame = outer - body;       // the line itself
            // A soft dark rim outside, ending before the plate's rows.
            const double glow = d > 0 ? 0.22 * std::max(0.0, 1 - d / 3.5) : 0;
            Rgb colour = frame > 0 ? kFrameLight : kPanelDeep;
            double alpha = frame * 170 + body * ownAlpha + (1 - outer) * glow * 255;
            if (y == divider && body > 0) {
                // Fades out towards both ends; the player's tint stays off it.
                const double line = 0.5 * std::clamp(std::min(x - 60.0, w - 60.0 - x) / 120.0, 0.0, 1.0);
                colour = Mix(kPanelDeep, kFrameLight, line);
                alpha = alpha + (255 - alpha) * line;
                body *= 1 - line;
            }
            PutColour(tw, x, y, colour);
            PutGrey(tw, x, h + y, alpha);
            PutGrey(tw1, x, y, body * 255);
        }
    }
    return DrawBarBand(config, {&tw, &tw, h, &tw1, 0, velmora::kQuickBandRow});
}

// The novel style: the whole screen darkened, with a thin frame line drawn
// in the colours (the opacity is all the player's) around the page, and the
// quick bar below the frame, where the band window has it.
bool NovelWindow(const Config& config, Picture& twz, Picture& twz1) {
    const int w = 800, h = 600;
    const int barX = config.Get("TXW_OFS_X", 0), barY = config.Get("TXW_OFS_Y", 340) + velmora::kQuickBandRow;
    twz.Resize(w, 2 * h);
    twz1.Resize(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgb c = Mix({8, 10, 30}, {2, 3, 12}, y / double(h));
            // Outside the text and the choice buttons, which start 15 pixels in.
            const double d = RoundRect(x + 0.5, y + 0.5, 8, 8, w - 8, barY - 6, 10);
            c = Mix(c, kFrameLight, Edge(std::fabs(d) - 0.7) * 0.75);
            PutColour(twz, x, y, c);
            PutGrey(twz, x, h + y, 200);
            PutGrey(twz1, x, y, 255);
        }
    }
    return DrawBarBand(config, {&twz, &twz, h, &twz1, barX, barY});
}

// A plate: a dark ribbon under the name, a short accent bar at its left
// end and an accent line along its foot, both fading out to the right.
Picture Plate(Rgb accent) {
    const int w = velmora::kPlateWidth, h = velmora::kPlateHeight;
    Picture p;
    p.Resize(w, 2 * h);
    const double y0 = 3, y1 = 38;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double fade = std::clamp((w - 6 - px) / 90.0, 0.0, 1.0);
            const double ribbon = Edge(RoundRect(px, py, 1, y0, w + 40, y1, 8)) * fade;
            const double bar = Edge(RoundRect(px, py, 6, y0 + 7, 9, y1 - 7, 1.5));
            const double foot = Edge(std::fabs(py - (y1 - 1)) - 0.6) * (px > 3 ? 1 : 0) * fade;
            Rgb c = Mix({14, 18, 44}, kPanelDeep, (py - y0) / (y1 - y0));
            c = Mix(c, accent, std::max(bar, foot));
            const double alpha = std::max({ribbon * 200, bar * 255, foot * 230});
            PutColour(p, x, y, c);
            PutGrey(p, x, h + y, alpha);
        }
    }
    return p;
}

// Writes a name on a plate the way the engine writes one: each character a
// glyph cell with its soft shadow, one pitch per byte, the first character
// one pitch in.
bool WriteName(Picture& plate, const Config& config, const std::string& utf8, uint32_t colour) {
    velmora::OutlineFont font;
    velmora::FontRequest request;
    request.family = config.font;
    request.pointSize = 19;
    if (!font.Open(request)) return false;
    const int h = plate.height / 2, pitch = config.Get("TX_PITCH_X", 12);
    Picture face, mask;
    face.Resize(plate.width, h);
    mask.Resize(plate.width, h);
    for (int y = 0; y < h; ++y) std::memcpy(face.Row(y), plate.Row(y), face.Stride());
    Picture textColour, shadowColour, glyph, shadow;
    textColour.Resize(velmora::kCellWidth, velmora::kCellHeight);
    shadowColour.Resize(velmora::kCellWidth, velmora::kCellHeight);
    for (size_t i = 0; i < textColour.bytes.size(); i += 3) {
        textColour.bytes[i] = static_cast<uint8_t>(colour >> 16);
        textColour.bytes[i + 1] = static_cast<uint8_t>(colour >> 8);
        textColour.bytes[i + 2] = static_cast<uint8_t>(colour);
    }
    Picture white = textColour;
    std::fill(white.bytes.begin(), white.bytes.end(), 255);
    const std::string text = velmora::ToCp932(utf8);
    for (size_t k = 0; k < text.size(); ++k) {
        const size_t first = k;
        uint16_t code = static_cast<unsigned char>(text[k]);
        if ((code & 0x80) && k + 1 < text.size()) code = static_cast<uint16_t>(code << 8 | static_cast<unsigned char>(text[++k]));
        velmora::GlyphBitmap bitmap;
        if (font.RenderGlyph(code, bitmap) <= 0) continue;
        velmora::GlyphCell cell;
        velmora::BuildGlyphCell(bitmap, font.Ascent(), cell);
        velmora::CellToPicture(cell, glyph);
        velmora::BuildShadowPicture(cell, shadow);
        const int x = static_cast<int>(first + 1) * pitch + 4, y = 2;
        velmora::BlendCellPass(face, x + 1, y, shadowColour, shadow);
        velmora::BlendCellPass(face, x, y, textColour, glyph);
        // The plate's own alpha grows to hold the shadow and the glyph.
        velmora::BlendCellPass(mask, x + 1, y, white, shadow);
        velmora::BlendCellPass(mask, x, y, white, glyph);
    }
    for (int y = 0; y < h; ++y) {
        std::memcpy(plate.Row(y), face.Row(y), face.Stride());
        for (int x = 0; x < plate.width; ++x) {
            uint8_t* a = plate.Pixel(x, h + y);
            const uint8_t v = std::max(a[0], mask.Pixel(x, y)[0]);
            a[0] = a[1] = a[2] = v;
        }
    }
    return true;
}

// The click-wait icon: a small downward arrow that bobs and breathes, one
// frame per step of the cycle.
Picture ClickWait(int frames, int w, int h) {
    Picture p;
    p.Resize(frames * w, 2 * h);
    for (int k = 0; k < frames; ++k) {
        const double phase = 2 * kPi * k / frames;
        const double bob = 2.5 * std::sin(phase);
        const double bright = 0.9 + 0.1 * std::cos(phase);
        const double cx = w / 2.0, tip = h * 0.74 + bob, base = h * 0.28 + bob, half = w * 0.34;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                double cover = 0, shade = 0;
                // 4 x 4 samples per pixel for soft edges.
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                        auto inside = [&](double qx, double qy) {
                            if (qy < base || qy > tip) return false;
                            return std::fabs(qx - cx) <= half * (tip - qy) / (tip - base);
                        };
                        cover += inside(px, py) ? 1 / 16.0 : 0;
                        shade += inside(px - 1, py - 1.2) ? 1 / 16.0 : 0;
                    }
                const double top = std::clamp((y - base) / (tip - base), 0.0, 1.0);
                Rgb c = Mix(Mix({255, 255, 255}, kFrameLight, top), {0, 0, 0}, 1 - bright);
                if (cover <= 0) c = {0, 0, 0};
                const double alpha = std::max(cover * 255, shade * 110);
                PutColour(p, k * w + x, y, c);
                PutGrey(p, k * w + x, h + y, alpha);
            }
        }
    }
    return p;
}

// The picture characters. Only the blue byte counts: it is the alpha of a
// character in the current text colour.
Picture Gaiji() {
    const int tile = velmora::kGaijiTile;
    Picture p;
    p.Resize(4 * tile, tile);
    std::function<bool(double, double)> shapes[4] = {
        [](double x, double y) {  // a heart
            x = (x - 12) / 9.0, y = (11.5 - y) / 9.0 + 0.15;
            const double a = x * x + y * y - 1;
            return a * a * a - x * x * y * y * y <= 0;
        },
        [](double x, double y) {  // a five-pointed star
            double vx[10], vy[10];
            for (int i = 0; i < 10; ++i) {
                const double r = i % 2 ? 4.4 : 10.8, t = kPi * i / 5;
                vx[i] = 12 + r * std::sin(t);
                vy[i] = 13 - r * std::cos(t);
            }
            bool in = false;  // even-odd rule
            for (int i = 0, j = 9; i < 10; j = i++)
                if ((vy[i] > y) != (vy[j] > y) && x < (vx[j] - vx[i]) * (y - vy[i]) / (vy[j] - vy[i]) + vx[i])
                    in = !in;
            return in;
        },
        [](double x, double y) {  // a quaver
            const double hx = (x - 9) / 4.6, hy = (y - 17) / 3.4;
            const double rx = hx * std::cos(0.45) + hy * std::sin(0.45);
            const double ry = -hx * std::sin(0.45) + hy * std::cos(0.45);
            if (rx * rx + ry * ry <= 1) return true;
            if (x >= 12.2 && x <= 14 && y >= 3 && y <= 17) return true;
            const double fy = y - 3 - (x - 13) * 0.9;
            return x >= 13 && x <= 19 && fy >= 0 && fy <= 3.2 - (x - 13) * 0.15;
        },
        [](double x, double y) {  // a drop
            const double dx = x - 12, dy = y - 15;
            if (dx * dx + dy * dy <= 6.2 * 6.2) return true;
            return y >= 3 && y <= 15 && std::fabs(dx) <= 6.2 * (y - 3) / 12.0 * 0.98;
        },
    };
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < tile; ++y)
            for (int x = 0; x < tile; ++x) {
                double cover = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        cover += shapes[k](x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 / 16.0 : 0;
                PutGrey(p, k * tile + x, y, cover * 255);
            }
    return p;
}

bool Write(const std::string& dir, const char* name, const Picture& p) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePng(path, p)) return true;
    std::fprintf(stderr, "velmora-demo-window-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-demo-window-pictures CONFIG.txt OUTDIR\n"
                   "  draws the demo's message window with its quick bar, name plates,\n"
                   "  click-wait icon and picture characters into OUTDIR as PNG files,\n"
                   "  sized from the configuration block CONFIG.txt\n",
                   stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs("usage: velmora-demo-window-pictures CONFIG.txt OUTDIR (--help for more)\n", stderr);
        return 2;
    }
    Config config;
    if (!ReadConfig(argv[1], config)) {
        std::fprintf(stderr, "velmora-demo-window-pictures: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string dir = argv[2];
    if (!velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-demo-window-pictures: cannot create %s\n", dir.c_str());
        return 1;
    }
    Picture a, b;
    if (!BandWindow(config, a, b)) {
        std::fputs("velmora-demo-window-pictures: no Japanese font for the quick bar\n", stderr);
        return 1;
    }
    bool ok = Write(dir, "sys_tw.png", a) && Write(dir, "sys_tw1.png", b);
    ok = ok && NovelWindow(config, a, b) && Write(dir, "sys_twz.png", a) && Write(dir, "sys_twz1.png", b);
    ok = ok && QuickButtonSheet(config, a) && Write(dir, "sys_qbtn.png", a);
    ok = ok && Write(dir, "AUTO_CR.png", AutoMarker());
    ok = ok && Write(dir, "sys_np.png", Plate({150, 185, 240}));
    Picture speaker = Plate(Mix({255, 255, 255}, {240, 128, 192}, 0.8));
    const uint32_t colour = config.speakerName[1].empty() ? 0xFFFFFF : config.speakerColour[1];
    if (!config.speakerName[1].empty() && !WriteName(speaker, config, config.speakerName[1], colour)) {
        std::fputs("velmora-demo-window-pictures: no Japanese font for the plate's name\n", stderr);
        return 1;
    }
    if (!config.speakerName[1].empty()) ok = ok && Write(dir, "np_01.png", speaker);
    ok = ok && Write(dir, "sys_clickw.png",
                     ClickWait(std::max(1, config.Get("CLICK_WAIT_PAT", 8)), config.Get("CLICK_WAIT_SIZE_X", 24),
                               config.Get("CLICK_WAIT_SIZE_Y", 24)));
    ok = ok && Write(dir, "sys_gaiji.png", Gaiji());
    return ok ? 0 : 1;
}
