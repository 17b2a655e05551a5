// The settings dialog TForm11 ("設定"): every per-user setting on four tab
// pages. A change is written to the settings store at once and, for most
// settings, also to the engine; ApplySettings shows after the close what
// needs the window pictures rebuilt, and switches the screen mode.
//
// Controls sit on their page at positions relative to the page's inside.
// Group boxes are frames drawn behind the controls inside them. Sliders,
// the spin box and the combo box carry their caption only as their name
// (the labels beside them show the text); vertical sliders have their
// minimum at the top, like a track bar.
#include <algorithm>
#include <string>

#include "app/engine.h"
#include "app/library_notices.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "platform/forms.h"
#include "text/glyph_outline.h"
#include "text/glyphs.h"
#include "text/message_window.h"
#include "ui/input.h"
#include "ui/pad_input.h"

namespace velmora {

using platform::ActionKind;
using platform::ControlKind;
using platform::FormAction;

namespace {

constexpr int kPages = 6;
constexpr int kVolumeMin = -3000;
constexpr int kFontSizeMin = 18, kFontSizeMax = 24;
constexpr size_t kNoticeLine = 60;  // characters of a notice line on the copyright page

// What a change does besides storing the value.
enum class Effect {
    StoredOnly,  // ApplySettings reads it
    Live,        // the engine's copy too
    Music,       // live, then the requested track again
    Volume,      // live, then the mixer's volumes
    Font,        // live, the glyph cache rebuilt, the display changed
    Tint,        // live, the preview, the display changed
    Opacity,     // live, the display changed
    TextOut,     // live, then the text outlets
};

// A control bound to one integer setting.
struct Binding {
    int control = -1;
    const char* value = "";  // the settings store's value name
    int32_t* live = nullptr;
    Effect effect = Effect::Live;
    bool negated = false;  // the colour and opacity sliders: position = -value
};

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }

class SettingsForm : public platform::Form {
public:
    explicit SettingsForm(TForm1& f) : f_(f) {
        name = "TForm11";
        caption = ToCp932("設定");
        clientWidth = 407;
        clientHeight = 336;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        fontPixels = 12;
        for (const char* p : {"システム設定", "音設定", "テキスト設定", "出力", "著作権表示", "コントローラー"})
            pages.push_back(ToCp932(p));
        pagesLeft = 8, pagesTop = 8, pagesWidth = 391, pagesHeight = 289;
        BuildSystemPage();
        BuildSoundPage();
        BuildTextPage();
        BuildTextOutPage();
        BuildCopyrightPage();
        BuildPadPage();
        close_ = Index(Add(ControlKind::Button, "Button2", ToCp932("閉じる"), 320, 303, 79, 25));
    }

    void FormShow() override {
        CentreOver(f_.plat);
        page = Clamp(f_.ui.SettingsPage, 0, kPages - 1);
        for (const Binding& b : bindings_) {
            // The colour sliders show the engine's values; the rest the store's,
            // with the engine's value (0 for what ApplySettings reads) in its absence.
            const int32_t current = b.live ? *b.live : 0;
            const bool fromEngine = b.effect == Effect::Tint || b.effect == Effect::Opacity;
            ShowValue(controls[b.control], fromEngine ? current : ReadSetting(f_, b.value, current),
                      b.negated);
        }
        controls[master_].value = Clamp(f_.audio.masterVolume, kVolumeMin, 0);
        // Without a speech service the switch is greyed and says what this platform needs.
        platform::Control& voice = controls[voice_];
        voice.enabled = SelfVoicingAvailable(f_, nullptr);
        const platform::TextOutlets* out = f_.plat.textOutlets();
        voice.hint = voice.enabled ? std::string()
                                   : ToCp932(out ? out->SpeechNeeds() : platform::TextOutlets::kNoSpeechHere);
        FillPreview();
        FillFontList();
        FillPadMapping();
        f_.ui.DisplayChanged = false;
    }

    void Act(const FormAction& a) override {
        switch (a.kind) {
            case ActionKind::Click:
                if (a.control == close_) Close();
                else if (a.control == sample_) PlaySound(f_, "SAMPLECV");
                else if (a.control == default_) Button3Click();
                else if (a.control == padReset_) ResetPad();
                else if (a.control >= 0 && controls[a.control].kind == ControlKind::CheckBox) Changed(a.control);
                break;
            case ActionKind::Value:
                if (a.control >= 0) Changed(a.control);
                break;
            case ActionKind::Tab: f_.ui.SettingsPage = page; break;
            case ActionKind::KeyDown:
                if (a.value == platform::VK_ESCAPE) Close();  // as "閉じる": there is nothing to cancel
                break;
            case ActionKind::Close: Close(); break;
            default: break;
        }
    }

private:
    int Index(const platform::Control& c) const { return static_cast<int>(&c - controls.data()); }
    const std::string& Key() const { return f_.config.MAKER_REG; }
    const std::string& Section() const { return f_.config.GAME_ID; }

    platform::Control& On(int pageIndex, platform::Control& c) {
        c.page = pageIndex;
        return c;
    }
    platform::Control& Label(int pageIndex, const char* text, int l, int t, int w, int h = 12) {
        const std::string n = "Label" + std::to_string(++labels_);
        return On(pageIndex, Add(ControlKind::Label, n, ToCp932(text), l, t, w, h));
    }
    platform::Control& Group(int pageIndex, const char* text, int l, int t, int w, int h) {
        const std::string n = "GroupBox" + std::to_string(++groups_);
        return On(pageIndex, Add(ControlKind::Group, n, ToCp932(text), l, t, w, h));
    }
    void Bind(platform::Control& c, const char* value, int32_t* live, Effect effect, bool negated = false) {
        bindings_.push_back({Index(c), value, live, effect, negated});
    }
    platform::Control& Radio(int pageIndex, const char* controlName, const char* text,
                             std::initializer_list<const char*> choices, int l, int t, int w, int h) {
        platform::Control& c = On(pageIndex, Add(ControlKind::RadioGroup, controlName, ToCp932(text), l, t, w, h));
        for (const char* choice : choices) c.choices.push_back(ToCp932(choice));
        return c;
    }
    platform::Control& Check(int pageIndex, const char* controlName, const char* text, int l, int t, int w) {
        return On(pageIndex, Add(ControlKind::CheckBox, controlName, ToCp932(text), l, t, w, 17));
    }
    platform::Control& Slider(int pageIndex, const char* controlName, const char* text, int minimum, int l, int t,
                              int w, int h, bool vertical) {
        platform::Control& c = On(pageIndex, Add(ControlKind::Slider, controlName, ToCp932(text), l, t, w, h));
        c.minimum = minimum;
        c.maximum = 0;
        c.vertical = vertical;
        return c;
    }

    void BuildSystemPage() {
        Settings& s = f_.settings;
        Bind(Radio(0, "RadioGroup6", "スクリーンモード", {"ウィンドウ", "全画面"}, 8, 4, 120, 56), "SMode", nullptr,
             Effect::StoredOnly);
        Bind(Radio(0, "RadioGroup4", "グラフィック表示", {"通常", "高速"}, 8, 64, 120, 56), "GMode", nullptr,
             Effect::StoredOnly);
        Bind(Radio(0, "RadioGroup5", "文字表示速度", {"通常", "高速"}, 8, 124, 120, 56), "Delay", nullptr,
             Effect::StoredOnly);
        Bind(Radio(0, "RadioGroup1", "右クリック割り当て", {"メニュー", "枠消し", "スキップ", "オート", "パニック"}, 136, 4,
                   112, 116),
             "RC_MODE", &s.RC_MODE, Effect::Live);
        Bind(Radio(0, "RadioGroup2", "ホイール割り当て", {"シーン巻き戻し", "バックログ"}, 256, 4, 120, 56), "WHEEL_MODE",
             &s.WHEEL_MODE, Effect::Live);
        Bind(Radio(0, "RadioGroup3", "Ctrl Shift", {"Ctrl-スキップ Shift-オート", "Ctrl-オート Shift-スキップ"}, 136, 124,
                   240, 56),
             "CS_SWAP", &s.CS_SWAP, Effect::Live);
        Bind(Check(0, "CheckBox1", "未読でスキップ等を止める", 8, 188, 240), "Seen", &s.Seen, Effect::Live);
        Bind(Check(0, "CheckBox2", "選択時にスキップ等を解除", 8, 206, 240), "BreakonSelect", &s.BreakonSelect, Effect::Live);
        Bind(Check(0, "CheckBox15", "スキップ時、揺らし等を抑制", 8, 224, 240), "EFX_CUT", &s.EFX_CUT, Effect::Live);
        Bind(Check(0, "CheckBox6", "メモリ使用を節約する（推奨しません）", 8, 242, 300), "MemorySaveMode",
             &s.MemorySaveMode, Effect::Live);
    }

    void BuildSoundPage() {
        Settings& s = f_.settings;
        Group(1, "音声出力", 8, 4, 120, 84);
        Bind(Check(1, "CheckBox13", "BGM", 16, 22, 100), "BGM_ENA", &s.BGM_ENA, Effect::Music);
        Bind(Check(1, "CheckBox3", "ボイス", 16, 42, 100), "CV1", &s.CV1, Effect::Live);
        Bind(Check(1, "CheckBox14", "効果音", 16, 62, 100), "SE_ENA", &s.SE_ENA, Effect::Live);
        platform::Control& cv2 = Check(1, "CheckBox4", "ボイス2", 16, 82, 100);
        cv2.visible = false;
        Bind(cv2, "CV2", &s.CV2, Effect::Live);

        Group(1, "ボリューム", 136, 4, 240, 148);
        Label(1, "全体音量", 144, 26, 56);
        master_ = Index(Slider(1, "TrackBar1", "全体音量", kVolumeMin, 204, 20, 164, 26, false));
        Label(1, "BGM", 144, 58, 56);
        Bind(Slider(1, "TrackBar4", "BGM", kVolumeMin, 204, 52, 164, 26, false), "Vol3", &s.Vol[2], Effect::Volume);
        sample_ = Index(On(1, Add(ControlKind::Button, "Button1", ToCp932("ボイス"), 142, 84, 56, 23)));
        Bind(Slider(1, "TrackBar2", "ボイス", kVolumeMin, 204, 84, 164, 26, false), "Vol1", &s.Vol[0], Effect::Volume);
        Label(1, "その他", 144, 122, 56);
        Bind(Slider(1, "TrackBar3", "その他", kVolumeMin, 204, 116, 164, 26, false), "Vol2", &s.Vol[1], Effect::Volume);

        Bind(Check(1, "CheckBox12", "クリックで音声再生を止めない", 8, 162, 300), "CV_THROUGH", &s.CV_THROUGH, Effect::Live);

        // The five sound-effect categories are kept, never shown.
        Group(1, "SE", 8, 186, 368, 44).visible = false;
        static const char* const kCategory[5][2] = {
            {"CheckBox7", "SE0"}, {"CheckBox8", "SE1"}, {"CheckBox9", "SE2"}, {"CheckBox10", "SE3"}, {"CheckBox11", "SE4"}};
        for (int i = 0; i < 5; ++i) {
            platform::Control& c = Check(1, kCategory[i][0], kCategory[i][1], 16 + 72 * i, 204, 64);
            c.visible = false;
            Bind(c, kCategory[i][1], &s.SE[i], Effect::Live);
        }
    }

    void BuildTextPage() {
        Settings& s = f_.settings;
        Label(2, "フォント指定(※)", 8, 8, 84);
        font_ = Index(On(2, Add(ControlKind::ComboBox, "ComboBox1", ToCp932("フォント指定(※)"), 96, 4, 200, 20)));
        Label(2, "フォントサイズ", 8, 36, 84);
        platform::Control& size = On(2, Add(ControlKind::SpinBox, "CSpinEdit1", ToCp932("フォントサイズ"), 96, 32, 56, 22));
        size.minimum = kFontSizeMin;
        size.maximum = kFontSizeMax;
        size_ = Index(size);
        Bind(size, "FONTSIZE", &s.FONTSIZE, Effect::Font);
        Bind(Check(2, "CheckBox5", "太字", 168, 34, 60), "FONTBold", &s.FONTBold, Effect::Font);
        Bind(Radio(2, "RadioGroup7", "フォント描画方法", {"アンチ処理あり（※）", "アンチ処理なし"}, 8, 60, 200, 56), "FONTAA",
             &s.FONTAA, Effect::Font);
        // A game that sets its layout keeps it; the player chooses for the rest.
        platform::Control& layout = Radio(2, "RadioGroup10", "文字の配置", {"等幅", "プロポーショナル"}, 216, 60, 160, 56);
        layout.enabled = f_.config.TEXT_LAYOUT.find_first_not_of(" \t") == std::string::npos;
        Bind(layout, "TextLayout", &s.TextLayout, Effect::Font);
        // The game ships no readme: the note says what helps instead.
        Label(2, "※. 表示に問題があれば、別のフォントをお試しください。", 8, 122, 368);

        Group(2, "テキスト背景", 8, 140, 240, 118);
        Label(2, "R       G       B        透過", 20, 156, 120);
        static const char* const kColour[4][2] = {{"TrackBar5", "R"}, {"TrackBar6", "G"}, {"TrackBar7", "B"}, {"TrackBar8", "透過"}};
        int32_t* const colour[4] = {&s.TXBG_R, &s.TXBG_G, &s.TXBG_B, &s.TXBG_A};
        static const char* const kValue[4] = {"TXBG_R", "TXBG_G", "TXBG_B", "TXBG_A"};
        for (int i = 0; i < 4; ++i) {
            platform::Control& c = Slider(2, kColour[i][0], kColour[i][1], -255, 16 + 32 * i, 170, 26, 84, true);
            tint_[i] = Index(c);
            Bind(c, kValue[i], colour[i], i < 3 ? Effect::Tint : Effect::Opacity, true);
        }
        platform::Control& preview = On(2, Add(ControlKind::Image, "Image1", "", 152, 160, 88, 56));
        preview.picture.Resize(preview.width, preview.height);
        preview_ = Index(preview);
        default_ = Index(On(2, Add(ControlKind::Button, "Button3", "Default", 152, 224, 88, 25)));

        Group(2, "ノベルモード透過", 256, 140, 120, 118);
        Label(2, "透過→", 264, 160, 100);
        Bind(Slider(2, "TrackBar9", "ノベルモード透過", -255, 264, 178, 104, 26, false), "TXBG_A2", &s.TXBG_A2,
             Effect::Opacity, true);
    }

    void BuildTextOutPage() {
        Settings& s = f_.settings;
        Group(3, "テキスト出力", 8, 4, 368, 84);
        Bind(Check(3, "CheckBox16", "テキストをコピー（Ctrl+C でページをコピー）", 16, 22, 340), "TextCopy", &s.TextCopy,
             Effect::TextOut);
        platform::Control& feed = Check(3, "CheckBox17", "テキスト配信（ws://127.0.0.1:6677）", 16, 42, 340);
        feed.enabled = f_.plat.TextFeedAvailable();
        if (!feed.enabled) feed.hint = ToCp932("この環境ではテキスト配信を使えません");
        Bind(feed, "TextFeed", &s.TextFeed, Effect::TextOut);
        Bind(Check(3, "CheckBox20", "スクリーンリーダーに送る", 16, 62, 340), "ScreenReader", &s.ScreenReader,
             Effect::TextOut);
        Group(3, "読み上げ", 8, 96, 368, 132);
        platform::Control& voice = Check(3, "CheckBox18", "読み上げる（Y キー）", 16, 114, 340);
        voice_ = Index(voice);
        Bind(voice, "SelfVoice", &s.SelfVoice, Effect::TextOut);
        Bind(Check(3, "CheckBox19", "ボイスのある台詞も読み上げる", 16, 134, 340), "SpeakVoiced", &s.SpeakVoiced,
             Effect::TextOut);
        Label(3, "速度", 24, 166, 56);
        platform::Control& rate = Slider(3, "TrackBar10", "速度", -100, 84, 160, 164, 26, false);
        rate.maximum = 100;
        Bind(rate, "SpeechRate", &s.SpeechRate, Effect::TextOut);
        Label(3, "音量", 24, 198, 56);
        Bind(Slider(3, "TrackBar11", "音量", kVolumeMin, 84, 192, 164, 26, false), "SpeechVol", &s.SpeechVol,
             Effect::TextOut);
    }

    void BuildCopyrightPage() {
        Label(4, "本製品は以下の技術及び著作物を利用しております", 8, 8, 368);
        int top = 30;
        for (const std::string& notice : LibraryNotices()) {
            // One label a line, broken between words; the lines after the first indented.
            std::string rest = notice;
            for (bool first = true; !rest.empty(); first = false) {
                size_t cut = rest.size() <= kNoticeLine ? rest.size() : rest.rfind(' ', kNoticeLine);
                if (cut == std::string::npos || cut == 0) cut = std::min(rest.size(), kNoticeLine);
                Label(4, rest.substr(0, cut).c_str(), first ? 8 : 20, top, 360);
                rest.erase(0, cut);
                while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
                top += 13;
            }
            top += 5;
        }
    }

    // The game controller's buttons and what each does; the rumble switch.
    void BuildPadPage() {
        Group(5, "ボタンの割り当て", 8, 4, 368, 234);
        for (int i = 0; i < kPadButtons; ++i) {
            const PadButton b = static_cast<PadButton>(i);
            Label(5, PadButtonName(b), 20, 22 + 17 * i, 60);
            padRows_[i] = Index(Label(5, "", 84, 22 + 17 * i, 284));
        }
        padReset_ = Index(On(5, Add(ControlKind::Button, "Button4", ToCp932("初期設定に戻す"), 256, 210, 112, 23)));
        Bind(Check(5, "CheckBox20", "振動する", 8, 244, 200), "PadRumble", nullptr, Effect::StoredOnly);
    }

    void FillPadMapping() {
        const PadMapping m = ReadPadMapping(f_.plat.settings(), Key(), Section());
        for (int i = 0; i < kPadButtons; ++i) controls[padRows_[i]].caption = PadActionCaption(m.action[i]);
    }

    void ResetPad() {
        ResetPadMapping(f_.plat.settings(), Key(), Section());
        FillPadMapping();
    }

    void ShowValue(platform::Control& c, int32_t v, bool negated) {
        switch (c.kind) {
            case ControlKind::CheckBox: c.value = v != 0; break;
            case ControlKind::RadioGroup:
                // A stored number past the choices selects the last one.
                c.value = v < 0 ? -1 : std::min<int32_t>(v, static_cast<int32_t>(c.choices.size()) - 1);
                break;
            case ControlKind::Slider: c.value = Clamp(negated ? -v : v, c.minimum, c.maximum); break;
            case ControlKind::SpinBox: c.value = Clamp(v, c.minimum, c.maximum); break;
            default: break;
        }
    }

    void FillPreview() {
        const Settings& s = f_.settings;
        const uint32_t colour = static_cast<uint32_t>(Clamp(s.TXBG_R, 0, 255)) |
                                static_cast<uint32_t>(Clamp(s.TXBG_G, 0, 255)) << 8 |
                                static_cast<uint32_t>(Clamp(s.TXBG_B, 0, 255)) << 16;
        FillPicture(controls[preview_].picture, colour);
    }

    void FillFontList() {
        platform::Control& c = controls[font_];
        const std::string current = ReadSettingText(f_, "FontName", f_.settings.FontName);
        c.choices = SettingsFontNames(InstalledFontFamilies());
        c.value = -1;
        for (size_t i = 0; i < c.choices.size(); ++i)
            if (c.choices[i] == current) c.value = static_cast<int>(i);
        // A Windows face that is not installed is drawn with its stand-in:
        // the list shows the stand-in chosen, not an empty field.
        ResolvedFace face;
        if (c.value < 0 && ResolveFace(ToUtf8(current), false, face))
            for (const std::string& alias : FamilyNames(face.family)) {
                std::string stand;
                if (c.value >= 0 || !Utf8ToCp932(alias, stand)) continue;
                for (size_t i = 0; i < c.choices.size(); ++i)
                    if (c.choices[i] == stand) c.value = static_cast<int>(i);
            }
        // The face named even when it is not installed (a Windows name the
        // glyph service maps), as an editable combo box shows it.
        c.text = current;
        std::string list;
        for (const std::string& n : c.choices) list += (list.empty() ? "" : " | ") + TraceText(n);
        Trace("dialog %s: %s fonts: %s", name.c_str(), c.name.c_str(), list.c_str());
    }

    void DisplayChanged() { f_.ui.DisplayChanged = true; }

    void Changed(int i) {
        platform::Control& c = controls[i];
        if (i == master_) {
            // The overall volume lives only as long as the run.
            SetMasterVolume(f_, c.value);
            return;
        }
        if (i == font_) {
            if (c.value < 0 || c.value >= static_cast<int>(c.choices.size())) return;
            f_.settings.FontName = c.choices[c.value];
            c.text = f_.settings.FontName;
            f_.plat.settings().WriteString(Key(), Section(), "FontName", f_.settings.FontName);
            Trace("settings: FontName = \"%s\"", TraceText(f_.settings.FontName).c_str());
            RebuildGlyphCache(f_);
            DisplayChanged();
            return;
        }
        auto b = std::find_if(bindings_.begin(), bindings_.end(), [&](const Binding& x) { return x.control == i; });
        if (b == bindings_.end()) return;
        if (i == size_) c.value = Clamp(c.value, kFontSizeMin, kFontSizeMax);  // what was typed
        Store(*b, b->negated ? -c.value : c.value);
        switch (b->effect) {
            case Effect::StoredOnly:
            case Effect::Live: break;
            case Effect::Music: ReapplyMusic(f_); break;
            case Effect::Volume: ApplyVolumes(f_); break;
            case Effect::Font:
                RebuildGlyphCache(f_);
                DisplayChanged();
                break;
            case Effect::Tint:
                FillPreview();
                DisplayChanged();
                break;
            case Effect::Opacity: DisplayChanged(); break;
            case Effect::TextOut:
                // The player's word from now on, not the desktop's.
                if (b->live == &f_.settings.ScreenReader) f_.settings.ScreenReaderFollows = false;
                ApplyTextOut(f_);
                break;
        }
    }

    void Store(const Binding& b, int32_t v) {
        f_.plat.settings().WriteInteger(Key(), Section(), b.value, v);
        if (b.live) *b.live = v;
        Trace("settings: %s = %d", b.value, v);
    }

    // "Default": the window colour and the normal window's opacity from the
    // configuration; the novel-mode opacity stays.
    void Button3Click() {
        const ConfigValues& cfg = f_.config;
        const int32_t values[4] = {cfg.TXW_COLOR_R, cfg.TXW_COLOR_G, cfg.TXW_COLOR_B, cfg.TXW_ALPHA};
        platform::SettingsBatch batch(f_.plat.settings());
        for (int k = 0; k < 4; ++k) {
            auto b = std::find_if(bindings_.begin(), bindings_.end(),
                                  [&](const Binding& x) { return x.control == tint_[k]; });
            Store(*b, values[k]);
            ShowValue(controls[tint_[k]], values[k], true);
        }
        FillPreview();
        DisplayChanged();
    }

    TForm1& f_;
    std::vector<Binding> bindings_;
    int labels_ = 0, groups_ = 0;
    int close_ = -1, master_ = -1, voice_ = -1, sample_ = -1, font_ = -1, size_ = -1, preview_ = -1, default_ = -1;
    int padRows_[kPadButtons] = {}, padReset_ = -1;
    int tint_[4] = {-1, -1, -1, -1};
};

// The background and sprites again from their names, shown at once: the
// window over them is the newly tinted one.
void ReloadScene(TForm1& f) {
    GfxState& g = f.gfx;
    const std::string& bg = g.backgroundName;
    if (!bg.empty() && (bg[0] == 'S' || bg[0] == 's')) {
        if (g.background.Empty()) g.background.Resize(kScreenWidth, kScreenHeight);
        FillPicture(g.background, ColourFromName(bg.c_str()));
    } else if (!bg.empty() && !LoadPicture(f, bg, g.background)) {
        Trace("settings: background %s not found", TraceText(bg).c_str());
    }
    SetSprites(f, g.spriteList);
    Redraw(f, 0);
}

// Where the window stands now: 0 window, 1 full screen, 2 borderless.
int ShownScreenMode(const TForm1& f) {
    if (f.ui.FullScreenActive) return 1;
    return f.app.fullScreen ? 2 : 0;
}

void PauseAndPump(TForm1& f) {
    f.plat.clock().Sleep(100);
    f.plat.ProcessMessages();
}

}  // namespace

std::vector<std::string> SettingsFontNames(const std::vector<std::string>& families) {
    std::vector<std::string> out;
    for (const std::string& n : families) {
        if (n.empty() || n[0] == '@') continue;  // the vertical-writing faces
        if (std::all_of(n.begin(), n.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) continue;
        // A name with no Shift-JIS form cannot be kept as FontName.
        std::string cp932;
        if (!Utf8ToCp932(n, cp932)) continue;
        out.push_back(cp932);
    }
    return out;
}

void ShowSettingsDialog(TForm1& f) {
    SettingsForm form(f);
    // While the dialog has the focus music may start and the voice sample
    // plays; other sounds wait for the game window.
    struct FocusedDialog {
        AudioState& a;
        SoundDialog before;
        ~FocusedDialog() { a.activeDialog = before; }
    } focused{f.audio, f.audio.activeDialog};
    f.audio.activeDialog = SoundDialog::Settings;
    platform::ShowModalForm(f.plat, form);
    f.ui.SettingsPage = form.page;
}

void ApplySettings(TForm1& f) {
    platform::SettingsStore& reg = f.plat.settings();
    const std::string& key = f.config.MAKER_REG;
    const std::string& sec = f.config.GAME_ID;
    Settings& s = f.settings;
    const bool wasBusy = f.flags.busy;
    if (f.ui.DisplayChanged) {
        BuildWindowPictures(f);
        f.text.windowValid = false;
        BuildWindowBackground(f);
        // The message font follows FontName and FONTBold through the glyph
        // font's request; the cache is filled from the new face.
        RebuildGlyphCache(f);
        if (f.app.playMode == 0 && f.ui.choiceKind == kChoiceNone && f.ui.promptKind == kPromptNone) ReloadScene(f);
    }
    s.Delay = ReadSetting(f, "Delay", 0);
    f.app.typewriter = s.Delay == 0;
    s.GMode = ReadSetting(f, "GMode", 0);
    s.SMode = ReadSetting(f, "SMode", 0);
    // As at start-up: a screen too narrow for the window gets the borderless one.
    int mode = s.SMode;
    if (mode == 0 && f.plat.window().ScreenWidth() <= 600) mode = 2;
    f.app.screenMode = mode;
    const int shown = ShownScreenMode(f);
    if (shown != mode) {
        Trace("settings: screen mode %d -> %d", shown, mode);
        f.flags.busy = true;
        if (shown != 0) {
            PauseAndPump(f);
            LeaveFullScreen(f);
        }
        if (mode != 0) {
            EnterFullScreen(f);
            PauseAndPump(f);
        }
        // The requested mode stays asked for, also when the desktop refused it.
        reg.WriteInteger(key, sec, "SMode", s.SMode);
    }
    f.flags.busy = wasBusy;
}

}  // namespace velmora
