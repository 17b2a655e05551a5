// What the player reads in the engine's dialogs: every caption whole, inside
// its frame, at whatever scale the desktop runs (the suite runs these once
// more with QT_SCALE_FACTOR=2). With VELMORA_SHOTS=DIR each page is also
// written there as a PNG to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/engine.h"
#include "data/encoding.h"
#include "extras/recollection.h"
#include "shell_support.h"
#include "save/slots.h"
#include "ui/input.h"

namespace velmora {

namespace {

void Shot(QWidget* w, const std::string& name) {
    const char* dir = std::getenv("VELMORA_SHOTS");
    if (!dir || !*dir) return;
    const QString scale = QString::fromLatin1(qgetenv("QT_SCALE_FACTOR"));
    w->grab().save(QString::fromUtf8(dir) + "/" + QString::fromStdString(name) + (scale.isEmpty() ? "" : "@" + scale) +
                   ".png");
}

QString TextOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->pixmap().isNull() ? l->text() : QString();
    return {};
}

// Every caption under `root` that the player can see is whole: its widget
// is as large as the text needs, lies inside its parent, and no two
// choices of one group cover each other.
void ExpectWhole(QWidget* root, const std::string& where) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root)) continue;
        const std::string name = where + " " + w->objectName().toStdString();
        if (auto* box = qobject_cast<QGroupBox*>(w)) {
            const int title = box->fontMetrics().horizontalAdvance(box->title());
            EXPECT_GE(box->width(), title + 8) << name << " \"" << box->title().toStdString() << "\"";
            QRect previous;
            for (QRadioButton* r : box->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
                if (!r->isVisibleTo(root)) continue;
                EXPECT_TRUE(box->contentsRect().contains(r->geometry()))
                    << name << " " << r->text().toStdString() << " sticks out of its group";
                EXPECT_FALSE(r->geometry().intersects(previous)) << name << " " << r->text().toStdString();
                previous = r->geometry();
            }
        }
        const QString text = TextOf(w);
        if (text.isEmpty()) continue;
        // A wrapped text may take the lines its width gives it.
        auto* label = qobject_cast<QLabel*>(w);
        if (label && label->wordWrap()) {
            EXPECT_GE(w->height(), label->heightForWidth(w->width())) << name << " \"" << text.toStdString() << "\" is cut";
        } else {
            // A button's hint holds the style's minimum width too: its text is what counts.
            const int need = qobject_cast<QPushButton*>(w)
                                 ? w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 8
                                 : w->sizeHint().width();
            EXPECT_GE(w->width(), need) << name << " \"" << text.toStdString() << "\" is cut";
        }
        EXPECT_GE(w->height(), w->fontMetrics().height()) << name << " \"" << text.toStdString() << "\" is cut";
        if (QWidget* parent = w->parentWidget()) {
            EXPECT_TRUE(parent->rect().contains(w->geometry()))
                << name << " \"" << text.toStdString() << "\" sticks out of " << parent->objectName().toStdString();
        }
    }
}

// Opens a form through `open` and hands it to `look` while it is up.
void WithDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& look) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        seen = true;
        look(d);
        if (auto* close = d->findChild<QPushButton*>("Button2")) close->click();
        if (d->isVisible()) d->hide();
    });
    open();
    EXPECT_TRUE(seen);
}

}  // namespace

TEST(ShellLook, EveryCaptionOfTheSettingsDialogIsWhole) {
    test::ScratchConfig config;
    test::WindowGame g("一行目\n\\\n");
    WithDialog([&] { g.f.SpeedButton2Click(); },
               [&](QDialog* d) {
                   auto* tabs = d->findChild<QTabWidget*>();
                   ASSERT_NE(tabs, nullptr);
                   EXPECT_LE(tabs->tabBar()->sizeHint().width(), tabs->width()) << "the tab captions are squeezed";
                   for (int i = 0; i < tabs->count(); ++i) {
                       tabs->setCurrentIndex(i);
                       QApplication::processEvents();
                       ExpectWhole(tabs->widget(i), tabs->tabText(i).toStdString());
                       Shot(d, "settings-" + std::to_string(i + 1));
                   }
                   ExpectWhole(d, "settings");
               });
}

TEST(ShellLook, TheSaveDialogShowsItsColumnsWholeAndACutCommentOnHover) {
    test::ScratchConfig config;
    test::WindowGame g("!S000=0\n*title 第一章　はじまりの部屋で待つもの\n一行目\n\\\n");
    for (int i = 0; i < 500 && g.f.stepper.PendingWait == 0; ++i) {
        QApplication::processEvents();
        g.plat.IdlePass();
    }
    ASSERT_TRUE(SaveGame(g.f, 3, true));
    const std::string comment = "ここで保存しておくと安心できる場所";
    ASSERT_TRUE(SetSlotComment(g.f, 3, ToCp932(comment)));
    WithDialog([&] { OpenSaveLoadDialog(g.f, 1); },
               [&](QDialog* d) {
                   ExpectWhole(d, "save");
                   auto* list = d->findChild<QTableWidget*>("ListView1");
                   ASSERT_NE(list, nullptr);
                   QApplication::processEvents();
                   // The slot and the date are shown whole, and every column fits the list.
                   const QFontMetrics fm = list->fontMetrics();
                   for (int column : {0, 1})
                       EXPECT_GE(list->columnWidth(column), fm.horizontalAdvance(list->item(2, column)->text()) + 8)
                           << list->item(2, column)->text().toStdString();
                   int total = 0;
                   for (int j = 0; j < list->columnCount(); ++j) total += list->columnWidth(j);
                   EXPECT_LE(total, list->viewport()->width());
                   // The pointer on a comment cut short shows all of it.
                   list->scrollToTop();
                   const QRect cell = list->visualItemRect(list->item(2, 3));
                   QString cut = list->item(2, 3)->text();
                   if (fm.horizontalAdvance(cut) + 12 > list->columnWidth(3)) {
                       QMouseEvent move(QEvent::MouseMove, cell.center(), list->viewport()->mapToGlobal(cell.center()),
                                        Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                       QApplication::sendEvent(list->viewport(), &move);
                       auto* tip = d->findChild<QLabel*>("RowPicture");
                       ASSERT_NE(tip, nullptr);
                       EXPECT_TRUE(tip->isVisible());
                       EXPECT_GT(tip->width(), fm.horizontalAdvance(cut));
                       Shot(tip, "save-dialog-tip");
                   }
                   Shot(d, "save-dialog");
               });
}

// The boxes the game asks and tells through, and the name box with its kana
// grid: every caption and button whole, nothing over anything else.
TEST(ShellLook, TheMessageBoxesAndTheNameBoxAreWhole) {
    test::ScratchConfig config;
    test::WindowGame g("一行目\n\\\n");
    struct Box {
        const char* name;
        const char* text;
        const char* caption;
        platform::BoxIcon icon;
        platform::BoxButtons buttons;
    } const boxes[] = {
        {"box-quit", "ゲームを終了しますか？", "確認", platform::BoxIcon::Question, platform::BoxButtons::YesNo},
        {"box-load", "セーブデータを読み込めません。", "Error!", platform::BoxIcon::Warning, platform::BoxButtons::Ok},
        {"box-char", "この文字は使えません。全角・半角の日本語と英数字で入力してください。", "名前の変更",
         platform::BoxIcon::Warning, platform::BoxButtons::Ok},
        {"box-game", "ゲームデータを読み込めません。\n/home/player/games/とても長い名前のゲームのフォルダ is not a game: "
                     "vk_data.vrk is missing",
         "Error!", platform::BoxIcon::Stop, platform::BoxButtons::OkCancel},
    };
    for (const Box& b : boxes) {
        WithDialog(
            [&] { g.plat.dialogs().MessageBox(ToCp932(b.text), ToCp932(b.caption), b.icon, b.buttons); },
            [&](QDialog* d) {
                QApplication::processEvents();
                ExpectWhole(d, b.name);
                // The buttons stand side by side, none over another.
                const QList<QPushButton*> buttons = d->findChildren<QPushButton*>();
                for (int i = 0; i < buttons.size(); ++i)
                    for (int j = i + 1; j < buttons.size(); ++j)
                        EXPECT_FALSE(buttons[i]->geometry().intersects(buttons[j]->geometry()))
                            << b.name << " " << buttons[i]->text().toStdString() << " / "
                            << buttons[j]->text().toStdString();
                Shot(d, b.name);
            });
    }

    bool gridSeen = false;
    WithDialog([&] { ShowNameEntry(g.f); },
               [&](QDialog* d) {
                   QApplication::processEvents();
                   ExpectWhole(d, "name");
                   Shot(d, "name-box");
                   auto* kana = d->findChild<QPushButton*>("Button3");
                   ASSERT_NE(kana, nullptr);
                   // The kana grid opens over the box.
                   QTimer::singleShot(0, [&] {
                       auto* grid = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                       ASSERT_NE(grid, nullptr);
                       ASSERT_NE(grid, d);
                       gridSeen = true;
                       QApplication::processEvents();
                       ExpectWhole(grid, "kana");
                       Shot(grid, "name-kana-grid");
                       grid->hide();
                   });
                   kana->click();
               });
    EXPECT_TRUE(gridSeen);

    // The recollection's rename box, whose label runs the box's whole width.
    WithDialog([&] { ShowRecordNameDialog(g.f, 0); },
               [&](QDialog* d) {
                   QApplication::processEvents();
                   ExpectWhole(d, "record-name");
                   Shot(d, "record-name-box");
               });
}

}  // namespace velmora
