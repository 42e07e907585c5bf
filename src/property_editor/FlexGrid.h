#pragma once

#include <QColor>
#include <QString>
#include <QTableWidget>
#include <cstdint>
#include <functional>

namespace kelvra {

// The value colours. A value the operator can reach is drawn in the system's window-text
// colour, one he cannot in gray; the colour is also the windows' record of what may be edited.
inline const QColor kGray{0x80, 0x80, 0x80};
QColor WindowTextColour();
// Logged in: either access bit (4 without login, 8 after login); logged out: the bit of 4.
bool IsAccessible(std::int16_t flags, bool loggedIn);
QColor AccessColour(std::int16_t flags, bool loggedIn);

// The windows' grid: rows of cells whose text and colour are set one by one (a cell is made
// on its first write). A grid with row captions keeps them in its first column, fixed:
// header-styled and never selected. The column widths follow the grid's width by the window's
// rule.
class FlexGrid : public QTableWidget {
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // `layout` sets the widths for the width of the grid's cells; run now and at every resize.
    void SetColumnLayout(std::function<void(FlexGrid&, int width)> layout);
    void ApplyColumnLayout();

    // The fixed first column.
    void SetCaption(int row, const QString& text, const QColor& colour);
    // Writes outside the grid's rows or columns are dropped.
    void SetText(int row, int column, const QString& text);
    void SetColour(int row, int column, const QColor& colour);
    void SetCell(int row, int column, const QString& text, const QColor& colour);
    QString Text(int row, int column) const;
    QColor Colour(int row, int column) const;
    // A value from an earlier read is drawn old (gray italics) until it is read again.
    void SetOld(int row, int column, bool old);
    // Moves the current cell, keeping its column when `column` is negative.
    void SetCurrent(int row, int column = -1);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The columns fill the cells' own width, which a vertical scroll bar narrows: wider, a
    // click would scroll the grid sideways and cut the first letters of the captions.
    bool viewportEvent(QEvent* event) override;

private:
    QTableWidgetItem* Cell(int row, int column);

    std::function<void(FlexGrid&, int width)> m_layout;
};

} // namespace kelvra
