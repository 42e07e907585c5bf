#include "widgets/frmKelvra_Options.h"

#include "widgets/ApplicationInfo.h"
#include "widgets/ConsoleSettings.h"
#include "widgets/OkCancelRow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kelvra {

frmKelvra_Options::frmKelvra_Options(SettingsStore& machineWide, QWidget* parent)
    : QDialog(parent), m_reg(machineWide) {
    setWindowTitle("Options");
    setObjectName("frmKelvra_Options");

    auto* SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName("SSTab1");
    auto* general = new QWidget;
    auto* Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop);
    chkLogin = new QCheckBox("Auto login while setting the properties.");
    chkLogin->setObjectName("chkLogin");
    chkLogout = new QCheckBox("Auto logout while setting the properties.");
    chkLogout->setObjectName("chkLogout");
    chkWakeOnReply = new QCheckBox("Take each reply as soon as it is complete.");
    chkWakeOnReply->setObjectName("chkWakeOnReply");
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(chkLogin);
    boxes->addWidget(chkLogout);
    boxes->addWidget(chkWakeOnReply);
    boxes->addStretch();
    auto* page = new QHBoxLayout(general);
    page->addWidget(Image1);
    page->addLayout(boxes, 1);
    SSTab1->addTab(general, "General");

    const auto [buttons, ok, cancel] = MakeOkCancelRow();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });

    chkLogin->setChecked(ReadOption(kAutoLogin.name));
    chkLogout->setChecked(ReadOption(kAutoLogout.name));
    chkWakeOnReply->setChecked(ReadOption(kWakeOnReply.name));
    m_IsOK = false;
}

bool frmKelvra_Options::WakeOnReply(SettingsStore& machineWide) {
    Reg reg(machineWide);
    return reg.RegReadOption(kApplicationTitle, kWakeOnReply.section, kWakeOnReply.name);
}

bool frmKelvra_Options::ReadOption(const char* name) {
    return m_reg.RegReadOption(kApplicationTitle, kAutoLogin.section, name);
}

void frmKelvra_Options::OnOk() {
    m_reg.RegWriteString(kApplicationTitle, kAutoLogin.section, kAutoLogin.name,
                         chkLogin->isChecked() ? "1" : "0");
    m_reg.RegWriteString(kApplicationTitle, kAutoLogout.section, kAutoLogout.name,
                         chkLogout->isChecked() ? "1" : "0");
    m_reg.RegWriteString(kApplicationTitle, kWakeOnReply.section, kWakeOnReply.name,
                         chkWakeOnReply->isChecked() ? "1" : "0");
    m_IsOK = true;
    accept();
}

void frmKelvra_Options::OnCancel() {
    m_IsOK = false;
    reject();
}

} // namespace kelvra
