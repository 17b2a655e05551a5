// The desktop window's save transfer: the right-click menu's two items go
// through Qt's file dialogs, and a message box says what happened.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/engine.h"
#include "data/file_io.h"
#include "save/slots.h"
#include "save/zip_file.h"
#include "shell/shell_support.h"
#include "ui/input.h"

using namespace velmora;

namespace {

// Steps that answer the window's menus and dialogs in turn, each tried
// every 30 ms until it has done its part.
class Answers {
public:
    explicit Answers(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (next_ < steps_.size() && steps_[next_]()) ++next_;
            if (next_ == steps_.size() || ++ticks_ > 300) timer_.stop();
        });
        timer_.start(30);
    }
    bool Done() const { return next_ == steps_.size(); }

private:
    std::vector<std::function<bool()>> steps_;
    size_t next_ = 0;
    int ticks_ = 0;
    QTimer timer_;
};

// Picks the right-click menu's item of that name.
std::function<bool()> PickItem(const char* name, bool* shown) {
    return [=] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        for (QAction* a : menu->actions())
            if (a->objectName() == name) {
                *shown = a->isVisible();
                menu->setActiveAction(a);
                a->trigger();
                menu->close();
                return true;
            }
        menu->close();
        return true;
    };
}

std::function<bool()> ChooseFile(const std::string& path) {
    return [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return false;
        // Into the folder first, then the name alone: the dialog reads a
        // typed name against the folder it shows.
        const QFileInfo file(QString::fromStdString(path));
        if (QFileInfo(dialog->directory().absolutePath()) != QFileInfo(file.absolutePath())) {
            dialog->setDirectory(file.absolutePath());
            return false;
        }
        // Typed as a player types it (selectFile leaves a focused name field alone).
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) return false;
        name->setText(file.fileName());
        const QStringList chosen = dialog->selectedFiles();
        if (chosen.size() != 1 || QFileInfo(chosen[0]) != file) return false;
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog keeps its own accept() protected
        return true;
    };
}

// Presses a message box's button whose text starts with `button` (the first
// button when empty), keeping its text.
std::function<bool()> AnswerBox(QString* text, const char* button = "") {
    return [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return false;
        if (text) *text = box->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text().startsWith(QString::fromUtf8(button))) {
                b->click();
                return true;
            }
        return false;
    };
}

}  // namespace

TEST(ShellSaves, TheMenuExportsAndImportsThroughTheFileDialogs) {
    test::ScratchConfig config;
    test::WindowGame g("一ページ目\n\\\n二ページ目\n\\\n");
    TForm1& f = g.f;
    ASSERT_TRUE(SaveGame(f, 2, true));
    const std::string slot = SlotPath(f, 2);
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(slot, saved));
    test::TempDir out;

    bool exportShown = false, importShown = false;
    QString exported, asked, imported;
    {
        Answers a({PickItem("N21", &exportShown), ChooseFile(out.File("saves")), AnswerBox(&exported)});
        ShowRightClickMenu(f, 100, 100);
        while (!a.Done() && QApplication::activeModalWidget()) QApplication::processEvents();
        EXPECT_TRUE(a.Done());
    }
    EXPECT_TRUE(exportShown);
    EXPECT_TRUE(exported.startsWith(QString::fromUtf8("セーブデータを書き出しました"))) << exported.toStdString();
    // The ZIP lands in the folder picked (".zip" added to a name without it).
    const QStringList zips = QDir(QString::fromStdString(out.path())).entryList({QStringLiteral("*.zip")});
    ASSERT_EQ(zips.size(), 1) << exported.toStdString();
    const std::string zip = out.File(zips[0].toStdString());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(zip, bytes));
    std::vector<ZipEntry> entries;
    std::string why;
    ASSERT_TRUE(ReadZip(bytes.data(), bytes.size(), [](const std::string&) { return 1LL << 20; }, 200, entries, why));

    ASSERT_EQ(std::remove(slot.c_str()), 0);
    {
        Answers a({PickItem("N22", &importShown), AnswerBox(&asked, "ZIP"), ChooseFile(zip), AnswerBox(&imported)});
        ShowRightClickMenu(f, 100, 100);
        while (!a.Done() && QApplication::activeModalWidget()) QApplication::processEvents();
        EXPECT_TRUE(a.Done());
    }
    EXPECT_TRUE(importShown);
    EXPECT_TRUE(imported.startsWith(QString::fromUtf8("セーブデータを読み込みました"))) << imported.toStdString();
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(slot, back));
    EXPECT_EQ(back, saved);
    EXPECT_TRUE(LoadGame(f, 2, true));
}
