#pragma once

#include "console/Reg.h"

#include <QDialog>

class QCheckBox;

namespace kelvra {

// The property view's options: auto login and auto logout, kept machine-wide. OK writes both
// as "1" or "0"; Cancel writes nothing.
class frmKelvra_Options : public QDialog {
public:
    explicit frmKelvra_Options(SettingsStore& machineWide, QWidget* parent = nullptr);

    bool IsOK() const { return m_IsOK; }

private:
    void OnOk();
    void OnCancel();
    bool ReadOption(const char* name);

    Reg m_reg;
    QCheckBox* chkLogin;
    QCheckBox* chkLogout;
    bool m_IsOK = false;
};

} // namespace kelvra
