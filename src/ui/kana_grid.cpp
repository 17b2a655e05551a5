#include "ui/kana_grid.h"

#include <algorithm>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "platform/forms.h"

namespace velmora {

using platform::ActionKind;
using platform::ControlKind;

namespace {

const char* const kPageKana[2] = {
    "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
    "がぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽぁぃぅぇぉゃゅょっー",
    "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン"
    "ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポァィゥェォャュョッー",
};
constexpr int kColumns = 10, kCell = 28;

class KanaGridForm : public platform::Form {
public:
    KanaGridForm(TForm1& f, const std::string& text, int maxChars) : f_(f), text_(text), max_(maxChars) {
        name = "TFormKana";
        caption = ToCp932("かな入力");
        topmost = true;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        fontPixels = 12;
        pages = {ToCp932("ひらがな"), ToCp932("カタカナ")};
        int rows = 0;
        for (int p = 0; p < 2; ++p) {
            const std::string kana = kPageKana[p];
            // Each kana is three bytes of UTF-8.
            for (size_t k = 0, n = 0; k + 3 <= kana.size(); k += 3, ++n) {
                const int col = static_cast<int>(n) % kColumns, row = static_cast<int>(n) / kColumns;
                platform::Control& c = Add(ControlKind::Button, "Kana" + std::to_string(p) + "_" + std::to_string(n),
                                           ToCp932(kana.substr(k, 3)), 8 + col * kCell, 8 + row * kCell, kCell - 2,
                                           kCell - 2);
                c.page = p;
                rows = std::max(rows, row + 1);
            }
        }
        const int gridW = kColumns * kCell + 16, gridH = rows * kCell + 16 + 24;
        pagesLeft = 8, pagesTop = 36, pagesWidth = gridW, pagesHeight = gridH;
        clientWidth = gridW + 16;
        clientHeight = pagesTop + gridH + 40;
        shown_ = Index(Add(ControlKind::Label, "Label1", "", 8, 12, gridW - 90, 16));
        const int y = pagesTop + gridH + 8;
        delete_ = Index(Add(ControlKind::Button, "Button1", ToCp932("一字消す"), clientWidth - 248, y, 75, 23));
        cancel_ = Index(Add(ControlKind::Button, "Button2", ToCp932("やめる"), clientWidth - 166, y, 75, 23));
        ok_ = Index(Add(ControlKind::Button, "Button3", ToCp932("決定"), clientWidth - 83, y, 75, 23));
    }

    void FormShow() override {
        CentreOver(f_.plat);
        Show();
        focus = 0;  // the first kana
    }

    void Act(const platform::FormAction& a) override {
        if (a.kind == ActionKind::KeyDown && a.value == platform::VK_ESCAPE) {
            Close();
            return;
        }
        if (a.kind == ActionKind::Close) Close();
        if (a.kind != ActionKind::Click || a.control < 0) return;
        if (a.control == ok_) {
            accepted = true;
            Close();
        } else if (a.control == cancel_) {
            Close();
        } else if (a.control == delete_) {
            if (text_.size() >= 2) text_.resize(text_.size() - 2);
            Show();
        } else if (controls[a.control].name.rfind("Kana", 0) == 0) {
            if (static_cast<int>(text_.size()) / 2 < max_) text_ += controls[a.control].caption;
            Show();
        }
    }

    bool accepted = false;
    const std::string& Text() const { return text_; }

private:
    int Index(const platform::Control& c) const { return static_cast<int>(&c - controls.data()); }
    void Show() { controls[shown_].caption = text_; }
    TForm1& f_;
    std::string text_;
    int max_;
    int shown_ = -1, delete_ = -1, cancel_ = -1, ok_ = -1;
};

}  // namespace

bool ShowKanaGrid(TForm1& f, std::string& text, int maxChars) {
    // Only whole double-byte characters are kept to build on.
    std::string start;
    for (size_t k = 0; k + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[k])); k += 2)
        start += text.substr(k, 2);
    KanaGridForm form(f, start, maxChars);
    platform::ShowModalForm(f.plat, form);
    if (!form.accepted) return false;
    text = form.Text();
    Trace("kana grid: \"%s\"", TraceText(text).c_str());
    return true;
}

}  // namespace velmora
