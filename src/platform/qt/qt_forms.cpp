// The engine's forms and pop-up menus as Qt widgets. The model in
// platform/forms.h holds every state; the widgets only show it. Whatever the
// player does goes through Dispatch, and afterwards every widget is set from
// the model again (the handler may have changed anything, or refused).
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <vector>

#include "data/encoding.h"
#include "platform/forms.h"
#include "platform/qt/qt_platform.h"
#include "text/glyph_outline.h"
#include "text/text_out.h"

namespace velmora::platform {

namespace {

QString FromCp932(const std::string& s) { return QString::fromStdString(ToUtf8(s)); }

QPixmap PixmapOf(const Picture& p) {
    if (p.Empty() || p.bytes.size() < static_cast<size_t>(p.Stride()) * static_cast<size_t>(p.height)) return {};
    QImage image(p.bytes.data(), p.width, p.height, p.Stride(), QImage::Format_BGR888);
    return QPixmap::fromImage(image);  // copies the bytes
}

// The form's face as Qt knows it: the name itself when installed, else the
// first installed stand-in for a Windows face; else Qt's default family.
QFont FormFont(const Form& form) {
    QFont font;
    if (form.fontPixels > 0) font.setPixelSize(form.fontPixels);
    const std::string face = ToUtf8(form.fontFace);
    auto installed = [](const std::string& family) {
        return !family.empty() && QFontDatabase::hasFamily(QString::fromStdString(family));
    };
    if (installed(face)) {
        font.setFamily(QString::fromStdString(face));
    } else if (const std::vector<std::string>* targets = WindowsFaceAlias(face)) {
        for (const std::string& t : *targets)
            if (installed(t)) {
                font.setFamily(QString::fromStdString(t));
                break;
            }
    }
    return font;
}

// The choices of a radio group whole inside it: they share its height
// evenly (the toolkit's own spacing would push them over each other), and
// only where a line of text or a caption's width does not fit is their
// font made smaller.
void FitChoices(QGroupBox* box, const std::vector<QRadioButton*>& radios) {
    if (radios.empty()) return;
    const QMargins m = box->layout()->contentsMargins();
    const QRect room = box->contentsRect().marginsRemoved(m);
    const int each = room.height() / static_cast<int>(radios.size());
    QFont font = box->font();
    const int start = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    for (QRadioButton* r : radios) r->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    for (int px = start; px >= 8; --px) {
        font.setPixelSize(px);
        int wide = 0;
        for (QRadioButton* r : radios) {
            r->setFont(font);
            wide = std::max(wide, r->sizeHint().width());
        }
        if (QFontMetrics(font).height() + 2 <= each && wide <= room.width()) return;
    }
}

// A row's picture (or none) with a text under it, as one tip.
QPixmap WithCaption(const QPixmap& picture, const QString& text, const QFont& font, qreal dpr) {
    const QFontMetrics fm(font);
    const int pad = 4;
    const QSize pic = picture.isNull() ? QSize() : picture.deviceIndependentSize().toSize();
    const int w = std::max(pic.width(), fm.horizontalAdvance(text) + 2 * pad);
    const int h = pic.height() + fm.height() + 2 * pad;
    QPixmap out(QSize(w, h) * dpr);
    out.setDevicePixelRatio(dpr);
    out.fill(QApplication::palette().color(QPalette::ToolTipBase));
    QPainter p(&out);
    if (!picture.isNull()) p.drawPixmap(QRect(QPoint(0, 0), pic), picture);
    p.setFont(font);
    p.setPen(QApplication::palette().color(QPalette::ToolTipText));
    p.drawText(QRect(pad, pic.height() + pad, w - 2 * pad, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.setPen(QApplication::palette().color(QPalette::Mid));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    return out;
}

// A label shows its caption as the form's own toolkit did: "&" marks the
// accelerator and is not drawn, "&&" is one "&".
QString LabelText(const std::string& cp932) {
    const QString caption = FromCp932(cp932);
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out;
}

constexpr int kDefaultColumnWidth = 60;
constexpr int kCellPadding = 12;  // a cell's text margins and grid line

// The columns as wide as their texts where the list has the room; where it
// has not, the columns of free text are narrowed
// alike and show their whole text on hover. What is left over goes to the
// last column.
void FitColumns(QTableWidget* table, const std::vector<ListColumn>& model) {
    const int n = table->columnCount();
    if (n == 0) return;
    const QFontMetrics cells = table->fontMetrics();
    const QFontMetrics heads = table->horizontalHeader()->fontMetrics();
    std::vector<int> need(n);
    for (int j = 0; j < n; ++j) {
        const QTableWidgetItem* head = table->horizontalHeaderItem(j);
        need[j] = head ? heads.horizontalAdvance(head->text()) + 2 * kCellPadding : kDefaultColumnWidth;
        for (int r = 0; r < table->rowCount(); ++r)
            if (const QTableWidgetItem* item = table->item(r, j))
                need[j] = std::max(need[j], cells.horizontalAdvance(item->text()) + kCellPadding);
    }
    const int rowsHigh = table->rowCount() * table->verticalHeader()->defaultSectionSize();
    const int headHigh = table->horizontalHeader()->sizeHint().height();
    int room = table->contentsRect().width();
    if (rowsHigh + headHigh > table->contentsRect().height())
        room -= table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    std::vector<bool> narrows(n, false);
    bool any = false;
    for (int j = 0; j < n && j < static_cast<int>(model.size()); ++j) any = any || (narrows[j] = model[j].narrows);
    if (!any) return;  // a list without free text keeps the widths its form gives
    // The one cap that shares out what the fixed columns leave: narrowing
    // columns below it keep their width.
    std::vector<int> sorted;
    int share = room;
    for (int j = 0; j < n; ++j) {
        if (narrows[j]) sorted.push_back(need[j]);
        else share -= need[j];
    }
    std::sort(sorted.begin(), sorted.end());
    int cap = sorted.empty() ? 0 : sorted.back(), used = 0;
    const int m = static_cast<int>(sorted.size());
    for (int k = 0; k < m; ++k) {
        if (used + sorted[k] * (m - k) >= share) {
            cap = std::max((share - used) / (m - k), kDefaultColumnWidth);
            break;
        }
        used += sorted[k];
    }
    int total = 0;
    for (int j = 0; j < n; ++j) total += need[j] = narrows[j] ? std::min(need[j], cap) : need[j];
    if (total < room) need[n - 1] += room - total;
    for (int j = 0; j < n; ++j) table->horizontalHeader()->resizeSection(j, need[j]);
}

class FormDialog : public QDialog {
public:
    FormDialog(QtPlatform& plat, Form& form, QWidget* parent);
    // Shows the form and returns once the model has closed it.
    void Run();

    // Escape and Enter do nothing by themselves; only the model closes.
    void reject() override {}
    void accept() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // What a control's widget last showed of the model, so that a refresh
    // touches only what changed.
    struct Shown {
        QWidget* widget = nullptr;
        std::vector<QRadioButton*> radios;
        std::vector<std::string> choices;
        std::vector<std::vector<std::string>> rows;
        std::vector<ListColumn> columns;
        bool listBuilt = false;
        bool mouseDown = false;  // a press on the list's rows is under way
        Picture picture;
        bool pictureShown = false;
    };

    QWidget* Make(int index);
    void Act(FormAction action);
    void Refresh();
    void RefreshControl(int index);
    void RefreshList(const Control& c, Shown& s, QTableWidget* table);
    void RefreshRadios(int index, const Control& c, Shown& s, QGroupBox* box);
    void Key(QKeyEvent* e, int control);
    void Hover(int control, QTableWidget* table, QPoint at);
    void HideTip();
    void WatchKeys(QWidget* w, int control);

    QtPlatform& plat_;
    Form& form_;
    std::vector<Shown> shown_;
    QTabWidget* tabs_ = nullptr;
    std::vector<QWidget*> pages_;
    std::map<QObject*, int> keyOwner_;    // widgets that take the keyboard -> control (-1: the form)
    std::map<QObject*, int> listOwner_;   // list viewports -> control
    const QEvent* childKey_ = nullptr;    // the key event a control already reported
    int shownFocus_ = -2;
    bool finished_ = false;
    QLabel* tip_ = nullptr;
    int tipControl_ = -1, tipRow_ = -1, tipColumn_ = -1;  // the cell the pointer rests on
    bool tipPicture_ = false;            // and whether it has a picture
};

FormDialog::FormDialog(QtPlatform& plat, Form& form, QWidget* parent) : QDialog(parent), plat_(plat), form_(form) {
    setObjectName(QString::fromStdString(form.name));
    Qt::WindowFlags flags = Qt::Dialog;
    if (form.systemButtons) flags |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    else flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (form.topmost) flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setWindowTitle(FromCp932(form.caption));
    setFont(FormFont(form));
    setFixedSize(std::max(form.clientWidth, 1), std::max(form.clientHeight, 1));

    if (!form.pages.empty()) {
        tabs_ = new QTabWidget(this);
        tabs_->setObjectName(QStringLiteral("PageControl"));
        tabs_->setGeometry(form.pagesLeft, form.pagesTop, form.pagesWidth, form.pagesHeight);
        for (const std::string& caption : form.pages) {
            auto* page = new QWidget;
            pages_.push_back(page);
            tabs_->addTab(page, FromCp932(caption));
        }
        // The page row was sized for fewer captions than it may carry: rather
        // than cut or scroll them, set them a little smaller until all fit.
        QTabBar* bar = tabs_->tabBar();
        bar->setElideMode(Qt::ElideNone);
        QFont tabFont = bar->font();
        for (int step = 0; step < 8 && bar->sizeHint().width() > tabs_->width(); ++step) {
            if (tabFont.pixelSize() > 0) tabFont.setPixelSize(tabFont.pixelSize() - 1);
            else tabFont.setPointSizeF(tabFont.pointSizeF() * 0.92);
            bar->setFont(tabFont);
        }
        WatchKeys(tabs_->tabBar(), -1);
        QObject::connect(tabs_, &QTabWidget::currentChanged, this,
                         [this](int page) { Act({ActionKind::Tab, -1, page, {}}); });
    }
    shown_.resize(form.controls.size());
    for (size_t i = 0; i < form.controls.size(); ++i) shown_[i].widget = Make(static_cast<int>(i));
    // Frames sit behind whatever the form puts inside them.
    for (size_t i = 0; i < form.controls.size(); ++i)
        if (form.controls[i].kind == ControlKind::Group) shown_[i].widget->lower();
    WatchKeys(this, -1);

    tip_ = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    tip_->setObjectName(QStringLiteral("RowPicture"));
    tip_->setAttribute(Qt::WA_ShowWithoutActivating);
    tip_->setAttribute(Qt::WA_TransparentForMouseEvents);
    tip_->hide();
}

void FormDialog::WatchKeys(QWidget* w, int control) {
    keyOwner_[w] = control;
    w->installEventFilter(this);
}

QWidget* FormDialog::Make(int index) {
    const Control& c = form_.controls[index];
    QWidget* parent = c.page >= 0 && c.page < static_cast<int>(pages_.size()) ? pages_[c.page] : this;
    QWidget* w = nullptr;
    switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::Image: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(parent);
            // Enter goes to the model as a key, it presses nothing by itself.
            button->setAutoDefault(false);
            button->setDefault(false);
            QObject::connect(button, &QPushButton::clicked, this,
                             [this, index] { Act({ActionKind::Click, index, 0, {}}); });
            w = button;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            // Only what the player typed or composed; setText does not emit it.
            QObject::connect(edit, &QLineEdit::textEdited, this, [this, index](const QString& text) {
                Act({ActionKind::Text, index, 0, text.toStdString()});
            });
            w = edit;
            break;
        }
        case ControlKind::List: {
            auto* table = new QTableWidget(parent);
            table->setShowGrid(true);
            table->setSelectionBehavior(QAbstractItemView::SelectRows);
            table->setSelectionMode(QAbstractItemView::SingleSelection);
            table->setEditTriggers(QAbstractItemView::NoEditTriggers);
            table->setSortingEnabled(false);
            table->setTabKeyNavigation(false);
            table->setWordWrap(false);
            table->verticalHeader()->hide();
            table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
            table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
            table->horizontalHeader()->setSectionsClickable(true);
            table->horizontalHeader()->setHighlightSections(false);
            table->horizontalHeader()->setStretchLastSection(false);
            table->viewport()->setMouseTracking(true);
            table->viewport()->installEventFilter(this);
            listOwner_[table->viewport()] = index;
            QObject::connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this,
                             [this, index](int column) { Act({ActionKind::ColumnClick, index, column, {}}); });
            QObject::connect(table, &QTableWidget::clicked, this, [this, index](const QModelIndex& at) {
                if (at.isValid()) Act({ActionKind::Click, index, at.row(), {}});
            });
            QObject::connect(table, &QTableWidget::doubleClicked, this, [this, index](const QModelIndex& at) {
                if (at.isValid()) Act({ActionKind::DoubleClick, index, at.row(), {}});
            });
            // The keyboard moved the row; a press on a row is reported as its click.
            QObject::connect(table, &QTableWidget::currentCellChanged, this,
                             [this, index](int row, int, int previousRow, int) {
                                 if (row != previousRow && !shown_[index].mouseDown)
                                     Act({ActionKind::Select, index, row, {}});
                             });
            w = table;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(parent);
            // The model flips the value itself.
            QObject::connect(box, &QCheckBox::clicked, this, [this, index] { Act({ActionKind::Click, index, 0, {}}); });
            w = box;
            break;
        }
        case ControlKind::RadioGroup: {
            auto* box = new QGroupBox(parent);
            // The group's height was made for another toolkit's tighter
            // metrics: the choices share it evenly, without extra margins.
            auto* layout = new QVBoxLayout(box);
            layout->setContentsMargins(6, 0, 4, 1);
            layout->setSpacing(0);
            w = box;
            break;
        }
        case ControlKind::Slider: {
            auto* slider = new QSlider(c.vertical ? Qt::Vertical : Qt::Horizontal, parent);
            // A vertical track bar has its minimum at the top and Down raises
            // it. Shown as a slider over the negated range, it keeps that and
            // fills from the bottom up to the handle, as a level should.
            const int sign = c.vertical ? -1 : 1;
            QObject::connect(slider, &QSlider::valueChanged, this,
                             [this, index, sign](int v) { Act({ActionKind::Value, index, sign * v, {}}); });
            w = slider;
            break;
        }
        case ControlKind::SpinBox: {
            auto* spin = new QSpinBox(parent);
            QObject::connect(spin, &QSpinBox::valueChanged, this,
                             [this, index](int v) { Act({ActionKind::Value, index, v, {}}); });
            w = spin;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            QObject::connect(combo, &QComboBox::activated, this,
                             [this, index](int v) { Act({ActionKind::Value, index, v, {}}); });
            w = combo;
            break;
        }
        case ControlKind::Group: w = new QGroupBox(parent); break;
    }
    w->setObjectName(QString::fromStdString(c.name));
    // A label one line of its font high at least: the form's heights were
    // made for another toolkit's metrics, and would cut the descenders.
    const int high = c.kind == ControlKind::Label ? std::max(c.height, w->fontMetrics().height()) : c.height;
    w->setGeometry(c.left, c.top, c.width, high);
    if (w->focusPolicy() != Qt::NoFocus) WatchKeys(w, index);
    return w;
}

void FormDialog::Run() {
    Refresh();
    move(form_.left, form_.top);  // a window's position is its frame's
    setWindowModality(Qt::ApplicationModal);
    if (!form_.closed) exec();
    HideTip();
}

void FormDialog::Act(FormAction action) {
    if (finished_) return;
    Dispatch(plat_, form_, std::move(action));
    // A handler that pumps messages may bring us here again meanwhile; that
    // action was dropped, and the outer one finishes the form.
    Refresh();
    if (form_.closed && !form_.dispatching) {
        finished_ = true;
        HideTip();
        QDialog::done(0);
    }
}

void FormDialog::Refresh() {
    if (tabs_) {
        const QSignalBlocker block(tabs_);
        for (size_t k = 0; k < form_.pages.size() && k < pages_.size(); ++k)
            tabs_->setTabText(static_cast<int>(k), FromCp932(form_.pages[k]));
        if (form_.page >= 0 && form_.page < tabs_->count() && tabs_->currentIndex() != form_.page)
            tabs_->setCurrentIndex(form_.page);
    }
    const int n = static_cast<int>(std::min(form_.controls.size(), shown_.size()));
    for (int i = 0; i < n; ++i) RefreshControl(i);
    if (form_.focus != shownFocus_) {
        shownFocus_ = form_.focus;
        if (form_.focus >= 0 && form_.focus < n) {
            QWidget* w = shown_[form_.focus].widget;
            if (w->isEnabled()) w->setFocus(Qt::OtherFocusReason);
        }
    }
}

void FormDialog::RefreshControl(int index) {
    const Control& c = form_.controls[index];
    Shown& s = shown_[index];
    QWidget* w = s.widget;
    const QSignalBlocker block(w);
    const QString caption = FromCp932(c.caption);
    switch (c.kind) {
        case ControlKind::Label: {
            auto* label = static_cast<QLabel*>(w);
            const QString text = LabelText(c.caption);
            if (label->text() != text) label->setText(text);
            break;
        }
        case ControlKind::Image: {
            if (!s.pictureShown || s.picture.width != c.picture.width || s.picture.height != c.picture.height ||
                s.picture.bytes != c.picture.bytes) {
                static_cast<QLabel*>(w)->setPixmap(PixmapOf(c.picture));
                s.picture = c.picture;
                s.pictureShown = true;
            }
            break;
        }
        case ControlKind::Button: {
            auto* button = static_cast<QPushButton*>(w);
            if (button->text() != caption) button->setText(caption);
            break;
        }
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(w);
            edit->setMaxLength(c.maxChars > 0 ? c.maxChars : 32767);
            const QString text = FromCp932(c.text);
            if (edit->text() != text) {
                const int cursor = edit->cursorPosition();
                edit->setText(text);
                edit->setCursorPosition(std::min<int>(cursor, static_cast<int>(text.size())));
            }
            break;
        }
        case ControlKind::List: RefreshList(c, s, static_cast<QTableWidget*>(w)); break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(w);
            if (box->text() != caption) box->setText(caption);
            box->setChecked(c.value != 0);
            break;
        }
        case ControlKind::RadioGroup: RefreshRadios(index, c, s, static_cast<QGroupBox*>(w)); break;
        case ControlKind::Slider: {
            auto* slider = static_cast<QSlider*>(w);
            if (c.vertical) {
                slider->setRange(-std::max(c.minimum, c.maximum), -c.minimum);
                slider->setValue(-c.value);
            } else {
                slider->setRange(c.minimum, std::max(c.minimum, c.maximum));
                slider->setValue(c.value);
            }
            break;
        }
        case ControlKind::SpinBox: {
            auto* spin = static_cast<QSpinBox*>(w);
            spin->setRange(c.minimum, std::max(c.minimum, c.maximum));
            if (spin->value() != c.value) spin->setValue(c.value);
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            if (s.choices != c.choices) {
                combo->clear();
                for (const std::string& choice : c.choices) combo->addItem(FromCp932(choice));
                s.choices = c.choices;
            }
            const int want = c.value >= 0 && c.value < combo->count() ? c.value : -1;
            if (combo->currentIndex() != want) combo->setCurrentIndex(want);
            break;
        }
        case ControlKind::Group: {
            auto* box = static_cast<QGroupBox*>(w);
            if (box->title() != caption) box->setTitle(caption);
            break;
        }
    }
    // Controls that show no caption of their own are known to screen
    // readers by it all the same.
    const bool uncaptioned = c.kind == ControlKind::Edit || c.kind == ControlKind::List ||
                             c.kind == ControlKind::Slider || c.kind == ControlKind::SpinBox ||
                             c.kind == ControlKind::ComboBox || c.kind == ControlKind::Image;
    if (uncaptioned) {
        // Without a caption of its own, a field is named by the label or
        // button laid out before it, as a buddy label would.
        QString name = caption;
        if (name.isEmpty() && index > 0) {
            const Control& before = form_.controls[index - 1];
            if (before.kind == ControlKind::Label || before.kind == ControlKind::Button)
                name = before.kind == ControlKind::Label ? LabelText(before.caption) : FromCp932(before.caption);
        }
        if (w->accessibleName() != name) w->setAccessibleName(name);
    }
    if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
    if (w->isHidden() == c.visible) w->setVisible(c.visible);
    const QString hint = FromCp932(c.hint);
    if (w->toolTip() != hint) w->setToolTip(hint);
    if (index == tipControl_ && (!c.visible || !c.enabled)) HideTip();
}

void FormDialog::RefreshList(const Control& c, Shown& s, QTableWidget* table) {
    const int columns = static_cast<int>(c.columns.size());
    if (!s.listBuilt || s.columns.size() != c.columns.size()) {
        table->setColumnCount(columns);
        s.columns.clear();
    }
    QHeaderView* header = table->horizontalHeader();
    for (int j = 0; j < columns; ++j) {
        const ListColumn& col = c.columns[j];
        const bool fresh = static_cast<size_t>(j) >= s.columns.size();
        if (fresh || s.columns[j].caption != col.caption) {
            QTableWidgetItem* item = table->horizontalHeaderItem(j);
            if (!item) table->setHorizontalHeaderItem(j, item = new QTableWidgetItem);
            item->setText(FromCp932(col.caption));
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        // Only a width the model changes is applied; the player may drag the others.
        if (fresh || s.columns[j].width != col.width)
            header->resizeSection(j, col.width > 0 ? col.width : kDefaultColumnWidth);
    }
    s.columns = c.columns;

    if (!s.listBuilt || s.rows != c.rows) {
        // Cells are rewritten where their text differs; the rows stay, and so
        // does the scroll position.
        const int rows = static_cast<int>(c.rows.size());
        if (table->rowCount() != rows) table->setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const std::vector<std::string>& cells = c.rows[r];
            const std::vector<std::string>* old =
                s.listBuilt && static_cast<size_t>(r) < s.rows.size() ? &s.rows[r] : nullptr;
            for (int j = 0; j < columns; ++j) {
                const std::string& cell = static_cast<size_t>(j) < cells.size() ? cells[j] : std::string();
                QTableWidgetItem* item = table->item(r, j);
                if (item && old && static_cast<size_t>(j) < old->size() && (*old)[j] == cell) continue;
                const QString text = FromCp932(cell);
                if (!item) {
                    item = new QTableWidgetItem(text);
                    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                    table->setItem(r, j, item);
                } else if (item->text() != text) {
                    item->setText(text);
                }
            }
            // A screen reader reads the row whole from its first cell; the
            // others are blank to it, so one that reads every cell of the
            // focused row (Orca does) says the row once.
            QStringList parts;
            for (int j = 0; j < columns; ++j)
                if (QTableWidgetItem* item = table->item(r, j); item && !item->text().trimmed().isEmpty())
                    parts << item->text().trimmed();
            const QString row = parts.join(QStringLiteral(", "));
            for (int j = 0; j < columns; ++j) {
                // An empty name would fall back to the cell's text.
                const QString name = j == 0 ? row : QStringLiteral(" ");
                if (QTableWidgetItem* item = table->item(r, j); item && item->data(Qt::AccessibleTextRole) != name)
                    item->setData(Qt::AccessibleTextRole, name);
            }
        }
        if (!s.listBuilt) FitColumns(table, c.columns);
        s.rows = c.rows;
        s.listBuilt = true;
        if (tipControl_ >= 0 && shown_[tipControl_].widget == table) HideTip();
    }

    const int selected = c.selected >= 0 && c.selected < table->rowCount() && columns > 0 ? c.selected : -1;
    QItemSelectionModel* model = table->selectionModel();
    if (selected < 0) {
        if (model->hasSelection() || table->currentRow() >= 0) {
            model->clearSelection();
            model->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
    } else if (table->currentRow() != selected || !model->isRowSelected(selected, QModelIndex()) ||
               model->selectedRows().size() != 1) {
        const int column = std::max(table->currentColumn(), 0);
        table->setCurrentCell(selected, std::min(column, columns - 1),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void FormDialog::RefreshRadios(int index, const Control& c, Shown& s, QGroupBox* box) {
    const QString caption = FromCp932(c.caption);
    if (box->title() != caption) box->setTitle(caption);
    if (s.choices != c.choices) {
        // The old buttons may be the sender of the action that changed them.
        for (QRadioButton* r : s.radios) {
            keyOwner_.erase(r);
            box->layout()->removeWidget(r);
            r->hide();
            r->deleteLater();
        }
        s.radios.clear();
        for (size_t k = 0; k < c.choices.size(); ++k) {
            auto* radio = new QRadioButton(FromCp932(c.choices[k]), box);
            radio->setObjectName(QString::fromStdString(c.name) + QString::number(k));
            box->layout()->addWidget(radio);
            WatchKeys(radio, index);
            QObject::connect(radio, &QRadioButton::clicked, this,
                             [this, index, k] { Act({ActionKind::Value, index, static_cast<int>(k), {}}); });
            s.radios.push_back(radio);
        }
        s.choices = c.choices;
        FitChoices(box, s.radios);
    }
    for (size_t k = 0; k < s.radios.size(); ++k) {
        QRadioButton* radio = s.radios[k];
        const QSignalBlocker block(radio);
        // Exclusive buttons cannot all be off, and "none" is a choice of the model.
        radio->setAutoExclusive(false);
        radio->setChecked(static_cast<int>(k) == c.value);
        radio->setAutoExclusive(true);
    }
}

bool FormDialog::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::Enter: {
            // Self-voicing reads the control under the pointer.
            auto owner = keyOwner_.find(watched);
            if (owner == keyOwner_.end() || owner->second < 0 || finished_) break;
            auto* button = qobject_cast<QAbstractButton*>(watched);
            const std::string text = button ? ToCp932(button->text().remove('&').toStdString())
                                            : form_.controls[owner->second].caption;
            velmora::ShowText(plat_, TextKind::Menu, text);
            break;
        }
        case QEvent::FocusIn: {
            // A list that takes the focus as its dialog opens reports itself
            // and not its row, which it had marked before it was shown: the
            // screen reader hears of the row after it.
            auto* table = qobject_cast<QTableWidget*>(watched);
            if (!table || !QAccessible::isActive()) break;
            QTimer::singleShot(0, table, [table] {
                const QModelIndex at = table->currentIndex();
                QAccessibleInterface* list = QAccessible::queryAccessibleInterface(table);
                QAccessibleTableInterface* cells = list ? list->tableInterface() : nullptr;
                QAccessibleInterface* cell = cells && at.isValid() && table->hasFocus()
                                                 ? cells->cellAt(at.row(), at.column()) : nullptr;
                if (!cell) return;
                QAccessibleEvent focus(table, QAccessible::Focus);
                focus.setChild(list->indexOfChild(cell));
                QAccessible::updateAccessibility(&focus);
            });
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto owner = keyOwner_.find(watched);
            if (owner == keyOwner_.end() || finished_) break;
            if (watched == this) {
                // A key a control did not take comes up to the form: it was
                // reported there already.
                QWidget* focus = QApplication::focusWidget();
                const bool fromControl = focus ? focus != this && keyOwner_.count(focus) : e == childKey_;
                childKey_ = nullptr;
                if (fromControl) break;
            } else {
                childKey_ = e;
            }
            Key(static_cast<QKeyEvent*>(e), owner->second);
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::Leave: {
            auto owner = listOwner_.find(watched);
            if (owner == listOwner_.end()) break;
            const int index = owner->second;
            auto* table = static_cast<QTableWidget*>(shown_[index].widget);
            if (e->type() == QEvent::Leave) {
                HideTip();
            } else if (e->type() == QEvent::MouseMove) {
                Hover(index, table, static_cast<QMouseEvent*>(e)->position().toPoint());
            } else if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
                shown_[index].mouseDown = e->type() != QEvent::MouseButtonRelease;
                // A press dragged off its row ends in no click: show the model's row again.
                if (e->type() == QEvent::MouseButtonRelease)
                    QTimer::singleShot(0, this, [this] {
                        if (!finished_) Refresh();
                    });
            }
            break;
        }
        default: break;
    }
    return false;  // the widget still does its own part (moves the list's row, types the key)
}

void FormDialog::Key(QKeyEvent* e, int control) {
    const uint16_t vk = VirtualKey(e->key());
    if (e->type() == QEvent::KeyRelease) {
        if (vk && !e->isAutoRepeat()) Act({ActionKind::KeyUp, control, vk, {}});
        return;
    }
    if (vk) Act({ActionKind::KeyDown, control, vk, {}});
    const QString text = e->text();
    if (text.size() == 1 && text[0].unicode() < 0x100 && !form_.closed)
        Act({ActionKind::KeyPress, control, static_cast<int>(text[0].unicode()), {}});
}

void FormDialog::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter: e->accept(); break;  // the model has had them as keys
        default: QWidget::keyPressEvent(e); break;
    }
}

void FormDialog::closeEvent(QCloseEvent* e) {
    e->ignore();
    // Without a close button nothing closes the form from its frame.
    if (form_.systemButtons && !finished_) Act({ActionKind::Close, -1, 0, {}});
}

void FormDialog::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    // A modal form the window manager minimises takes the game window with
    // it, and the player sees nothing to go back to: it comes back at once.
    if (e->type() == QEvent::WindowStateChange && isMinimized() && !finished_)
        QTimer::singleShot(0, this, [this] {
            if (finished_ || !isMinimized()) return;
            if (QWidget* main = parentWidget(); main && main->isMinimized()) main->showNormal();
            setWindowState(windowState() & ~Qt::WindowMinimized);
            raise();
            activateWindow();
        });
}

void FormDialog::Hover(int control, QTableWidget* table, QPoint at) {
    if (form_.dispatching || finished_) return;
    const QModelIndex item = table->indexAt(at);
    const int row = item.isValid() ? item.row() : -1;
    if (row < 0) {
        HideTip();
        return;
    }
    const int column = item.column();
    if (control != tipControl_ || row != tipRow_ || column != tipColumn_) {
        if (control != tipControl_ || row != tipRow_) {
            const auto& rows = form_.controls[control].rows;
            if (row < static_cast<int>(rows.size())) {
                std::string text;
                for (const std::string& cell : rows[row]) text += (text.empty() ? "" : " ") + cell;
                velmora::ShowText(plat_, TextKind::Menu, text);
            }
        }
        tipControl_ = control;
        tipRow_ = row;
        tipColumn_ = column;
        Picture picture;
        QPixmap pixmap;
        if (form_.RowPicture(control, row, picture)) pixmap = PixmapOf(picture);
        // A cell too narrow for its text shows the whole of it under the picture.
        const QTableWidgetItem* cell = table->item(row, column);
        const QString text = cell ? cell->text().trimmed() : QString();
        if (!text.isEmpty() && table->fontMetrics().horizontalAdvance(cell->text()) + kCellPadding > table->columnWidth(column))
            pixmap = WithCaption(pixmap, text, table->font(), table->devicePixelRatioF());
        tipPicture_ = !pixmap.isNull();
        if (tipPicture_) {
            tip_->setPixmap(pixmap);
            tip_->resize(pixmap.deviceIndependentSize().toSize());
        }
    }
    if (!tipPicture_) {
        tip_->hide();
        return;
    }
    // Beside the pointer, flipped to its other side near the screen's edge.
    QPoint pos = table->viewport()->mapToGlobal(at) + QPoint(16, 16);
    if (QScreen* screen = table->screen()) {
        const QRect area = screen->availableGeometry();
        if (pos.x() + tip_->width() > area.right()) pos.rx() -= tip_->width() + 24;
        if (pos.y() + tip_->height() > area.bottom()) pos.ry() -= tip_->height() + 24;
    }
    tip_->move(pos);
    if (tip_->isHidden()) tip_->show();
}

void FormDialog::HideTip() {
    tipControl_ = -1;
    tipRow_ = -1;
    tipColumn_ = -1;
    tipPicture_ = false;
    if (tip_) tip_->hide();
}

// Counts an open form or menu for as long as it is open, however it ends.
struct ModalScope {
    QtPlatform& plat;
    explicit ModalScope(QtPlatform& p) : plat(p) { ++plat.modalDepth; }
    ~ModalScope() { --plat.modalDepth; }
};

}  // namespace

void QtPlatform::RunModal(Form& form) {
    if (form.closed || destroyed) return;
    ModalScope scope(*this);
    if (form.flushKeysOnShow) window_->ForgetPressedKeys();
    FormDialog dialog(*this, form, window_.get());
    dialog.Run();
}

int QtPlatform::RunPopupMenu(PopupMenuModel& model, int screenX, int screenY) {
    if (destroyed) return -1;
    ModalScope scope(*this);
    QMenu menu(window_.get());
    menu.setObjectName(QString::fromStdString(model.name));
    // A click outside only closes the menu: the game under it must not see it.
    menu.setAttribute(Qt::WA_NoMouseReplay);
    std::vector<QAction*> actions;
    // Self-voicing reads the item under the pointer.
    QObject::connect(&menu, &QMenu::hovered, &menu, [&](QAction* a) {
        for (size_t i = 0; i < actions.size(); ++i)
            if (actions[i] == a && !model.items[i].separator) velmora::ShowText(*this, TextKind::Menu, model.items[i].caption);
    });
    for (const MenuItem& item : model.items) {
        QAction* a = item.separator || item.caption == "-" ? menu.addSeparator()
                                                           : menu.addAction(FromCp932(item.caption));
        a->setObjectName(QString::fromStdString(item.name));
        a->setEnabled(item.enabled);
        a->setVisible(item.visible);
        if (item.checked || item.checkable) {
            a->setCheckable(true);
            a->setChecked(item.checked);
        }
        actions.push_back(a);
    }
    // An item triggered other than by the menu's own click or key (its
    // shortcut, an accessibility tool) is a pick too.
    QAction* triggered = nullptr;
    QObject::connect(&menu, &QMenu::triggered, &menu, [&](QAction* a) {
        triggered = a;
        menu.close();
    });
    // Qt reports a menu opened by the mouse only as shown, which screen
    // readers pass over (the menu itself is outside the window's tree, so
    // they refuse its focus too). While one listens the first item is
    // highlighted as the menu opens, as a menu opened from the keyboard
    // does: its focus is what the player hears, and the arrows go on from it.
    QTimer::singleShot(0, &menu, [&menu] {
        if (!QAccessible::isActive() || !menu.isVisible() || menu.activeAction()) return;
        for (QAction* a : menu.actions())
            if (!a->isSeparator() && a->isVisible() && a->isEnabled()) return menu.setActiveAction(a);
    });
    QAction* picked = menu.exec(QPoint(screenX, screenY));
    if (!picked) picked = triggered;
    for (size_t i = 0; i < actions.size(); ++i)
        if (picked && actions[i] == picked && !model.items[i].separator && model.items[i].enabled)
            return static_cast<int>(i);
    return -1;
}

}  // namespace velmora::platform
