#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace kelvra::test {

// Pumps events until `done` holds or `timeoutMs` have passed; true when it held. Every wait in
// these tests is bounded by it.
template <typename Condition> bool WaitUntil(Condition&& done, int timeoutMs = 3000) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) {
            return true;
        }
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(1);
    }
}

// Pumps events for `ms` milliseconds: to show that something does not happen.
inline void PumpFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

} // namespace kelvra::test
