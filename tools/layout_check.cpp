#include "tools/layout_check.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "data/config.h"
#include "data/encoding.h"
#include "text/glyph_outline.h"
#include "text/message_window.h"
#include "text/text_layout.h"

namespace velmora::tools {

namespace {

// The game's faces measured as the engine measures them: one-byte
// characters from FONT_LATIN's face when it is installed.
class FontMetrics final : public PenMetrics {
public:
    OutlineFont main, latin;
    int Advance(uint8_t code) override { return Face(code).Advance(code); }
    int Kerning(uint8_t left, uint8_t right) override {
        return &Face(left) == &Face(right) ? Face(left).Kerning(left, right) : 0;
    }

private:
    OutlineFont& Face(uint8_t) { return latin.IsOpen() ? latin : main; }
};

class LayoutChecker {
public:
    LayoutChecker(const ConfigValues& c, FontMetrics& m) : c_(c) { pens_[0].metrics = pens_[1].metrics = &m; }

    void Script(const CheckScript& s, std::vector<CheckFinding>& out) {
        out_ = &out;
        file_ = s.file;
        novel_ = false;
        NewPage();
        for (size_t i = 0; i < s.lines.size(); ++i) {
            lineNo_ = static_cast<int>(i) + 1;
            const std::string& l = s.lines[i];
            if (l.empty()) continue;
            switch (l[0]) {
                case '*':
                    if (l.compare(0, 6, "*mode ") == 0) {
                        const bool novel = std::atoi(l.c_str() + 6) != 0;
                        if (novel != novel_) NewPage();
                        novel_ = novel;
                        if (novel) line_ = 0;
                    }
                    break;
                case '\\': NewPage(); break;
                case '>':
                    // The novel mode prints the speaker as a line of its own.
                    if (novel_) Text(l.c_str() + 1);
                    break;
                case '@': case '!': case ':': case ';': case '{': case '}': case '~': case '+': case '=': break;
                default: Text(l.c_str()); break;
            }
        }
    }

private:
    const ConfigValues& c_;
    Pen pens_[2];
    std::vector<CheckFinding>* out_ = nullptr;
    std::string file_;
    int lineNo_ = 0;
    bool novel_ = false;
    uint8_t page_[kPageLines][kPageColumns] = {};
    int line_ = 0, column_ = 0;
    bool pageReported_ = false;

    const Pen& CurrentPen() {
        Pen& p = pens_[novel_ ? 1 : 0];
        p.pitch = novel_ ? c_.TX2_PITCH_X : c_.TX_PITCH_X;
        return p;
    }
    int Limit() const { return (novel_ ? c_.MOJI_MAX2_X : c_.MOJI_MAX_X) * (novel_ ? c_.TX2_PITCH_X : c_.TX_PITCH_X); }
    int LastLine() const { return novel_ ? c_.MOJI_MAX2_Y - 1 : c_.MOJI_MAX_Y - 1; }

    void Warn(const std::string& text) { out_->push_back({file_, lineNo_, false, text}); }

    void NewPage() {
        std::memset(page_, 0, sizeof page_);
        line_ = 0;
        column_ = 0;
        pageReported_ = false;
    }

    // One message line, as the stepper hands it to the window.
    void Text(const char* s) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(s);
        while (*p) {
            const uint8_t b = *p;
            if (b == '[' || b == '<') {
                const char* close = std::strchr(reinterpret_cast<const char*>(p), b == '[' ? ']' : '>');
                if (!close) return;
                p = reinterpret_cast<const uint8_t*>(close) + 1;
                continue;
            }
            if (b == '%') {
                ++p;
                while (*p >= '0' && *p <= '9') ++p;
                continue;
            }
            const int width = IsLeadByte(b) && p[1] ? 2 : 1;
            const uint16_t code = width == 2 ? static_cast<uint16_t>(b << 8 | p[1]) : b;
            if (code == 0x81A5) {  // a click, then a new page
                NewPage();
                p += 2;
                continue;
            }
            if (code == 0x81A4) {  // a new page; the line ends
                NewPage();
                return;
            }
            if (code == 0x81AC) return;  // the line waits; the page goes on
            if (code == 0x8190) {  // a string variable: its width is not known here
                for (int k = 0; k < 4 && *p; ++k) ++p;
                continue;
            }
            p += width;
            Place(code, width, reinterpret_cast<const char*>(p));
        }
        column_ = 0;
        ++line_;
    }

    void Place(uint16_t code, int width, const char* following) {
        const Pen& pen = CurrentPen();
        if (!novel_ && column_ == 0 && line_ == 0) line_ = 1;
        const uint8_t* line = line_ < kPageLines ? page_[line_] : nullptr;
        bool hasText = false;
        for (int k = 0; line && k < column_ && k < kPageColumns; ++k) hasText = hasText || line[k] != 0;
        if (code == ' ' && !hasText) return;
        const int indent = novel_ ? 0 : 2;
        int column = column_;
        if (!novel_ && column == 0 && code != 0x8175 && code != 0x8169) column = indent;
        WrapQuery q;
        q.code = code;
        q.width = width;
        q.lineHasText = hasText;
        q.following = following;
        q.limit = Limit();
        q.indent = indent * pen.pitch;
        q.penX = line ? pen.LinePen(line, kPageColumns, column, q.prev) : 0;
        const bool wordStart = width == 1 && code != ' ' && (q.prev == 0 || q.prev == ' ' || q.prev > 0xFF);
        if (wordStart) {
            const int word = pen.WordWidth(q.prev, code, following);
            if (word > q.limit - q.indent) {
                size_t n = 0;
                while (following[n] && static_cast<uint8_t>(following[n]) > ' ' &&
                       static_cast<uint8_t>(following[n]) < 0x80)
                    ++n;
                Warn("the word \"" + std::string(1, static_cast<char>(code)) + std::string(following, n) + "\" is " +
                     std::to_string(word) + " pixels wide, wider than the window's line (" +
                     std::to_string(q.limit - q.indent) + "): it is broken inside");
            }
        }
        if (BreaksBefore(pen, q) || (hasText && column + width > 69)) {
            column_ = 0;
            ++line_;
            if (code == ' ') return;
            column = novel_ || code == 0x8175 || code == 0x8169 ? 0 : indent;
        }
        if (line_ > LastLine() && !pageReported_) {
            pageReported_ = true;
            Warn(std::string("the text runs past the ") + (novel_ ? "page's" : "window's") + " last line (" +
                 std::to_string(LastLine() + (novel_ ? 1 : 0)) + " lines) in the proportional layout");
        }
        column_ = column;
        if (line_ < kPageLines && column_ + width <= kPageColumns) {
            page_[line_][column_] = static_cast<uint8_t>(width == 2 ? code >> 8 : code);
            if (column_ + 1 < kPageColumns) page_[line_][column_ + 1] = width == 2 ? code & 0xFF : 0;
        }
        column_ += width;
    }
};

}  // namespace

std::vector<CheckFinding> CheckLayout(const GameContents& game, int fontSize) {
    std::vector<CheckFinding> out;
    ConfigValues config;
    for (const CheckScript& s : game.scripts) {
        if (s.name != "_CONFIG") continue;
        std::string table;
        for (const std::string& l : s.lines) table += l + '\0';
        ParseConfigBlock(table.data(), static_cast<int32_t>(table.size()), config);
    }
    FontMetrics metrics;
    FontRequest request;
    request.family = ToUtf8(config.FONT_NAME);
    request.pointSize = fontSize;
    if (!metrics.main.Open(request)) {
        out.push_back({"", 0, false, "layout: no installed face has Japanese glyphs; the layout is not checked"});
        return out;
    }
    if (!config.FONT_LATIN.empty()) {
        request.family = ToUtf8(config.FONT_LATIN);
        request.latinOnly = true;
        if (!metrics.latin.Open(request))
            out.push_back({"", 0, false, "layout: FONT_LATIN \"" + request.family +
                                             "\" is not installed; one-byte text is measured in FONT_NAME"});
    }
    LayoutChecker checker(config, metrics);
    const std::set<std::string> tables = TableScripts(game);
    for (const CheckScript& s : game.scripts) {
        if (s.name == "_CONFIG" || tables.count(s.name)) continue;
        checker.Script(s, out);
    }
    return out;
}

}  // namespace velmora::tools
