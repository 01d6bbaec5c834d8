// The dialog windows and their controls: the logic's texts and colours in Qt's terms, the
// compiled-in SVG bitmaps drawn at the dialog's scale, the control widgets (statics that fit
// their text, pictures, painted frames, group boxes, combo boxes), DialogWindow built from its
// template with one widget per control, and the QtDesktop methods that set and read controls
// (texts, images, scroll bars, combo boxes, enabling, checks, focus, colours, tool tips,
// painting).

#include "platform/qt/dialog_windows.h"

#include "platform/qt/grid_view.h"
#include "resources/resource_ids.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QSvgRenderer>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qtplatform {

// ------------------------------------------------------------------------- text and colours

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

std::map<std::tuple<QString, int, int, int>, QPixmap>& BitmapCache() {
    static std::map<std::tuple<QString, int, int, int>, QPixmap> cache;
    return cache;
}

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

// Lays `text` out as a static shows it, in `font` within `width` pixels: broken at its newlines
// (a final newline ends the last line rather than starting another) and, when `wrap`, at word
// breaks. The lines are one font height apart (ascent plus descent, without the leading that a
// label's own layout adds): the templates set texts that stand beside each other at that pitch,
// such as the row-number column beside the rows of the pattern boxes. Returns the number of
// lines.
int LayOutStaticText(QTextLayout& layout, const QString& text, const QFont& font, int width,
                     Qt::Alignment alignment, bool wrap) {
    QString lines = text;
    if (lines.endsWith(QLatin1Char('\n'))) lines.chop(1);
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(lines);
    layout.setFont(font);
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    const int pitch = QFontMetrics(font).height();
    int count = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, count * pitch));
        ++count;
    }
    layout.endLayout();
    return count;
}

// A static: a label whose lines are laid out by LayOutStaticText.
class StaticText : public QLabel {
  public:
    StaticText(const QString& text, QWidget* parent) : QLabel(text, parent) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect room = contentsRect();
        QTextLayout layout;
        LayOutStaticText(layout, text(), font(), room.width(), alignment(), wordWrap());
        painter.setPen(palette().color(foregroundRole()));
        layout.draw(&painter, room.topLeft());
    }
};

// A static shows its whole text: when the text does not fit its inside at the dialog font (a
// single line too wide, or more lines than the height holds), the static takes the largest
// smaller pixel size at which it fits, measured with the layout it is painted with.
void FitText(QLabel* label) {
    const QFont dialogFont = label->parentWidget() ? label->parentWidget()->font() : label->font();
    const QRect room = label->contentsRect();
    auto fits = [&](const QFont& f) {
        QTextLayout layout;
        const int lines = LayOutStaticText(layout, label->text(), f, room.width(),
                                           label->alignment(), label->wordWrap());
        for (int i = 0; i < lines; ++i)
            if (layout.lineAt(i).naturalTextWidth() > room.width()) return false;
        return lines * QFontMetrics(f).height() <= room.height();
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
        // The level meters are painted five times a second: unchanged rows repaint nothing.
        const std::vector<Rgb> next(rows, rows + std::max(count, 0));
        if (next == rows_) return;
        rows_ = next;
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
            AddMenuItems(bar->addMenu(ToQString(popup.text)), popup.items, popup.count);
        }
        menuHeight = bar->sizeHint().height();
        bar->setGeometry(0, 0, client.width, menuHeight);
    }

    auto* area = new QWidget(this);
    area->setFont(font);
    area->setGeometry(0, menuHeight, client.width, client.height);
    area_ = area;
    menuHeight_ = menuHeight;
    for (int i = 0; i < tmpl.count; ++i) BuildControl(tmpl.controls[i], area);
    if (Resizable()) {
        // Small enough for any screen, large enough to show a few lines.
        setMinimumSize(client.width / 2, client.height / 4 + menuHeight);
        resize(client.width, client.height + menuHeight);
    } else {
        setFixedSize(client.width, client.height + menuHeight);
    }
}

void DialogWindow::Layout() {
    if (!Resizable() || !area_) return;
    area_->setGeometry(0, menuHeight_, width(), std::max(height() - menuHeight_, 0));
    for (auto& [widget, margins] : stretched_)
        widget->setGeometry(area_->rect().marginsRemoved(margins));
}

void DialogWindow::AddMenuItems(QMenu* menu, const MenuItem* items, int count) {
    for (int i = 0; i < count; ++i) {
        const MenuItem& item = items[i];
        if (item.kind == MenuItemKind::Separator) {
            menu->addSeparator();
        } else if (item.kind == MenuItemKind::Popup) {
            AddMenuItems(menu->addMenu(ToQString(item.text)), item.items, item.count);
        } else {
            QAction* action = menu->addAction(ToQString(item.text));
            // A slot whose text the logic fills in later stays hidden until then.
            action->setVisible(item.text[0] != '\0');
            const int command = item.id;
            menuItems_[command] = action;
            connect(action, &QAction::triggered, this, [this, command] {
                Send([command](DialogEvents& e) { e.OnCommand(command, CMD_CLICKED); });
            });
        }
    }
}

void DialogWindow::BuildControl(const ControlTemplate& control, QWidget* area) {
    const PixelRect r = ControlRectToPixels(control, base_);
    const int id = control.id;
    const QString text = ToQString(control.text);
    QWidget* widget = nullptr;
    auto clicked = [this, id] { Send([id](DialogEvents& e) { e.OnCommand(id, CMD_CLICKED); }); };
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new StaticText(text, area);
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
    case ControlKind::Grid: {
        auto* grid = new GridView(area, base_.charWidth);
        grid->onClick = [this, id](int line, int column) {
            Send([=](DialogEvents& e) { e.OnGridClick(id, line, column); });
        };
        grid->onWheel = [this, id](int steps) {
            Send([=](DialogEvents& e) { e.OnGridWheel(id, steps); });
        };
        grid->onResize = [this, id](int lines) {
            Send([=](DialogEvents& e) { e.OnGridResize(id, lines); });
        };
        if (Resizable())
            stretched_.emplace_back(grid, QMargins(r.x, r.y, area->width() - r.x - r.width,
                                                   area->height() - r.y - r.height));
        widget = grid;
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

} // namespace qtplatform

using qtplatform::DialogWindow;

// --------------------------------------------------------------------- QtDesktop: controls

void QtDesktop::SetControlText(int dialog, int id, const std::string& text) {
    QWidget* w = ControlWidget(dialog, id);
    const QString value = qtplatform::ToQString(text);
    if (!w) {
        // A menu item by its command id takes the text as it is ("&" is no shortcut mark); an
        // empty text hides it.
        DialogWindow* window = Find(dialog);
        if (QAction* item = window ? window->menuItem(id) : nullptr) {
            item->setText(QString(value).replace(QLatin1Char('&'), QLatin1String("&&")));
            item->setVisible(!value.isEmpty());
        }
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        // The pattern view is set five times a second while playing: the same text lays out
        // nothing again.
        if (label->text() == value) return;
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
    if (QWidget* w = ControlWidget(dialog, id)) {
        w->setEnabled(enabled);
    } else if (DialogWindow* window = Find(dialog)) {
        // Menu items are enabled and greyed by their command id.
        if (QAction* item = window->menuItem(id)) item->setEnabled(enabled);
    }
}

void QtDesktop::SetChecked(int dialog, int id, bool checked) {
    DialogWindow* window = Find(dialog);
    auto* button = window ? qobject_cast<QAbstractButton*>(window->control(id)) : nullptr;
    if (!button) {
        // A menu item by its command id shows a tick.
        if (QAction* item = window ? window->menuItem(id) : nullptr) {
            item->setCheckable(true);
            item->setChecked(checked);
        }
        return;
    }
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
