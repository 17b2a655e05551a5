// The rename box of a record list, TForm6 ("回想スロット"): OK keeps the
// text, cut to 30 bytes; Cancel keeps the name it opened with; "かな入力"
// lets a pad spell it.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "extras/recollection.h"
#include "platform/forms.h"
#include "platform/input_codes.h"
#include "ui/kana_grid.h"

namespace velmora {

using platform::ActionKind;
using platform::ControlKind;

namespace {

// The first bytes of a CP932 text, never ending inside a character.
std::string CutName(const std::string& text, size_t max) {
    size_t n = 0;
    while (n < text.size()) {
        const size_t len = IsLeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + len > max || n + len > text.size()) break;
        n += len;
    }
    return text.substr(0, n);
}

class RecordNameForm : public platform::Form {
public:
    RecordNameForm(TForm1& f, const std::string& current) : f_(f), current_(current) {
        name = "TForm6";
        caption = ToCp932("回想スロット");
        clientWidth = 305;
        clientHeight = 96;
        topmost = true;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        fontPixels = 12;
        Add(ControlKind::Label, "Label1", ToCp932("回想スロットに名前を付けます（全角１５文字まで）"), 8, 8, 289, 12);
        edit_ = static_cast<int>(controls.size());
        Add(ControlKind::Edit, "Edit1", "", 8, 28, 289, 20).maxChars = kRecordNameEditMax;
        // Without a keyboard (a pad, a handheld) the name is pressed out of a kana grid.
        kana_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button3", ToCp932("かな入力"), 8, 62, 75, 25);
        ok_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button1", "OK", 142, 62, 75, 25);
        cancel_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button2", ToCp932("キャンセル"), 222, 62, 75, 25);
    }

    void FormShow() override {
        CentreOver(f_.plat);
        controls[edit_].text = current_;
        focus = edit_;
    }

    void Act(const platform::FormAction& a) override {
        // Enter confirms and Escape cancels, as the buttons do.
        const bool key = a.kind == ActionKind::KeyDown;
        if (a.kind == ActionKind::Close || (a.kind == ActionKind::Click && a.control == cancel_) ||
            (key && a.value == platform::VK_ESCAPE)) {
            result = current_;
            Close();
        } else if ((a.kind == ActionKind::Click && a.control == ok_) || (key && a.value == platform::VK_RETURN)) {
            result = CutName(controls[edit_].text, kRecordNameMax);
            Close();
        } else if (a.kind == ActionKind::Click && a.control == kana_) {
            ShowKanaGrid(f_, controls[edit_].text, kRecordNameMax / 2);
        }
    }

    std::string result;

private:
    TForm1& f_;
    std::string current_;
    int edit_ = -1, ok_ = -1, cancel_ = -1, kana_ = -1;
};

}  // namespace

void ShowRecordNameDialog(TForm1& f, int list) {
    if (list < 0 || list >= kRecordLists) return;
    char* name = f.extras.recordListNames[list];
    RecordNameForm form(f, name);
    form.result = name;
    platform::ShowModalForm(f.plat, form);
    std::snprintf(name, kRecordListNameSize, "%s", form.result.c_str());
    Trace("recollection: record list %d is named \"%s\"", list + 1, TraceText(name).c_str());
}

}  // namespace velmora
