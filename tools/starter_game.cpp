// velmora-pack new: a small game that packs and plays at once, for an author
// to change piece by piece. Its pictures and sounds are drawn and
// synthesised here, at the sizes the engine expects.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/pixel_ops.h"
#include "gfx/png_file.h"
#include "text/glyph_outline.h"
#include "tools/game_build.h"
#include "tools/game_layout.h"
#include "tools/sound_encoder.h"

namespace velmora::tools {

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void Put(Picture& p, int x, int y, Rgb c) {
    uint8_t* px = p.Pixel(x, y);
    px[0] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
    px[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
    px[2] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
}

void PutGrey(Picture& p, int x, int y, double v) { Put(p, x, y, {v, v, v}); }

// Coverage of a rounded box at a pixel: 1 inside, 0 outside, a soft edge between.
double Box(double x, double y, double x0, double y0, double x1, double y1, double r) {
    const double cx = std::clamp(x, x0 + r, x1 - r), cy = std::clamp(y, y0 + r, y1 - r);
    const double d = std::hypot(x - cx, y - cy) - r;
    return std::clamp(0.5 - d, 0.0, 1.0);
}

// A panel sheet: `frames` panels of w x h side by side, each with its mask
// (weight `weight`) in the rows below.
Picture PanelSheet(int w, int h, int frames, Rgb top, Rgb bottom, double weight, double radius) {
    Picture p;
    p.Resize(w * frames, 2 * h);
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double a = Box(x + 0.5, y + 0.5, 1, 1, w - 1, h - 1, radius);
                const double edge = a - Box(x + 0.5, y + 0.5, 3, 3, w - 3, h - 3, std::max(radius - 2, 0.0));
                Rgb c = Mix(top, bottom, h > 1 ? y / double(h - 1) : 0);
                c = Mix(c, {235, 235, 250}, std::clamp(edge, 0.0, 1.0) * 0.8);
                Put(p, k * w + x, y, {c.r * a, c.g * a, c.b * a});
                PutGrey(p, k * w + x, h + y, weight * a);
            }
    return p;
}

// A sheet of pictures with their masks beside them (colour left, mask right).
Picture MarkSheet(int w, int h, Rgb colour, bool diamond) {
    Picture p;
    p.Resize(2 * w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = std::fabs(x + 0.5 - w / 2.0) / (w / 2.0), dy = std::fabs(y + 0.5 - h / 2.0) / (h / 2.0);
            const double a = diamond ? std::clamp((1 - dx - dy) * 6, 0.0, 1.0) : Box(x + 0.5, y + 0.5, 0, 0, w, h, 3);
            Put(p, x, y, {colour.r * a, colour.g * a, colour.b * a});
            PutGrey(p, w + x, y, 255 * a);
        }
    return p;
}

// The click-wait icon: frames of a diamond that breathes, each over its mask.
Picture ClickWait(int size, int frames) {
    Picture p;
    p.Resize(size * frames, 2 * size);
    for (int k = 0; k < frames; ++k) {
        const double grow = 0.65 + 0.35 * std::sin(k * 3.14159 / frames);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double dx = std::fabs(x + 0.5 - size / 2.0), dy = std::fabs(y + 0.5 - size / 2.0);
                const double a = std::clamp(grow * size / 2 - (dx + dy) + 0.5, 0.0, 1.0);
                Put(p, k * size + x, y, {250 * a, 220 * a, 120 * a});
                PutGrey(p, k * size + x, size + y, 255 * a);
            }
    }
    return p;
}

// The quick bar's buttons, where the engine looks for them: bar
// coordinates (the bar is rows 224 ... 255 of the message window).
struct QuickFace {
    int x, width;
    const char* label;
};
const QuickFace kQuickFaces[] = {
    {88, 100, "Qセーブ"}, {192, 100, "Qロード"}, {306, 66, "スキップ"}, {378, 90, "ログ"}, {472, 108, "オート"}};
constexpr int kQuickBarRow = 224, kQuickFaceY = 4, kQuickFaceHeight = 26;

// The labels' face; empty pictures are left as they are when no Japanese
// face is installed.
OutlineFont& LabelFont(int pixels) {
    static OutlineFont font;
    FontRequest r;
    r.family = "ＭＳ Ｐゴシック";
    r.cellHeight = pixels;
    if (!font.IsOpen() || font.request().cellHeight != pixels) font.Open(r);
    return font;
}

int TextWidth(OutlineFont& font, const std::string& cp932) {
    Picture scratch;
    return font.DrawText(scratch, 0, 0, cp932, 0);
}

// One button face, square-cornered so that it is the same rectangle the
// engine copies: a fill, a one-pixel rim and the label centred.
void DrawQuickFace(Picture& p, int x0, int y0, const QuickFace& q, Rgb fill, Rgb rim, uint32_t ink) {
    for (int y = 0; y < kQuickFaceHeight; ++y)
        for (int x = 0; x < q.width; ++x) {
            const bool edge = x == 0 || y == 0 || x == q.width - 1 || y == kQuickFaceHeight - 1;
            Put(p, x0 + x, y0 + y, edge ? rim : Mix(fill, Mix(fill, {0, 0, 0}, 0.35), y / double(kQuickFaceHeight)));
        }
    OutlineFont& font = LabelFont(16);
    if (!font.IsOpen()) return;
    const std::string label = ToCp932(q.label);
    const int w = TextWidth(font, label);
    font.DrawText(p, x0 + (q.width - w) / 2, y0 + (kQuickFaceHeight - font.Ascent() - font.Descent()) / 2, label, ink);
}

// The message window with the bar's normal faces in it (opaque, and kept
// from the player's tint), and the sheet of the faces under the pointer
// and pressed at the same places, 32 and 64 rows down.
void QuickBarPictures(Picture& tw, Picture& tint, Picture& sheet, Rgb ink) {
    const int maskTop = tw.height / 2;
    sheet.Resize(768, 96);
    FillPicture(sheet, 0);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 768; ++x) Put(sheet, x, y, ink);
    for (const QuickFace& q : kQuickFaces) {
        DrawQuickFace(tw, q.x, kQuickBarRow + kQuickFaceY, q, {40, 55, 120}, {110, 130, 200}, 0xE0E0E0);
        for (int y = 0; y < kQuickFaceHeight; ++y)
            for (int x = 0; x < q.width; ++x) {
                PutGrey(tw, q.x + x, maskTop + kQuickBarRow + kQuickFaceY + y, 255);
                PutGrey(tint, q.x + x, kQuickBarRow + kQuickFaceY + y, 0);
            }
        DrawQuickFace(sheet, q.x, kQuickFaceY, q, {40, 55, 120}, {110, 130, 200}, 0xE0E0E0);
        DrawQuickFace(sheet, q.x, 32 + kQuickFaceY, q, {80, 110, 210}, {200, 215, 255}, 0xFFFFFF);
        DrawQuickFace(sheet, q.x, 64 + kQuickFaceY, q, {230, 180, 80}, {255, 240, 200}, 0x302010);
    }
}

// The default name plate: opaque over its whole 224 x 44, since the engine
// puts it over the scene, not over the window; a rim marks its edge.
Picture NamePlate() {
    Picture p;
    p.Resize(224, 88);
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 224; ++x) {
            const double rim = std::max(Box(x + 0.5, y + 0.5, 0, 0, 224, 44, 0) -
                                            Box(x + 0.5, y + 0.5, 2, 2, 222, 42, 6), 0.0);
            Rgb c = Mix(Rgb{60, 80, 150}, Rgb{25, 35, 85}, y / 43.0);
            c = Mix(c, {210, 220, 250}, rim * 0.9);
            Put(p, x, y, c);
            PutGrey(p, x, 44 + y, 255);
        }
    return p;
}

Picture Gradient(int w, int h, Rgb top, Rgb bottom) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Put(p, x, y, Mix(top, bottom, y / double(h - 1)));
    return p;
}

// A background: sky, a far ridge and a near one.
Picture Landscape(Rgb skyTop, Rgb skyBottom, Rgb far, Rgb near) {
    Picture p = Gradient(800, 600, skyTop, skyBottom);
    for (int x = 0; x < 800; ++x) {
        const int ridge = 360 + static_cast<int>(40 * std::sin(x / 97.0) + 18 * std::sin(x / 31.0));
        const int hill = 450 + static_cast<int>(30 * std::sin(x / 140.0 + 1.7));
        for (int y = ridge; y < 600; ++y) Put(p, x, y, y < hill ? far : Mix(near, {0, 0, 0}, (y - hill) / 400.0));
    }
    return p;
}

// A standing figure with its alpha: the sprite of the starter game.
void Figure(Picture& colour, Picture& alpha) {
    colour.Resize(320, 600);
    alpha.Resize(320, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 320; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double head = std::clamp(46 - std::hypot(px - 160, py - 150) + 0.5, 0.0, 1.0);
            const double body = Box(px, py, 90, 205, 230, 640, 50);
            const double a = std::max(head, body);
            const Rgb c =
                head >= body ? Rgb{246, 214, 190} : Mix(Rgb{90, 120, 200}, Rgb{40, 60, 130}, (py - 205) / 400);
            Put(colour, x, y, {c.r * (a > 0), c.g * (a > 0), c.b * (a > 0)});
            PutGrey(alpha, x, y, 255 * a);
        }
}

// A tone with a soft start and end; notes in Hz, one after another.
PcmSound Tones(const std::vector<double>& notes, double noteSeconds, double level) {
    PcmSound s;
    s.channels = 1;
    s.rate = 22050;
    const size_t per = static_cast<size_t>(noteSeconds * s.rate);
    for (double hz : notes)
        for (size_t i = 0; i < per; ++i) {
            const double t = double(i) / s.rate;
            const double env = std::min(1.0, std::min(i, per - i) / (0.01 * s.rate));
            const double v = hz > 0 ? std::sin(2 * 3.14159265 * hz * t) + 0.3 * std::sin(4 * 3.14159265 * hz * t) : 0;
            s.samples.push_back(static_cast<int16_t>(std::clamp(v * env * level * 32767 / 1.3, -32767.0, 32767.0)));
        }
    return s;
}

const char kConfig[] =
    "; The configuration block: one KEY:VALUE a line, read when the game starts.\n"
    "; A line starting with \";\" is a comment; END ends the block.\n"
    "; The window's title bar.\n"
    "TITLE:はじめてのゲーム\n"
    "; Where the player's settings are kept: a key path and a section of its own.\n"
    "MAKER_REG:Software\\MyStudio\n"
    "GAME_ID:mygame\n"
    "; The hero's family and given name until the player types others ($0, $1).\n"
    "DEFAULT_NAME:山田\n"
    "DEFAULT_NAME2:太郎\n"
    "; The message font (a Windows face name; the desktop's Japanese faces stand in).\n"
    "FONT_NAME:ＭＳ ゴシック\n"
    "; The message window (sys_tw) on the screen: its place and size.\n"
    "TXW_OFS_X:0\n"
    "TXW_OFS_Y:340\n"
    "TXW_SIZE_X:800\n"
    "TXW_SIZE_Y:260\n"
    "; The text inside it: first character's offset, character and line pitch,\n"
    "; characters a line and lines a page.\n"
    "TX_OFS_X:40\n"
    "TX_OFS_Y:50\n"
    "TX_PITCH_X:12\n"
    "TX_PITCH_Y:30\n"
    "MOJI_MAX_X:58\n"
    "MOJI_MAX_Y:5\n"
    "; The same for the full-screen window style (*mode 1, sys_twz).\n"
    "TX2_OFS_X:40\n"
    "TX2_OFS_Y:40\n"
    "TX2_PITCH_X:12\n"
    "TX2_PITCH_Y:36\n"
    "MOJI_MAX2_X:60\n"
    "MOJI_MAX2_Y:14\n"
    "; The click-wait icon (sys_clickw): place, size, frames and ticks a frame.\n"
    "CLICK_WAIT_OFS_X:750\n"
    "CLICK_WAIT_OFS_Y:536\n"
    "CLICK_WAIT_SIZE_X:24\n"
    "CLICK_WAIT_SIZE_Y:24\n"
    "CLICK_WAIT_PAT:8\n"
    "CLICK_WAIT_TIMING:1\n"
    "; The window's default tint and opacity (the player changes them in the settings).\n"
    "TXW_COLOR_R:0\n"
    "TXW_COLOR_G:0\n"
    "TXW_COLOR_B:40\n"
    "TXW_ALPHA:160\n"
    "TXW_ALPHA2:200\n"
    "; How many volumes of each kind stay on a disc (0: all beside the game).\n"
    "VKD_GRA:0\n"
    "VKD_GJP:0\n"
    "VKD_WAV:0\n"
    "VKD_SE:0\n"
    "VKD_OGG:0\n"
    "VKD_ANIM:0\n"
    "; Default volumes (attenuation in hundredths of a decibel, 0 full).\n"
    "VOLUME1:0\n"
    "VOLUME2:0\n"
    "VOLUME3:0\n"
    "VOLUME4:0\n"
    "; Speakers: NAME:number,name,colour of the name plate's text (three hex digits R G B).\n"
    "NAME:1,ガイド,FC8\n"
    "END\n";

const char kMain[] =
    "; The script the engine starts with.\n"
    "*chain title\n";

const char kTitle[] =
    "; The title screen: no saving here (S000=3), the window closed.\n"
    "!S000=3;S028=0\n"
    "*mode 0\n"
    "*win_close\n"
    "*gra A_TITLE 9\n"
    "*music 1\n"
    ":MENU\n"
    "*select\n"
    "{はじめから\n"
    "*music -10\n"
    "*chain scene1\n"
    "{つづきから\n"
    "*load\n"
    "*go MENU\n"
    "{終了\n"
    "*exitgame\n"
    "*go MENU\n"
    "}\n";

const char kScene1[] =
    "; The first scene. From here on the player may save (S000=0) and use the menu (S028=1).\n"
    "*gameinit\n"
    "!S000=0;S028=1\n"
    "*title はじまり\n"
    "*mark 1\n"
    "*gra A_ROOM 9\n"
    "*gra B_GUIDE 1\n"
    ">ガイド\n"
    "ようこそ、[$1]さん。これはあなたのゲームの最初の場面です。▼\n"
    "クリックかEnterで先へ進みます。右クリックでメニューが開きます。▼\n"
    "*se SE01\n"
    ">ガイド\n"
    "どちらへ行きますか？\n"
    "*select\n"
    "{左の道\n"
    "!V001=1\n"
    "*go LEFT\n"
    "{右の道\n"
    "!V001=2\n"
    "*go RIGHT\n"
    "}\n"
    ":LEFT\n"
    "*clrb 1\n"
    "左の道は静かでした。▼\n"
    "*go END\n"
    ":RIGHT\n"
    "*clrb 1\n"
    "右の道はにぎやかでした。▼\n"
    ":END\n"
    "*voice V0001\n"
    "これで最初の場面はおしまいです。▼\n"
    "*chain title\n";

bool Write(const std::string& path, const Picture& p) { return WritePng(path, p); }

bool WriteWavFile(const std::string& path, const PcmSound& s) { return WriteFileAtomic(path, WriteWav(s)); }

}  // namespace

bool NewGame(const std::string& dir, std::string& error) {
    if (IsDirectory(dir) && (!ListFolder(dir, false).empty() || !ListFolder(dir, true).empty())) {
        error = dir + ": already holds files; new writes into a new or empty folder";
        return false;
    }
    for (const LayoutFolder& l : kLayoutFolders)
        if (!MakeDirectories(dir + "/" + l.folder)) {
            error = dir + "/" + l.folder + ": cannot be made";
            return false;
        }
    auto text = [&](const std::string& path, const char* t) {
        return WriteFileAtomic(dir + "/" + path, t, std::strlen(t));
    };
    bool ok = text(kConfigFile, kConfig) && text("scripts/main.txt", kMain) && text("scripts/title.txt", kTitle) &&
              text("scripts/scene1.txt", kScene1);
    const std::string pic = dir + "/pictures/";
    const Rgb navy{20, 30, 70}, ink{8, 12, 40};
    // The message window, its tint mask, and the same for the full-screen style.
    // The quick bar's normal faces are part of the window; its faces under
    // the pointer and pressed are in sys_qbtn at the same places.
    Picture tw = PanelSheet(800, 260, 1, navy, ink, 210, 14);
    Picture tint = Gradient(800, 260, {128, 128, 128}, {128, 128, 128});
    Picture bar;
    QuickBarPictures(tw, tint, bar, ink);
    ok = ok && Write(pic + "sys_tw.png", tw);
    ok = ok && Write(pic + "sys_tw1.png", tint);
    ok = ok && Write(pic + "sys_twz.png", PanelSheet(800, 600, 1, ink, ink, 200, 0));
    ok = ok && Write(pic + "sys_twz1.png", Gradient(800, 600, {128, 128, 128}, {128, 128, 128}));
    ok = ok && Write(pic + "sys_np.png", NamePlate());
    ok = ok && Write(pic + "sys_clickw.png", ClickWait(24, 8));
    ok = ok && Write(pic + "sys_qbtn.png", bar);
    ok = ok && Write(pic + "AUTO_CR.png", MarkSheet(8, 22, {240, 170, 60}, false));
    // Choice buttons (normal over hovered) in both window styles.
    ok = ok && Write(pic + "sys_sw.png", PanelSheet(400, 40, 1, {40, 60, 130}, {20, 30, 80}, 220, 10));
    ok = ok && Write(pic + "sys_sw2.png", PanelSheet(400, 40, 1, {120, 90, 200}, {70, 50, 140}, 240, 10));
    ok = ok && Write(pic + "sys_sw_m1.png", PanelSheet(360, 34, 1, {30, 50, 110}, {15, 25, 70}, 220, 8));
    ok = ok && Write(pic + "sys_sw_m1om.png", PanelSheet(360, 34, 1, {110, 80, 180}, {60, 40, 120}, 240, 8));
    // The marks text draws as pictures, the backlog's scroll bar, cursor and voice buttons.
    Picture gaiji;
    gaiji.Resize(96, 24);
    for (int k = 0; k < 4; ++k) {
        Picture m = MarkSheet(12, 12, {255, 255, 255}, true);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) std::memcpy(gaiji.Pixel(24 * k + 6 + x, 6 + y), m.Pixel(x, y), 3);
    }
    ok = ok && Write(pic + "sys_gaiji.png", gaiji);
    ok = ok && Write(pic + "sys_bl_bar.png", Gradient(72, 561, {40, 50, 90}, {20, 25, 50}));
    ok = ok && Write(pic + "sys_bl_cur.png", Gradient(32, 20, {200, 210, 255}, {140, 150, 220}));
    ok = ok && Write(pic + "sys_blVR.png", Gradient(512, 23, {50, 60, 110}, {30, 40, 80}));
    ok = ok && Write(pic + "sys_blVR2.png", Gradient(512, 23, {90, 100, 170}, {50, 60, 120}));
    // The title and the scene's background, and the guide.
    ok = ok && Write(pic + "A_TITLE.png", Landscape({10, 14, 50}, {70, 60, 130}, {30, 30, 70}, {15, 15, 40}));
    ok = ok && Write(pic + "A_ROOM.png", Landscape({120, 170, 230}, {230, 220, 200}, {90, 130, 90}, {50, 90, 50}));
    Picture colour, alpha;
    Figure(colour, alpha);
    ok = ok && WritePngWithAlpha(pic + "B_GUIDE.png", colour, &alpha);
    if (!ok) {
        error = dir + ": the pictures cannot be written";
        return false;
    }
    // The engine's own sounds (choices, menus, backlog), one effect, a voice and a track.
    const std::string snd = dir + "/sounds/";
    struct Blip {
        const char* name;
        std::vector<double> notes;
    };
    const Blip blips[] = {{"SSE01", {880, 1320}}, {"SSE02", {660}},  {"SSE05", {990}},         {"SSE06", {740}},
                          {"SSE07", {520, 390}},  {"SSE09", {1175}}, {"SE01", {440, 554, 659}}};
    for (const Blip& b : blips) ok = ok && WriteWavFile(snd + b.name + ".wav", Tones(b.notes, 0.08, 0.5));
    ok = ok && WriteWavFile(dir + "/voices/V0001.wav", Tones({220, 247, 262, 0}, 0.15, 0.4));
    ok = ok && WriteWavFile(dir + "/music/M01.wav",
                            Tones({262, 330, 392, 523, 392, 330, 294, 349, 440, 587, 440, 349}, 0.35, 0.3));
    const char loops[] = "# NAME loop=FRAME: where each track goes on after its end (FRAME in samples)\nM01 loop=0\n";
    ok = ok && WriteFileAtomic(dir + "/music/loops.txt", loops, sizeof loops - 1);
    if (!ok) {
        error = dir + ": the sounds cannot be written";
        return false;
    }
    return true;
}

}  // namespace velmora::tools
