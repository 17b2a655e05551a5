// The save and load dialog TForm9: one list of the slot files with their
// save time, scene title and comment, in save mode (slots 1 ... 98) or load
// mode (1 ... 99, the quick-save slot included). Every decision about a row
// is made from its texts, as the list shows them.
#include <algorithm>
#include <memory>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "platform/forms.h"
#include "save/slot_file.h"
#include "save/slots.h"

namespace velmora {

using platform::ActionKind;
using platform::ControlKind;
using platform::FormAction;

namespace {

constexpr int kSlotListRows[2] = {99, 98};  // load, save: slot 99 is the quick save's own

// Row texts: an empty slot, and a slot whose file is there but cannot be
// what a save wrote (it cannot be loaded, but it can be deleted or saved over).
const std::string& EmptyText() {
    static const std::string s = ToCp932(" 未登録");
    return s;
}
const std::string& DamagedText() {
    static const std::string s = ToCp932(" 破損データ");
    return s;
}

// The library's case-ignoring text order: bytes by value with a ... z taken
// as A ... Z, a prefix before the longer text.
int CompareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(AsciiUpper(a[i]));
        unsigned char y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::string TextField(const uint8_t* p, size_t from, size_t to) {
    size_t k = from;
    while (k < to && p[k] != 0) ++k;
    return std::string(reinterpret_cast<const char*>(p) + from, k - from);
}

class SaveLoadForm : public platform::Form {
public:
    SaveLoadForm(TForm1& f, int mode) : f_(f), save_(mode != 0) {
        name = "TForm9";
        clientWidth = 490;
        clientHeight = 410;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        fontPixels = 12;
        flushKeysOnShow = true;
        label_ = Index(Add(ControlKind::Label, "Label1", "", 8, 8, 70, 12));
        platform::Control& list = Add(ControlKind::List, "ListView1", "", 8, 24, 465, 313);
        list.columns = {{ToCp932("スロット"), 55},
                        {ToCp932("更新日時"), 120},
                        {ToCp932("詳細"), 150, true},
                        {ToCp932("ユーザーコメント"), 120, true}};
        list_ = Index(list);
        comment_ = Index(Add(ControlKind::Button, "Button3", ToCp932("コメント登録(最大全角15文字)"), 8, 344, 177, 25));
        edit_ = Index(Add(ControlKind::Edit, "Edit1", "", 8, 376, 177, 20));
        delete_ = Index(Add(ControlKind::Button, "Button2", ToCp932("削除"), 192, 368, 65, 25));
        close_ = Index(Add(ControlKind::Button, "Button4", ToCp932("閉じる"), 288, 352, 75, 41));
        go_ = Index(Add(ControlKind::Button, "Button1", "", 384, 352, 91, 41));
    }

    void FormShow() override {
        CentreOver(f_.plat);
        const std::string title = ToCp932(save_ ? "セーブ" : "ロード");
        caption = title;
        controls[label_].caption = title;
        controls[go_].caption = title;
        controls[go_].enabled = true;
        platform::Control& list = controls[list_];
        list.rows.clear();
        // Rebuilt in slot order at every opening, whatever the sort state.
        for (int slot = 1; slot <= kSlotListRows[save_ ? 1 : 0]; ++slot) list.rows.push_back(SlotRow(slot));
        focus = list_;
        int& row = f_.save.dialogRow;
        if (row >= static_cast<int>(list.rows.size())) row = static_cast<int>(list.rows.size()) - 1;
        if (row < 0) row = 0;
        list.selected = row;
        ShowSelectedSlot();
    }

    void Act(const FormAction& a) override {
        const bool onList = a.control == list_;
        switch (a.kind) {
            case ActionKind::Click:
                if (onList) ShowSelectedSlot();
                else if (a.control == go_) Button1Click();
                else if (a.control == delete_) Button2Click();
                else if (a.control == comment_) Button3Click();
                else if (a.control == close_) Close();
                break;
            case ActionKind::DoubleClick:
                if (onList) Button1Click();
                break;
            case ActionKind::KeyUp:
                if (!onList) break;
                if (a.value == platform::VK_RETURN) Button1Click();
                else if (a.value == platform::VK_ESCAPE) Close();
                else if (a.value == platform::VK_UP || a.value == platform::VK_DOWN) ShowSelectedSlot();
                break;
            case ActionKind::KeyPress:
                if (onList && a.value == 27) Close();
                break;
            case ActionKind::KeyDown:
                // Escape leaves the dialog from the dialog and its buttons; the
                // list closes on its own key up, the comment field keeps Escape.
                if (a.value == platform::VK_ESCAPE && !onList && a.control != edit_) Close();
                break;
            case ActionKind::ColumnClick: ColumnClick(a.value); break;
            case ActionKind::Close: Close(); break;
            default: break;
        }
    }

    bool RowPicture(int control, int row, Picture& out) override {
        if (control != list_ || row < 0 || row >= static_cast<int>(controls[list_].rows.size())) return false;
        if (RowKind(row) != Occupied) return false;
        std::vector<uint8_t> bytes;
        if (!ReadFilePart(SlotPath(f_, RowSlot(row)), kSlotThumbnailOffset,
                          static_cast<size_t>(kThumbnailWidth) * kThumbnailHeight * 3, bytes))
            return false;
        out.Resize(kThumbnailWidth, kThumbnailHeight);
        std::memcpy(out.bytes.data(), bytes.data(), bytes.size());
        return true;
    }

private:
    enum Kind { Empty, Damaged, Occupied };

    int Index(platform::Control& c) { return static_cast<int>(&c - controls.data()); }

    std::vector<std::string> SlotRow(int slot) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d", slot);
        const std::string path = SlotPath(f_, slot);
        const int64_t size = FileSize(path);
        if (size < 0) return {number, EmptyText(), " ", " "};
        std::vector<uint8_t> bytes;
        auto image = std::make_unique<SlotImage>();
        std::string why = "size";
        if (size != static_cast<int64_t>(kSlotFileSize) || !ReadWholeFile(path, bytes) ||
            !DecodeSlot(bytes.data(), bytes.size(), *image) || !SlotRecordSound(*image, &why)) {
            Trace("save dialog: slot %d (%s) is damaged: %s", slot, path.c_str(), why.c_str());
            return {number, DamagedText(), ToCp932(" 読み込めません"), " "};
        }
        const uint8_t* head = bytes.data();
        return {number, TextField(head, 0, 19), TextField(head, 20, kSlotHeaderTextMax),
                TextField(head, kSlotCommentOffset, kSlotCommentOffset + kSlotCommentSize)};
    }

    Kind RowKind(int row) const {
        const std::string& date = controls[list_].rows[row][1];
        return date == EmptyText() ? Empty : date == DamagedText() ? Damaged : Occupied;
    }
    int RowSlot(int row) const { return std::atoi(controls[list_].rows[row][0].c_str()); }
    int Selected() const {
        const platform::Control& list = controls[list_];
        return list.selected >= 0 && list.selected < static_cast<int>(list.rows.size()) ? list.selected : -1;
    }

    void ShowAsEmpty(int row) {
        std::vector<std::string>& r = controls[list_].rows[row];
        r[1] = EmptyText();
        r[2] = " ";
        r[3] = " ";
    }

    void ShowSelectedSlot() {
        const int row = Selected();
        if (row < 0) return;
        f_.save.dialogRow = row;
        platform::Control& edit = controls[edit_];
        platform::Control& button = controls[comment_];
        if (RowKind(row) == Occupied) {
            std::vector<uint8_t> comment;
            if (ReadFilePart(SlotPath(f_, RowSlot(row)), kSlotCommentOffset, kSlotCommentSize, comment)) {
                button.enabled = true;
                edit.text = TextField(comment.data(), 0, kSlotCommentSize);
                Trace("save dialog: slot %d, comment \"%s\"", RowSlot(row), TraceText(edit.text).c_str());
                return;
            }
            // Removed behind the dialog's back: it is empty now.
            Trace("save dialog: slot %d is gone", RowSlot(row));
            ShowAsEmpty(row);
        }
        edit.text.clear();
        button.enabled = false;
        Trace("save dialog: slot %d, %s", RowSlot(row), RowKind(row) == Damaged ? "damaged" : "empty");
    }

    // Edit1 cut to what a slot keeps; the field shows the cut text.
    const std::string& CommentText() {
        platform::Control& edit = controls[edit_];
        edit.text = CutSlotComment(edit.text);
        return edit.text;
    }

    void Button1Click() {
        const int row = Selected();
        if (row < 0) return;
        const int slot = RowSlot(row);
        platform::Control& go = controls[go_];
        if (save_) {
            if (go.enabled) {
                go.enabled = false;
                // An occupied slot is replaced without a question; the file is
                // swapped whole, so a failed save leaves the old one.
                if (SaveGame(f_, slot, true)) SetSlotComment(f_, slot, CommentText());
                go.enabled = true;
            }
        } else {
            if (RowKind(row) != Occupied) return;  // the dialog stays open
            // Loaded once the dialog is off the screen: the load's
            // transition runs from the game window as the player sees it.
            if (go.enabled) {
                go.enabled = false;
                loadSlot = slot;
            }
        }
        Close();
    }

public:
    int loadSlot = 0;  // the slot to load after the dialog closed

private:

    void Button2Click() {
        const int row = Selected();
        if (row < 0) return;
        const int slot = RowSlot(row);
        const std::string path = SlotPath(f_, slot);
        if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
            Trace("save dialog: cannot delete %s: %s", path.c_str(), std::strerror(errno));
            f_.plat.dialogs().MessageBox(ToCp932("セーブデータを削除できませんでした。"), caption,
                                         platform::BoxIcon::Warning, platform::BoxButtons::Ok);
            return;
        }
        Trace("save dialog: slot %d deleted", slot);
        ShowAsEmpty(row);
    }

    void Button3Click() {
        const int row = Selected();
        if (row < 0 || RowKind(row) != Occupied) return;
        const std::string& text = CommentText();
        if (SetSlotComment(f_, RowSlot(row), text)) controls[list_].rows[row][3] = text;
    }

    void ColumnClick(int k) {
        SaveState& s = f_.save;
        s.sortColumn = k;
        s.lastSortedColumn = k == s.lastSortedColumn ? -1 : k;
        const bool ascending = s.lastSortedColumn != -1;
        platform::Control& list = controls[list_];
        // The selection stays on its slot, wherever the slot moves.
        const int row = Selected();
        const std::string selectedSlot = row >= 0 ? list.rows[row][0] : std::string();
        std::stable_sort(list.rows.begin(), list.rows.end(),
                         [&](const std::vector<std::string>& a, const std::vector<std::string>& b) {
                             int c = CompareText(a[k], b[k]);
                             return ascending ? c < 0 : c > 0;
                         });
        std::string order;
        for (size_t i = 0; i < list.rows.size(); ++i) {
            if (row >= 0 && list.rows[i][0] == selectedSlot) list.selected = static_cast<int>(i);
            order += (i ? " " : "") + list.rows[i][0];
        }
        Trace("save dialog: sorted by column %d %s: %s", k + 1, ascending ? "ascending" : "descending",
              order.c_str());
    }

    TForm1& f_;
    const bool save_;
    int label_ = -1, list_ = -1, comment_ = -1, edit_ = -1, delete_ = -1, close_ = -1, go_ = -1;
};

}  // namespace

void OpenSaveLoadDialog(TForm1& f, int mode) {
    f.stepper.ScriptRunning = false;
    SaveLoadForm form(f, mode);
    platform::ShowModalForm(f.plat, form);
    if (form.loadSlot > 0) LoadGame(f, form.loadSlot, true);
    // Running again whatever it was, also after a load that set it itself.
    f.stepper.ScriptRunning = true;
}

}  // namespace velmora
