#pragma once

#include "platform/Dialogs.h"

#include <QDialog>
#include <string>

namespace kelvra {

// A dialog as the dialogs interface shows it: named by its object name, run by exec().
class ModalDialog : public ModalWindow {
public:
    explicit ModalDialog(QDialog& dialog) : m_dialog(dialog) {}

    std::string windowName() const override { return m_dialog.objectName().toStdString(); }
    void runModal() override { m_dialog.exec(); }
    QDialog& dialog() const { return m_dialog; }

private:
    QDialog& m_dialog;
};

// Shows the dialog modally through `dialogs` and returns once it has closed.
inline void ShowDialogModal(Dialogs& dialogs, QDialog& dialog) {
    ModalDialog window(dialog);
    dialogs.showModal(window);
}

} // namespace kelvra
