#pragma once

#include "FakeDialogs.h"
#include "console/ModalDialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTest>
#include <QThread>
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

// Waits, pumping events, until the condition holds or `ms` of real time have passed.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QApplication::processEvents();
        QThread::msleep(2);
    }
    return true;
}

} // namespace kelvra::test
