#pragma once

#include <QWidget>

class QLineEdit;

namespace kelvra {

// A text box with a spinner beside it. The spinner steps the number in the box between its
// limits and writes it back; the box itself stays freely editable, so what is sent is what
// the box holds, not what the spinner allows.
class SpinnerBox : public QWidget {
public:
    SpinnerBox(QLineEdit* box, int lowest, int highest, int step, QWidget* parent = nullptr);

    void StepBy(int steps);

private:
    QLineEdit* m_box;
    int m_lowest;
    int m_highest;
    int m_step;
};

} // namespace kelvra
