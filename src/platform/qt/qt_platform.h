#pragma once
// The Qt 6 shell: the main window with its tool bar Panel1 and paint box
// PB, Timer1, idle passes, boxes and the QSettings store.
#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QWidget>
#include <map>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/windowed.h"
#include "platform/qt/picture_fit.h"

namespace velmora {
class TForm1;
}

namespace velmora::platform {

class QtPlatform;
class SdlPad;
class GlView;

// Qt key to the Windows virtual key the handlers expect; 0 when none.
uint16_t VirtualKey(int qtKey);

// The paint box: shows the canvas scaled to its size, turns mouse events
// into PB events in canvas pixels.
class PaintBox : public QWidget {
public:
    PaintBox(QtPlatform& plat, QWidget* parent);
    QImage canvas;  // 800 x 600, blue-green-red bytes
    int scaleMode = kScaleSmooth;

    // Where the canvas stands in this widget, in device pixels.
    PictureFit Fit() const;
    // A widget position in canvas pixels, and a canvas pixel's centre in the widget.
    QPoint ToCanvas(QPointF widget) const;
    QPointF FromCanvas(QPoint canvasPixel) const;
    // The canvas changed in r; shown at the next Present().
    void CanvasChanged(QRect r);
    // Copies the w x h rectangle at (sx, sy) of src to (dx, dy) of the
    // canvas, clipped to both, and notes the change.
    void Draw(const Picture& src, int sx, int sy, int w, int h, int dx, int dy);
    // Fills the canvas with one colour (red in the low byte).
    void Fill(uint32_t colour);
    // Repaints what really changed since the last present. The idle pass,
    // the timer, the message pump and Update() call it. On the GPU, frames
    // closer together than the display's refresh are shown as one.
    void Present();
    // Present() on the GPU; on the CPU path what changed, painted at once.
    void PresentNow();
    // What changed, painted now on either path, whatever the refresh.
    void Repaint();
    // The GPU surface, or null where the CPU paints (no OpenGL context).
    GlView* gpu() const { return gl_; }
    // Back to the CPU path for good (the GPU could not draw).
    void DropGpu();
    // Called once, from the event loop, after the first frame is on screen.
    std::function<void()> firstFramePainted;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QSize DeviceArea() const;
    // Copies the stale canvas pixels into shown_; the box of those that changed.
    QRect TakeStale();
    QRect WidgetRectOf(QRect canvasRect) const;
    void NoteFirstFrame();
    QtPlatform& plat_;
    GlView* gl_ = nullptr;
    bool frameDue_ = false;     // the GPU has rows to show
    QElapsedTimer sinceFrame_;  // since the GPU was last asked for a frame
    QTimer frameTimer_;         // the next refresh, for frames held back
    QImage shown_;  // the canvas in the format painting is fast from
    QRect stale_;   // canvas pixels changed since the last present
    bool paintedOnce_ = false;
    Qt::MouseButtons pressed_;  // presses the engine saw, whose releases it gets
};

class MainWindow : public QWidget {
public:
    MainWindow(QtPlatform& plat);
    QWidget* Panel1 = nullptr;
    PaintBox* PB = nullptr;
    QPushButton* buttons[5] = {};  // indexed by ToolButton
    QTimer Timer1;
    QTimer idle;
    // Forgets which keys are down: releases and repeats of a key pressed
    // before now do not reach the engine (the key that opened a dialog).
    void ForgetPressedKeys() { pressed_.clear(); }
    // Panel1 above PB, or PB alone; in full screen the bar lies over the picture.
    bool toolBarShown = true;
    // Covering its monitor (the desktop's full screen, or the window's own
    // geometry where no window manager answers).
    bool fullScreen = false;
    void LayOut();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    QtPlatform& plat_;
    std::set<int> pressed_;  // Qt keys whose press this window saw
    bool shownOnce_ = false;
};

// Settings as INI files, one a game: key path "A\B\C" and section (the
// game's GAME_ID) "id" are $XDG_CONFIG_HOME/velmora/A/B/C/id.ini, the section
// also its group; names compared without regard to case.
class QtSettingsStore : public SettingsStore {
public:
    int32_t ReadInteger(const std::string& keyPath, const std::string& section, const std::string& name,
                        int32_t fallback) override;
    std::string ReadString(const std::string& keyPath, const std::string& section, const std::string& name,
                           const std::string& fallback) override;
    void WriteInteger(const std::string& keyPath, const std::string& section, const std::string& name,
                      int32_t value) override;
    void WriteString(const std::string& keyPath, const std::string& section, const std::string& name,
                     const std::string& value) override;
    std::vector<std::string> ValueNames(const std::string& keyPath, const std::string& section) override;
    // The game whose settings these are: names the file when it has no GAME_ID.
    void SetGameFolder(const std::string& folder);
    QString FilePath(const std::string& keyPath, const std::string& section) const;

protected:
    void Flush() override;

private:
    // The open file of (key path, section), read once and kept.
    // The open file of (key path, section); null when the key path is refused.
    QSettings* File(const std::string& keyPath, const std::string& section);
    // Writes value unless the file holds it already.
    void Write(const std::string& keyPath, const std::string& section, const std::string& name,
               const QVariant& value);

    std::string gameFolder_;
    std::map<QString, std::unique_ptr<QSettings>> files_;
    std::vector<QSettings*> dirty_;
};

class QtPlatform : public Platform, Clock, Surface, Window, Dialogs {
public:
    QtPlatform();
    ~QtPlatform() override;
    void Attach(TForm1* engine);
    TForm1* engine() { return engine_; }
    MainWindow& mainWindow() { return *window_; }
    Mixer* mixerImpl = nullptr;
    // The clipboard, text feed and speech (text_outlets.h).
    TextOutlets* textOutletsImpl = nullptr;
    TextOutlets* textOutlets() override { return textOutletsImpl; }
    // The game controllers, polled with Timer1; nullptr: none.
    SdlPad* pad = nullptr;
    // The pointer hides while the pad plays and comes back with the mouse.
    void PadPointerHidden(bool hidden);
    bool PadPointerHidden() const { return pointerHidden_; }
    // A move of the real mouse (not the pad putting the pointer somewhere).
    void MouseMovedTo(QPoint global);
    // Measures of the idle pacing, for the CPU report.
    long idlePasses = 0;
    // Waits instead of a plain sleep of the main thread (the screen reader's:
    // it answers the accessibility bus meanwhile); null: a plain sleep.
    std::function<void(uint32_t)> sleeper;

    Clock& clock() override { return *this; }
    Surface& surface() override { return *this; }
    Window& window() override { return *this; }
    SettingsStore& settings() override { return store_; }
    QtSettingsStore& settingsStore() { return store_; }
    Dialogs& dialogs() override { return *this; }
    Mixer* mixer() override { return mixerImpl; }
    void ProcessMessages() override;
    bool WaveOutputPresent() override;
    void GetCursorPos(int& x, int& y) override;
    void SetCursorPos(int x, int y) override;
    void PaintBoxToScreen(int x, int y, int& screenX, int& screenY) override;
    void DefineCursor(int shape, const Picture& colour, const Picture& alpha, int hotX, int hotY) override;
    void SetCursorShape(int shape) override;
    void DismissPopupMenu() override;

    uint32_t Now() override;
    void Sleep(uint32_t ms) override;

    void Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) override;
    void Fill(uint32_t colour) override;
    void ReadBack(Picture& out) override;
    void Update() override;

    int Left() override;
    int Top() override;
    void Move(int left, int top) override;
    void SetBorder(bool on) override;
    bool Border() override;
    int Width() override;
    int Height() override;
    int ScreenWidth() override;
    int ScreenHeight() override;
    void SetCaption(const std::string& cp932) override;
    std::string Caption() override;
    void Close() override;
    void SetToolBarEnabled(int button, bool enabled) override;
    void SetToolBarShown(bool shown) override;
    bool SetFullScreen(bool on) override;
    bool Active() override;

    // Alt+Enter and F11: full screen on or off through the engine, the
    // choice kept as the screen mode.
    void ToggleFullScreen();
    // At the first show: the scale mode from the game's settings, and the
    // starting size (a whole factor that fits when the desktop is scaled).
    void StartWindow();

    BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;
    // The engine's forms and menus (qt_forms.cpp).
    void RunModal(Form& form) override;
    int RunPopupMenu(PopupMenuModel& menu, int screenX, int screenY) override;
    bool HasFilePicker() override { return true; }
    bool PickTransferPath(bool exporting, std::string& path) override;

    // Called by the idle timer: one AppIdle pass unless one is running or a
    // form or menu is open.
    void IdlePass();
    bool inIdle = false;
    int modalDepth = 0;  // forms and menus open
    bool destroyed = false;

private:
    TForm1* engine_ = nullptr;
    std::unique_ptr<MainWindow> window_;
    QtSettingsStore store_;
    QElapsedTimer elapsed_;
    std::string caption_;
    QCursor* cursors_[64] = {};
    int cursorShape_ = 0;
    bool pointerHidden_ = false;
    QPoint warpedTo_{-1, -1};  // where SetCursorPos put the pointer last
    // Lets the desktop answer a geometry request: true when the window has it.
    bool WaitForGeometry(const QRect& want, int ms);
    QRect normalGeometry_;  // the window before full screen
    bool border_ = true;    // as the engine asked
    QPoint frameOffset_;    // the client's place inside the frame, before full screen
};

// The name of one game's single-instance lock: the same for every way of
// writing the game's folder.
std::string InstanceName(const std::string& gameDir);

// The single-instance lock "VELMORAENGINE": true when this process holds it.
// A lock left by a crashed process is free again (the kernel drops it).
bool AcquireInstanceLock(const char* name, int& fd);

// Installs Qt's Japanese translation of its own words (standard buttons,
// file pickers); false when the translation is not installed.
bool UseJapaneseQtWords();

}  // namespace velmora::platform
