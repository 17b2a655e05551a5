#include "platform/qt/accessibility.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QThread>
#include <QWidget>
#include <algorithm>

#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "gfx/pixel_ops.h"
#include "platform/qt/qt_platform.h"
#include "text/message_window.h"
#include "text/text_out.h"
#include "ui/input.h"

namespace velmora::platform {

namespace {

ScreenReaderBridge* gBridge = nullptr;

const QString kScreenName = QString::fromUtf8("ゲーム画面");

// Plain text over a string the owner hands out; the caret is the owner's.
class PlainText : public QAccessibleTextInterface {
public:
    virtual QString Content() const = 0;
    int caret = 0;

    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return std::clamp(caret, 0, static_cast<int>(Content().size())); }
    void setCursorPosition(int position) override { caret = position; }
    QString text(int start, int end) const override {
        const QString c = Content();
        start = std::clamp(start, 0, static_cast<int>(c.size()));
        end = end < 0 ? static_cast<int>(c.size()) : std::clamp(end, start, static_cast<int>(c.size()));
        return c.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Content().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        (void)offset;
        return QString();
    }
};

}  // namespace

// An overlay drawn into the picture, or one of its parts: it has no widget
// of its own, so it answers for itself.
class A11yNode : public QAccessibleInterface, public PlainText, public QAccessibleActionInterface {
public:
    A11yNode(QAccessible::Role role, QString name, QAccessibleInterface* parent)
        : role_(role), name_(std::move(name)), parent_(parent) {}
    ~A11yNode() override = default;

    QAccessible::Id id = 0;
    QString content;  // for text roles
    bool hasText = false;
    bool selectable = false, selected = false, focused = false, readOnly = false;
    bool checkable = false, checked = false;
    bool expandable = false, expanded = false;
    QString description;
    // What the node's actions do in the picture; the first is its press.
    std::vector<A11yPress> presses;
    QRect area;  // where it is drawn, in the picture's pixels; empty: its parent's place
    int tag = 0;  // the owner's: which of its kind this is
    std::vector<A11yNode*> children;

    QString Content() const override { return content; }
    void SetName(const QString& name) { name_ = name; }

    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent_ ? parent_->window() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return parent_; }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < static_cast<int>(children.size()) ? children[static_cast<size_t>(index)] : nullptr;
    }
    int childCount() const override { return static_cast<int>(children.size()); }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (size_t i = 0; i < children.size(); ++i)
            if (children[i] == c) return static_cast<int>(i);
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return name_;
        if (t == QAccessible::Description) return description;
        if (t == QAccessible::Value && hasText) return content;
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    // A screen reader's own click (Orca's routing of the pointer) lands in it.
    QRect rect() const override;
    QAccessible::Role role() const override { return role_; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = selectable;
        s.selected = selected;
        s.focusable = selectable || role_ == QAccessible::Button || hasText;
        s.focused = focused;
        s.readOnly = readOnly;
        s.multiLine = hasText;
        s.checkable = checkable;
        s.checked = checked;
        s.expandable = expandable;
        s.expanded = expandable && expanded;
        s.collapsed = expandable && !expanded;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface && hasText) return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::ActionInterface && !presses.empty()) return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override {
        QStringList names;
        for (const A11yPress& p : presses) names << p.name;
        return names;
    }
    void doAction(const QString& action) override {
        for (const A11yPress& p : presses)
            if (p.name == action && gBridge) return gBridge->Perform(p);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QAccessible::Role role_;
    QString name_;
    QAccessibleInterface* parent_;
};

QRect A11yNode::rect() const {
    if (area.isEmpty() || !gBridge) return parent_ ? parent_->rect() : QRect();
    const auto* box = static_cast<const PaintBox*>(gBridge->paintBox());
    const QPoint from = box->mapToGlobal(box->FromCanvas(area.topLeft())).toPoint();
    const QPoint to = box->mapToGlobal(box->FromCanvas(area.bottomRight() + QPoint(1, 1))).toPoint();
    return QRect(from, to - QPoint(1, 1));
}

namespace {

void Register(A11yNode* node) {
    node->id = QAccessible::registerAccessibleInterface(node);
    for (A11yNode* c : node->children) Register(c);
}

// The registry owns them and deletes them.
void Unregister(A11yNode* node) {
    for (A11yNode* c : node->children) Unregister(c);
    QAccessible::deleteAccessibleInterface(node->id);
}

}  // namespace

namespace {

// The paint box: the page as its text, the latest announcement as its
// description, the overlays shown as its children.
class PaintBoxAccessible : public QAccessibleWidget, public PlainText {
public:
    explicit PaintBoxAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Canvas) {}

    bool live() const { return gBridge && gBridge->enabled(); }
    QString Content() const override { return live() ? gBridge->PageText() : QString(); }
    int cursorPosition() const override { return characterCount(); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return kScreenName;
        if (t == QAccessible::Description) return live() ? gBridge->announced() : QString();
        if (t == QAccessible::Value) return Content();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return live() ? static_cast<int>(gBridge->overlays().size()) : 0; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        return gBridge->overlays()[static_cast<size_t>(index)];
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i) == c) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = true;
        s.readOnly = true;
        s.multiLine = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
};

QAccessibleInterface* PaintBoxFactory(const QString&, QObject* object) {
    if (!gBridge || !object) return nullptr;
    if (object == gBridge->paintBox()) return new PaintBoxAccessible(static_cast<QWidget*>(object));
    // A tab widget's page stack is only where the pages lie: announced as a
    // "layered pane" between the tab and the page's first control, it says
    // nothing a player can use.
    if (auto* stack = qobject_cast<QStackedWidget*>(object); stack && qobject_cast<QTabWidget*>(stack->parentWidget()))
        return new QAccessibleWidget(stack, QAccessible::Client);
    // The main window is a plain widget; screen readers look for a frame.
    if (object == gBridge->paintBox()->window()) return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

A11yNode* Pressable(QAccessible::Role role, const QString& name, A11yNode* parent, int x, int y) {
    auto* node = new A11yNode(role, name, parent);
    if (x >= 0) node->presses.push_back({QAccessibleActionInterface::pressAction(), x, y});
    return node;
}

QAccessibleInterface* PaintBoxInterface() {
    return gBridge ? QAccessible::queryAccessibleInterface(gBridge->paintBox()) : nullptr;
}

}  // namespace

ScreenReaderBridge::ScreenReaderBridge(QtPlatform& plat) : plat_(plat) {
    gBridge = this;
    QAccessible::installFactory(PaintBoxFactory);
    QAccessible::installActivationObserver(this);
    // The paint box takes the window's focus: a screen reader reads what
    // has the focus, and keys still reach the window through it.
    MainWindow& w = plat_.mainWindow();
    w.PB->setFocusPolicy(Qt::StrongFocus);
    w.setFocusProxy(w.PB);
    poll_.setInterval(100);
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { Sync(); });
    // Lines completed in quick succession (a page shown at once) go out as
    // one announcement: screen readers drop or cut short all but the last
    // of a quick run of them.
    flush_.setSingleShot(true);
    flush_.setInterval(250);
    QObject::connect(&flush_, &QTimer::timeout, this, [this] { FlushLines(); });
    // A screen reader asks one question at a time, each answered on the main
    // thread, where the engine sleeps most of each frame: a few hundred
    // questions about a line, one per frame, and the line was heard seconds
    // late. Its questions are answered while the engine sleeps.
    QCoreApplication::instance()->installEventFilter(this);
    plat_.sleeper = [this](uint32_t ms) { SleepAnswering(ms); };
}

ScreenReaderBridge::~ScreenReaderBridge() {
    plat_.sleeper = nullptr;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    poll_.stop();
    for (A11yNode* n : std::vector<A11yNode*>(overlays_)) Close(n);
    QAccessible::removeActivationObserver(this);
    QAccessible::removeFactory(PaintBoxFactory);
    gBridge = nullptr;
}

bool ScreenReaderBridge::AssistiveTechnologyActive() { return QAccessible::isActive(); }

void ScreenReaderBridge::accessibilityActiveChanged(bool active) {
    Trace("accessibility: a screen reader %s", active ? "is listening" : "has gone");
    // The switch's default and self-voicing follow.
    TForm1* f = plat_.engine();
    if (f && !plat_.destroyed) ApplyTextOut(*f);
}

namespace {

A11yNode* FocusedIn(A11yNode* node) {
    if (node->focused) return node;
    for (A11yNode* c : node->children)
        if (A11yNode* f = FocusedIn(c)) return f;
    return nullptr;
}

}  // namespace

void ScreenReaderBridge::RefocusOverlay() {
    if (!enabled_ || !paintBox()->hasFocus()) return;
    for (A11yNode* n : overlays_)
        if (A11yNode* f = FocusedIn(n)) return Focus(f);
}

bool ScreenReaderBridge::eventFilter(QObject* watched, QEvent* event) {
    // The window coming to the front says its paint box; what has the focus
    // inside it (the title's options, say) is said after it, or a list shown
    // before the window was active would go unheard.
    if (event->type() == QEvent::FocusIn && watched == paintBox())
        QTimer::singleShot(100, this, [this] { RefocusOverlay(); });
    // Qt's bridge posts each call to its adaptor on this thread.
    if (!busAdaptor_ && event->type() == QEvent::MetaCall && watched &&
        qstrcmp(watched->metaObject()->className(), "AtSpiAdaptor") == 0) {
        busAdaptor_ = watched;
        Trace("accessibility: calls answered while the engine sleeps");
    }
    return false;
}

void ScreenReaderBridge::SleepAnswering(uint32_t ms) {
    if (!enabled_ || !busAdaptor_ || QThread::currentThread() != thread()) return QThread::msleep(ms);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (busAdaptor_) QCoreApplication::sendPostedEvents(busAdaptor_, QEvent::MetaCall);
        const qint64 left = static_cast<qint64>(ms) - clock.elapsed();
        if (left <= 0) return;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 2)));
    }
}

QWidget* ScreenReaderBridge::paintBox() const { return plat_.mainWindow().PB; }

QString ScreenReaderBridge::PageText() const { return page_.join(QLatin1Char('\n')); }

void ScreenReaderBridge::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Trace("accessibility: screen readers %s", on ? "on" : "off");
    if (on) {
        // The live region: the lines as they complete, for reading aloud. A
        // notification in a status bar is read as its text alone (not
        // "notification" before every line), and its text as a label is
        // what braille displays show and screen readers keep for review.
        live_ = Open(new A11yNode(QAccessible::StatusBar, QString(), PaintBoxInterface()));
        poll_.start();
        Sync();
    } else {
        poll_.stop();
        for (A11yNode* n : std::vector<A11yNode*>(overlays_)) Close(n);
        choices_ = prompt_ = backlog_ = live_ = quickBar_ = extras_ = tree_ = nullptr;
        treeShown_.clear();
        extrasShown_.clear();
        extrasNodes_.clear();
        pending_.clear();
    }
}

void ScreenReaderBridge::Put(TextKind kind, const QString& text) {
    TForm1* f = plat_.engine();
    switch (kind) {
        case TextKind::Narration:
        case TextKind::Speaker: {
            const int at = static_cast<int>(PageText().size()) + (page_.isEmpty() ? 0 : 1);
            page_ << text;
            if (!enabled_) return;
            if (QAccessible::isActive()) {
                QAccessibleTextInsertEvent e(paintBox(), at, page_.size() > 1 ? QLatin1Char('\n') + text : text);
                QAccessible::updateAccessibility(&e);
            }
            // Skipped lines are not read one by one; the page the skip stops at is.
            if (f && f->ui.SkipActive) {
                skippedLines_ = true;
                pending_.clear();
            } else {
                pending_ << text;
                flush_.start();
            }
            return;
        }
        case TextKind::Choice:
            if (!choicesCollecting_) choiceLabels_.clear();
            choicesCollecting_ = true;
            choiceLabels_ << text;
            break;
        case TextKind::Backlog:
            if (!backlogCollecting_) backlogLines_.clear();
            backlogCollecting_ = true;
            backlogLines_ << text;
            break;
        case TextKind::Menu:
            // The question is what the outlets get as the prompt opens.
            if (f && f->ui.promptKind != kPromptNone && promptText_.isEmpty()) promptText_ = text;
            break;
    }
    // After the pass: the options arrive one by one, the list is whole after.
    if (enabled_) QTimer::singleShot(0, this, [this] { Sync(); });
}

void ScreenReaderBridge::NewPage() {
    // Lines not yet read go out before they are wiped.
    FlushLines();
    const QString old = PageText();
    page_.clear();
    skippedLines_ = false;
    if (enabled_ && !old.isEmpty() && QAccessible::isActive()) {
        QAccessibleTextRemoveEvent e(paintBox(), 0, old);
        QAccessible::updateAccessibility(&e);
    }
}

void ScreenReaderBridge::Notice(const QString& text) {
    // After the lines still waiting to be read, and on its own.
    FlushLines();
    Announce(text);
}

void ScreenReaderBridge::FlushLines() {
    flush_.stop();
    if (pending_.isEmpty()) return;
    const QString text = pending_.join(QLatin1Char('\n'));
    pending_.clear();
    Announce(text);
}

void ScreenReaderBridge::Announce(const QString& text) {
    if (!enabled_ || text.isEmpty()) return;
    announced_ = text;
    Trace("accessibility: announce %s", text.toStdString().c_str());
    // Qt before 6.8 has no announcement event, and its bridge sends a changed
    // description without the text. A notification that shows again with the
    // line as its text is what screen readers read out wherever the focus is.
    //
    // Each line is a notification of its own: a screen reader that reads an
    // event late (a busy machine) still finds the line the event was for, not
    // the next one twice. The last few stay for it to read.
    if (!live_) return;
    auto* notice = new A11yNode(QAccessible::Notification, QString(), live_);
    notice->children.push_back(new A11yNode(QAccessible::StaticText, text, notice));
    Register(notice);
    live_->children.push_back(notice);
    constexpr size_t kNoticesKept = 4;
    std::vector<A11yNode*> gone;
    while (live_->children.size() > kNoticesKept) {
        gone.push_back(live_->children.front());
        live_->children.erase(live_->children.begin());
    }
    if (QAccessible::isActive()) {
        for (A11yNode* old : gone) {
            QAccessibleEvent e(old, QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&e);
        }
        QAccessibleEvent created(notice, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&created);
        QAccessibleEvent shown(notice, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
    for (A11yNode* old : gone) Unregister(old);
}

void ScreenReaderBridge::Sync() {
    TForm1* f = plat_.engine();
    if (!enabled_ || !f || plat_.destroyed) return;
    if (skippedLines_ && !f->ui.SkipActive) {
        skippedLines_ = false;
        pending_.clear();
        Announce(PageText());
    }
    SyncChoices();
    SyncPrompt();
    SyncBacklog();
    SyncQuickBar();
    SyncExtras();
    SyncTree();
}

void ScreenReaderBridge::Perform(const A11yPress& press) {
    QTimer::singleShot(0, this, [this, press] {
        TForm1* f = plat_.engine();
        if (!f || plat_.destroyed) return;
        Trace("accessibility: %s at %d,%d", press.name.toStdString().c_str(), press.x, press.y);
        // The pointer itself stays where it is: the hover goes back to it.
        const int px = f->ui.LastMouseX, py = f->ui.LastMouseY;
        const bool drag = press.toX >= 0;
        if (press.viaX >= 0) f->PBMouseMove(0, press.viaX, press.viaY);
        if (!press.click) {
            // A move alone lights what it reaches, and the pointer stays on it.
            plat_.SetCursorPos(f->ui.PaintBoxOriginX + press.x, f->ui.PaintBoxOriginY + press.y);
            f->PBMouseMove(0, press.x, press.y);
            Sync();
            return;
        }
        for (int i = 0; i < press.times; ++i) {
            f->PBMouseMove(0, press.x, press.y);
            f->PBMouseDown(press.button, 0, press.x, press.y);
            if (plat_.destroyed) return;
            if (drag) f->PBMouseMove(0, press.toX, press.toY);
            f->PBMouseUp(press.button, 0, drag ? press.toX : press.x, drag ? press.toY : press.y);
            if (plat_.destroyed) return;
        }
        f->PBMouseMove(0, px, py);
        Sync();
    });
}


A11yNode* ScreenReaderBridge::Open(A11yNode* node) {
    Register(node);
    overlays_.push_back(node);
    if (QAccessible::isActive()) {
        QAccessibleEvent e(node, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&e);
    }
    return node;
}

void ScreenReaderBridge::Close(A11yNode*& node) {
    if (!node) return;
    auto it = std::find(overlays_.begin(), overlays_.end(), node);
    if (it != overlays_.end()) overlays_.erase(it);
    if (QAccessible::isActive()) {
        QAccessibleEvent e(node, QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&e);
    }
    Unregister(node);
    node = nullptr;
}

void ScreenReaderBridge::Focus(A11yNode* node) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent e(node, QAccessible::Focus);
    QAccessible::updateAccessibility(&e);
}

void ScreenReaderBridge::FocusPaintBox() {
    if (!QAccessible::isActive() || !paintBox()->hasFocus()) return;
    QAccessibleEvent e(paintBox(), QAccessible::Focus);
    QAccessible::updateAccessibility(&e);
}

void ScreenReaderBridge::SyncChoices() {
    const UiState& ui = plat_.engine()->ui;
    // A click map's areas are named by its table, not sent as text.
    const bool map = ui.choiceKind == kChoiceMap && ui.choice.count > 0;
    if (map) {
        choiceLabels_.clear();
        for (int k = 1; k <= ui.choice.count; ++k)
            choiceLabels_ << QString::fromStdString(ToUtf8(ui.choice.options[k].label));
    }
    const bool shown = (ui.choiceKind == kChoiceList || ui.choiceKind == kChoiceListNovel || map) &&
                       ui.choice.count > 0 && !choiceLabels_.isEmpty();
    if (!shown) {
        choicesCollecting_ = ui.choiceKind != kChoiceNone && choicesCollecting_;
        if (choices_) {
            Close(choices_);
            FocusPaintBox();
        }
        return;
    }
    choicesCollecting_ = false;
    const int selected = ui.choice.hovered - 1;
    // One list straight after another (the title's, then its extras') may
    // fall between two looks: the options tell them apart.
    if (choices_ && (choicesKind_ != ui.choiceKind || choicesBuilt_ != choiceLabels_)) {
        Close(choices_);
        choiceSelected_ = -2;
    }
    if (!choices_) {
        choicesKind_ = ui.choiceKind;
        choicesBuilt_ = choiceLabels_;
        // The line that asks goes out before the options are heard.
        FlushLines();
        auto* list = new A11yNode(QAccessible::List, QString::fromUtf8("選択肢"), PaintBoxInterface());
        for (const QString& label : choiceLabels_) {
            auto* item = new A11yNode(QAccessible::ListItem, label, list);
            item->selectable = true;
            // Pressed from the screen reader, or clicked where it stands by a
            // screen reader's own click.
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            if (ChoiceOptionBox(*plat_.engine(), static_cast<int>(list->children.size()) + 1, x1, y1, x2, y2)) {
                item->area = QRect(QPoint(x1, y1), QPoint(x2, y2));
                item->presses.push_back(
                    {QAccessibleActionInterface::pressAction(), (x1 + x2) / 2, (y1 + y2) / 2});
            }
            list->children.push_back(item);
        }
        choices_ = Open(list);
        choiceSelected_ = -2;
    }
    if (selected == choiceSelected_) return;
    choiceSelected_ = selected;
    A11yNode* focus = choices_;
    for (int i = 0; i < static_cast<int>(choices_->children.size()); ++i) {
        A11yNode* item = choices_->children[static_cast<size_t>(i)];
        item->selected = item->focused = i == selected;
        if (i == selected) focus = item;
    }
    choices_->focused = focus == choices_;
    Focus(focus);
}

void ScreenReaderBridge::SyncPrompt() {
    const UiState& ui = plat_.engine()->ui;
    if (ui.promptKind == kPromptNone || promptText_.isEmpty()) {
        if (ui.promptKind == kPromptNone) promptText_.clear();
        if (prompt_) {
            Close(prompt_);
            FocusPaintBox();
        }
        return;
    }
    if (!prompt_) {
        FlushLines();
        auto* alert = new A11yNode(QAccessible::AlertMessage, promptText_, PaintBoxInterface());
        const char* const answers[2] = {"はい", "いいえ"};
        for (int a = 1; a <= 2; ++a) {
            int x = -1, y = -1;
            PromptAnswerCentre(a, x, y);
            alert->children.push_back(Pressable(QAccessible::Button, QString::fromUtf8(answers[a - 1]), alert, x, y));
        }
        prompt_ = Open(alert);
        promptOn_ = -1;
    }
    // The question as it opens, then the answer under the pointer.
    const int on = ui.prompt.yes ? 1 : PromptHit(ui.LastMouseX, ui.LastMouseY) == 2 ? 2 : 0;
    if (on == promptOn_) return;
    promptOn_ = on;
    prompt_->children[0]->focused = on == 1;
    prompt_->children[1]->focused = on == 2;
    prompt_->focused = on == 0;
    Focus(on ? prompt_->children[static_cast<size_t>(on - 1)] : prompt_);
}

void ScreenReaderBridge::SyncBacklog() {
    const BacklogState& b = plat_.engine()->backlog;
    if (!b.open) {
        backlogCollecting_ = false;
        if (backlog_) {
            Close(backlog_);
            FocusPaintBox();
        }
        return;
    }
    backlogCollecting_ = false;
    if (!backlog_) {
        auto* text = new A11yNode(QAccessible::EditableText, QString::fromUtf8("バックログ"), PaintBoxInterface());
        text->hasText = true;
        text->readOnly = true;
        text->content = backlogLines_.join(QLatin1Char('\n'));
        backlog_ = Open(text);
        backlogTop_ = -1;
    }
    // The caret stands on the line the keys moved to, or the top line shown
    // as the wheel scrolls.
    const int top = BacklogReadingLine(b);
    if (top == backlogTop_) return;
    const bool first = backlogTop_ < 0;
    backlogTop_ = top;
    int offset = 0;
    for (int i = 0; i < top && i < backlogLines_.size(); ++i) offset += static_cast<int>(backlogLines_[i].size()) + 1;
    backlog_->caret = offset;
    backlog_->focused = true;
    if (first) Focus(backlog_);
    else if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent e(backlog_, offset);
        QAccessible::updateAccessibility(&e);
    }
}

namespace {

// The quick buttons by slot, named as the right-click menu names the same actions.
const char* const kQuickCaptions[kQuickSlots + 1] = {
    "", "メッセージスキップ", "オートプレイ", "テキストウィンドウ消去", "クイックセーブ", "クイックロード", "バックログ",
    "シーン巻き戻し", "設定", "オート速度を上げる", "オート速度を下げる"};


}  // namespace

void ScreenReaderBridge::SyncQuickBar() {
    TForm1& f = *plat_.engine();
    const int mode = f.app.playMode;
    const bool shown = f.text.windowOpen && (mode == 0 || mode == 9) && f.ui.promptKind == kPromptNone &&
                       !f.backlog.open && f.text.quickBand.width == kQuickBandWidth;
    if (!shown) {
        if (quickBar_) Close(quickBar_);
        return;
    }
    if (!quickBar_) {
        auto* bar = new A11yNode(QAccessible::ToolBar, QString::fromUtf8("クイックボタン"), PaintBoxInterface());
        // Left to right, as they stand on the bar.
        std::vector<std::pair<int, int>> placed;  // x, slot
        for (int k = 1; k <= kQuickSlots; ++k) {
            int x = 0, y = 0;
            if (QuickButtonCentre(f, k, x, y)) placed.emplace_back(x, k);
        }
        std::sort(placed.begin(), placed.end());
        for (const auto& [x, k] : placed) {
            int cx = 0, cy = 0;
            QuickButtonCentre(f, k, cx, cy);
            A11yNode* b = Pressable(QAccessible::Button, QString::fromUtf8(kQuickCaptions[k]), bar, cx, cy);
            b->tag = k;
            b->checkable = k == 1 || k == 2;
            bar->children.push_back(b);
        }
        quickBar_ = Open(bar);
    }
    // Skip and auto read as switched on while they run.
    for (A11yNode* b : quickBar_->children) {
        if (!b->checkable) continue;
        const bool on = b->tag == 1 ? f.ui.SkipActive : f.vars.S[26] != 0;
        if (on == b->checked) continue;
        b->checked = on;
        if (QAccessible::isActive()) {
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent e(b, changed);
            QAccessible::updateAccessibility(&e);
        }
    }
}

namespace {

// One thing the extras screens show, for the screen reader.
struct ExtrasPart {
    ExtrasPart(QAccessible::Role r, QString n) : role(r), name(std::move(n)) {}
    QAccessible::Role role;
    QString name;
    std::vector<A11yPress> presses;
    int in = 0;    // which list it is an item of (0: none)
    int list = 0;  // a list: its number
    bool selected = false, checkable = false, checked = false, focused = false;
};

ExtrasPart Press(QAccessible::Role role, const QString& name, int x, int y, MouseButton button = mbLeft) {
    ExtrasPart p{role, name};
    if (x >= 0) p.presses.push_back({QAccessibleActionInterface::pressAction(), x, y, button});
    return p;
}

QString U8(const std::string& cp932) { return QString::fromStdString(ToUtf8(cp932)); }

// The gallery page or its full view; the title is empty when neither shows.
QString GalleryParts(TForm1& f, std::vector<ExtrasPart>& parts) {
    const GalleryState& g = f.extras.gallery;
    if (f.app.playMode != 6 || !g.open) return QString();
    const ViewerPage& v = g.view;
    const int set = g.currentSet;
    if (g.fullView) {
        // A left click shows the slot's next picture, a right click goes back to the page.
        ExtrasPart picture{QAccessible::Graphic, QString::fromUtf8("画像 %1、%2 枚目").arg(g.hovered).arg(g.variantIndex)};
        picture.focused = true;
        parts.push_back(picture);
        parts.push_back(Press(QAccessible::Button, QString::fromUtf8("次の画像"), kScreenWidth / 2, kScreenHeight / 2));
        parts.push_back(
            Press(QAccessible::Button, QString::fromUtf8("戻る"), kScreenWidth / 2, kScreenHeight / 2, mbRight));
        return QString::fromUtf8("ギャラリー");
    }
    ExtrasPart cells{QAccessible::List, QString::fromUtf8("ギャラリー")};
    cells.list = 1;
    parts.push_back(cells);
    if (set >= 0 && set < static_cast<int>(v.sets.size())) {
        for (int n = 1; n < kViewerSlots; ++n) {
            const ViewerSlot& c = v.sets[static_cast<size_t>(set)].cells[n];
            if (c.state == 0 || (v.type == 3 && c.value.empty())) continue;
            ExtrasPart p{QAccessible::ListItem, QString::fromUtf8("未閲覧")};
            if (c.state != 1) {
                if (v.type == 0) p.name = QString::fromUtf8("画像 %1（%2/%3）").arg(n).arg(c.seen).arg(c.variants);
                else if (v.type == 1) p.name = c.caption.empty() ? QString::fromUtf8("シーン %1").arg(n) : U8(c.caption);
                else p.name = QString::fromUtf8("曲 %1").arg(n);
                p = Press(QAccessible::ListItem, p.name, v.slotX[n] + v.thumbW / 2, v.slotY[n] + v.thumbH / 2);
                p.selected = (v.type == 2 || v.type == 3) && g.currentTrack == n;
                p.focused = g.hovered == n;
            }
            p.in = 1;
            parts.push_back(p);
        }
    }
    const auto button = [&](const ViewerRect& rect, const QString& name, int element) {
        if (rect.x1 < 0 || rect.x2 <= rect.x1 || rect.y2 <= rect.y1) return;
        ExtrasPart p = Press(QAccessible::Button, name, (rect.x1 + rect.x2) / 2, (rect.y1 + rect.y2) / 2);
        p.focused = g.hovered == element;
        parts.push_back(p);
    };
    // The music room's arrows play on and stop.
    if (v.type == 3 || v.setCount > 1) {
        button(v.prev, QString::fromUtf8(v.type == 3 ? "停止" : "前のページ"), kViewerPrev);
        button(v.next, QString::fromUtf8(v.type == 3 ? "再生" : "次のページ"), kViewerNext);
    }
    for (int nn = 0; nn < kViewerSetButtons; ++nn) {
        const ViewerButton& b = v.setButtons[nn];
        if (b.ActiveIn(set)) button(b.rect, QString::fromUtf8("ページ %1").arg(b.target + 1), kViewerSetButtonBase + nn);
    }
    const char shown = v.name.size() > 5 ? v.name[5] : '\0';
    for (int d = 0; d < kViewerPageButtons; ++d) {
        const ViewerButton& b = v.pageButtons[d];
        if (b.ActiveIn(set) && shown != '0' + d)
            button(b.rect, QString::fromUtf8("ギャラリー %1").arg(d), kViewerPageButtonBase + d);
    }
    button(v.exit, QString::fromUtf8("戻る"), kViewerExit);
    return QString::fromUtf8("ギャラリー");
}

// The recollection: tabs, the scene cells, the record lists and their
// entries, the buttons. Scenes and entries play at a double click and move
// by dragging; their second actions do the drags.
QString RecollectionParts(TForm1& f, std::vector<ExtrasPart>& parts) {
    const RecollectionState& r = f.extras.recollection;
    if (f.app.playMode != 8 || !r.open) return QString();
    const auto hovered = [&](RecItem kind, int index) { return r.hoverKind == kind && r.hoverIndex == index; };
    const auto at = [&](QAccessible::Role role, const QString& name, RecItem kind, int index) {
        int x = -1, y = -1;
        RecollectionItemCentre(kind, index, x, y);
        ExtrasPart p = Press(role, name, x, y);
        p.focused = hovered(kind, index);
        return p;
    };
    for (int k = 0; k < r.categoryCount; ++k) {
        ExtrasPart tab = at(QAccessible::PageTab, QString::fromUtf8("タブ %1").arg(k + 1), RecItem::Tab, k);
        tab.selected = k == r.category;
        parts.push_back(tab);
    }
    const int subs = r.subListCount[r.category];
    for (int k = 0; subs >= 2 && k < subs && k < kSubListsMax; ++k) {
        QString label = U8(r.subLists[r.category][k]);
        if (label.startsWith(QLatin1Char(':'))) label.remove(0, 1);
        ExtrasPart sub = at(QAccessible::PageTab, label, RecItem::SubList, k);
        sub.selected = k == r.subList[r.category];
        parts.push_back(sub);
    }
    const int32_t* list = f.extras.recordLists[r.recordList];
    const int entries = ListLength(list);
    const auto scene = [&](int n) {
        return n > 0 && n < static_cast<int>(r.SceneLines.size()) ? U8(r.SceneLines[static_cast<size_t>(n)])
                                                                   : QString();
    };
    ExtrasPart cells{QAccessible::List, QString::fromUtf8("回想")};
    cells.list = 1;
    parts.push_back(cells);
    for (int c = 0; c < kSceneGridCells; ++c) {
        if (r.cellScene[c] > 0) {
            ExtrasPart p = at(QAccessible::ListItem, scene(r.cellScene[c]), RecItem::Cell, c);
            p.presses[0].times = 2;
            if (entries < kRecordListUsed) {
                A11yPress add{QString::fromUtf8("記録リストに追加"), p.presses[0].x, p.presses[0].y};
                RecollectionDropPoint(RecItem::Cell, c, add.x, add.y, entries, add.toX, add.toY);
                p.presses.push_back(add);
            }
            p.in = 1;
            parts.push_back(p);
        } else if (r.cellLocked[c] > 0) {
            ExtrasPart p{QAccessible::ListItem, QString::fromUtf8("未閲覧")};
            p.in = 1;
            parts.push_back(p);
        }
    }
    const auto listName = [&](int s) {
        const char* name = f.extras.recordListNames[s];
        return name[0] ? U8(name) : QStringLiteral("Record Slot %1").arg(s + 1);
    };
    for (int s = 0; s < kRecordLists; ++s) {
        ExtrasPart icon = at(QAccessible::RadioButton, listName(s), RecItem::Icon, s);
        icon.checkable = true;
        icon.checked = s == r.recordList;
        parts.push_back(icon);
    }
    ExtrasPart record{QAccessible::List, listName(r.recordList)};
    record.list = 2;
    parts.push_back(record);
    for (int i = 0; i < entries; ++i) {
        ExtrasPart p = at(QAccessible::ListItem, scene(list[i]), RecItem::Entry, i);
        p.presses[0].times = 2;
        A11yPress off{QString::fromUtf8("記録リストから外す"), p.presses[0].x, p.presses[0].y};
        RecollectionDropPoint(RecItem::Entry, i, off.x, off.y, -1, off.toX, off.toY);
        p.presses.push_back(off);
        p.in = 2;
        parts.push_back(p);
    }
    parts.push_back(at(QAccessible::Button, QString::fromUtf8("再生"), RecItem::Play, 0));
    parts.push_back(at(QAccessible::Button, QString::fromUtf8("クリア"), RecItem::Clear, 0));
    parts.push_back(at(QAccessible::Button, QString::fromUtf8("名前の変更"), RecItem::Rename, 0));
    parts.push_back(at(QAccessible::Button, QString::fromUtf8("戻る"), RecItem::Back, 0));
    return QString::fromUtf8("回想");
}

}  // namespace

void ScreenReaderBridge::SyncExtras() {
    TForm1& f = *plat_.engine();
    std::vector<ExtrasPart> parts;
    QString title = GalleryParts(f, parts);
    if (title.isEmpty()) title = RecollectionParts(f, parts);
    // The tree is built again when what it shows changes; the focus alone moves within it.
    QStringList shownNow;
    if (!title.isEmpty()) shownNow << title;
    int focusAt = -1;
    for (size_t i = 0; i < parts.size(); ++i) {
        const ExtrasPart& p = parts[i];
        QString line = QStringLiteral("%1|%2|%3|%4|%5|%6")
                           .arg(int(p.role)).arg(p.name).arg(p.in).arg(p.list).arg(p.selected).arg(p.checked);
        for (const A11yPress& a : p.presses)
            line += QStringLiteral("|%1:%2,%3,%4,%5").arg(a.name).arg(a.x).arg(a.y).arg(a.toX).arg(a.toY);
        shownNow << line;
        if (p.focused && focusAt < 0) focusAt = static_cast<int>(i);
    }
    if (shownNow != extrasShown_ || (!extras_ && !title.isEmpty())) {
        extrasShown_ = shownNow;
        extrasFocus_.clear();
        if (extras_) Close(extras_);
        extrasNodes_.clear();
        if (title.isEmpty()) {
            FocusPaintBox();
            return;
        }
        auto* root = new A11yNode(QAccessible::Grouping, title, PaintBoxInterface());
        std::vector<A11yNode*> lists(3, nullptr);
        for (const ExtrasPart& p : parts) {
            A11yNode* parent = p.in > 0 && p.in < 3 && lists[static_cast<size_t>(p.in)] ? lists[static_cast<size_t>(p.in)] : root;
            A11yNode* node = new A11yNode(p.role, p.name, parent);
            node->presses = p.presses;
            node->selectable = p.role == QAccessible::ListItem || p.role == QAccessible::PageTab;
            node->selected = p.selected;
            node->checkable = p.checkable;
            node->checked = p.checked;
            if (p.list > 0 && p.list < 3) lists[static_cast<size_t>(p.list)] = node;
            parent->children.push_back(node);
            extrasNodes_.push_back(node);
        }
        extras_ = Open(root);
    }
    if (!extras_) return;
    // Without a hovered part the selected cell, or the first, has the focus.
    if (focusAt < 0)
        for (size_t i = 0; i < parts.size() && focusAt < 0; ++i)
            if (parts[i].in > 0 && parts[i].selected) focusAt = static_cast<int>(i);
    if (focusAt < 0)
        for (size_t i = 0; i < parts.size() && focusAt < 0; ++i)
            if (parts[i].in > 0) focusAt = static_cast<int>(i);
    A11yNode* focus = focusAt >= 0 ? extrasNodes_[static_cast<size_t>(focusAt)] : extras_;
    const QString key = QString::number(focusAt);
    if (key == extrasFocus_) return;
    extrasFocus_ = key;
    extras_->focused = false;
    for (A11yNode* n : extrasNodes_) n->focused = false;
    focus->focused = true;
    Focus(focus);
}

void ScreenReaderBridge::SyncTree() {
    TForm1& f = *plat_.engine();
    const ChoiceTreeState& t = f.extras.tree;
    if (f.ui.choiceKind != kChoiceTree || t.column1Count == 0) {
        treeShown_.clear();
        if (tree_) {
            Close(tree_);
            FocusPaintBox();
        }
        return;
    }
    const ChoiceTree& tree = t.trees[t.shown];
    if (!tree_) {
        // The line that asks goes out before the rows are heard.
        FlushLines();
        // The rows as the screen lists them, a group's reached entries under
        // it: they show beside it while it is lit. A list of lists: Qt gives
        // tree items the role of table cells, which screen readers read as
        // cells of a table that is not there.
        auto* root = new A11yNode(QAccessible::List, QString::fromUtf8("選択肢ツリー"), PaintBoxInterface());
        const auto place = [](A11yNode* n, int x, int y) { n->area = QRect(x - 80, y - 16, 160, 32); };
        for (int r = 0; r < t.column1Count; ++r) {
            const ChoiceTreeEntry& e = tree.entries[t.column1[r]];
            auto* item = new A11yNode(QAccessible::ListItem, U8(e.caption), root);
            item->selectable = true;
            item->tag = r;
            int x = 0, y = 0;
            ChoiceTreeRowCentre(f, 1, r, -1, x, y);
            place(item, x, y);
            int32_t subs[kTreeRows];
            const int n = ChoiceTreeSubEntries(f, r, subs);
            if (e.target[0] != '\0') {
                item->presses.push_back({QAccessibleActionInterface::pressAction(), x, y});
            } else {
                // A group's press shows its entries, as the pointer resting on it does.
                A11yPress open{QAccessibleActionInterface::pressAction(), x, y};
                open.click = false;
                item->presses.push_back(open);
                item->expandable = n > 0;
            }
            for (int k = 0; k < n; ++k) {
                auto* sub = new A11yNode(QAccessible::ListItem, U8(tree.entries[subs[k]].caption), item);
                sub->selectable = true;
                sub->tag = k;
                int sx = 0, sy = 0;
                ChoiceTreeRowCentre(f, 2, k, r, sx, sy);
                place(sub, sx, sy);
                A11yPress pick{QAccessibleActionInterface::pressAction(), sx, sy};
                pick.viaX = x;
                pick.viaY = y;
                sub->presses.push_back(pick);
                item->children.push_back(sub);
            }
            root->children.push_back(item);
        }
        tree_ = Open(root);
    }
    // The lit row is the selected, focused one; the group whose entries
    // show is expanded. The prompt over the tree takes the focus meanwhile.
    const int open = t.column2Shown ? t.column2Row : -1;
    const QString now = QStringLiteral("%1|%2|%3").arg(t.hovered).arg(open).arg(f.ui.promptKind);
    if (now == treeShown_) return;
    treeShown_ = now;
    A11yNode* focus = tree_;
    for (A11yNode* item : tree_->children) {
        const bool wasExpanded = item->expanded;
        item->expanded = item->tag == open;
        item->selected = item->focused = t.hovered == 100 + item->tag;
        if (item->focused) focus = item;
        for (A11yNode* sub : item->children) {
            sub->selected = sub->focused = item->expanded && t.hovered == 200 + sub->tag;
            if (sub->focused) focus = sub;
        }
        if (item->expandable && wasExpanded != item->expanded && QAccessible::isActive()) {
            QAccessible::State changed;
            changed.expanded = true;
            changed.collapsed = true;
            QAccessibleStateChangeEvent e(item, changed);
            QAccessible::updateAccessibility(&e);
        }
    }
    tree_->focused = focus == tree_;
    if (f.ui.promptKind == kPromptNone) Focus(focus);
}

}  // namespace velmora::platform
