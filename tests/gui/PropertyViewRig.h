#pragma once

#include "FakeDialogs.h"
#include "console/ModalDialog.h"

#include <QDialog>
#include <functional>
#include <stdexcept>
#include <string>

namespace kelvra::test {

template <class Widget> Widget* Child(QObject& parent, const QString& name) {
    auto* child = parent.findChild<Widget*>(name);
    if (child == nullptr) {
        throw std::runtime_error("no control " + name.toStdString());
    }
    return child;
}

// Answers the modal window `name`: it is shown, without a modal loop of its own, and handed to
// `act`, which works it as the operator would.
inline void AnswerWindow(FakeDialogs& dialogs, const std::string& name,
                         std::function<void(QDialog&)> act) {
    dialogs.windowAnswers[name] = [act = std::move(act)](ModalWindow& window) {
        QDialog& dialog = static_cast<ModalDialog&>(window).dialog();
        dialog.show();
        act(dialog);
    };
}

} // namespace kelvra::test
