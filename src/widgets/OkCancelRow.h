#pragma once

class QHBoxLayout;
class QPushButton;

namespace kelvra {

// The right-aligned "OK" (default) and "Cancel" buttons of the small dialogs, named as the
// dialogs' button array: cmdCtrl(0) and cmdCtrl(1).
struct OkCancelRow {
    QHBoxLayout* layout;
    QPushButton* ok;
    QPushButton* cancel;
};

OkCancelRow MakeOkCancelRow();

} // namespace kelvra
