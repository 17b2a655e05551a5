#include "platform/qt/qt_platform.h"
#include "platform/qt/sdl_pad.h"

#include "platform/qt/gl_view.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "platform/input_codes.h"
#include "ui/input.h"

namespace velmora::platform {

namespace {

QString FromCp932(const std::string& s) { return QString::fromStdString(ToUtf8(s)); }
std::string ToCp932Text(const QString& s) { return ToCp932(s.toStdString()); }

uint32_t ShiftState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
    uint32_t s = 0;
    if (mods & Qt::ShiftModifier) s |= ssShift;
    if (mods & Qt::ControlModifier) s |= ssCtrl;
    if (mods & Qt::AltModifier) s |= ssAlt;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

bool ButtonOf(Qt::MouseButton b, MouseButton& out) {
    if (b == Qt::LeftButton) out = mbLeft;
    else if (b == Qt::RightButton) out = mbRight;
    else if (b == Qt::MiddleButton) out = mbMiddle;
    else return false;
    return true;
}

}  // namespace

uint16_t VirtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return static_cast<uint16_t>(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return VK_RETURN;
        case Qt::Key_Escape: return VK_ESCAPE;
        case Qt::Key_Space: return VK_SPACE;
        case Qt::Key_Backspace: return VK_BACK;
        case Qt::Key_Tab: return VK_TAB;
        case Qt::Key_Left: return VK_LEFT;
        case Qt::Key_Right: return VK_RIGHT;
        case Qt::Key_Up: return VK_UP;
        case Qt::Key_Down: return VK_DOWN;
        case Qt::Key_PageUp: return VK_PRIOR;
        case Qt::Key_PageDown: return VK_NEXT;
        case Qt::Key_Home: return VK_HOME;
        case Qt::Key_End: return VK_END;
        case Qt::Key_Delete: return VK_DELETE;
        case Qt::Key_Control: return VK_CONTROL;
        case Qt::Key_Shift: return VK_SHIFT;
        case Qt::Key_Alt: return VK_MENU;
        default: return 0;
    }
}

// ---- PaintBox ----

PaintBox::PaintBox(QtPlatform& plat, QWidget* parent)
    : QWidget(parent),
      canvas(kPictureWidth, kPictureHeight, QImage::Format_BGR888),
      plat_(plat),
      shown_(kPictureWidth, kPictureHeight, QImage::Format_RGB32) {
    canvas.fill(Qt::black);
    shown_.fill(Qt::black);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_.setSingleShot(true);
    QObject::connect(&frameTimer_, &QTimer::timeout, this, [this] { Present(); });
    if (GlView::Available()) {
        gl_ = new GlView(
            shown_, [this](QSize area) { return FitPicture(area, scaleMode); },
            [this] { QTimer::singleShot(0, this, [this] { DropGpu(); }); }, this);
        gl_->setGeometry(rect());
        QObject::connect(gl_, &QOpenGLWidget::frameSwapped, this, [this] { NoteFirstFrame(); });
    }
}

void PaintBox::DropGpu() {
    if (!gl_) return;
    delete gl_;
    gl_ = nullptr;
    frameTimer_.stop();
    update();
}

void PaintBox::resizeEvent(QResizeEvent*) {
    if (gl_) gl_->setGeometry(rect());
}

void PaintBox::NoteFirstFrame() {
    if (paintedOnce_) return;
    paintedOnce_ = true;
    // For start-up timing (bench/start_time.sh): the wall clock, to set
    // against the moment the program was started.
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    Trace("window: first frame painted at %lld.%03ld", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000000);
    // and the processor time it took, every thread counted, which a busy
    // machine disturbs less (the program that started this one included).
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    Trace("window: first frame after %lld ms of processor time",
          static_cast<long long>(cpu.tv_sec) * 1000 + cpu.tv_nsec / 1000000);
    if (firstFramePainted) QTimer::singleShot(0, this, [this] { firstFramePainted(); });
}

QSize PaintBox::DeviceArea() const {
    const qreal dpr = devicePixelRatioF();
    return QSize(qRound(width() * dpr), qRound(height() * dpr));
}

PictureFit PaintBox::Fit() const { return FitPicture(DeviceArea(), scaleMode); }

QPoint PaintBox::ToCanvas(QPointF widget) const { return ToPicture(Fit(), widget * devicePixelRatioF()); }

QPointF PaintBox::FromCanvas(QPoint canvasPixel) const {
    return FromPicture(Fit(), canvasPixel) / devicePixelRatioF();
}

void PaintBox::CanvasChanged(QRect r) { stale_ |= r & canvas.rect(); }

void PaintBox::Draw(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) {
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
    w = std::min({w, src.width - sx, canvas.width() - dx});
    h = std::min({h, src.height - sy, canvas.height() - dy});
    if (w <= 0 || h <= 0) return;
    for (int y = 0; y < h; ++y)
        std::memcpy(canvas.scanLine(dy + y) + dx * 3, src.Pixel(sx, sy + y), static_cast<size_t>(w) * 3);
    CanvasChanged(QRect(dx, dy, w, h));
}

void PaintBox::Fill(uint32_t colour) {
    canvas.fill(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    CanvasChanged(canvas.rect());
}

QRect PaintBox::TakeStale() {
    if (stale_.isEmpty()) return QRect();
    int left = stale_.right() + 1, right = -1, top = -1, bottom = -1;
    for (int y = stale_.top(); y <= stale_.bottom(); ++y) {
        const uchar* in = canvas.constScanLine(y) + 3 * stale_.left();
        QRgb* out = reinterpret_cast<QRgb*>(shown_.scanLine(y)) + stale_.left();
        const auto [first, last] = UpdatePaintedRow(in, out, stale_.width());
        if (first > last) continue;
        left = std::min(left, stale_.left() + first);
        right = std::max(right, stale_.left() + last);
        if (top < 0) top = y;
        bottom = y;
    }
    stale_ = QRect();
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void PaintBox::Present() {
    // Only pixels that differ from what is shown ask for a paint: a picture
    // drawn away and back between two presents (the click-wait icon's erase
    // and redraw at a page wait) costs no paint at all.
    const QRect changed = TakeStale();
    if (!gl_) {
        if (!changed.isEmpty()) update(WidgetRectOf(changed));
        return;
    }
    if (!changed.isEmpty()) {
        gl_->RowsChanged(changed.top(), changed.bottom());
        frameDue_ = true;
    }
    if (!frameDue_) return;
    // A transition that draws faster than the screen shows presents once a refresh.
    const qreal hz = screen() ? screen()->refreshRate() : 60;
    const qint64 interval = hz >= 1 ? static_cast<qint64>(1000 / hz) : 16;
    if (sinceFrame_.isValid() && sinceFrame_.elapsed() < interval) {
        if (!frameTimer_.isActive()) frameTimer_.start(static_cast<int>(interval - sinceFrame_.elapsed()));
        return;
    }
    frameDue_ = false;
    sinceFrame_.start();
    gl_->update();
}

void PaintBox::Repaint() {
    const QRect changed = TakeStale();
    if (!gl_) {
        if (!changed.isEmpty()) repaint(WidgetRectOf(changed));
        return;
    }
    if (!changed.isEmpty()) gl_->RowsChanged(changed.top(), changed.bottom());
    frameDue_ = false;
    sinceFrame_.start();
    gl_->repaint();
}

void PaintBox::PresentNow() {
    // On the CPU path only what changed is painted at once: a band or a few
    // columns of a transition do not scale the whole picture again.
    if (gl_) Present();
    else Repaint();
}

QRect PaintBox::WidgetRectOf(QRect canvasRect) const {
    const qreal dpr = devicePixelRatioF();
    const QRect d = DeviceRectOf(Fit(), canvasRect);
    return QRectF(d.x() / dpr, d.y() / dpr, d.width() / dpr, d.height() / dpr).toAlignedRect();
}

void PaintBox::paintEvent(QPaintEvent* e) {
    if (gl_) {
        // The GPU surface covers the box; a grab paints it after the box,
        // so it gets what changed first.
        const QRect changed = TakeStale();
        if (!changed.isEmpty()) {
            gl_->RowsChanged(changed.top(), changed.bottom());
            gl_->update();
        }
        return;
    }
    // A paint of its own (an expose, a grab) shows the latest canvas; what
    // changed outside the area it paints is painted next.
    const QRect changed = TakeStale();
    if (!changed.isEmpty()) {
        const QRect r = WidgetRectOf(changed);
        if (!(QRegion(r) - e->region()).isEmpty()) update(r);
    }
    NoteFirstFrame();
    QPainter p(this);
    // Device pixels, so that a whole factor is pixel-exact on a scaled desktop.
    const qreal dpr = devicePixelRatioF();
    p.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    PaintPicture(p, shown_, Fit(), DeviceArea());
}

void PaintBox::mousePressEvent(QMouseEvent* e) {
    MouseButton b;
    if (!plat_.engine() || plat_.destroyed || !ButtonOf(e->button(), b)) return;
    const QPoint pos = ToCanvas(e->position());
    // The bars are not the picture: a click there is nobody's.
    if (!canvas.rect().contains(pos)) return;
    pressed_ |= e->button();
    plat_.engine()->PBMouseDown(b, ShiftState(e->modifiers(), e->buttons()), pos.x(), pos.y());
}

void PaintBox::mouseReleaseEvent(QMouseEvent* e) {
    MouseButton b;
    if (!plat_.engine() || plat_.destroyed || !ButtonOf(e->button(), b)) return;
    if (!(pressed_ & e->button())) return;  // its press fell on a bar
    pressed_ &= ~e->button();
    const QPoint pos = ToCanvas(e->position());
    plat_.engine()->PBMouseUp(b, ShiftState(e->modifiers(), e->buttons()), pos.x(), pos.y());
}

void PaintBox::mouseMoveEvent(QMouseEvent* e) {
    if (!plat_.engine() || plat_.destroyed) return;
    // Over the bars too, outside 0 .. 799 and 0 .. 599, as a captured pointer
    // reports: the hover rules see the pointer leave.
    const QPoint pos = ToCanvas(e->position());
    plat_.MouseMovedTo(e->globalPosition().toPoint());
    plat_.engine()->PBMouseMove(ShiftState(e->modifiers(), e->buttons()), pos.x(), pos.y());
}

// ---- MainWindow ----

MainWindow::MainWindow(QtPlatform& plat) : plat_(plat) {
    setMinimumSize(kPictureWidth, kPictureHeight + 24);
    resize(kPictureWidth, kPictureHeight + 24);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    // Painted over the picture in full screen: not see-through.
    Panel1->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->setSpacing(1);
    // Left to right as the tool bar shows them.
    struct B {
        int id;
        const char* caption;
    } const kButtons[] = {{kButtonQuit, "終了"}, {kButtonLoad, "ロード(L)"}, {kButtonSave, "セーブ(S)"},
                          {kButtonSettings, "設定(C)"}};
    for (const B& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), Panel1);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(b.id));
        button->setFixedHeight(21);
        button->setFocusPolicy(Qt::NoFocus);
        buttons[b.id] = button;
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this, id = b.id] {
            TForm1* f = plat_.engine();
            if (!f || plat_.destroyed) return;
            if (id == kButtonQuit) f->SpeedButton1Click();
            else if (id == kButtonSettings) f->SpeedButton2Click();
            else if (id == kButtonSave) f->SpeedButton3Click();
            else f->SpeedButton4Click();
        });
    }
    layout->addStretch(1);
    PB = new PaintBox(plat, this);
    PB->setObjectName(QStringLiteral("PB"));
    LayOut();
    Timer1.setInterval(55);
    QObject::connect(&Timer1, &QTimer::timeout, [this] {
        if (plat_.pad) plat_.pad->Poll();
        if (plat_.engine() && !plat_.destroyed) plat_.engine()->Timer1Timer();
        PB->Present();
    });
    idle.setInterval(0);
    QObject::connect(&idle, &QTimer::timeout, [this] { plat_.IdlePass(); });
    setFocusPolicy(Qt::StrongFocus);
}

void MainWindow::LayOut() {
    const bool full = fullScreen;
    if (full || !toolBarShown) PB->setGeometry(rect());
    else PB->setGeometry(0, 24, width(), height() - 24);
    if (full) {
        // Over the picture's top-left corner, where the pointer reveals it.
        const qreal dpr = PB->devicePixelRatioF();
        const int left = static_cast<int>(PB->Fit().rect.x() / dpr);
        Panel1->setGeometry(std::clamp(left, 0, std::max(0, width() - kPictureWidth)), 0, kPictureWidth, 21);
        Panel1->raise();
    } else {
        Panel1->setGeometry(0, 0, width(), 21);
    }
    Panel1->setVisible(toolBarShown);
}

void MainWindow::resizeEvent(QResizeEvent*) { LayOut(); }

void MainWindow::showEvent(QShowEvent*) {
    if (shownOnce_) return;
    shownOnce_ = true;
    plat_.StartWindow();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    TForm1* f = plat_.engine();
    if (!f || plat_.destroyed) {
        e->accept();
        return;
    }
    bool canClose = true;
    f->FormCloseQuery(canClose);
    if (!canClose) {
        e->ignore();
        return;
    }
    e->accept();
    plat_.destroyed = true;
    Timer1.stop();
    idle.stop();
    f->FormDestroy();
    QApplication::quit();
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    TForm1* f = plat_.engine();
    if (!f || plat_.destroyed) return;
    // Full screen as players expect it; neither key reaches the game.
    const bool altEnter = (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::AltModifier);
    if (altEnter || e->key() == Qt::Key_F11) {
        if (!e->isAutoRepeat()) plat_.ToggleFullScreen();
        return;
    }
    if (!e->isAutoRepeat()) pressed_.insert(e->key());
    else if (!pressed_.count(e->key())) return;  // held since before a dialog opened
    uint16_t vk = VirtualKey(e->key());
    uint32_t shift = ShiftState(e->modifiers(), QApplication::mouseButtons());
    if (vk) f->FormKeyDown(vk, shift);
    QByteArray text = e->text().toLatin1();
    if (vk && text.size() == 1) {
        char c = text[0];
        f->FormKeyPress(c);
    }
}

void MainWindow::keyReleaseEvent(QKeyEvent* e) {
    TForm1* f = plat_.engine();
    if (!f || plat_.destroyed || e->isAutoRepeat()) return;
    if (!pressed_.erase(e->key())) return;  // pressed before a dialog opened, or in one
    uint16_t vk = VirtualKey(e->key());
    if (vk) f->FormKeyUp(vk, ShiftState(e->modifiers(), QApplication::mouseButtons()));
}

void MainWindow::wheelEvent(QWheelEvent* e) {
    TForm1* f = plat_.engine();
    if (!f || plat_.destroyed) return;
    bool handled = false;
    const QPoint pos = PB->ToCanvas(PB->mapFromGlobal(e->globalPosition()));
    f->FormMouseWheel(ShiftState(e->modifiers(), e->buttons()), e->angleDelta().y(), pos.x(), pos.y(), handled);
}

// ---- QtSettingsStore ----

QString QtSettingsStore::FilePath(const std::string& keyPath, const std::string& section) const {
    // A game's key path names folders below ours: never a path of its own.
    if (!IsKeyPathOfNames(keyPath)) {
        static bool traced = false;
        if (!traced) Trace("settings: the key path \"%s\" is not made of names; settings are not kept", TraceText(keyPath).c_str());
        traced = true;
        return QString();
    }
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QString rel = FromCp932(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.endsWith(QLatin1Char('/'))) rel.chop(1);
    while (rel.startsWith(QLatin1Char('/'))) rel.remove(0, 1);
    // One file per game: its GAME_ID names it, or the game's folder when it
    // has none, so that two games never write into one file.
    QString name = FromCp932(section);
    if (name.isEmpty()) name = QDir(QString::fromStdString(gameFolder_)).absolutePath();
    if (gameFolder_.empty() && section.empty()) name = QStringLiteral("default");
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20) c = QLatin1Char('_');
    if (name.startsWith(QLatin1Char('.'))) name.replace(0, 1, QLatin1Char('_'));
    return base + QStringLiteral("/velmora/") + (rel.isEmpty() ? QString() : rel + QLatin1Char('/')) + name +
           QStringLiteral(".ini");
}

namespace {

// The stored spelling of a group or key that matches name without regard to case.
QString Match(const QStringList& names, const QString& name) {
    for (const QString& n : names)
        if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
    return name;
}

// The stored spelling of name in the group of section, as a full key.
QString KeyOf(QSettings& s, const std::string& section, const std::string& name) {
    QString group = Match(s.childGroups(), FromCp932(section));
    s.beginGroup(group);
    QString key = Match(s.childKeys(), FromCp932(name));
    s.endGroup();
    return group + QLatin1Char('/') + key;
}

}  // namespace

void QtSettingsStore::SetGameFolder(const std::string& folder) {
    gameFolder_ = folder;
    Flush();
    files_.clear();  // the file names may change with the folder
}

QSettings* QtSettingsStore::File(const std::string& keyPath, const std::string& section) {
    const QString path = FilePath(keyPath, section);
    if (path.isEmpty()) return nullptr;
    std::unique_ptr<QSettings>& s = files_[path];
    if (!s) s = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return s.get();
}

int32_t QtSettingsStore::ReadInteger(const std::string& keyPath, const std::string& section,
                                     const std::string& name, int32_t fallback) {
    QSettings* s = File(keyPath, section);
    if (!s) return fallback;
    const QString key = KeyOf(*s, section, name);
    if (!s->contains(key)) return fallback;
    bool ok = false;
    int v = s->value(key).toString().trimmed().toInt(&ok);
    return ok ? v : fallback;
}

std::string QtSettingsStore::ReadString(const std::string& keyPath, const std::string& section,
                                        const std::string& name, const std::string& fallback) {
    QSettings* s = File(keyPath, section);
    if (!s) return fallback;
    const QString key = KeyOf(*s, section, name);
    if (!s->contains(key)) return fallback;
    return ToCp932Text(s->value(key).toString());
}

void QtSettingsStore::Write(const std::string& keyPath, const std::string& section, const std::string& name,
                            const QVariant& value) {
    QSettings* s = File(keyPath, section);
    if (!s) return;  // a refused key path keeps nothing
    const QString key = KeyOf(*s, section, name);
    // Values read back from the file are texts: compare as the file holds them.
    if (s->contains(key) && s->value(key).toString() == value.toString()) return;
    s->setValue(key, value);
    if (std::find(dirty_.begin(), dirty_.end(), s) == dirty_.end()) dirty_.push_back(s);
    if (!Batching()) Flush();
}

void QtSettingsStore::WriteInteger(const std::string& keyPath, const std::string& section,
                                   const std::string& name, int32_t value) {
    Write(keyPath, section, name, QVariant(value));
}

void QtSettingsStore::WriteString(const std::string& keyPath, const std::string& section,
                                  const std::string& name, const std::string& value) {
    Write(keyPath, section, name, QVariant(FromCp932(value)));
}

std::vector<std::string> QtSettingsStore::ValueNames(const std::string& keyPath, const std::string& section) {
    std::vector<std::string> names;
    QSettings* s = File(keyPath, section);
    if (!s) return names;
    s->beginGroup(Match(s->childGroups(), FromCp932(section)));
    for (const QString& key : s->childKeys()) names.push_back(ToCp932Text(key));
    s->endGroup();
    return names;
}

void QtSettingsStore::Flush() {
    // QSettings writes a whole file to a temporary and renames it into place.
    for (QSettings* s : dirty_) {
        s->sync();
        if (s->status() != QSettings::NoError) Trace("settings: cannot write %s", qPrintable(s->fileName()));
    }
    dirty_.clear();
}

// ---- QtPlatform ----

namespace {
// How often the idle timer looks whether a form or menu has closed.
constexpr int kModalRetryMs = 20;
}  // namespace

QtPlatform::QtPlatform() : window_(std::make_unique<MainWindow>(*this)) { elapsed_.start(); }

QtPlatform::~QtPlatform() {
    for (QCursor* c : cursors_) delete c;
}

void QtPlatform::Attach(TForm1* engine) { engine_ = engine; }

void QtPlatform::IdlePass() {
    // What the handlers and the last pass drew shows now, as a posted paint
    // would have after the pass's sleep.
    window_->PB->Present();
    QTimer& idle = window_->idle;
    if (modalDepth > 0 && !destroyed) {
        // A form, menu or box runs its own loop meanwhile: look again a pass
        // later instead of spinning on the idle timer.
        if (idle.interval() == 0) idle.setInterval(kModalRetryMs);
        return;
    }
    if (inIdle || !engine_ || destroyed) return;
    inIdle = true;
    ++idlePasses;
    bool done = false;
    engine_->AppIdle(done);
    inIdle = false;
    if (idle.interval() != 0 && modalDepth == 0) idle.setInterval(0);
}

void QtPlatform::ProcessMessages() {
    window_->PB->Present();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}


uint32_t QtPlatform::Now() { return static_cast<uint32_t>(elapsed_.elapsed()); }

void QtPlatform::Sleep(uint32_t ms) {
    if (ms == 0) return;
    if (sleeper) return sleeper(ms);
    QThread::msleep(ms);
}

// The engine's pointer coordinates are PB's canvas pixels, whatever the
// window's size: the origin it derives from a click is 0.
void QtPlatform::GetCursorPos(int& x, int& y) {
    PaintBox* pb = window_->PB;
    const QPoint p = pb->ToCanvas(pb->mapFromGlobal(QPointF(QCursor::pos())));
    x = p.x();
    y = p.y();
}

void QtPlatform::PaintBoxToScreen(int x, int y, int& screenX, int& screenY) {
    PaintBox* pb = window_->PB;
    const QPoint at = pb->mapToGlobal(pb->FromCanvas(QPoint(x, y))).toPoint();
    screenX = at.x();
    screenY = at.y();
}

void QtPlatform::SetCursorPos(int x, int y) {
    PaintBox* pb = window_->PB;
    warpedTo_ = pb->mapToGlobal(pb->FromCanvas(QPoint(x, y))).toPoint();
    QCursor::setPos(warpedTo_);
}

void QtPlatform::PadPointerHidden(bool hidden) {
    if (hidden == pointerHidden_) return;
    pointerHidden_ = hidden;
    SetCursorShape(cursorShape_);
}

void QtPlatform::MouseMovedTo(QPoint global) {
    if (!pointerHidden_ || global == warpedTo_) return;
    if (pad && pad->input()) pad->input()->used = false;
    PadPointerHidden(false);
}

void QtPlatform::DefineCursor(int shape, const Picture& colour, const Picture& alpha, int hotX, int hotY) {
    if (shape <= 0 || shape >= 64 || colour.Empty() || alpha.width != colour.width || alpha.height != colour.height)
        return;
    QImage image(colour.width, colour.height, QImage::Format_ARGB32);
    for (int y = 0; y < colour.height; ++y) {
        const uint8_t* c = colour.Row(y);
        const uint8_t* a = alpha.Row(y);
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < colour.width; ++x) out[x] = qRgba(c[3 * x + 2], c[3 * x + 1], c[3 * x], a[3 * x]);
    }
    delete cursors_[shape];
    cursors_[shape] = new QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void QtPlatform::SetCursorShape(int shape) {
    cursorShape_ = shape;
    if (pointerHidden_) window_->PB->setCursor(Qt::BlankCursor);
    else if (shape > 0 && shape < 64 && cursors_[shape]) window_->PB->setCursor(*cursors_[shape]);
    else window_->PB->unsetCursor();
}

void QtPlatform::DismissPopupMenu() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

void QtPlatform::Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) {
    window_->PB->Draw(src, sx, sy, w, h, dx, dy);
}

void QtPlatform::Fill(uint32_t colour) { window_->PB->Fill(colour); }

void QtPlatform::ReadBack(Picture& out) {
    const QImage& c = window_->PB->canvas;
    out.Resize(c.width(), c.height());
    for (int y = 0; y < c.height(); ++y) std::memcpy(out.Row(y), c.constScanLine(y), static_cast<size_t>(out.Stride()));
}

void QtPlatform::Update() { window_->PB->PresentNow(); }

int QtPlatform::Left() { return window_->x(); }
int QtPlatform::Top() { return window_->y(); }
void QtPlatform::Move(int left, int top) {
    MainWindow& w = *window_;
    if (!w.isVisible()) {
        w.move(left, top);  // placed with its frame when it shows
        return;
    }
    // Just out of full screen the frame is not back yet: place the client
    // where the frame will leave it.
    QPoint offset = w.geometry().topLeft() - w.frameGeometry().topLeft();
    if (offset.isNull() && border_) offset = frameOffset_;
    w.setGeometry(QRect(QPoint(left, top) + offset, w.size()));
}

void QtPlatform::SetBorder(bool on) {
    border_ = on;
    const bool frameless = window_->windowFlags() & Qt::FramelessWindowHint;
    if (frameless == !on) return;
    // A window about to cover its monitor keeps its frame: full screen shows
    // none, and a new native window would forget where its frame stood.
    if (!on && engine_ && engine_->app.screenMode == 1) return;
    bool visible = window_->isVisible();
    window_->setWindowFlag(Qt::FramelessWindowHint, !on);
    if (visible) window_->show();
}

bool QtPlatform::Border() { return border_; }

int QtPlatform::Width() { return window_->frameGeometry().width(); }
int QtPlatform::Height() { return window_->frameGeometry().height(); }

int QtPlatform::ScreenWidth() {
    QScreen* s = window_->screen();
    return s ? s->geometry().width() : 1024;
}

int QtPlatform::ScreenHeight() {
    QScreen* s = window_->screen();
    return s ? s->geometry().height() : 768;
}

void QtPlatform::SetCaption(const std::string& cp932) {
    caption_ = cp932;
    window_->setWindowTitle(FromCp932(cp932));
}

std::string QtPlatform::Caption() { return caption_; }

void QtPlatform::Close() { window_->close(); }

void QtPlatform::SetToolBarEnabled(int button, bool enabled) {
    if (button == 0) window_->Panel1->setEnabled(enabled);
    else if (button >= 1 && button <= 4 && window_->buttons[button]) window_->buttons[button]->setEnabled(enabled);
}

void QtPlatform::SetToolBarShown(bool shown) {
    MainWindow& w = *window_;
    if (w.toolBarShown == shown) return;
    w.toolBarShown = shown;
    w.LayOut();
}

bool QtPlatform::WaitForGeometry(const QRect& want, int ms) {
    MainWindow& w = *window_;
    QElapsedTimer waited;
    waited.start();
    ++modalDepth;  // no idle pass meanwhile
    while (w.geometry() != want && waited.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (w.geometry() != want) QThread::msleep(5);
    }
    --modalDepth;
    return w.geometry() == want;
}

bool QtPlatform::SetFullScreen(bool on) {
    MainWindow& w = *window_;
    if (!on) {
        if (!w.fullScreen) return true;
        w.fullScreen = false;
        w.showNormal();
        w.setMinimumSize(kPictureWidth, kPictureHeight + 24);
        w.setGeometry(normalGeometry_);
        // The engine moves the window next: from its new size, not the old.
        WaitForGeometry(normalGeometry_, 400);
        w.LayOut();
        return true;
    }
    if (w.fullScreen) return true;
    normalGeometry_ = w.geometry();
    frameOffset_ = w.geometry().topLeft() - w.frameGeometry().topLeft();
    // The monitor the window stood on before the engine moved it to the corner.
    QScreen* screen = engine_ ? QGuiApplication::screenAt(QPoint(engine_->ui.savedLeft + w.width() / 2,
                                                                 engine_->ui.savedTop + w.height() / 2))
                              : nullptr;
    if (!screen) screen = w.screen();
    if (screen != w.screen()) w.move(screen->geometry().topLeft());
    // A monitor smaller than the window's least size is still filled.
    w.setMinimumSize(1, 1);
    w.showFullScreen();
    // The desktop answers in its own time. Without
    // a window manager nobody answers: the window covers the monitor itself.
    const QRect want = screen->geometry();
    if (!WaitForGeometry(want, 400)) {
        w.setGeometry(want);
        WaitForGeometry(want, 400);
    }
    if (w.geometry() != want) {
        Trace("full screen: the window stayed at %dx%d", w.width(), w.height());
        w.showNormal();
        w.setMinimumSize(kPictureWidth, kPictureHeight + 24);
        w.setGeometry(normalGeometry_);
        w.LayOut();
        return false;
    }
    w.fullScreen = true;
    w.LayOut();
    return true;
}

void QtPlatform::ToggleFullScreen() {
    TForm1* f = engine_;
    if (!f || destroyed || modalDepth > 0 || f->flags.busy) return;
    const bool on = !(f->ui.FullScreenActive || f->app.fullScreen);
    if (on) {
        f->app.screenMode = 1;
        EnterFullScreen(*f);
    } else {
        LeaveFullScreen(*f);
        f->app.screenMode = 0;
    }
    // The settings dialog shows the mode chosen, as if it had been set there.
    f->settings.SMode = on ? 1 : 0;
    store_.WriteInteger(f->config.MAKER_REG, f->config.GAME_ID, "SMode", f->settings.SMode);
}

void QtPlatform::StartWindow() {
    MainWindow& w = *window_;
    if (engine_ && !engine_->config.MAKER_REG.empty()) {
        const std::string& key = engine_->config.MAKER_REG;
        const std::string& sec = engine_->config.GAME_ID;
        int mode = store_.ReadInteger(key, sec, "ScaleMode", -1);
        if (mode < 0) {
            mode = kScaleSmooth;
            store_.WriteInteger(key, sec, "ScaleMode", mode);  // there for the player to find
        }
        w.PB->scaleMode = mode == kScaleWhole ? kScaleWhole : kScaleSmooth;
    }
    QScreen* s = w.screen();
    if (!s || w.fullScreen || w.isMaximized()) return;
    // On a scaled desktop 800 x 600 is small: start at the largest whole
    // factor of device pixels that fits the screen.
    const qreal dpr = s->devicePixelRatio();
    const qreal dpi = s->logicalDotsPerInch() / 96.0;
    if (dpr > 1.001 || dpi > 1.001) {
        const QRect avail = s->availableGeometry();
        const int frame = std::max(w.frameGeometry().height() - w.height(), 32);
        const QSize area(static_cast<int>(avail.width() * dpr), static_cast<int>((avail.height() - frame - 24) * dpr));
        const int k = WholeFactorThatFits(area);
        w.resize(static_cast<int>(std::ceil(k * kPictureWidth / dpr)),
                 static_cast<int>(std::ceil(k * kPictureHeight / dpr)) + 24);
    }
    w.LayOut();
    w.PB->update();
    if (w.PB->gpu()) w.PB->gpu()->update();
}

BoxAnswer QtPlatform::MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                 BoxButtons buttons) {
    Trace("message box \"%s: %s\"", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
    // Over the form that asked, which may stay on top of the main window.
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent && window_->isVisible()) parent = window_.get();
    QMessageBox box(parent);
    // The engine waits inside the box: no idle pass meanwhile.
    ++modalDepth;
    struct Done {
        int& depth;
        ~Done() { --depth; }
    } done{modalDepth};
    box.setText(FromCp932(text));
    box.setWindowTitle(FromCp932(caption));
    switch (icon) {
        case BoxIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
        case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case BoxIcon::Stop: box.setIcon(QMessageBox::Critical); break;
        case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == BoxButtons::Ok) box.setStandardButtons(QMessageBox::Ok);
    else if (buttons == BoxButtons::OkCancel) box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    else box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    // The game speaks Japanese: its own captions, not the toolkit's English ones.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "キャンセル"}, {QMessageBox::Yes, "はい(&Y)"},
        {QMessageBox::No, "いいえ(&N)"}};
    for (const auto& [which, text] : captions)
        if (QAbstractButton* b = box.button(which)) b->setText(QString::fromUtf8(text));
    int r = box.exec();
    switch (r) {
        case QMessageBox::Ok: return BoxAnswer::Ok;
        case QMessageBox::Yes: return BoxAnswer::Yes;
        case QMessageBox::No: return BoxAnswer::No;
        default: return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Cancel;
    }
}

bool QtPlatform::PickTransferPath(bool exporting, std::string& path) {
    QWidget* parent = window_->isVisible() ? window_.get() : nullptr;
    ++modalDepth;
    struct Done {
        int& depth;
        ~Done() { --depth; }
    } done{modalDepth};
    QString picked;
    if (exporting) {
        const QString suggested = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                      .filePath(QStringLiteral("velmora-saves.zip"));
        picked = QFileDialog::getSaveFileName(parent, QString::fromUtf8("セーブデータを書き出す"), suggested,
                                              QString::fromUtf8("ZIPファイル (*.zip)"));
        if (!picked.isEmpty() && !picked.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
            picked += QStringLiteral(".zip");
    } else {
        // One dialog cannot offer files and folders alike: the player says which first.
        QMessageBox ask(QMessageBox::Question, QString::fromUtf8("セーブデータを読み込む"),
                        QString::fromUtf8("書き出したZIPファイルか、ゲームのフォルダを選んでください。"),
                        QMessageBox::NoButton, parent);
        QAbstractButton* zip = ask.addButton(QString::fromUtf8("ZIPファイル"), QMessageBox::AcceptRole);
        QAbstractButton* folder = ask.addButton(QString::fromUtf8("フォルダ"), QMessageBox::AcceptRole);
        ask.addButton(QString::fromUtf8("キャンセル"), QMessageBox::RejectRole);
        ask.exec();
        const QString title = QString::fromUtf8("セーブデータを読み込む");
        if (ask.clickedButton() == zip)
            picked = QFileDialog::getOpenFileName(parent, title, QString(), QString::fromUtf8("ZIPファイル (*.zip)"));
        else if (ask.clickedButton() == folder)
            picked = QFileDialog::getExistingDirectory(parent, title);
    }
    if (picked.isEmpty()) return false;
    path = QFile::encodeName(picked).toStdString();
    return true;
}

bool AcquireInstanceLock(const char* name, int& fd) {
    // Taken before the application exists, so plain POSIX: the per-user
    // runtime directory, else the temporary folder with the user's id.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path = runtime && *runtime ? std::string(runtime) + "/" + name + ".lock"
                                           : "/tmp/" + std::string(name) + "-" + std::to_string(::getuid()) + ".lock";
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // no lock directory: do not stop the player
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

}  // namespace velmora::platform
