// The engine's forms and menus as Qt widgets, offscreen: the widgets show the
// model, the player's clicks, keys and typing reach it once each, and only
// the model closes a form.
#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <functional>

#include "data/encoding.h"
#include "platform/forms.h"
#include "platform/input_codes.h"
#include "shell/shell_support.h"
#include "text/glyph_outline.h"

using namespace velmora;
using platform::ActionKind;
using platform::ControlKind;
using platform::FormAction;

namespace {

// A list, an edit, two buttons, a radio group, a spin box, a label, and a
// slider on the second page. The slider's value decides the label, the spin
// box and whether Button2 is enabled; radio choice 2 adds a fourth choice.
struct TestForm : platform::Form {
    std::vector<FormAction> seen;
    TestForm() {
        name = "TForm9";
        caption = ToCp932("テスト");
        clientWidth = 360, clientHeight = 260, left = 50, top = 40;
        fontFace = ToCp932("ＭＳ Ｐゴシック");
        pages = {ToCp932("一般"), ToCp932("音")};
        pagesLeft = 8, pagesTop = 150, pagesWidth = 220, pagesHeight = 100;
        platform::Control& list = Add(ControlKind::List, "ListView1", "", 8, 8, 220, 100);
        list.columns = {{ToCp932("番号"), 40}, {ToCp932("名前"), 0}};
        list.rows = {{"1", ToCp932("あ")}, {"2", ToCp932("い")}, {"3", ToCp932("う")}};
        list.selected = 0;
        Add(ControlKind::Edit, "Edit1", "", 240, 8, 110, 20).maxChars = 4;
        Add(ControlKind::Button, "Button1", ToCp932("閉じる"), 240, 40, 75, 25);
        Add(ControlKind::Button, "Button2", ToCp932("決定"), 240, 70, 75, 25).enabled = false;
        platform::Control& radios = Add(ControlKind::RadioGroup, "RadioGroup1", "", 240, 100, 110, 80);
        radios.choices = {"A", "B", "C"};
        platform::Control& spin = Add(ControlKind::SpinBox, "SpinEdit1", "", 240, 190, 60, 22);
        spin.minimum = 1, spin.maximum = 9, spin.value = 5;
        Add(ControlKind::Label, "Label1", "", 240, 220, 110, 12);
        platform::Control& slider = Add(ControlKind::Slider, "Slider1", "", 8, 8, 150, 30);
        slider.page = 1, slider.maximum = 10, slider.value = 3;
    }
    void Act(const FormAction& a) override {
        seen.push_back(a);
        const std::string& by = a.control >= 0 ? controls[a.control].name : name;
        if (a.kind == ActionKind::Click && by == "Button1") Close();
        if (a.kind == ActionKind::ColumnClick) std::reverse(controls[0].rows.begin(), controls[0].rows.end());
        if (a.kind == ActionKind::Value && by == "Slider1") {
            (*this)["Label1"].caption = ToCp932("音量(&V) ") + std::to_string(a.value);
            (*this)["Button2"].enabled = a.value > 5;
            (*this)["SpinEdit1"].value = a.value / 5;
            focus = Find("Edit1");
        }
        if (a.kind == ActionKind::Value && by == "RadioGroup1" && a.value == 2)
            (*this)["RadioGroup1"].choices.push_back("D");
    }
    bool RowPicture(int control, int row, Picture& out) override {
        if (control != 0 || controls[0].rows[row][0] != "2") return false;
        out.Resize(4, 3);
        return true;
    }
    int Count(ActionKind kind, const std::string& control) const {
        const int i = control.empty() ? -1 : Find(control);
        return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const FormAction& a) {
            return a.kind == kind && a.control == i;
        }));
    }
};

// Runs `drive` inside the form's modal loop, with the dialog active as on a
// desktop (keys go to the focused control first); a form the test failed to
// close is hidden, which ends the loop.
void RunWhileOpen(platform::QtPlatform& plat, platform::Form& form, std::function<void(QDialog&)> drive) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        driven = true;
        dialog->activateWindow();
        QApplication::processEvents();
        drive(*dialog);
        if (!form.closed) {
            ADD_FAILURE() << "the form is still open";
            dialog->hide();
        }
    });
    platform::ShowModalForm(plat, form);
    EXPECT_TRUE(driven);
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint at) {
    Mouse(w, QEvent::MouseButtonPress, at);
    Mouse(w, QEvent::MouseButtonRelease, at);
}

void Key(QWidget* w, QEvent::Type type, Qt::Key key, const QString& text = {}) {
    QKeyEvent e(type, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &e);
}

void Commit(QWidget* w, const QString& text) {
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

std::string Utf8(const QString& s) { return s.toStdString(); }

}  // namespace

TEST(Shell, FormShowsItsModelAndOnlyTheModelClosesIt) {
    test::WindowGame g("x\n");
    TestForm form;
    RunWhileOpen(g.plat, form, [&](QDialog& d) {
        EXPECT_EQ(Utf8(d.windowTitle()), "テスト");
        EXPECT_EQ(d.size(), QSize(360, 260));
        EXPECT_EQ(d.pos(), QPoint(50, 40));
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.font().pixelSize(), 12);
        const std::vector<std::string>* faces = WindowsFaceAlias("ＭＳ Ｐゴシック");
        EXPECT_NE(std::find(faces->begin(), faces->end(), Utf8(d.font().family())), faces->end());
        auto* list = d.findChild<QTableWidget*>("ListView1");
        EXPECT_EQ(list->geometry(), QRect(8, 8, 220, 100));
        EXPECT_EQ(list->columnWidth(1), 60);  // the model gives none
        auto* slider = d.findChild<QSlider*>("Slider1");
        EXPECT_EQ(slider->parentWidget(), d.findChild<QTabWidget*>()->widget(1));
        EXPECT_EQ(slider->geometry(), QRect(8, 8, 150, 30));

        // The engine waits inside the form: no idle pass meanwhile, and the
        // idle timer looks again a pass later instead of spinning (it burnt
        // half a core while a dialog was open).
        const long passes = g.plat.idlePasses;
        g.plat.IdlePass();
        EXPECT_EQ(g.plat.idlePasses, passes);
        EXPECT_GE(g.plat.mainWindow().idle.interval(), 20);

        // The frame's close button, Escape and Enter only ask the model.
        d.close();
        EXPECT_EQ(form.Count(ActionKind::Close, ""), 1);
        QWidget* focused = d.focusWidget() ? d.focusWidget() : &d;
        Key(focused, QEvent::KeyPress, Qt::Key_Escape, "\x1b");
        Key(focused, QEvent::KeyPress, Qt::Key_Return, "\r");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(form.Count(ActionKind::Click, "Button1"), 0);  // Enter pressed no button
        Click(d.findChild<QPushButton*>("Button1"), QPoint(5, 5));
    });
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const long passes = g.plat.idlePasses;
    g.plat.IdlePass();
    EXPECT_EQ(g.plat.idlePasses, passes + 1);
    EXPECT_EQ(g.plat.mainWindow().idle.interval(), 0);  // the passes keep their pace
}

TEST(Shell, FormListReportsClicksKeysAndColumnsAndShowsRowPictures) {
    test::WindowGame g("x\n");
    TestForm form;
    RunWhileOpen(g.plat, form, [&](QDialog& d) {
        auto* list = d.findChild<QTableWidget*>("ListView1");
        QWidget* rows = list->viewport();
        auto rowAt = [&](int r) { return list->visualRect(list->model()->index(r, 1)).center(); };
        // A press on a row is its click, not also a selection.
        Click(rows, rowAt(2));
        EXPECT_EQ(form.controls[0].selected, 2);
        EXPECT_EQ(form.Count(ActionKind::Click, "ListView1"), 1);
        EXPECT_EQ(form.Count(ActionKind::Select, "ListView1"), 0);
        Mouse(rows, QEvent::MouseButtonDblClick, rowAt(2));
        Mouse(rows, QEvent::MouseButtonRelease, rowAt(2));
        EXPECT_EQ(form.Count(ActionKind::DoubleClick, "ListView1"), 1);

        // A key: once as a key, then the row the list itself moved to.
        list->setFocus();
        form.seen.clear();
        Key(list, QEvent::KeyPress, Qt::Key_Up);
        Key(list, QEvent::KeyRelease, Qt::Key_Up);
        Key(list, QEvent::KeyPress, Qt::Key_A, "a");
        ASSERT_EQ(form.seen.size(), 5u);
        EXPECT_EQ(form.seen[0].kind, ActionKind::KeyDown);
        EXPECT_EQ(form.seen[0].value, platform::VK_UP);
        EXPECT_EQ(form.seen[1].kind, ActionKind::Select);
        EXPECT_EQ(form.seen[1].value, 1);
        EXPECT_EQ(form.seen[2].kind, ActionKind::KeyUp);
        EXPECT_EQ(form.seen[3].value, 'A');
        EXPECT_EQ(form.seen[4].kind, ActionKind::KeyPress);
        EXPECT_EQ(form.seen[4].value, 'a');

        // The model sorts on a header click; the list shows the new order.
        QHeaderView* header = list->horizontalHeader();
        Click(header->viewport(), QPoint(5, header->height() / 2));
        EXPECT_EQ(Utf8(list->item(0, 1)->text()), "う");
        EXPECT_EQ(list->currentRow(), form.controls[0].selected);
        EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);

        auto* tip = d.findChild<QLabel*>("RowPicture");
        Mouse(rows, QEvent::MouseMove, rowAt(1));  // the row "2"
        EXPECT_TRUE(tip->isVisible());
        EXPECT_EQ(tip->pixmap().size(), QSize(4, 3));
        Mouse(rows, QEvent::MouseMove, rowAt(0));
        EXPECT_FALSE(tip->isVisible());
        Mouse(rows, QEvent::MouseMove, rowAt(1));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(rows, &leave);
        EXPECT_FALSE(tip->isVisible());
        d.findChild<QPushButton*>("Button1")->click();
    });
}

TEST(Shell, FormTakesComposedTextAndItsControlsFollowTheModel) {
    test::WindowGame g("x\n");
    TestForm form;
    RunWhileOpen(g.plat, form, [&](QDialog& d) {
        auto* line = d.findChild<QLineEdit*>("Edit1");
        line->setFocus();
        Commit(line, QString::fromUtf8("かな"));
        EXPECT_EQ(form["Edit1"].text, ToCp932("かな"));
        // A character Shift-JIS has no form for is refused with a box over
        // the form; the field shows the model's text again.
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->parentWidget(), &d);
            box->done(QMessageBox::Ok);
        });
        Commit(line, QString::fromUtf8("😀"));
        EXPECT_EQ(Utf8(line->text()), "かな");

        // Button2 takes no press until the model enables it.
        auto* go = d.findChild<QPushButton*>("Button2");
        Click(go, QPoint(5, 5));
        EXPECT_EQ(form.Count(ActionKind::Click, "Button2"), 0);
        auto* slider = d.findChild<QSlider*>("Slider1");
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(form["Slider1"].value, 10);  // clamped by the model
        EXPECT_EQ(Utf8(d.findChild<QLabel*>("Label1")->text()), "音量(V) 10");
        EXPECT_EQ(d.focusWidget(), line);
        EXPECT_EQ(d.findChild<QSpinBox*>("SpinEdit1")->value(), 2);
        EXPECT_EQ(form.Count(ActionKind::Value, "SpinEdit1"), 0);  // showing a value is no action
        Click(go, QPoint(5, 5));
        EXPECT_EQ(form.Count(ActionKind::Click, "Button2"), 1);

        // New choices replace the buttons, even from a button's own click.
        d.findChild<QRadioButton*>("RadioGroup12")->click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(d.findChild<QGroupBox*>("RadioGroup1")->findChildren<QRadioButton*>().size(), 4);
        EXPECT_TRUE(d.findChild<QRadioButton*>("RadioGroup12")->isChecked());

        // A spin box takes its keys through an inner field: still one key each.
        auto* spin = d.findChild<QSpinBox*>("SpinEdit1");
        spin->setFocus();
        spin->selectAll();
        form.seen.clear();
        Key(spin, QEvent::KeyPress, Qt::Key_8, "8");
        EXPECT_EQ(form["SpinEdit1"].value, 8);
        EXPECT_EQ(form.Count(ActionKind::KeyDown, "SpinEdit1"), 1);
        EXPECT_EQ(form.Count(ActionKind::KeyPress, "SpinEdit1"), 1);
        d.findChild<QPushButton*>("Button1")->click();
    });
}

TEST(Shell, FormWithoutSystemButtonsIgnoresItsFrameAndDropsTheKeyThatOpenedIt) {
    test::WindowGame g("x\n");
    platform::MainWindow& w = g.plat.mainWindow();
    TestForm form;
    form.systemButtons = false;
    form.topmost = true;
    form.flushKeysOnShow = true;
    // Ctrl, held when the form opens, turned skipping on.
    Key(&w, QEvent::KeyPress, Qt::Key_Control);
    ASSERT_TRUE(g.f.ui.SkipActive);
    RunWhileOpen(g.plat, form, [&](QDialog& d) {
        EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
        d.close();
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(form.Count(ActionKind::Close, ""), 0);
        d.findChild<QPushButton*>("Button1")->click();
    });
    // Its repeats and release belong to the press before the form.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, QString(), true);
    QApplication::sendEvent(&w, &repeat);
    Key(&w, QEvent::KeyRelease, Qt::Key_Control);
    EXPECT_TRUE(g.f.ui.SkipActive);
    Key(&w, QEvent::KeyPress, Qt::Key_Control);
    Key(&w, QEvent::KeyRelease, Qt::Key_Control);
    EXPECT_FALSE(g.f.ui.SkipActive);
}

TEST(Shell, PopupMenuReturnsThePickedItemOrNone) {
    test::WindowGame g("x\n");
    platform::PopupMenuModel model;
    model.name = "PopupMenu3";
    model.items = {{"SM01", ToCp932("オートプレイ")},
                   {"N3", "-"},
                   {"N5", ToCp932("クイックロード"), false},
                   {"SM02", ToCp932("メッセージスキップ"), true, true}};
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shown = true;
        EXPECT_EQ(menu->pos(), QPoint(100, 80));
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 4);
        EXPECT_TRUE(actions[1]->isSeparator());
        EXPECT_TRUE(actions[3]->isChecked());
        const long passes = g.plat.idlePasses;
        g.plat.IdlePass();
        EXPECT_EQ(g.plat.idlePasses, passes);
        actions[2]->activate(QAction::Trigger);  // disabled: nothing
        actions[3]->activate(QAction::Trigger);
    });
    EXPECT_EQ(platform::ShowPopupMenu(g.plat, model, 100, 80), 3);
    EXPECT_TRUE(shown);
    QTimer::singleShot(0, [&] { g.plat.DismissPopupMenu(); });
    EXPECT_EQ(platform::ShowPopupMenu(g.plat, model, 100, 80), -1);
}
