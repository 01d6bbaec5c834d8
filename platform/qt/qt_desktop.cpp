// Sections: text and colours | bitmaps | control widgets | dialog windows | key state |
// the platform (dialogs, controls, boxes, loop, MIDI, timers).

#include "platform/qt/qt_desktop.h"

#include "platform/periodic_timer.h"
#include "resources/dialog_template.h"
#include "resources/dialog_units.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QTimer>
#include <QWindow>

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace qtplatform {

// ------------------------------------------------------------------------- text and colours

// The logic's texts are UTF-8; a byte string that is not (a Latin-1 character such as 0xB2)
// is read as Latin-1 so that it still shows.
QString ToQString(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString result = utf8(QByteArrayView(text.data(), qsizetype(text.size())));
    if (utf8.hasError()) return QString::fromLatin1(text.data(), qsizetype(text.size()));
    return result;
}

std::string ToStdString(const QString& text) {
    return text.toStdString();
}

QColor ToColor(Rgb rgb) {
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

// --------------------------------------------------------------------------------- bitmaps

// Drawn bitmaps by name, size and device-pixel ratio; emptied before the application ends.
std::map<std::tuple<QString, int, int, int>, QPixmap>& BitmapCache() {
    static std::map<std::tuple<QString, int, int, int>, QPixmap> cache;
    return cache;
}

// The bitmap `name` (resources/bitmaps/<name>.svg, compiled in) drawn at `logical` size for a
// screen with device-pixel ratio `dpr`; a null pixmap when the file is missing or unreadable.
QPixmap RenderBitmap(const QString& name, QSize logical, qreal dpr) {
    auto& cache = BitmapCache();
    const auto key = std::make_tuple(name, logical.width(), logical.height(), int(dpr * 100));
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    QPixmap pixmap;
    const QString path = ":/bitmaps/" + name + ".svg";
    if (QFile::exists(path) && !logical.isEmpty()) {
        QSvgRenderer renderer(path);
        if (renderer.isValid()) {
            pixmap = QPixmap(QSize(int(std::ceil(logical.width() * dpr)),
                                   int(std::ceil(logical.height() * dpr))));
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            pixmap.setDevicePixelRatio(dpr);
        }
    }
    cache[key] = pixmap;
    return pixmap;
}

// The size a bitmap was drawn for (its SVG's width and height) scaled from the reference font
// to the dialog's font; empty when the file is missing.
QSize BitmapSize(int bitmap, DialogBaseUnits base) {
    const QString path = QString(":/bitmaps/%1.svg").arg(bitmap);
    if (!QFile::exists(path)) return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    const QSize drawn = renderer.defaultSize();
    return QSize(
        int(std::lround(double(drawn.width()) * base.charWidth / REFERENCE_BASE_UNITS.charWidth)),
        int(std::lround(double(drawn.height()) * base.charHeight /
                        REFERENCE_BASE_UNITS.charHeight)));
}

// ------------------------------------------------------------------------- control widgets

// The smallest pixel size a static's text shrinks to.
constexpr int kSmallestTextPx = 6;

// A static shows its whole text: when the text does not fit its inside at the dialog font (a
// single line too wide, or more lines than the height holds, as in the row-number column), the
// static takes the largest smaller pixel size at which it fits. The text is measured with the
// layout the label paints it with, so line spacing and leading count. A final newline ends the
// last line rather than starting another.
void FitText(QLabel* label) {
    const QFont dialogFont = label->parentWidget() ? label->parentWidget()->font() : label->font();
    QString text = label->text();
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    const QRect room = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    auto fits = [&](const QFont& f) {
        const QSize needed = QFontMetrics(f).boundingRect(room, flags, text).size();
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    QFont font = dialogFont;
    if (!fits(font)) {
        for (int px = QFontInfo(dialogFont).pixelSize() - 1; px >= kSmallestTextPx; --px) {
            font.setPixelSize(px);
            if (fits(font)) break;
        }
    }
    if (label->font() != font) label->setFont(font);
}

// A picture static: its bitmap scaled into its rectangle.
class Picture : public QWidget {
  public:
    Picture(QWidget* parent, int bitmap) : QWidget(parent), bitmap_(bitmap) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        const QPixmap pixmap = RenderBitmap(QString::number(bitmap_), size(), devicePixelRatioF());
        if (pixmap.isNull()) return;
        QPainter painter(this);
        painter.drawPixmap(0, 0, pixmap);
    }

  private:
    int bitmap_;
};

// A frame static: its frame, and inside it the rows code painted, top first, each stretched
// to the full width and an equal share of the height.
class FrameBox : public QFrame {
  public:
    FrameBox(QWidget* parent, uint32_t style) : QFrame(parent) {
        if (style & CTL_BLACK_FRAME) {
            setFrameStyle(QFrame::Box | QFrame::Plain);
            QPalette pal = palette();
            pal.setColor(QPalette::WindowText, Qt::black);
            setPalette(pal);
        } else if (style & CTL_ETCHED) {
            setFrameStyle(QFrame::Box | QFrame::Sunken);
        } else {
            setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        setLineWidth(1);
    }
    void SetRows(const Rgb* rows, int count) {
        rows_.assign(rows, rows + std::max(count, 0));
        update();
    }
    // Pixels painted one for one into the inside, top-left aligned.
    void SetPixels(QImage image) {
        pixels_ = std::move(image);
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        PaintPixels();
        if (rows_.empty()) return;
        QPainter painter(this);
        const QRect inside = contentsRect();
        const int count = int(rows_.size());
        for (int i = 0; i < count; ++i) {
            const int top = inside.top() + inside.height() * i / count;
            const int bottom = inside.top() + inside.height() * (i + 1) / count;
            if (bottom > top)
                painter.fillRect(inside.left(), top, inside.width(), bottom - top,
                                 ToColor(rows_[size_t(i)]));
        }
    }

  private:
    // Each pixel covers one logical pixel; at a device-pixel ratio of 2 it becomes a sharp 2 x 2
    // block, since the image is scaled without smoothing.
    void PaintPixels() {
        if (pixels_.isNull()) return;
        QPainter painter(this);
        painter.setClipRect(contentsRect());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(contentsRect().topLeft(), pixels_.size()), pixels_);
    }

    std::vector<Rgb> rows_;
    QImage pixels_;
};

// A group box as dialogs draw it: an etched frame whose top line runs through the middle of
// the title.
class GroupFrame : public QWidget {
  public:
    GroupFrame(QWidget* parent, const QString& title) : QWidget(parent), title_(title) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(frame);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.translated(1, 1));
        if (title_.isEmpty()) return;
        const QRect label(6, 0, metrics.horizontalAdvance(title_) + 4, metrics.height());
        painter.fillRect(label, palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(label, Qt::AlignCenter, title_);
    }

  private:
    QString title_;
};

// A combo box that reports the closing of its list after the selection it confirmed, as the
// logic expects (first "chosen", then "closed").
class Combo : public QComboBox {
  public:
    Combo(QWidget* parent, std::function<void()> closed)
        : QComboBox(parent), closed_(std::move(closed)) {}
    // Called before the list shows, so that the logic can still change its entries.
    void SetOpened(std::function<void()> opened) { opened_ = std::move(opened); }
    void showPopup() override {
        if (opened_) opened_();
        QComboBox::showPopup();
    }
    // Enter in the edit field would choose the entry whose text it holds; in a dialog Enter
    // chooses nothing. (The key state still sees the key: the application's filter runs first.)
    void SwallowEnter() {
        if (lineEdit()) lineEdit()->installEventFilter(this);
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        QTimer::singleShot(0, this, [this] { closed_(); });
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
        }
        return QComboBox::eventFilter(watched, event);
    }

  private:
    std::function<void()> closed_;
    std::function<void()> opened_;
};

// ------------------------------------------------------------------------- dialog windows

// One dialog built from its template: a fixed-size window with the menu bar (if any) above a
// client area holding one widget per control at its pixel rectangle.
class DialogWindow : public QDialog {
  public:
    DialogWindow(QtDesktop* owner, const DialogTemplate& tmpl, DialogEvents* events,
                 QWidget* parent, bool modal);
    ~DialogWindow() override { owner_->Forget(this); }

    int id() const { return tmpl_.id; }
    DialogEvents* events() const { return events_; }
    DialogBaseUnits base() const { return base_; }
    QWidget* control(int id) const {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : it->second;
    }
    QButtonGroup* radios() const { return radios_; }
    QTimer* windowTimer() {
        if (!timer_) {
            timer_ = new QTimer(this);
            connect(timer_, &QTimer::timeout, this,
                    [this] { Send([](DialogEvents& e) { e.OnTimer(); }); });
        }
        return timer_;
    }
    bool ended = false;

    // Hands an event to the logic with this window marked as the one being handled.
    void Send(const std::function<void(DialogEvents&)>& call) {
        if (!events_ || ended) return;
        DialogWindow* outer = owner_->dispatching_;
        owner_->dispatching_ = this;
        call(*events_);
        owner_->dispatching_ = outer;
    }

  protected:
    // The close box asks the logic, which decides whether the dialog ends.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Send([](DialogEvents& e) { e.OnClose(); });
    }
    // No key closes the dialog or presses a default button: keys are the logic's (it polls them).
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
    // TAB is a command key, never focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    void BuildMenu(const MenuTemplate& menu, QWidget* area);
    void BuildControl(const ControlTemplate& control, QWidget* area);

    QtDesktop* owner_;
    const DialogTemplate& tmpl_;
    DialogEvents* events_;
    DialogBaseUnits base_{};
    std::map<int, QWidget*> controls_;
    QButtonGroup* radios_ = nullptr;
    QTimer* timer_ = nullptr;
};

DialogWindow::DialogWindow(QtDesktop* owner, const DialogTemplate& tmpl, DialogEvents* events,
                           QWidget* parent, bool modal)
    : QDialog(parent), owner_(owner), tmpl_(tmpl), events_(events) {
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    flags |= parent ? Qt::Dialog : Qt::Window;
    if (tmpl.style & DLG_SYSTEM_MENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & DLG_MINIMISE) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setModal(modal);
    setWindowTitle(ToQString(tmpl.caption));

    QFont font(QString::fromLatin1(tmpl.fontFamily), tmpl.pointSize);
    const QFontMetricsF exact(font);
    const QFontMetrics whole(font);
    base_ = {AverageCharWidth(whole.horizontalAdvance(QString::fromLatin1(AVERAGE_WIDTH_SAMPLE))),
             FontHeight(exact.height())};
    const PixelRect client = DialogClientToPixels(tmpl, base_);

    int menuHeight = 0;
    if (tmpl.menu == MENU_MAIN) {
        auto* bar = new QMenuBar(this);
        bar->setNativeMenuBar(false);
        for (int p = 0; p < MainMenu().count; ++p) {
            const MenuItem& popup = MainMenu().popups[p];
            QMenu* menu = bar->addMenu(ToQString(popup.text));
            for (int i = 0; i < popup.count; ++i) {
                const MenuItem& item = popup.items[i];
                if (item.kind == MenuItemKind::Separator) {
                    menu->addSeparator();
                } else if (item.kind == MenuItemKind::Command) {
                    QAction* action = menu->addAction(ToQString(item.text));
                    const int command = item.id;
                    connect(action, &QAction::triggered, this, [this, command] {
                        Send([command](DialogEvents& e) { e.OnCommand(command, CMD_CLICKED); });
                    });
                }
            }
        }
        menuHeight = bar->sizeHint().height();
        bar->setGeometry(0, 0, client.width, menuHeight);
    }

    auto* area = new QWidget(this);
    area->setFont(font);
    area->setGeometry(0, menuHeight, client.width, client.height);
    for (int i = 0; i < tmpl.count; ++i) BuildControl(tmpl.controls[i], area);
    setFixedSize(client.width, client.height + menuHeight);
}

void DialogWindow::BuildControl(const ControlTemplate& control, QWidget* area) {
    const PixelRect r = ControlRectToPixels(control, base_);
    const int id = control.id;
    const QString text = ToQString(control.text);
    QWidget* widget = nullptr;
    auto clicked = [this, id] { Send([id](DialogEvents& e) { e.OnCommand(id, CMD_CLICKED); }); };
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(text, area);
        label->setTextFormat(Qt::PlainText);
        // Text wraps at word breaks when the static holds more than one line; a one-line
        // static rather shows as much of its line as fits.
        label->setWordWrap(r.height >= 2 * QFontMetrics(area->font()).height());
        label->setAlignment(Qt::AlignTop |
                            ((control.style & CTL_CENTRED) ? Qt::AlignHCenter : Qt::AlignLeft));
        if (control.style & CTL_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The text starts at the inside of a sunken frame: the default indent of a framed label
        // (half an "x") would push it down past the room the rectangle has for its lines.
        label->setIndent(0);
        // Statics take the parked keyboard focus, so that no button or list holds it.
        label->setFocusPolicy(Qt::StrongFocus);
        widget = label;
        break;
    }
    case ControlKind::Picture: widget = new Picture(area, control.image); break;
    case ControlKind::Frame: widget = new FrameBox(area, control.style); break;
    case ControlKind::GroupBox: widget = new GroupFrame(area, text); break;
    case ControlKind::PushButton:
    case ControlKind::BitmapButton: {
        auto* button = new QPushButton(area);
        if (control.kind == ControlKind::PushButton)
            button->setText(text);
        else
            button->setAccessibleName(text);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, clicked);
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
        QAbstractButton* button = nullptr;
        if (control.kind == ControlKind::CheckBox) {
            button = new QCheckBox(text, area);
        } else {
            button = new QRadioButton(text, area);
            if (!radios_) radios_ = new QButtonGroup(this);
            radios_->addButton(button);
        }
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QAbstractButton::clicked, this, clicked);
        widget = button;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new Combo(area, [this, id] {
            Send([id](DialogEvents& e) { e.OnCommand(id, CMD_COMBO_CLOSED); });
        });
        combo->SetOpened(
            [this, id] { Send([id](DialogEvents& e) { e.OnCommand(id, CMD_COMBO_OPENED); }); });
        combo->setEditable((control.style & CTL_COMBO_EDITABLE) != 0);
        combo->SwallowEnter();
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Only a click gives a list the focus; the logic parks it elsewhere afterwards.
        combo->setFocusPolicy(Qt::ClickFocus);
        // The template's height is that of the open list.
        const int listPx = DialogYToPixels(control.height, base_) - r.height;
        const int rowPx = std::max(1, QFontMetrics(area->font()).height() + 2);
        combo->setMaxVisibleItems(std::max(1, listPx / rowPx));
        connect(combo, &QComboBox::activated, this, [this, id](int) {
            Send([id](DialogEvents& e) { e.OnCommand(id, CMD_COMBO_CHOSEN); });
        });
        widget = combo;
        break;
    }
    case ControlKind::ScrollBarH: {
        auto* bar = new QScrollBar(Qt::Horizontal, area);
        bar->setInvertedControls(false);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, id](int action) {
            int code = -1;
            switch (action) {
            case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
            case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
            case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
            case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
            case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
            default: return;
            }
            const int position = bar->sliderPosition();
            // Steps move the thumb only when the logic sets the new position.
            if (code != SB_THUMBTRACK) {
                const QSignalBlocker block(bar);
                bar->setSliderPosition(bar->value());
            }
            Send([id, code, position](DialogEvents& e) { e.OnScroll(id, code, position); });
        });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar, id] {
            const int position = bar->sliderPosition();
            Send([id, position](DialogEvents& e) { e.OnScroll(id, SB_THUMBPOSITION, position); });
        });
        widget = bar;
        break;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, area);
        edit->setFocusPolicy(Qt::ClickFocus);
        edit->setFrame((control.style & CTL_BORDER) != 0);
        widget = edit;
        break;
    }
    }
    if (!widget) return;
    widget->setGeometry(r.x, r.y, r.width, r.height);
    if (control.kind == ControlKind::Static) FitText(static_cast<QLabel*>(widget));
    if (id != CONTROL_NO_ID) controls_[id] = widget;
}

// ------------------------------------------------------------------------------- key state

// The virtual-key code of a key event, or 0 for a key the program has no code for. The table
// is written out in docs/keyboard.md. Native scan codes are XKB key codes (X11 and Wayland):
// 10..19 the digit row, 58..60 the keys holding M , . on US (, ; : on AZERTY), 94 the extra
// key beside the left Shift.
int VirtualKeyOf(const QKeyEvent& key) {
    const int k = key.key();
    const quint32 scan = key.nativeScanCode();

    // The numeric pad by its own codes (with Num Lock off its keys are the cursor keys below).
    if (key.modifiers() & Qt::KeypadModifier) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return 0x60 + (k - Qt::Key_0);
        switch (k) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        default: break;
        }
    }
    // The digit row by position: on AZERTY it produces & é " ' ( - è _ ç à without Shift.
    if (scan >= 10 && scan <= 19) return scan == 19 ? 0x30 : int(0x31 + (scan - 10));
    // Letters as the active layout produces them.
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 0x41 + (k - Qt::Key_A);
    // Digits without a scan code (a synthetic event).
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 0x30 + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return 0x70 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    // The comma key: "," on both layouts (US beside M, AZERTY beside N); shifted "<" on US, "?"
    // on AZERTY.
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Less: return scan == 94 ? 0xE2 : 0xBC;
    case Qt::Key_Question: return scan == 58 ? 0xBC : 0xBF;
    // The period key: "." / ">" on US; on AZERTY the ";" key, which gives "." with Shift.
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Greater: return scan == 94 ? 0xE2 : 0xBE;
    case Qt::Key_Semicolon: return scan == 59 ? 0xBE : 0xBA;
    case Qt::Key_Colon: return scan == 60 ? 0xBF : 0xBA;
    // The quote key on US; "²" left of 1 on AZERTY (its quotes sit on the digit row, above).
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
    case Qt::Key_twosuperior: return 0xDE;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Slash: return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
    case Qt::Key_Ugrave: return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 0xDD;
    default: return 0;
    }
}

// The windows whose keys the logic polls: the main window and the sound editor. Keys typed into
// any other window (a file dialog, a message box, an About box) are that window's.
bool TakesPolledKeys(const QWindow* window) {
    if (!window) return false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() != window) continue;
        const auto* dialog = dynamic_cast<const DialogWindow*>(top);
        return dialog && !dialog->ended &&
               (dialog->id() == DIALOG_MAIN || dialog->id() == DIALOG_SOUND_EDITOR);
    }
    return false;
}

// True while the keyboard belongs to another window: a modal window other than the sound
// editor is open, or a window other than the main window and the sound editor has the focus.
bool KeysWithDialog() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        const auto* dialog = dynamic_cast<const DialogWindow*>(modal);
        if (!dialog || dialog->id() != DIALOG_SOUND_EDITOR) return true;
    }
    const QWindow* focus = QGuiApplication::focusWindow();
    return focus && !TakesPolledKeys(focus);
}

// The keys the logic polls are the main window's or the sound editor's now.
bool KeysForTheLogic() {
    return !KeysWithDialog() && TakesPolledKeys(QGuiApplication::focusWindow());
}

// Keeps the state of the keys by their virtual-key codes, from every key event the
// application sees (whichever widget has the focus). A key counts while it is down, and also at
// the first query after a press, so that a tap released between two polls still acts once.
// Keys count only while the main window or the sound editor has the keyboard focus, and only
// when they went down there: a key pressed in a dialog (ENTER that accepts a file dialog) stays
// up for the logic until it is released and pressed again.
class KeyFilter : public QObject {
  public:
    // Called once per key and poll: true while the key is down or when it went down since the
    // last query of it.
    bool Query(int vk) {
        if (vk < 0 || vk >= KEYS) return false;
        if (!KeysForTheLogic()) {
            // Releases that happen elsewhere never arrive.
            Clear();
            return false;
        }
        const size_t i = size_t(vk);
        const bool down = down_[i] || pressed_[i];
        pressed_[i] = false;
        return down;
    }
    // Forgets the presses kept for the next query; keys down now stay down.
    void DropPresses() { pressed_.fill(false); }
    void Clear() {
        // Without a focused window every poll lands here; once clear, it costs nothing.
        if (clear_) return;
        down_.fill(false);
        pressed_.fill(false);
        pressedByScan_.clear();
        clear_ = true;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            // The same event may pass here more than once (window, widget, parents): handling
            // it is idempotent.
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (type == QEvent::KeyPress)
                Press(*key);
            else
                Release(*key);
        } else if (type == QEvent::ApplicationDeactivate ||
                   (type == QEvent::ApplicationStateChange &&
                    static_cast<QApplicationStateChangeEvent*>(event)->applicationState() !=
                        Qt::ApplicationActive)) {
            Clear();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    static constexpr int KEYS = 256;

    void Press(const QKeyEvent& key) {
        const int vk = VirtualKeyOf(key);
        if (vk <= 0 || vk >= KEYS) return;
        // A press in another window, or the auto-repeat of a key that went down there, is not
        // the logic's.
        if (!KeysForTheLogic()) return;
        if (key.isAutoRepeat() && !down_[size_t(vk)]) return;
        down_[size_t(vk)] = true;
        clear_ = false;
        if (!key.isAutoRepeat()) pressed_[size_t(vk)] = true;
        if (key.nativeScanCode() != 0) pressedByScan_[key.nativeScanCode()] = vk;
    }

    // A key is released under the code it went down with, even when the modifiers changed what
    // it produces in between (Shift pressed or let go while the key is down).
    void Release(const QKeyEvent& key) {
        if (key.isAutoRepeat()) return;
        int vk = VirtualKeyOf(key);
        if (auto it = pressedByScan_.find(key.nativeScanCode());
            key.nativeScanCode() != 0 && it != pressedByScan_.end()) {
            down_[size_t(it->second)] = false;
            pressedByScan_.erase(it);
        }
        if (vk > 0 && vk < KEYS) down_[size_t(vk)] = false;
    }

    std::array<bool, KEYS> down_{};    // down now
    std::array<bool, KEYS> pressed_{}; // went down since the last query
    std::map<quint32, int> pressedByScan_;
    bool clear_ = true; // nothing is down or pressed
};

} // namespace qtplatform

// ------------------------------------------------------------------------------ the platform

using qtplatform::DialogWindow;

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilentMidiError(RtMidiError::Type, const std::string&, void*) {}

// The suffix a save dialog adds to a bare name: "*.son" gives "son".
QString SuffixOf(const std::string& pattern) {
    const std::string::size_type dot = pattern.rfind('.');
    if (dot == std::string::npos) return {};
    const std::string suffix = pattern.substr(dot + 1);
    if (suffix.find_first_of("*?") != std::string::npos) return {};
    return QString::fromStdString(suffix);
}

// The filter as the dialog lists it: the description, which often names its pattern already
// (".SON Song file (*.SON)" for "*.son"), then the pattern unless it is there in some case.
QString FilterText(const std::string& description, const std::string& pattern) {
    const QString text = qtplatform::ToQString(description);
    const QString patterns = "(" + qtplatform::ToQString(pattern) + ")";
    return text.endsWith(patterns, Qt::CaseInsensitive) ? text : text + " " + patterns;
}

// The folder a dialog opens in: `folder` taken from the working folder, or the working folder
// itself when `folder` is "" or no longer exists.
QString StartFolder(const std::string& folder) {
    const QString path = QDir::current().absoluteFilePath(QFile::decodeName(folder.c_str()));
    return !folder.empty() && QFileInfo(path).isDir() ? path : QDir::currentPath();
}

std::string RunFileDialog(QWidget* parent, bool save, const std::string& title,
                          const std::string& description, const std::string& pattern,
                          const std::string& folder) {
    QFileDialog dialog(parent, qtplatform::ToQString(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDirectory(StartFolder(folder));
    dialog.setNameFilter(FilterText(description, pattern));
    // Files match in any case ("a.son" and "B.SON"), whatever the platform's default.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDefaultSuffix(SuffixOf(pattern));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

} // namespace

QtDesktop::QtDesktop() : keys_(std::make_unique<qtplatform::KeyFilter>()) {
    // The logic decides when the program ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(keys_.get());
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        const QPixmap pixmap = qtplatform::RenderBitmap("icon", QSize(size, size), 1.0);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

QtDesktop::~QtDesktop() {
    CloseMidiInput();
    std::map<int, std::unique_ptr<PeriodicTimer>> stopping;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        stopping.swap(timers_);
    }
    stopping.clear();
    // Windows left open die now; they forget themselves as they go.
    while (!windows_.empty()) delete windows_.back();
    qtplatform::BitmapCache().clear(); // pixmaps must not outlive the application
    if (qApp) qApp->removeEventFilter(keys_.get());
}

// ---- dialogs

DialogWindow* QtDesktop::Find(int dialog) {
    if (dispatching_ && dispatching_->id() == dialog && !dispatching_->ended) return dispatching_;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if ((*it)->id() == dialog && !(*it)->ended) return *it;
    return nullptr;
}

void QtDesktop::Forget(DialogWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    if (dispatching_ == window) dispatching_ = nullptr;
}

QWidget* QtDesktop::DialogWidget(int dialog) {
    return Find(dialog);
}

QWidget* QtDesktop::ControlWidget(int dialog, int id) {
    DialogWindow* window = Find(dialog);
    return window ? window->control(id) : nullptr;
}

DialogWindow* QtDesktop::Build(int dialog, DialogEvents* events, bool modal) {
    const DialogTemplate* tmpl = FindDialogTemplate(dialog);
    if (!tmpl) return nullptr;
    // Every dialog but the main window belongs to the main window (centred over it).
    QWidget* parent = dialog == DIALOG_MAIN ? nullptr : Find(DIALOG_MAIN);
    auto* window = new DialogWindow(this, *tmpl, events, parent, modal);
    windows_.push_back(window);
    window->Send([](DialogEvents& e) { e.OnInit(); });
    return window;
}

void QtDesktop::CreateDialog(int dialog, DialogEvents* events) {
    DialogWindow* window = Build(dialog, events, false);
    if (!window || window->ended) return;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!window->parentWidget() && (FindDialogTemplate(dialog)->style & DLG_CENTRED)) {
        if (QScreen* screen = QApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            window->move(area.center() - window->rect().center());
        }
    }
    QWidget* focus = window->focusWidget();
    window->show();
    if (focus) focus->setFocus();
}

void QtDesktop::RunModalDialog(int dialog, DialogEvents* events) {
    DialogWindow* window = Build(dialog, events, true);
    if (!window) return;
    if (!window->ended) window->exec();
    delete window;
}

void QtDesktop::EndDialog(int dialog) {
    DialogWindow* window = Find(dialog);
    if (!window) return;
    window->ended = true;
    if (window->windowTimer()) window->windowTimer()->stop();
    if (window->isModal()) {
        window->done(1); // RunModalDialog deletes it when exec returns
    } else {
        window->hide();
        window->deleteLater();
    }
}

void QtDesktop::SetDialogTitle(int dialog, const std::string& title) {
    if (DialogWindow* window = Find(dialog)) window->setWindowTitle(qtplatform::ToQString(title));
}

void QtDesktop::StartWindowTimer(int dialog, int periodMs) {
    if (DialogWindow* window = Find(dialog)) window->windowTimer()->start(std::max(periodMs, 1));
}

// ---- controls

void QtDesktop::SetControlText(int dialog, int id, const std::string& text) {
    QWidget* w = ControlWidget(dialog, id);
    const QString value = qtplatform::ToQString(text);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(value);
        qtplatform::FitText(label);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) combo->setEditText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(value);
}

std::string QtDesktop::GetControlText(int dialog, int id) {
    QWidget* w = ControlWidget(dialog, id);
    if (auto* label = qobject_cast<QLabel*>(w)) return qtplatform::ToStdString(label->text());
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return qtplatform::ToStdString(combo->currentText());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return qtplatform::ToStdString(edit->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return qtplatform::ToStdString(button->text());
    return "";
}

void QtDesktop::SetControlImage(int dialog, int id, int bitmap) {
    DialogWindow* window = Find(dialog);
    auto* button = window ? qobject_cast<QAbstractButton*>(window->control(id)) : nullptr;
    if (!button) return;
    const QSize size = qtplatform::BitmapSize(bitmap, window->base());
    const QPixmap pixmap =
        qtplatform::RenderBitmap(QString::number(bitmap), size, button->devicePixelRatioF());
    button->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    if (!size.isEmpty()) button->setIconSize(size);
}

void QtDesktop::SetScrollRange(int dialog, int id, int minimum, int maximum) {
    if (auto* bar = qobject_cast<QScrollBar*>(ControlWidget(dialog, id))) {
        const QSignalBlocker block(bar);
        bar->setRange(minimum, std::max(minimum, maximum));
    }
}

void QtDesktop::SetScrollPosition(int dialog, int id, int position) {
    if (auto* bar = qobject_cast<QScrollBar*>(ControlWidget(dialog, id))) {
        const QSignalBlocker block(bar);
        bar->setValue(position);
    }
}

void QtDesktop::ComboReset(int dialog, int id) {
    if (auto* combo = qobject_cast<QComboBox*>(ControlWidget(dialog, id))) {
        const QSignalBlocker block(combo);
        combo->clear();
    }
}

void QtDesktop::ComboAdd(int dialog, int id, const std::string& text) {
    if (auto* combo = qobject_cast<QComboBox*>(ControlWidget(dialog, id))) {
        const QSignalBlocker block(combo);
        const bool wasEmpty = combo->count() == 0;
        combo->addItem(qtplatform::ToQString(text));
        // A list starts with nothing selected, as the logic expects, until it selects.
        if (wasEmpty) combo->setCurrentIndex(-1);
    }
}

void QtDesktop::ComboSelect(int dialog, int id, int index) {
    if (auto* combo = qobject_cast<QComboBox*>(ControlWidget(dialog, id))) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

int QtDesktop::ComboSelection(int dialog, int id) {
    auto* combo = qobject_cast<QComboBox*>(ControlWidget(dialog, id));
    return combo ? combo->currentIndex() : -1;
}

void QtDesktop::EnableControl(int dialog, int id, bool enabled) {
    if (QWidget* w = ControlWidget(dialog, id)) w->setEnabled(enabled);
}

void QtDesktop::SetChecked(int dialog, int id, bool checked) {
    DialogWindow* window = Find(dialog);
    auto* button = window ? qobject_cast<QAbstractButton*>(window->control(id)) : nullptr;
    if (!button) return;
    // An exclusive group refuses to uncheck its checked button; lift it for the change.
    QButtonGroup* group = button->group();
    if (group) group->setExclusive(false);
    button->setChecked(checked);
    if (group) group->setExclusive(true);
}

bool QtDesktop::IsChecked(int dialog, int id) {
    auto* button = qobject_cast<QAbstractButton*>(ControlWidget(dialog, id));
    return button && button->isChecked();
}

void QtDesktop::SetFocus(int dialog, int id) {
    if (QWidget* w = ControlWidget(dialog, id)) w->setFocus(Qt::OtherFocusReason);
}

void QtDesktop::SetControlColors(int dialog, int id, Rgb text, Rgb background) {
    QWidget* w = ControlWidget(dialog, id);
    if (!w) return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, qtplatform::ToColor(text));
    pal.setColor(QPalette::Window, qtplatform::ToColor(background));
    if (pal == w->palette() && w->autoFillBackground()) return;
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void QtDesktop::SetToolTip(int dialog, int id, const std::string& text) {
    if (QWidget* w = ControlWidget(dialog, id)) w->setToolTip(qtplatform::ToQString(text));
}

void QtDesktop::PaintRows(int dialog, int id, const Rgb* rows, int count) {
    auto* frame = dynamic_cast<qtplatform::FrameBox*>(ControlWidget(dialog, id));
    if (frame && rows) frame->SetRows(rows, count);
}

void QtDesktop::ControlPixelSize(int dialog, int id, int& width, int& height) {
    auto* frame = dynamic_cast<qtplatform::FrameBox*>(ControlWidget(dialog, id));
    const QSize size = frame ? frame->contentsRect().size() : QSize();
    width = std::max(size.width(), 0);
    height = std::max(size.height(), 0);
}

void QtDesktop::PaintPixels(int dialog, int id, int width, int height, const Rgb* pixels) {
    auto* frame = dynamic_cast<qtplatform::FrameBox*>(ControlWidget(dialog, id));
    if (!frame || !pixels || width <= 0 || height <= 0) return;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = 0xFF000000u | pixels[size_t(y) * width + x];
    }
    frame->SetPixels(std::move(image));
}

// ---- message boxes and file dialogs

bool QtDesktop::MessageBox(const std::string& text, const std::string& caption, int style) {
    QMessageBox::Icon icon = QMessageBox::Critical;
    if (style == MB_WARNING_OK_CANCEL)
        icon = QMessageBox::Warning;
    else if (style == MB_QUESTION_OK_CANCEL)
        icon = QMessageBox::Information;
    const QMessageBox::StandardButtons buttons =
        style == MB_ERROR_OK ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(icon, qtplatform::ToQString(caption), qtplatform::ToQString(text), buttons,
                    Find(DIALOG_MAIN));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::string QtDesktop::OpenFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(DIALOG_MAIN), false, title, description, pattern, folder);
}

std::string QtDesktop::SaveFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(DIALOG_MAIN), true, title, description, pattern, folder);
}

// ---- progress

bool QtDesktop::ShowProgress(const std::string& title, const std::string& text, int percent) {
    if (!progress_) {
        progress_ = new QProgressDialog(Find(DIALOG_MAIN));
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoReset(false);
        progress_->setAutoClose(false);
        progress_->setRange(0, 100);
    }
    progress_->setWindowTitle(qtplatform::ToQString(title));
    progress_->setLabelText(qtplatform::ToQString(text));
    progress_->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents();
    return !progress_->wasCanceled();
}

void QtDesktop::EndProgress() {
    delete progress_;
    progress_ = nullptr;
}

// ---- the main loop

int QtDesktop::RunEventLoop(std::function<void()> pass) {
    if (quitRequested_) { // Quit came before the loop started
        quitRequested_ = false;
        return quitCode_;
    }
    pass_ = std::move(pass);
    QTimer passTimer;
    passTimer.setTimerType(Qt::PreciseTimer);
    passTimer.setInterval(1);
    QObject::connect(&passTimer, &QTimer::timeout, [this] { Pass(); });
    passTimer.start();
    const int code = QApplication::exec();
    passTimer.stop();
    pass_ = nullptr;
    quitRequested_ = false;
    return code;
}

void QtDesktop::Quit(int code) {
    quitRequested_ = true;
    quitCode_ = code;
    QApplication::exit(code);
}

void QtDesktop::Pass() {
    // A pass that waits in a message box it opened is not entered again from that box's loop.
    if (inPass_) return;
    inPass_ = true;
    DrainMidi();
    if (pass_) pass_();
    inPass_ = false;
}

bool QtDesktop::IsKeyDown(int virtualKey) {
    return keys_->Query(virtualKey);
}

void QtDesktop::DropKeyPresses() {
    keys_->DropPresses();
}

bool QtDesktop::KeysBelongToDialog() {
    return qtplatform::KeysWithDialog();
}

// ---- MIDI input

void QtDesktop::MidiCallback(double, std::vector<unsigned char>* message, void* self) {
    if (!message || message->empty() || message->size() > 3) return; // short messages only
    auto* platform = static_cast<QtDesktop*>(self);
    const uint8_t d1 = message->size() > 1 ? (*message)[1] : 0;
    const uint8_t d2 = message->size() > 2 ? (*message)[2] : 0;
    platform->InjectMidi((*message)[0], d1, d2);
}

void QtDesktop::InjectMidi(uint8_t status, uint8_t data1, uint8_t data2) {
    constexpr size_t kMaxQueued = 4096; // a flood while no pass runs is cut, not hoarded
    std::lock_guard<std::mutex> lock(midiMutex_);
    if (midiQueue_.size() < kMaxQueued) midiQueue_.push_back({status, data1, data2});
}

void QtDesktop::DrainMidi() {
    std::deque<MidiMessage> messages;
    {
        std::lock_guard<std::mutex> lock(midiMutex_);
        messages.swap(midiQueue_);
    }
    for (const MidiMessage& m : messages)
        if (midiTarget_) midiTarget_->OnMidi(m.status, m.data1, m.data2);
}

bool QtDesktop::OpenMidiInput(DialogEvents* events) {
    CloseMidiInput();
    // The target also receives injected messages when there is no port.
    midiTarget_ = events;
    // Without the sequencer device RtMidi would only fail noisily.
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    snd_lib_error_set_handler(SilentAlsaError);
    try {
        auto midi = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "Tavomix");
        midi->setErrorCallback(SilentMidiError, nullptr);
        if (midi->getPortCount() == 0) return false;
        midi->ignoreTypes(true, true, true); // no system exclusive, timing or active sensing
        midi->setCallback(&QtDesktop::MidiCallback, this);
        midi->openPort(0, "Tavomix input");
        if (!midi->isPortOpen()) return false;
        midi_ = std::move(midi);
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}

void QtDesktop::CloseMidiInput() {
    if (midi_) {
        try {
            midi_->cancelCallback();
            midi_->closePort();
        } catch (const RtMidiError&) {
        }
        midi_.reset();
    }
    midiTarget_ = nullptr;
    std::lock_guard<std::mutex> lock(midiMutex_);
    midiQueue_.clear();
}

// ---- periodic timer

int QtDesktop::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    const int id = nextTimerId_++;
    timers_[id] = std::make_unique<PeriodicTimer>(periodMs, std::move(tick));
    return id;
}

void QtDesktop::KillPeriodicTimer(int id) {
    std::unique_ptr<PeriodicTimer> stopping;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        stopping = std::move(it->second);
        timers_.erase(it);
    }
    // Destroying it joins the thread, outside the lock, after any running tick has finished.
}
