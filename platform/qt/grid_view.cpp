// The grid control: each line one font height plus a little leading, each column its characters
// wide plus a margin, the cells filled with their paper and their text drawn in their ink, thin
// rules between the columns; the QtDesktop methods that paint a grid and size and move windows.

#include "platform/qt/grid_view.h"

#include "platform/qt/dialog_windows.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>

namespace qtplatform {

namespace {

constexpr int kLeading = 3;      // pixels between two lines of text
constexpr int kMargin = 4;       // pixels either side of a column's text
constexpr int kNotch = 120;      // wheel units of one notch
constexpr Rgb kRule = 0x9A9A9A;  // between columns and under the first line
constexpr Rgb kEmpty = 0xB8B8B8; // where no cell is

} // namespace

GridView::GridView(QWidget* parent, int charWidth)
    : QWidget(parent), charWidth_(std::max(charWidth, 1)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

int GridView::LineHeight() const {
    return QFontMetrics(font()).height() + kLeading;
}

int GridView::LinesThatFit() const {
    return std::max(height(), 0) / LineHeight();
}

int GridView::ColumnWidth(const GridColumn& column) const {
    return std::max(column.chars, 0) * charWidth_ + 2 * kMargin;
}

QString GridView::CellText(int line, int column) const {
    const int columns = int(columns_.size());
    if (line < 0 || line >= lines_ || column < 0 || column >= columns) return {};
    return ToQString(cells_[size_t(line * columns + column)].text);
}

QRect GridView::CellRect(int line, int column) const {
    int x = 0;
    for (int c = 0; c < column && c < int(columns_.size()); ++c)
        x += ColumnWidth(columns_[size_t(c)]);
    const int width =
        column >= 0 && column < int(columns_.size()) ? ColumnWidth(columns_[size_t(column)]) : 0;
    return QRect(x, line * LineHeight(), width, LineHeight());
}

void GridView::SetContent(const GridColumn* columns, int columnCount, const GridCell* cells,
                          int lineCount) {
    columnCount = columns ? std::max(columnCount, 0) : 0;
    lineCount = cells && columnCount > 0 ? std::max(lineCount, 0) : 0;
    const size_t count = size_t(columnCount) * size_t(lineCount);
    if (lineCount == lines_ &&
        std::equal(columns, columns + columnCount, columns_.begin(), columns_.end())) {
        // Only the cells that changed are painted again (while a song plays, the row that was
        // playing and the one that plays now): drawing the text is what costs.
        QRegion changed;
        for (size_t i = 0; i < count; ++i)
            if (!(cells[i] == cells_[i])) {
                changed += CellRect(int(i) / columnCount, int(i) % columnCount);
                cells_[i] = cells[i];
            }
        if (!changed.isEmpty()) update(changed);
        return;
    }
    columns_.assign(columns, columns + columnCount);
    cells_.assign(cells, cells + count);
    lines_ = lineCount;
    update();
}

void GridView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, ToColor(kEmpty));
    const int lineHeight = LineHeight();
    const int columns = int(columns_.size());
    int x = 0;
    for (int c = 0; c < columns; ++c) {
        const GridColumn& column = columns_[size_t(c)];
        const int width = ColumnWidth(column);
        const Qt::Alignment align =
            Qt::AlignVCenter | (column.align == GridAlign::Left     ? Qt::AlignLeft
                                : column.align == GridAlign::Centre ? Qt::AlignHCenter
                                                                    : Qt::AlignRight);
        for (int line = 0; line < lines_; ++line) {
            const GridCell& cell = cells_[size_t(line * columns + c)];
            const QRect box(x, line * lineHeight, width, lineHeight);
            if (box.top() > dirty.bottom()) break;
            if (!event->region().intersects(box)) continue;
            painter.fillRect(box, ToColor(cell.paper));
            if (cell.text.empty()) continue;
            painter.setPen(ToColor(cell.ink));
            painter.drawText(box.adjusted(kMargin, 0, -kMargin, 0), int(align),
                             ToQString(cell.text));
        }
        x += width;
        painter.fillRect(x - 1, 0, 1, lines_ * lineHeight, ToColor(kRule));
    }
    if (lines_ > 0) painter.fillRect(0, lineHeight - 1, x, 1, ToColor(kRule));
}

void GridView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    int column = -1;
    for (int c = 0, x = 0; c < int(columns_.size()); ++c) {
        x += ColumnWidth(columns_[size_t(c)]);
        if (at.x() < x) {
            column = c;
            break;
        }
    }
    if (onClick && at.y() >= 0) onClick(at.y() / LineHeight(), column);
}

void GridView::wheelEvent(QWheelEvent* event) {
    // Turned away from the user the wheel goes back (up), as in any list.
    wheelEighths_ -= event->angleDelta().y();
    const int steps = wheelEighths_ / kNotch;
    wheelEighths_ -= steps * kNotch;
    if (steps != 0 && onWheel) onWheel(steps);
    event->accept();
}

void GridView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int fit = LinesThatFit();
    if (fit == fitReported_) return;
    fitReported_ = fit;
    if (onResize) onResize(fit);
}

} // namespace qtplatform

using qtplatform::DialogWindow;
using qtplatform::GridView;

// --------------------------------------------------------------- QtDesktop: grids and places

void QtDesktop::PaintGrid(int dialog, int id, const GridColumn* columns, int columnCount,
                          const GridCell* cells, int lineCount) {
    if (auto* grid = dynamic_cast<GridView*>(ControlWidget(dialog, id)))
        grid->SetContent(columns, columnCount, cells, lineCount);
}

int QtDesktop::GridLines(int dialog, int id) {
    auto* grid = dynamic_cast<GridView*>(ControlWidget(dialog, id));
    return grid ? grid->LinesThatFit() : 0;
}

bool QtDesktop::GetWindowRect(int dialog, WindowRect& rect) {
    DialogWindow* window = Find(dialog);
    if (!window) return false;
    const QRect g = window->geometry();
    rect = {g.x(), g.y(), g.width(), g.height()};
    return true;
}

void QtDesktop::SetWindowRect(int dialog, const WindowRect& rect) {
    DialogWindow* window = Find(dialog);
    if (!window) return;
    if (window->Resizable())
        window->setGeometry(rect.x, rect.y, rect.width, rect.height);
    else
        window->move(rect.x, rect.y);
    // A hidden window is laid out when it shows; the logic asks how many lines fit before.
    window->Layout();
}

WindowRect QtDesktop::ScreenArea(const WindowRect& near) {
    QScreen* screen =
        QGuiApplication::screenAt(QPoint(near.x + near.width / 2, near.y + near.height / 2));
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return Desktop::ScreenArea(near);
    const QRect area = screen->availableGeometry();
    return {area.x(), area.y(), area.width(), area.height()};
}
