#pragma once

#include "widgets/Reg.h"

#include <QDialog>

class QCheckBox;

namespace kelvra {

// The property view's options: auto login and auto logout, and whether the driver takes each
// reply the moment it is complete, kept machine-wide. OK writes each as "1" or "0"; Cancel
// writes nothing.
class frmKelvra_Options : public QDialog {
public:
    explicit frmKelvra_Options(SettingsStore& machineWide, QWidget* parent = nullptr);

    bool IsOK() const { return m_IsOK; }

    // The stored wake-on-reply option, off unless it reads 1; what the program applies to its
    // driver.
    static bool WakeOnReply(SettingsStore& machineWide);

private:
    void OnOk();
    void OnCancel();
    bool ReadOption(const char* name);

    Reg m_reg;
    QCheckBox* chkLogin;
    QCheckBox* chkLogout;
    QCheckBox* chkWakeOnReply;
    bool m_IsOK = false;
};

} // namespace kelvra
