#pragma once
// The screen reader's view of the game (AT-SPI through Qt's accessibility):
// the paint box is an accessible object whose text is the page as the text
// outlets send it; a live region announces each line; the choices, the
// yes/no prompt, the backlog viewer, the quick buttons and the cells and
// buttons of the gallery and the recollection are its children while they
// are shown. It is attached through a QAccessible
// factory, so the paint box itself knows nothing of it, and it is fed by the
// text outlets, so no text is worked out a second time.
#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <vector>

#include "platform/input_codes.h"
#include "platform/platform.h"

class QWidget;

namespace velmora::platform {

class QtPlatform;
class A11yNode;

// What one of a node's actions does with the pointer: presses of a button
// at a point, or a press there and a release elsewhere (a drag).
struct A11yPress {
    QString name;
    int x = -1, y = -1;
    MouseButton button = mbLeft;
    int times = 1;            // two: a double click
    int toX = -1, toY = -1;   // where a drag is let go
    int viaX = -1, viaY = -1; // a point the pointer passes first (to open what holds the target)
    bool click = true;        // false: the pointer only goes there, and stays
};

class ScreenReaderBridge : public QObject, public QAccessible::ActivationObserver {
public:
    explicit ScreenReaderBridge(QtPlatform& plat);
    ~ScreenReaderBridge() override;

    // Whether an assistive technology listens on the desktop now.
    static bool AssistiveTechnologyActive();
    // Off: the paint box is an empty, silent box.
    void SetEnabled(bool on);
    bool enabled() const { return enabled_; }

    // The text-out stream.
    void Put(TextKind kind, const QString& text);
    void NewPage();
    void Notice(const QString& text);

    // What the paint box's interface shows.
    QWidget* paintBox() const;
    QString PageText() const;
    // The line or lines announced last (the paint box's description, the
    // live region's name).
    const QString& announced() const { return announced_; }
    const std::vector<A11yNode*>& overlays() const { return overlays_; }

    // Compares the engine's choices, prompt, backlog and skipping with what
    // was reported and tells the screen reader what changed.
    void Sync();

    void accessibilityActiveChanged(bool active) override;

    // Presses the pointer would make, after the accessibility call returns
    // (the engine may wait or open a dialog).
    void Perform(const A11yPress& press);

    // The engine's sleep between its frames while screen readers are on:
    // the accessibility bus's calls are answered as they come, and nothing
    // else runs (the engine is not entered again).
    void SleepAnswering(uint32_t ms);
    // Notes the object the accessibility bus's calls are delivered to.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Announce(const QString& text);
    void FlushLines();
    void SyncChoices();
    void SyncPrompt();
    void SyncBacklog();
    void SyncQuickBar();
    void SyncExtras();
    void SyncTree();
    A11yNode* Open(A11yNode* node);
    void Close(A11yNode*& node);
    void Focus(A11yNode* node);
    void FocusPaintBox();
    void RefocusOverlay();

    QtPlatform& plat_;
    bool enabled_ = false;
    QPointer<QObject> busAdaptor_;  // receives the accessibility bus's calls
    QTimer poll_;
    QTimer flush_;
    QStringList page_;        // the page's completed lines
    QStringList pending_;     // completed but not yet announced
    bool skippedLines_ = false;  // lines went by while skipping
    QString announced_;
    // Choices as the outlets listed them, the prompt's question, the backlog's lines.
    QStringList choiceLabels_;
    bool choicesCollecting_ = false;
    QString promptText_;
    QStringList backlogLines_;
    bool backlogCollecting_ = false;
    // The overlays shown, with the state last reported.
    std::vector<A11yNode*> overlays_;
    A11yNode* live_ = nullptr;  // a status bar of the lines announced last
    A11yNode* choices_ = nullptr;
    int choicesKind_ = 0;         // what the list was built for
    QStringList choicesBuilt_;
    int choiceSelected_ = -1;
    A11yNode* prompt_ = nullptr;
    int promptOn_ = -1;  // 0 the question, 1 yes, 2 no
    A11yNode* backlog_ = nullptr;
    int backlogTop_ = -1;
    A11yNode* quickBar_ = nullptr;
    A11yNode* tree_ = nullptr;  // the choice tree
    QString treeShown_;         // the lit row and open group last reported
    A11yNode* extras_ = nullptr;
    QStringList extrasShown_;  // what the extras node was built from
    std::vector<A11yNode*> extrasNodes_;  // its parts, in the order built
    QString extrasFocus_;      // which of them has the focus
};

}  // namespace velmora::platform
