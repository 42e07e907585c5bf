#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace kelvra {

// Asks for a terminal password. After OK, IsOK is true and Password holds what was typed;
// after Cancel IsOK is false and Password is left unset.
class frmKelvra_LoginPassword : public QDialog {
public:
    explicit frmKelvra_LoginPassword(QWidget* parent = nullptr);

    bool IsOK() const { return m_IsOK; }
    const std::string& Password() const { return m_Password; }

private:
    QLineEdit* txtPassword;
    bool m_IsOK = false;
    std::string m_Password;
};

} // namespace kelvra
