#include "property_editor/FlexGrid.h"

#include "driver/ItemDescriptor.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>

namespace kelvra {

namespace {} // namespace

QColor WindowTextColour() {
    return QApplication::palette().color(QPalette::WindowText);
}

bool IsAccessible(std::int16_t flags, bool loggedIn) {
    const std::int16_t bits =
        loggedIn ? ItemDescriptor::kAvailableWithoutLogin | ItemDescriptor::kAvailableAfterLogin
                 : ItemDescriptor::kAvailableWithoutLogin;
    return (flags & bits) != 0;
}

QColor AccessColour(std::int16_t flags, bool loggedIn) {
    return IsAccessible(flags, loggedIn) ? WindowTextColour() : kGray;
}

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
}

void FlexGrid::SetColumnLayout(std::function<void(FlexGrid&, int width)> layout) {
    m_layout = std::move(layout);
    ApplyColumnLayout();
}

void FlexGrid::ApplyColumnLayout() {
    if (m_layout) {
        m_layout(*this, viewport()->width());
    }
}

void FlexGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    ApplyColumnLayout();
}

bool FlexGrid::viewportEvent(QEvent* event) {
    const bool handled = QTableWidget::viewportEvent(event);
    if (event->type() == QEvent::Resize) {
        ApplyColumnLayout();
    }
    return handled;
}

// A caption cell rather than a header section: a changed header section has the whole grid
// laid out and drawn again, which a load that fills a row at a time cannot afford.
void FlexGrid::SetCaption(int row, const QString& text, const QColor& colour) {
    if (auto* caption = Cell(row, 0)) {
        caption->setFlags(Qt::ItemIsEnabled);
        caption->setBackground(palette().button());
        caption->setText(text);
        caption->setForeground(colour);
    }
}

QTableWidgetItem* FlexGrid::Cell(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return nullptr;
    }
    auto* cell = item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setForeground(WindowTextColour());
        setItem(row, column, cell);
    }
    return cell;
}

void FlexGrid::SetText(int row, int column, const QString& text) {
    if (auto* cell = Cell(row, column)) {
        cell->setText(text);
    }
}

void FlexGrid::SetColour(int row, int column, const QColor& colour) {
    if (auto* cell = Cell(row, column)) {
        cell->setForeground(colour);
    }
}

void FlexGrid::SetCell(int row, int column, const QString& text, const QColor& colour) {
    SetText(row, column, text);
    SetColour(row, column, colour);
}

QString FlexGrid::Text(int row, int column) const {
    const auto* cell = item(row, column);
    return cell == nullptr ? QString() : cell->text();
}

QColor FlexGrid::Colour(int row, int column) const {
    const auto* cell = item(row, column);
    return cell == nullptr ? WindowTextColour() : cell->foreground().color();
}

void FlexGrid::SetOld(int row, int column, bool old) {
    if (auto* cell = Cell(row, column); cell != nullptr && cell->font().italic() != old) {
        QFont font = cell->font();
        font.setItalic(old);
        cell->setFont(font);
        if (old) {
            cell->setForeground(kGray);
        }
    }
}

void FlexGrid::SetCurrent(int row, int column) {
    setCurrentCell(row, column < 0 ? std::max(currentColumn(), 0) : column);
}

} // namespace kelvra
