// The name entry dialog TForm2 ("名前の変更"): the hero's family name in
// $0 and given name in $1, kept in the registry for the next start. It can
// be left only through "ＯＫ", and only with names of one to four full-width
// characters.
#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "platform/forms.h"
#include "script/variables.h"
#include "ui/input.h"
#include "ui/kana_grid.h"

namespace velmora {

using platform::ActionKind;
using platform::ControlKind;

bool ValidPlayerName(const std::string& cp932) {
    if (cp932.empty() || cp932.size() > 8) return false;
    // Double-byte characters only: every character starts with a lead byte.
    for (size_t k = 0; k < cp932.size(); k += 2)
        if (!IsLeadByte(static_cast<unsigned char>(cp932[k])) || k + 1 >= cp932.size()) return false;
    return true;
}

namespace {

class NameEntryForm : public platform::Form {
public:
    explicit NameEntryForm(TForm1& f) : f_(f) {
        name = "TForm2";
        caption = ToCp932("名前の変更");
        clientWidth = 275;
        clientHeight = 96;
        topmost = true;
        systemButtons = false;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        fontPixels = 12;
        Add(ControlKind::Label, "Label1", ToCp932("主人公の名前を入力してください。"), 8, 8, 200, 12);
        Add(ControlKind::Label, "Label2", ToCp932("（全角４文字以内）"), 8, 24, 120, 12);
        // The given name and both field labels stay hidden: games ask for one name.
        Add(ControlKind::Label, "Label3", ToCp932("姓"), 8, 46, 12, 12).visible = false;
        family_ = static_cast<int>(controls.size());
        Add(ControlKind::Edit, "Edit1", "", 8, 42, 259, 20);
        Add(ControlKind::Label, "Label4", ToCp932("名"), 140, 46, 12, 12).visible = false;
        given_ = static_cast<int>(controls.size());
        Add(ControlKind::Edit, "Edit2", "", 156, 42, 111, 20).visible = false;
        // Without a keyboard (a pad, a handheld) the name is pressed out of a kana grid.
        kana_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button3", ToCp932("かな入力"), 8, 68, 75, 23);
        default_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button2", ToCp932("デフォルト"), 112, 68, 75, 23);
        ok_ = static_cast<int>(controls.size());
        Add(ControlKind::Button, "Button1", ToCp932("ＯＫ"), 192, 68, 75, 23);
    }

    void FormShow() override {
        CentreOver(f_.plat);
        controls[family_].text = f_.vars.str[0];
        controls[given_].text = f_.vars.str[1];
        focus = family_;
    }

    void Act(const platform::FormAction& a) override {
        // Enter in the field is "ＯＫ" for a good name; a name still being
        // typed wrong stays as it is, for the player to mend.
        if (a.kind == ActionKind::KeyDown && a.value == platform::VK_RETURN && a.control == family_ &&
            ValidPlayerName(controls[family_].text)) {
            Button1Click();
            return;
        }
        if (a.kind != ActionKind::Click) return;  // the frame's close is not offered
        if (a.control == ok_) Button1Click();
        else if (a.control == default_) Button2Click();
        else if (a.control == kana_) ShowKanaGrid(f_, controls[family_].text, 4);
    }

private:
    void Button1Click() {
        platform::Control& family = controls[family_];
        if (!ValidPlayerName(family.text)) {
            Trace("name entry: \"%s\" refused", TraceText(family.text).c_str());
            family.text = f_.vars.str[0];
            return;
        }
        f_.settings.PlayerName = family.text;
        SetStringVar(f_.vars, 0, family.text.c_str());
        platform::Control& given = controls[given_];
        if (!ValidPlayerName(given.text)) {
            Trace("name entry: given name \"%s\" refused", TraceText(given.text).c_str());
            given.text = f_.vars.str[1];
            return;
        }
        f_.settings.PlayerName2 = given.text;
        SetStringVar(f_.vars, 1, given.text.c_str());
        platform::SettingsStore& reg = f_.plat.settings();
        platform::SettingsBatch batch(reg);
        reg.WriteString(f_.config.MAKER_REG, f_.config.GAME_ID, "PlayerName", f_.settings.PlayerName);
        reg.WriteString(f_.config.MAKER_REG, f_.config.GAME_ID, "PlayerName2", f_.settings.PlayerName2);
        Trace("name entry: %s %s", TraceText(f_.settings.PlayerName).c_str(), TraceText(f_.settings.PlayerName2).c_str());
        Close();
    }

    void Button2Click() {
        controls[family_].text = f_.config.DEFAULT_NAME;
        controls[given_].text = f_.config.DEFAULT_NAME2;
    }

    TForm1& f_;
    int family_ = -1, given_ = -1, default_ = -1, ok_ = -1, kana_ = -1;
};

}  // namespace

void ShowNameEntry(TForm1& f) {
    NameEntryForm form(f);
    platform::ShowModalForm(f.plat, form);
}

}  // namespace velmora
