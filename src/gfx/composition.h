#pragma once
// The engine's off-screen pictures, the layer model of a scene and the
// redraw path that puts it on the window.
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/effects.h"
#include "gfx/frame_clock.h"
#include "gfx/image_files.h"
#include "gfx/picture.h"
#include "gfx/picture_cache.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"

namespace velmora {

class TForm1;

constexpr int kSpritePositions = 5;
constexpr int kSpriteSlots = 5;

// One decoded sprite, split into colour and mask so blits need no halving.
struct SpriteSlot {
    Picture colour, mask;
    MaskSpans spans;   // of mask, measured when it is filled
    std::string name;  // upper-cased; empty: never filled
};

// The comic symbol over a character (command manpu), at S032, S033.
struct SymbolOverlay {
    bool active = false;
    Picture savedBackground;  // the window area under the symbol
    int32_t mode = 0;         // 0 stays, 1 leaves the window, 2 blinks
    Picture picture;          // the symbol, side by side with its mask
    Picture composite;        // background with the symbol
    Picture spare;            // a second copy of the background
};

// The script objects: 32 stacked masked pictures, each with the picture
// its stamps are composed in, and the off-screen buffer of obj_b_make.
constexpr int kObjectSlots = 32;

struct ScriptObject {
    Picture picture;    // colour above, mask below
    Picture saveUnder;  // as wide as the picture, half as high
    bool allocated = false;
};

struct ObjectTable {
    ScriptObject items[kObjectSlots];
    Picture buffer;  // 800 x 600 while active
    bool bufferActive = false;
};

struct GfxState {
    // Screen-sized pictures.
    Picture scene, screen, previous, work, novel, choiceSave, mask;
    // Pictures sized by what was loaded into them.
    Picture background, overlay, spriteLoad, parts;
    // The picture the sprite load picture last received, which a missing
    // sprite shows; the load picture itself is emptied once a sprite is cut.
    std::string spriteLoadName;
    Picture messageWindow;  // TXW_SIZE_X x TXW_SIZE_Y
    // Sprite state.
    std::string spriteNames[kSpritePositions];
    int32_t spriteCount = 0;
    int32_t spriteSlotOf[kSpritePositions] = {};
    int32_t nextSpriteSlot = 0;
    SpriteSlot spriteCache[kSpriteSlots];
    // Counted into the global data: sprite list changes made in normal play.
    int32_t spriteChangeCounter = 0;
    // Set by every background change; read by Redraw in novel mode.
    bool backgroundChanged = false;
    // Set by grb, cleared by gra: background and sprites load without a redraw.
    bool noRedraw = false;
    // Set while the screen picture is rebuilt for a transition: the text and
    // the name plate drawn into it then reach the window through the
    // transition, not cell by cell over the picture it starts from.
    bool composing = false;
    SymbolOverlay symbol;
    BgAnimState bgAnim;
    // Lives from start-up to exit: loads, gameinit and redraws keep it.
    ObjectTable objects;
    // The frame clock's stamp, shared by every effect.
    uint32_t frameStamp = 0;
    // Reused for every JPEG load, emptied before and after.
    std::vector<uint8_t> pictureBuffer;
    // Pictures lately decoded; let go first when the pictures' memory runs short.
    PictureCache decoded;
    // Entries found damaged: not read or traced again (the archives do not
    // change while the game runs).
    std::vector<std::string> refusedPictures;
    // What all pictures may hold together, and the pictures refused for it
    // (traced once each; they are tried again on later loads).
    size_t pictureMemoryCap = kMaxPictureMemory;
    std::vector<std::string> pictureMemoryRefused;
    // Names kept for the save file.
    std::string backgroundName;
    std::string spriteList;
};

// Creates the composition pictures at their start-up sizes.
void CreateCompositionPictures(TForm1& f);
// Forgets the names of the current background and sprites.
void ForgetSceneNames(TForm1& f);
// Script objects: the start-up step, which clears every slot's allocated
// flag and the buffer's active flag (ResetObjects).
void InitScriptObjects(TForm1& f);
void ResetObjects(TForm1& f);

// Parses a sprite list, updates the sprite state and fills the cache;
// returns the transition number found in the list (default 1, 0 for an
// empty list).
int SetSprites(TForm1& f, const std::string& list);
// Lets go of the cached sprites that no position shows, for room.
void DropHiddenSprites(TForm1& f);
// Background, overlay and sprites into the scene picture.
void ComposeScene(TForm1& f);
// The colour filter S011 on the scene picture.
void ApplySceneFilter(TForm1& f);
// The screen picture from the scene and the window layers.
void ShowScene(TForm1& f);
// Message window, quick-button strip, text and status meter onto the screen.
void DrawWindowLayers(TForm1& f);
// The redraw that drawing commands call: compose everything and show it
// with the transition.
void Redraw(TForm1& f, int transition);

// The engine's forms of the whole-screen pixel operations.
void CrossfadeTile(TForm1& f, int x, int y, int w);
// Masks the screen picture over the previous one through the transition
// mask into the work picture and shows it at once.
void MaskScreen(TForm1& f);
// DarkenScreen after restarting the frame clock.
void DarkenScreen(TForm1& f, const Picture& src, Picture& dst, int v);

}  // namespace velmora
