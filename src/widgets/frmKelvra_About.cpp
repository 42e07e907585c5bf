#include "widgets/frmKelvra_About.h"

#include "widgets/ApplicationInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvra {

frmKelvra_About::frmKelvra_About(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    setObjectName("frmKelvra_About");

    auto* brand = new QLabel("Kelvra");
    brand->setObjectName("lblBrand");
    QFont brandFont = brand->font();
    brandFont.setPointSizeF(brandFont.pointSizeF() * 2);
    brandFont.setBold(true);
    brand->setFont(brandFont);
    auto* product = new QLabel("KelvraA/B/C Control Center");
    product->setObjectName("lblProduct");
    auto* version = new QLabel(QString::fromStdString(AboutVersionText(CurrentVersion())));
    version->setObjectName("lblVersion");

    auto* CmdAbout = new QPushButton("Close");
    CmdAbout->setObjectName("CmdAbout");
    CmdAbout->setDefault(true);
    CmdAbout->setFocus();
    connect(CmdAbout, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdAbout);

    setMinimumWidth(280);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(brand);
    layout->addWidget(product);
    layout->addWidget(version);
    layout->addSpacing(12);
    layout->addLayout(buttons);
}

} // namespace kelvra
