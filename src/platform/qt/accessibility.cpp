#include "platform/qt/accessibility.h"

#include <QAccessibleWidget>
#include <QWidget>
#include <algorithm>

#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"
#include "platform/qt/qt_platform.h"
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
class A11yNode : public QAccessibleInterface, public PlainText {
public:
    A11yNode(QAccessible::Role role, QString name, QAccessibleInterface* parent)
        : role_(role), name_(std::move(name)), parent_(parent) {}
    ~A11yNode() override = default;

    QAccessible::Id id = 0;
    QString content;  // for text roles
    bool hasText = false;
    bool selectable = false, selected = false, focused = false, readOnly = false;
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
        if (t == QAccessible::Value && hasText) return content;
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return parent_ ? parent_->rect() : QRect(); }
    QAccessible::Role role() const override { return role_; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = selectable;
        s.selected = selected;
        s.focusable = selectable || role_ == QAccessible::Button || hasText;
        s.focused = focused;
        s.readOnly = readOnly;
        s.multiLine = hasText;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface && hasText) return static_cast<QAccessibleTextInterface*>(this);
        return nullptr;
    }

private:
    QAccessible::Role role_;
    QString name_;
    QAccessibleInterface* parent_;
};

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
    // The main window is a plain widget; screen readers look for a frame.
    if (object == gBridge->paintBox()->window()) return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
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
}

ScreenReaderBridge::~ScreenReaderBridge() {
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

QWidget* ScreenReaderBridge::paintBox() const { return plat_.mainWindow().PB; }

QString ScreenReaderBridge::PageText() const { return page_.join(QLatin1Char('\n')); }

void ScreenReaderBridge::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Trace("accessibility: screen readers %s", on ? "on" : "off");
    if (on) {
        // The live region: the lines as they complete, for reading aloud.
        live_ = Open(new A11yNode(QAccessible::Notification, QString(), PaintBoxInterface()));
        poll_.start();
        Sync();
    } else {
        poll_.stop();
        for (A11yNode* n : std::vector<A11yNode*>(overlays_)) Close(n);
        choices_ = prompt_ = backlog_ = live_ = nullptr;
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
    // line as its name is what screen readers read out wherever the focus is.
    if (!live_) return;
    live_->SetName(text);
    if (!QAccessible::isActive()) return;
    QAccessibleEvent named(live_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent shown(live_, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
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
}

A11yNode* ScreenReaderBridge::Open(A11yNode* node) {
    node->id = QAccessible::registerAccessibleInterface(node);
    for (A11yNode* c : node->children) c->id = QAccessible::registerAccessibleInterface(c);
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
    // The registry owns them and deletes them.
    for (A11yNode* c : node->children) QAccessible::deleteAccessibleInterface(c->id);
    QAccessible::deleteAccessibleInterface(node->id);
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
    const bool shown = (ui.choiceKind == kChoiceList || ui.choiceKind == kChoiceListNovel) && ui.choice.count > 0 &&
                       !choiceLabels_.isEmpty();
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
    if (!choices_) {
        auto* list = new A11yNode(QAccessible::List, QString::fromUtf8("選択肢"), PaintBoxInterface());
        for (const QString& label : choiceLabels_) {
            auto* item = new A11yNode(QAccessible::ListItem, label, list);
            item->selectable = true;
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
        auto* alert = new A11yNode(QAccessible::AlertMessage, promptText_, PaintBoxInterface());
        alert->children.push_back(new A11yNode(QAccessible::Button, QString::fromUtf8("はい"), alert));
        alert->children.push_back(new A11yNode(QAccessible::Button, QString::fromUtf8("いいえ"), alert));
        prompt_ = Open(alert);
        promptYes_ = -1;
    }
    const int yes = ui.prompt.yes ? 1 : 0;
    if (yes == promptYes_) return;
    promptYes_ = yes;
    // The question as it opens, "はい" while the pointer is on it.
    prompt_->children[0]->focused = yes != 0;
    prompt_->focused = yes == 0;
    Focus(yes ? prompt_->children[0] : prompt_);
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
    // The caret stands at the top line shown, as the wheel scrolls.
    const int top = std::max(b.count - b.viewer.scroll - kBacklogRows, 0);
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

}  // namespace velmora::platform
