#include "console/SpinnerBox.h"

#include "driver/LeadingNumber.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelvra {

SpinnerBox::SpinnerBox(QLineEdit* box, int lowest, int highest, int step, QWidget* parent)
    : QWidget(parent), m_box(box), m_lowest(lowest), m_highest(highest), m_step(step) {
    auto* up = new QToolButton;
    up->setArrowType(Qt::UpArrow);
    up->setObjectName(box->objectName() + "Up");
    auto* down = new QToolButton;
    down->setArrowType(Qt::DownArrow);
    down->setObjectName(box->objectName() + "Down");
    for (auto* arrow : {up, down}) {
        arrow->setFixedSize(16, 11);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(up);
    arrows->addWidget(down);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(box, 1);
    layout->addLayout(arrows);
    connect(up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void SpinnerBox::StepBy(int steps) {
    double current = 0;
    try {
        current =
            ReadLeadingNumber(m_box->text().toLatin1().toStdString(), NumberForms::DecimalOnly);
    } catch (const std::overflow_error&) {
        current = m_highest;
    }
    const double clamped = std::clamp(std::nearbyint(current), static_cast<double>(m_lowest),
                                      static_cast<double>(m_highest));
    const int next = std::clamp(static_cast<int>(clamped) + steps * m_step, m_lowest, m_highest);
    m_box->setText(QString::number(next));
}

} // namespace kelvra
