#pragma once
// The slot file: a fixed 144,978-byte dump of the game's state blocks,
// integers 32-bit little-endian, texts CP932. SlotImage holds the blocks in
// the host's form; EncodeSlot and DecodeSlot place them at their offsets.
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "gfx/picture.h"

namespace velmora {

constexpr size_t kSlotFileSize = 144978;
constexpr int kSlotHeaderSize = 96;
constexpr int kSlotHeaderTextMax = 94;  // bytes 94 and 95 stay 0
constexpr int kSlotCommentSize = 32;
constexpr int kSlotCommentMax = 30;
constexpr int kSlotStepperValues = 64;
constexpr int kThumbnailWidth = 160;
constexpr int kThumbnailHeight = 120;
constexpr int kHistoryPages = 20;

// Offsets of the blocks, in file order.
constexpr size_t kSlotHeaderOffset = 0;
constexpr size_t kSlotCommentOffset = 96;
constexpr size_t kSlotFOffset = 128;
constexpr size_t kSlotReservedOffset = 256;
constexpr size_t kSlotVOffset = 1280;
constexpr size_t kSlotSOffset = 5280;
constexpr size_t kSlotReadMarksOffset = 6080;
constexpr size_t kSlotTOffset = 16320;
constexpr size_t kSlotStepperOffset = 17570;
constexpr size_t kSlotBacklogOffset = 17826;
constexpr size_t kSlotLineOffset = 31826;
constexpr size_t kSlotNamesOffset = 33874;
constexpr size_t kSlotStringsOffset = 34898;
constexpr size_t kSlotPageTextOffset = 35538;
constexpr size_t kSlotPageAttributesOffset = 37538;
constexpr size_t kSlotHistoryTextOffset = 39538;
constexpr size_t kSlotHistoryS023Offset = 79538;
constexpr size_t kSlotHistoryPicturesOffset = 79618;
constexpr size_t kSlotHistoryVoicesOffset = 82178;
constexpr size_t kSlotHistoryModeOffset = 87298;
constexpr size_t kSlotThumbnailOffset = 87378;

// Indexes of the stepper record.
enum SlotStepperIndex {
    kRecCallDepth = 0,
    kRecReturnPositions = 1,  // 1 ... 9
    kRecWindowShown = 10,
    kRecTypingCountdown = 11,
    kRecCharDelay = 12,
    kRecPendingWait = 13,
    kRecPlayMode = 14,
    kRecNoRedraw = 15,
    kRecBackgroundChanged = 16,
    kRecColumn = 17,
    kRecLine = 18,
    kRecWideSpacing = 19,
    kRecColourValue = 20,
    kRecBacklogCount = 21,
    kRecBacklogOffset = 22,
    kRecScriptRunning = 23,
    kRecNeedLine = 24,
    kRecLineStart = 25,
    kRecResumePosition = 26,
    kRecScriptLength = 27,
    kRecLinePosition = 28,
    kRecWindowMode = 29,
    kRecPageCounter = 30,
    kRecPageEmpty = 32,
};

// The names record: each name NUL-terminated in its field.
struct SlotNames {
    char callStack[9][30];
    char currentScript[30];
    char lastLoadedScript[30];
    char background[30];
    char sprites[60];  // only the first 30 bytes are read back
    char picture[30];
    char carried[30];
    char loopSound[30];
    char lastVoice[30];
    char speaker[20];
    uint8_t unused[464];
};
static_assert(sizeof(SlotNames) == 1024);

struct SlotImage {
    char header[kSlotHeaderSize];
    char comment[kSlotCommentSize];
    uint8_t F[128];
    uint8_t reserved[1024];
    int32_t V[1000];
    int32_t S[200];
    uint8_t readMarks[10240];
    uint8_t T[1250];
    int32_t stepper[kSlotStepperValues];
    char backlog[200][70];
    char line[2048];
    SlotNames names;
    char strings[10][64];
    uint8_t pageText[20][100];
    uint8_t pageAttributes[20][100];
    char historyText[kHistoryPages][2000];
    int32_t historyS023[kHistoryPages];
    char historyPictures[kHistoryPages][128];
    char historyVoices[kHistoryPages][256];
    int32_t historyMode[kHistoryPages];
    uint8_t thumbnail[kThumbnailHeight][kThumbnailWidth * 3];  // blue, green, red; top row first
};

// Every block at its offset; out holds kSlotFileSize bytes.
void EncodeSlot(const SlotImage& image, uint8_t* out);
// False, leaving image alone, unless n is exactly kSlotFileSize.
bool DecodeSlot(const uint8_t* bytes, size_t n, SlotImage& image);

// The header text: "%04d/%02d/%02d %02d:%02d:%02d  %s" of the time and the
// title, then "(Map)" in map mode, cut at a character boundary so that the
// whole text ends before byte 94. out is zero-filled first.
void MakeSlotHeader(char (&out)[kSlotHeaderSize], const std::tm& when, const char* title, bool mapMode);

// Copies text into a NUL-terminated field of `size` bytes (zero-filled),
// cut to size - 1 bytes without splitting a two-byte character.
void CopyField(char* field, size_t size, const char* text);

// The 160 x 120 thumbnail of a picture by area averaging: every source
// pixel counts with the share of it that a thumbnail pixel covers.
void ScaleThumbnail(const Picture& src, uint8_t (&out)[kThumbnailHeight][kThumbnailWidth * 3]);

}  // namespace velmora
