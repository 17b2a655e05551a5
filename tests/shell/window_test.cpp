// The Qt window, offscreen: geometry, the tool bar, the paint box, the
// close question, and the single-instance lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "app/engine.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "platform/qt/qt_platform.h"
#include "shell/shell_support.h"
#include "support/test_game.h"
#include "ui/input.h"

using namespace velmora;

using test::WindowGame;

TEST(Shell, MainWindowGeometryToolBarAndTitle) {
    WindowGame g("x\n");
    platform::QtPlatform& plat = g.plat;
    TForm1& f = g.f;
    platform::MainWindow& w = plat.mainWindow();
    EXPECT_EQ(w.width(), 800);
    EXPECT_EQ(w.height(), 624);
    EXPECT_EQ(w.windowTitle().toStdString(), "窓のテスト");
    EXPECT_EQ(w.Panel1->geometry(), QRect(0, 0, 800, 21));
    EXPECT_EQ(w.PB->geometry(), QRect(0, 24, 800, 600));
    // The tool bar, left to right.
    std::vector<std::pair<int, std::string>> seen;
    for (QPushButton* b : w.Panel1->findChildren<QPushButton*>()) seen.emplace_back(b->x(), b->text().toStdString());
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].second, "終了");
    EXPECT_EQ(seen[1].second, "ロード(L)");
    EXPECT_EQ(seen[2].second, "セーブ(S)");
    EXPECT_EQ(seen[3].second, "設定(C)");
    // Saving and loading are not offered until the script allows them.
    EXPECT_FALSE(w.buttons[kButtonSave]->isEnabled());
    // What the engine copies to PB is what the window shows.
    Picture red;
    red.Resize(10, 10);
    for (size_t i = 2; i < red.bytes.size(); i += 3) red.bytes[i] = 255;
    plat.Blit(red, 0, 0, 10, 10, 795, 595);  // clipped at the corner
    Picture back;
    plat.ReadBack(back);
    EXPECT_EQ(back.Pixel(799, 599)[2], 255);
    EXPECT_EQ(back.Pixel(799, 599)[0], 0);
    EXPECT_EQ(back.Pixel(794, 599)[2], 0);
    // The first idle pass loads "main".
    plat.IdlePass();
    EXPECT_TRUE(f.stepper.ScriptRunning);
}

namespace {

// Idle passes with the window's own events, until the game waits for a
// click with V001 at the value it should have there.
void PlayToWait(platform::QtPlatform& plat, TForm1& f, int v1) {
    for (int i = 0; i < 2000 && (f.stepper.PendingWait == 0 || f.vars.V[1] != v1); ++i) {
        QApplication::processEvents();
        plat.IdlePass();
    }
}

void Key(QWidget* w, Qt::Key key, const char* text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString::fromLatin1(text));
    QApplication::sendEvent(w, &release);
}

void Press(QWidget* pb, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, pb->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pb, &move);
    QMouseEvent down(QEvent::MouseButtonPress, at, pb->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(pb, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, at, pb->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(pb, &up);
}

}  // namespace

TEST(Shell, QuickSaveInTheWindowAndLoadFromTheToolBar) {
    WindowGame g("!S000=0\n!V001=5\n一ページ目\n\\\n!V001=6\n二ページ目\n\\\n三ページ目\n\\\n");
    platform::QtPlatform& plat = g.plat;
    TForm1& f = g.f;
    const std::string gameDir = g.game.path();
    platform::MainWindow& w = plat.mainWindow();
    PlayToWait(plat, f, 5);
    ASSERT_EQ(f.stepper.PendingWait, 1);
    const int32_t readPos = f.stepper.readPos;
    Key(&w, Qt::Key_Q, "q");
    EXPECT_TRUE(std::filesystem::exists(gameDir + "/save/save99.dat"));

    Press(w.PB, QPoint(400, 300));
    PlayToWait(plat, f, 6);
    ASSERT_EQ(f.vars.V[1], 6);
    // The tool bar's load button opens the load dialog; a double click on the
    // quick save's row (the last) loads it and closes the dialog.
    ASSERT_TRUE(w.buttons[kButtonLoad]->isEnabled());
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QTableWidget*>("ListView1");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->rowCount(), 99);
        shown = true;
        list->scrollToItem(list->item(98, 0));
        const QPoint at = list->visualItemRect(list->item(98, 0)).center();
        QWidget* rows = list->viewport();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent e(type, at, rows->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(rows, &e);
        }
        if (dialog->isVisible()) dialog->hide();  // the load failed: do not hang
    });
    w.buttons[kButtonLoad]->click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(f.vars.V[1], 5);
    EXPECT_EQ(f.stepper.readPos, readPos);
}

TEST(Shell, OneWindowPerGameAndAStaleLockDoesNotBlock) {
    int fd = -1;
    ASSERT_TRUE(platform::AcquireInstanceLock("VELMORATEST", fd));
    int fd2 = -1;
    EXPECT_FALSE(platform::AcquireInstanceLock("VELMORATEST", fd2));  // held, even within one process
    ::close(fd);
    EXPECT_TRUE(platform::AcquireInstanceLock("VELMORATEST", fd2));  // the file stays, the lock is gone
    ::close(fd2);

    // Real copies of the engine: a second start of the same game asks the
    // first window to the front and ends; another game starts beside it.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string exe = VELMORA_EXE;
    test::TempDir dir;
    const std::string game = test::CopyDemo(dir);  // the built demo stays as it was built
    test::TestGame other;
    other.Script("_config", "TITLE:別のゲーム\nGAME_ID:another\n").Script("main", "x\n\\\n");
    other.Build();
    int firstStatus = -1;
    const std::string firstLog = dir.File("first.log");
    std::thread first([&] {
        firstStatus = std::system((exe + " --trace " + firstLog + " --quit-after 5000 " + game + " >/dev/null 2>&1").c_str());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string out;
    EXPECT_EQ(test::RunVelmora(game, &out), 1) << out;
    EXPECT_NE(out.find(game + " is already open; its window was brought to the front"), std::string::npos) << out;
    // The same folder written another way is the same game.
    EXPECT_EQ(test::RunVelmora(game + "/", &out), 1) << out;
    EXPECT_NE(out.find("is already open"), std::string::npos) << out;
    EXPECT_EQ(test::RunVelmora("--quit-after 500 " + other.path(), &out), 0) << out;
    first.join();
    EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
    std::vector<uint8_t> log;
    ASSERT_TRUE(ReadWholeFile(firstLog, log));
    EXPECT_NE(std::string(log.begin(), log.end()).find("window brought to the front"), std::string::npos);
}

TEST(Shell, TheRightClickMenuOpensEveryTimeAndTheClickThatClosesItDoesNothingElse) {
    WindowGame g("!S028=1\n一ページ目\n\\\n二ページ目\n\\\n");
    platform::QtPlatform& plat = g.plat;
    TForm1& f = g.f;
    platform::MainWindow& w = plat.mainWindow();
    PlayToWait(plat, f, 0);
    ASSERT_EQ(f.stepper.PendingWait, 1);
    const int32_t readPos = f.stepper.readPos;
    // Through the window, as the desktop delivers it: the menu has the pointer grabbed.
    auto sendToWindow = [&](QEvent::Type type, Qt::MouseButton button, QPoint onPb) {
        const QPoint at = w.PB->mapTo(&w, onPb);
        QMouseEvent e(type, at, at, w.mapToGlobal(at), button,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.windowHandle(), &e);
    };
    int opened = 0;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* menu = QApplication::activePopupWidget();
        if (!menu) return;
        ++opened;
        if (opened != 2) {
            Key(menu, Qt::Key_Escape, "\x1b");
        } else {
            // Well away from the menu, which opens beside the pointer's last place.
            const QPoint away = w.PB->mapFrom(&w, w.mapFromGlobal(menu->geometry().bottomRight() + QPoint(40, 40)));
            ASSERT_TRUE(w.PB->rect().contains(away));
            sendToWindow(QEvent::MouseButtonPress, Qt::LeftButton, away);
            sendToWindow(QEvent::MouseButtonRelease, Qt::LeftButton, away);
        }
        if (QApplication::activePopupWidget() == menu) menu->close();  // do not hang
    });
    poll.start();
    for (int i = 0; i < 3; ++i) {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(400, 300), w.PB->mapToGlobal(QPointF(400, 300)), Qt::RightButton,
                          type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w.PB, &e);
        }
        for (int k = 0; k < 5; ++k) QApplication::processEvents();
    }
    poll.stop();
    EXPECT_EQ(opened, 3);  // the right clicks after Escape and after a click elsewhere opened it again
    EXPECT_FALSE(f.ui.PopupOpen);
    // The left click that closed it picked nothing and did not reach the story.
    EXPECT_FALSE(f.backlog.open);
    plat.IdlePass();
    EXPECT_EQ(f.stepper.PendingWait, 1);
    EXPECT_EQ(f.stepper.readPos, readPos);
}

TEST(Shell, TheLockNamesTheGameHoweverItsFolderIsWritten) {
    test::TestGame a, b;
    for (test::TestGame* g : {&a, &b}) {
        g->Script("_config", "TITLE:同じ\nGAME_ID:same\n").Script("main", "x\n\\\n");
        g->Build();
    }
    const std::string name = platform::InstanceName(a.path());
    EXPECT_EQ(platform::InstanceName(a.path() + "/"), name);
    EXPECT_EQ(platform::InstanceName(a.path() + "/./"), name);
    test::TempDir links;
    const std::string link = links.File("game");
    std::filesystem::create_directory_symlink(a.path(), link);
    EXPECT_EQ(platform::InstanceName(link), name);
    // Another copy with the same GAME_ID keeps its own saves: its own window.
    EXPECT_NE(platform::InstanceName(b.path()), name);
}

TEST(Shell, QuitAfterEndsTheRunWhileABoxIsOpen) {
    // The name entry box opens at once and waits for the player; the timed
    // quit must still end the run, not leave the window up with the game
    // already torn down under the box.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    test::TestGame game;
    game.Script("_config", "TITLE:Box\nGAME_ID:quitbox\n").Script("main", "*setname\n[$0]\n\\\n");
    game.Build();
    std::string out;
    EXPECT_EQ(test::RunVelmora("--quit-after 1500 " + game.path(), &out, 20), 0) << out;
    EXPECT_NE(out.find("idle passes"), std::string::npos) << out;
}

TEST(Shell, NameEntryTakesTheInputMethodsTextAndOnlyAGoodName) {
    WindowGame g("*setname\n[$0]さん\n\\\n");
    TForm1& f = g.f;
    bool shown = false;
    // Acts once the story has opened the box.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || shown) return;
        shown = true;
        EXPECT_EQ(dialog->windowTitle().toStdString(), "名前の変更");
        EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        auto* field = dialog->findChild<QLineEdit*>("Edit1");
        auto* ok = dialog->findChild<QPushButton*>("Button1");
        ASSERT_TRUE(field && ok);
        // A half-width name is refused: the field shows the name before.
        field->setFocus();
        field->selectAll();
        QInputMethodEvent latin;
        latin.setCommitString("abc");
        QApplication::sendEvent(field, &latin);
        ok->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(field->text().toStdString(), "");
        // What the input method commits arrives whole.
        field->selectAll();
        QInputMethodEvent kana;
        kana.setCommitString(QString::fromUtf8("かな"));
        QApplication::sendEvent(field, &kana);
        EXPECT_EQ(field->text().toStdString(), "かな");
        // Minimised by the window manager, it comes straight back.
        dialog->setWindowState(Qt::WindowMinimized);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        EXPECT_FALSE(dialog->isMinimized());
        EXPECT_TRUE(dialog->isVisible());
        ok->click();
        if (dialog->isVisible()) dialog->hide();
    });
    poll.start();
    for (int i = 0; i < 50 && !shown; ++i) {
        QApplication::processEvents();
        g.plat.IdlePass();
    }
    EXPECT_TRUE(shown);
    EXPECT_EQ(ToUtf8(f.vars.str[0]), "かな");
    EXPECT_EQ(ToUtf8(f.settings.PlayerName), "かな");
}

// Every game keeps its settings in a file of its own, named by its maker's
// key and its GAME_ID, or by its folder when the game names neither.
TEST(SettingsStore, TwoGamesNeverShareAFile) {
    test::ScratchConfig config;
    test::TempDir a, b;
    platform::QtSettingsStore first, second;
    first.SetGameFolder(a.path());
    second.SetGameFolder(b.path());
    first.WriteInteger("", "", "Volume", 7);
    EXPECT_EQ(second.ReadInteger("", "", "Volume", -1), -1);
    EXPECT_EQ(first.ReadInteger("", "", "volume", -1), 7);  // names ignore case, as before
    EXPECT_NE(first.FilePath("", ""), second.FilePath("", ""));

    // One maker, two games: two files under the maker's key.
    first.WriteInteger("Software\\Maker", "one", "SMode", 1);
    EXPECT_EQ(second.ReadInteger("Software\\Maker", "two", "SMode", 0), 0);
    EXPECT_EQ(second.ReadInteger("Software\\Maker", "one", "SMode", 0), 1);  // the same game from anywhere
    const QString file = first.FilePath("Software\\Maker", "one");
    EXPECT_EQ(file, QString::fromStdString(config.dir.path()) + "/velmora/Software/Maker/one.ini");
    EXPECT_TRUE(QFileInfo::exists(file));
    // A GAME_ID cannot climb out of the folder.
    EXPECT_EQ(first.FilePath("Software\\Maker", "../x"), QString::fromStdString(config.dir.path()) + "/velmora/Software/Maker/_._x.ini");
}

// The window's store rewrites its file only for a changed value, and once
// for a batch; what it holds is on disk when a write outside a batch returns.
TEST(SettingsStore, RewritesTheFileOnlyForChanges) {
    test::ScratchConfig config;
    platform::QtSettingsStore store;
    store.WriteInteger("Software\\Maker", "one", "GV00", 5);
    const QString file = store.FilePath("Software\\Maker", "one");
    const std::filesystem::path path = file.toStdString();
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(path, old);
    const auto stamp = [&] { return std::filesystem::last_write_time(path) == old ? 1000 : 0; };
    store.WriteInteger("Software\\Maker", "one", "gv00", 5);
    EXPECT_EQ(stamp(), 1000);
    {
        platform::SettingsBatch batch(store);
        store.WriteInteger("Software\\Maker", "one", "GV00", 6);
        store.WriteString("Software\\Maker", "one", "PlayerName", "abc");
        EXPECT_EQ(stamp(), 1000);
    }
    EXPECT_NE(stamp(), 1000);
    platform::QtSettingsStore other;
    EXPECT_EQ(other.ReadInteger("Software\\Maker", "one", "GV00", 0), 6);
    EXPECT_EQ(other.ReadString("Software\\Maker", "one", "PlayerName", ""), "abc");
    store.WriteInteger("Software\\Maker", "one", "GV01", 9);
    platform::QtSettingsStore third;
    EXPECT_EQ(third.ReadInteger("Software\\Maker", "one", "GV01", 0), 9);
}

// The window repaints what really changed: a picture drawn away and back
// between two passes (the click-wait icon at a page wait) costs no paint.
TEST(ShellWindow, RepaintsOnlyWhatReallyChanged) {
    WindowGame g("一行目\n\\\n");
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    platform::PaintBox& pb = *g.plat.mainWindow().PB;
    Picture red, under;
    red.Resize(24, 24);
    for (size_t i = 0; i < red.bytes.size(); i += 3) red.bytes[i + 2] = 255;
    g.plat.ProcessMessages();
    QApplication::processEvents();
    g.plat.surface().Blit(red, 0, 0, 24, 24, 700, 500);
    g.plat.ProcessMessages();
    QApplication::processEvents();
    pb.installEventFilter(&counter);

    // Erased and drawn again: the same pixels, no paint.
    Picture black;
    black.Resize(24, 24);
    g.plat.surface().Blit(black, 0, 0, 24, 24, 700, 500);
    g.plat.surface().Blit(red, 0, 0, 24, 24, 700, 500);
    g.plat.ProcessMessages();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);

    // A real change is painted, and shows.
    g.plat.surface().Blit(black, 0, 0, 24, 24, 700, 500);
    g.plat.ProcessMessages();
    QApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    const QImage shown = pb.grab().toImage();
    EXPECT_EQ(shown.pixel(710, 510) & 0xFFFFFF, 0u);
    pb.removeEventFilter(&counter);
}

// The file pickers (a game folder, a save ZIP) speak Japanese like the rest
// of the window, whatever language the desktop runs in.
TEST(Shell, QtsOwnWordsAreJapanese) {
    test::App();
    ASSERT_TRUE(platform::UseJapaneseQtWords());
    ASSERT_TRUE(platform::UseJapaneseQtWords());  // a second call changes nothing
    QFileDialog picker(nullptr, QString::fromUtf8("ゲームのフォルダを選んでください"));
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode(QFileDialog::Directory);
    QStringList captions;
    for (QPushButton* b : picker.findChildren<QPushButton*>()) captions << b->text();
    EXPECT_TRUE(captions.contains(QString::fromUtf8("キャンセル"))) << captions.join(", ").toStdString();
}
