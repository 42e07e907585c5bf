#pragma once

#include <QDialog>

namespace kelvra {

// The program's name and version. "Close", Enter or Escape closes it.
class frmKelvra_About : public QDialog {
public:
    explicit frmKelvra_About(QWidget* parent = nullptr);
};

} // namespace kelvra
