#include "widgets/frmKelvra_LoginPassword.h"

#include "widgets/OkCancelRow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvra {

namespace {

QFrame* Line() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmKelvra_LoginPassword::frmKelvra_LoginPassword(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Login");
    setObjectName("frmKelvra_LoginPassword");

    txtPassword = new QLineEdit;
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    // The terminal takes single-byte text; show "*" for every character typed.
    txtPassword->setStyleSheet("lineedit-password-character: 42");
    auto* entry = new QHBoxLayout;
    entry->addWidget(new QLabel("Password:"));
    entry->addWidget(txtPassword, 1);

    const auto [buttons, ok, cancel] = MakeOkCancelRow();

    setMinimumWidth(260);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Line());
    layout->addLayout(entry);
    layout->addWidget(Line());
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this] {
        m_Password = txtPassword->text().toLatin1().toStdString();
        m_IsOK = true;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_IsOK = false;
        reject();
    });
}

} // namespace kelvra
