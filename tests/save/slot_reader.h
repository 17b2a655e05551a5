#pragma once
// A reader of slot files written from the layout table alone, so that the
// tests do not trust the engine's own offsets.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velmora::test {

struct SlotReader {
    std::vector<uint8_t> b;

    bool Ok() const { return b.size() == 144978; }
    int32_t I32(size_t off) const {
        return static_cast<int32_t>(b[off] | b[off + 1] << 8 | b[off + 2] << 16 | uint32_t(b[off + 3]) << 24);
    }
    // A NUL-terminated text in a field.
    std::string Text(size_t off, size_t size) const {
        size_t n = 0;
        while (n < size && b[off + n] != 0) ++n;
        return std::string(reinterpret_cast<const char*>(b.data()) + off, n);
    }
    bool Bit(size_t off, int k) const { return (b[off + k / 8] >> (k % 8)) & 1; }

    std::string Header() const { return Text(0, 96); }
    std::string Comment() const { return Text(96, 32); }
    bool F(int k) const { return Bit(128, k); }
    uint8_t Reserved(int i) const { return b[256 + i]; }
    int32_t V(int i) const { return I32(1280 + 4 * i); }
    int32_t S(int i) const { return I32(5280 + 4 * i); }
    bool ReadMark(int k) const { return Bit(6080, k); }
    bool T(int k) const { return Bit(16320, k); }
    int32_t Stepper(int i) const { return I32(17570 + 4 * i); }
    std::string Backlog(int line) const { return Text(17826 + 70 * line, 70); }
    std::string Line() const { return Text(31826, 2048); }
    // The names record at 33874.
    std::string CallName(int i) const { return Text(33874 + 30 * i, 30); }
    std::string CurrentScript() const { return Text(33874 + 270, 30); }
    std::string LastLoaded() const { return Text(33874 + 300, 30); }
    std::string Background() const { return Text(33874 + 330, 30); }
    std::string Sprites() const { return Text(33874 + 360, 60); }
    std::string LoopSound() const { return Text(33874 + 480, 30); }
    std::string LastVoice() const { return Text(33874 + 510, 30); }
    std::string Speaker() const { return Text(33874 + 540, 20); }
    std::string Str(int n) const { return Text(34898 + 64 * n, 64); }
    uint8_t PageText(int line, int col) const { return b[35538 + 100 * line + col]; }
    uint8_t PageAttribute(int line, int col) const { return b[37538 + 100 * line + col]; }
    std::string HistoryText(int page) const { return Text(39538 + 2000 * page, 2000); }
    int32_t HistoryS023(int page) const { return I32(79538 + 4 * page); }
    std::string HistoryPictures(int page) const { return Text(79618 + 128 * page, 128); }
    std::string HistoryVoices(int page) const { return Text(82178 + 256 * page, 256); }
    int32_t HistoryMode(int page) const { return I32(87298 + 4 * page); }
    // Thumbnail pixel (x, y): blue, green, red.
    const uint8_t* Thumb(int x, int y) const { return b.data() + 87378 + (y * 160 + x) * 3; }
};

}  // namespace velmora::test
