#include "widgets/OkCancelRow.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace kelvra {

OkCancelRow MakeOkCancelRow() {
    auto* ok = new QPushButton("OK");
    ok->setObjectName("cmdCtrl(0)");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cmdCtrl(1)");
    auto* layout = new QHBoxLayout;
    layout->addStretch();
    layout->addWidget(ok);
    layout->addWidget(cancel);
    return {layout, ok, cancel};
}

} // namespace kelvra
