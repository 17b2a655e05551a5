// The background and sprite commands: gra, grb, bg, clrb, spr and the
// sprite-layout reset of gameinit.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "data/archive.h"
#include "gfx/graphics_commands.h"

namespace velmora {

namespace {

struct PictureArgs {
    std::string name;
    int transition = -1;  // a cut unless a number is given
    char side = 0;        // 'L', 'R' or 0
};

// The name up to the first blank, comma or "]" (at most 64 characters),
// then digits for the transition and L or R for the side.
PictureArgs ScanPictureArgs(const char* args, bool sides) {
    PictureArgs a;
    size_t i = 0;
    while (args[i] && args[i] != ' ' && args[i] != ',' && args[i] != ']' && a.name.size() < 64) a.name += args[i++];
    while (args[i] && args[i] != ' ' && args[i] != ',' && args[i] != ']') ++i;
    bool haveNumber = false;
    int number = 0;
    for (; args[i] && args[i] != ']' && i < 63; ++i) {
        char c = args[i];
        if (c >= '0' && c <= '9') {
            if (!haveNumber) number = 0;
            haveNumber = true;
            number = number * 10 + (c - '0');
            if (!(args[i + 1] >= '0' && args[i + 1] <= '9')) {
                a.transition = number;
                haveNumber = false;
            }
        } else if (sides && (c == 'L' || c == 'l')) {
            a.side = 'L';
        } else if (sides && (c == 'R' || c == 'r')) {
            a.side = 'R';
        }
    }
    return a;
}

// A colour name: S and three characters, each a hexadecimal digit d (16 d)
// or g (255); anything else is 0. Red in the low byte.
uint32_t ColourName(const std::string& name) {
    uint32_t colour = 0;
    for (int k = 0; k < 3; ++k) {
        char c = k + 1 < static_cast<int>(name.size()) ? name[k + 1] : '\0';
        int v = 0;
        if (c >= '0' && c <= '9') v = 16 * (c - '0');
        else if (c >= 'a' && c <= 'f') v = 16 * (c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') v = 16 * (c - 'A' + 10);
        else if (c == 'g' || c == 'G') v = 255;
        colour |= static_cast<uint32_t>(v) << (8 * k);
    }
    return colour;
}

// The message window keeps a copy of the scene under it; every scene change
// makes that copy stale.
void SceneRedraw(TForm1& f, int transition) {
    f.text.windowValid = false;
    Redraw(f, transition);
}

void ClearSprites(TForm1& f) {
    f.gfx.spriteCount = 0;
    f.gfx.spriteNames[0].clear();
    f.gfx.spriteNames[1].clear();
    f.gfx.spriteList.clear();
}

void SolidBackground(TForm1& f, const std::string& name, int transition, bool redraw) {
    GfxState& g = f.gfx;
    g.backgroundChanged = true;
    g.backgroundName = name;
    if (g.background.width != kScreenWidth || g.background.height != kScreenHeight)
        g.background.Resize(kScreenWidth, kScreenHeight);
    FillPicture(g.background, ColourName(name));
    if (redraw) {
        ClearSprites(f);
        SceneRedraw(f, transition);
    }
}

void PictureBackground(TForm1& f, const std::string& name, int transition, bool redraw) {
    GfxState& g = f.gfx;
    g.backgroundChanged = true;
    g.backgroundName = name;
    if (LoadPicture(f, name, g.background) && redraw) {
        ClearSprites(f);
        SceneRedraw(f, transition);
    }
}

std::string TwoSpriteList(const GfxState& g) { return g.spriteNames[0] + "," + g.spriteNames[1]; }

}  // namespace

int GraCommand(TForm1& f, const char* args) {
    GfxState& g = f.gfx;
    g.noRedraw = f.stepper.grbSelected;
    PictureArgs a = ScanPictureArgs(args, true);
    const bool redraw = !g.noRedraw;
    switch (std::toupper(static_cast<unsigned char>(a.name.empty() ? '\0' : a.name[0]))) {
    case 'A':
        PictureBackground(f, a.name, a.transition, redraw);
        break;
    case 'B': {
        std::string list;
        const std::string up = UpperName(a.name);
        if (a.side == 'L') {
            g.spriteNames[0] = up;
            list = TwoSpriteList(g);
        } else if (a.side == 'R') {
            if (g.spriteCount == 1) g.spriteNames[0].clear();
            g.spriteNames[1] = up;
            list = TwoSpriteList(g);
        } else {
            list = a.name;
        }
        g.spriteList = list;
        SetSprites(f, list);
        if (redraw) SceneRedraw(f, a.transition);
        break;
    }
    case 'S':
        SolidBackground(f, a.name, a.transition, redraw);
        break;
    default:
        break;
    }
    return 0;
}

void BgCommand(TForm1& f, const char* args) {
    PictureArgs a = ScanPictureArgs(args, false);
    const bool redraw = !f.gfx.noRedraw;
    if (!a.name.empty() && (a.name[0] == 'S' || a.name[0] == 's')) SolidBackground(f, a.name, a.transition, redraw);
    else PictureBackground(f, a.name, a.transition, redraw);
}

void ClrbCommand(TForm1& f, const char* args) {
    GfxState& g = f.gfx;
    const int transition = std::atoi(args);
    const size_t n = std::strlen(args);
    const char last = n ? static_cast<char>(std::toupper(static_cast<unsigned char>(args[n - 1]))) : '\0';
    if (last == 'L' || last == 'R') {
        g.spriteNames[last == 'L' ? 0 : 1].clear();
        g.spriteList = TwoSpriteList(g);
    } else {
        ClearSprites(f);
    }
    SceneRedraw(f, transition);
}

void SprCommand(TForm1& f, const char* args) {
    const int transition = SetSprites(f, args);
    SceneRedraw(f, transition);
    f.gfx.spriteList = args;
}

void GameinitSprites(TForm1& f) {
    static const int32_t kX[10] = {400, 250, 550, 200, 400, 600, 100, 300, 500, 700};
    for (int i = 0; i < 10; ++i) {
        f.vars.S[80 + i] = kX[i];
        f.vars.S[90 + i] = 0;
    }
}

}  // namespace velmora
