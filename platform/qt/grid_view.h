// The grid control of the Qt desktop, private to platform/qt/: lines of text cells painted in the
// dialog font, which report clicks by line and column, wheel notches and how many lines fit.
#pragma once

#include "platform/desktop.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace qtplatform {

class GridView : public QWidget {
  public:
    // `charWidth`: the dialog font's average character width in pixels, the unit of a
    // column's width.
    GridView(QWidget* parent, int charWidth);

    // Keeps the content; repaints only when it differs from what is shown.
    void SetContent(const GridColumn* columns, int columnCount, const GridCell* cells,
                    int lineCount);
    // Whole lines that fit in the widget's height.
    int LinesThatFit() const;
    int LineHeight() const;
    // The text of a cell as shown, or "" outside the content; where a cell is (for tests).
    QString CellText(int line, int column) const;
    QRect CellRect(int line, int column) const;

    std::function<void(int line, int column)> onClick;
    std::function<void(int steps)> onWheel;
    std::function<void(int lines)> onResize;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int ColumnWidth(const GridColumn& column) const;

    int charWidth_;
    std::vector<GridColumn> columns_;
    std::vector<GridCell> cells_;
    int lines_ = 0;
    int wheelEighths_ = 0; // wheel turns not yet a whole notch (fine-grained wheels, touchpads)
    int fitReported_ = -1;
};

} // namespace qtplatform
