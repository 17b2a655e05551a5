#pragma once
// Pop-up menus and modal dialogs as plain models. The subsystem that owns a
// form describes it here (controls by name, captions, geometry, state) and
// answers its actions; each platform presents the model (Qt widgets, or the
// events file of the headless runner) and reports what the player does back
// through Dispatch. The behaviour lives once, in the model.
//
// Texts in the models are CP932, like every text inside the engine; only a
// text the player types arrives as UTF-8 and is converted (and checked) here.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora::platform {

class Platform;

// ---- Pop-up menus ----

struct MenuItem {
    std::string name;     // "N9"
    std::string caption;  // CP932; "-" or separator: a separator line
    bool enabled = true;
    bool checked = false;
    bool checkable = false;  // a switch: shows its check mark also when off
    bool visible = true;
    bool separator = false;
};

struct PopupMenuModel {
    std::string name;  // "PopupMenu3"
    std::vector<MenuItem> items;
};

// Shows the menu at a screen position until the player picks an item or
// closes it; returns the picked item's index, or -1.
int ShowPopupMenu(Platform& plat, PopupMenuModel& menu, int screenX, int screenY);

// The item a `menu` command names: its caption (UTF-8) with accelerator marks
// left out begins with `what`, or `what` is "#N", the N-th visible item
// (separators not counted). -1 when none.
int FindMenuItem(const PopupMenuModel& menu, const std::string& whatUtf8);
// A caption without "(&S)", "(S)" and "&" marks, as UTF-8.
std::string PlainCaption(const std::string& cp932);

// ---- Modal dialogs ----

enum class ControlKind { Label, Button, Edit, List, CheckBox, RadioGroup, Slider, SpinBox, ComboBox, Group, Image };

struct ListColumn {
    std::string caption;  // CP932
    int width = 0;
    // Free text that may be narrowed when the list is too narrow for all
    // its columns (the whole text shows on hover); the others keep theirs.
    bool narrows = false;
};

struct Control {
    std::string name;  // "Button1"
    ControlKind kind = ControlKind::Label;
    std::string caption;  // CP932
    int left = 0, top = 0, width = 0, height = 0;
    bool enabled = true;
    bool visible = true;
    std::string hint;  // CP932; shown when the pointer rests on the control (why it is greyed)
    int page = -1;  // the tab page it sits on (its position relative to it); -1: on the form
    // Edit: the text (CP932) and the most characters it takes (0: no limit).
    std::string text;
    int maxChars = 0;
    // CheckBox 0/1; RadioGroup and ComboBox the choice (-1 none); Slider and
    // SpinBox the position.
    int value = 0;
    int minimum = 0, maximum = 0;
    bool vertical = false;
    std::vector<std::string> choices;  // RadioGroup, ComboBox (CP932)
    // List: a report list with whole-row selection.
    std::vector<ListColumn> columns;
    std::vector<std::vector<std::string>> rows;  // cells, CP932, in the order shown
    int selected = -1;
    // Image.
    Picture picture;
};

enum class ActionKind {
    Click,        // a button, a check box, a list row (value: the row)
    DoubleClick,  // a list row (value: the row)
    Select,       // the list's selection moved without a click (value: the row, -1 none)
    Text,         // an edit field's text changed (text: UTF-8)
    Value,        // a check box, radio group, slider, spin box or combo box (value)
    KeyDown,      // value: the virtual key
    KeyPress,     // value: the character
    KeyUp,        // value: the virtual key
    ColumnClick,  // value: the column
    Tab,          // value: the page
    Close,        // the frame's close button
};

struct FormAction {
    ActionKind kind = ActionKind::Click;
    int control = -1;  // index into Form::controls; -1: the form itself
    int value = 0;
    std::string text;
};

// The frame the platforms draw around a dialog's client area (the engine
// positions frames, as it does the main window).
constexpr int kDialogFrameWidth = 8;
constexpr int kDialogFrameHeight = 27;

class Form {
public:
    virtual ~Form() = default;
    std::string name;     // "TForm9"
    std::string caption;  // CP932
    int clientWidth = 0, clientHeight = 0;
    int left = 0, top = 0;  // the frame's top-left on the screen
    bool topmost = false;
    bool systemButtons = true;     // false: the frame has no close button
    bool flushKeysOnShow = false;  // pending key messages of the game window are dropped
    std::string fontFace;          // CP932, as the form names it
    int fontPixels = 12;
    // Tab pages: captions, the page control's place, the page shown.
    std::vector<std::string> pages;
    int pagesLeft = 0, pagesTop = 0, pagesWidth = 0, pagesHeight = 0;
    int page = 0;
    int focus = -1;  // the control with the keyboard focus; -1: the form
    bool closed = false;
    bool dispatching = false;  // an action's handler is running
    std::vector<Control> controls;

    Control& Add(ControlKind kind, const std::string& name, const std::string& caption, int left, int top,
                 int width, int height);
    int Find(const std::string& name) const;  // -1 when none
    Control& operator[](const std::string& name);  // the control must exist
    int OuterWidth() const { return clientWidth + kDialogFrameWidth; }
    int OuterHeight() const { return clientHeight + kDialogFrameHeight; }
    // Centres the frame over the main window and keeps it on the screen.
    void CentreOver(Platform& plat);
    void Close() { closed = true; }

    // Fills the form before it is presented.
    virtual void FormShow() {}
    // Answers one action, after the control's own part of it is applied.
    virtual void Act(const FormAction& action) = 0;
    // A picture for a list row (shown while the pointer rests on it); false: none.
    virtual bool RowPicture(int control, int row, Picture& out) {
        (void)control, (void)row, (void)out;
        return false;
    }
};

// Runs FormShow, presents the form modally and returns once it has closed.
void ShowModalForm(Platform& plat, Form& form);

// One action of the player: the control's own part (a row selected, a text,
// a value clamped to its range, a page shown), one trace line, then the
// form's handler. A text with characters CP932 has no form for is refused
// with a message and the field keeps its text. Actions that arrive while a
// handler runs, or for controls that are hidden or disabled, are dropped.
// Returns false when the action was dropped or refused.
bool Dispatch(Platform& plat, Form& form, FormAction action);

// A control of the open form as a `dialog` command names it: the control's
// name, or a caption that begins with `what` (UTF-8). Only controls of the
// given kinds count (empty: any). -1 when none.
int FindControl(const Form& form, const std::string& whatUtf8, std::initializer_list<ControlKind> kinds = {});

// Trace lines: the form and each control, and each row of its lists.
void TraceForm(const Form& form);

}  // namespace velmora::platform
