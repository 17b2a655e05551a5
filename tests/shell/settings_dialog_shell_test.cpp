// The settings dialog in the real window: opened from the tool bar, with
// its four tabs, the Japanese faces in the font list, and a slider moved
// by the player reaching the settings.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "shell_support.h"

namespace velmora {

TEST(ShellSettings, OpensFromTheToolBarWithItsTabsAndTheJapaneseFaces) {
    test::ScratchConfig config;
    test::WindowGame g("一行目\n\\\n");
    auto* button = g.plat.mainWindow().findChild<QPushButton*>("SpeedButton2");
    ASSERT_NE(button, nullptr);
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        driven = true;
        auto* tabs = d->findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        ASSERT_EQ(tabs->count(), 6);
        EXPECT_EQ(tabs->tabText(5).toStdString(), "コントローラー");
        EXPECT_EQ(tabs->tabText(0).toStdString(), "システム設定");
        EXPECT_EQ(tabs->tabText(3).toStdString(), "出力");
        EXPECT_EQ(tabs->currentIndex(), 4);  // the copyright page, the first time
        auto* fonts = d->findChild<QComboBox*>("ComboBox1");
        ASSERT_NE(fonts, nullptr);
        EXPECT_NE(fonts->findText(QStringLiteral("IPAゴシック")), -1);
        for (int i = 0; i < fonts->count(); ++i) EXPECT_FALSE(fonts->itemText(i).startsWith('@'));
        tabs->setCurrentIndex(2);
        auto* red = d->findChild<QSlider*>("TrackBar5");
        ASSERT_NE(red, nullptr);
        // A level: 0 at the bottom, 255 at the top, filled from the bottom.
        EXPECT_EQ(red->orientation(), Qt::Vertical);
        EXPECT_FALSE(red->invertedAppearance());
        EXPECT_EQ(red->minimum(), 0);
        EXPECT_EQ(red->maximum(), 255);
        red->setValue(200);  // as a drag does
        d->findChild<QPushButton*>("Button2")->click();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        ADD_FAILURE() << "the dialog did not close";
        if (QWidget* w = QApplication::activeModalWidget()) w->hide();
    });
    watchdog.start(10000);
    button->click();
    EXPECT_TRUE(driven);
    EXPECT_EQ(g.f.settings.TXBG_R, 200);
    EXPECT_EQ(g.f.ui.SettingsPage, 2);
    EXPECT_FALSE(g.f.flags.busy);
}

}  // namespace velmora
