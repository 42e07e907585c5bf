#include "platform/qt/QtClock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <QTimer>
#include <chrono>

namespace kelvra {

std::uint32_t QtClock::tickCount() {
    const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    // Deliberate truncation: the driver's waits are written against a 32-bit counter.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(sinceStart.count())) +
           m_tickOffset;
}

void QtClock::sleep(int milliseconds) {
    if (milliseconds > 0) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
}

DateTime QtClock::now() {
    const QDateTime current = QDateTime::currentDateTime();
    const QDate date = current.date();
    const QTime time = current.time();
    return DateTime::fromParts(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                               time.second());
}

void QtClock::processEvents() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        return; // no event loop on this thread: nothing can be pending
    }
    // One round of the dispatcher delivers what was pending when it began; what those events
    // set off (the notification a socket posts when its data is read, the reply of a peer in
    // this process) waits for the next round. Rounds repeat until one finds nothing, so a reply
    // complete now is handed over by this call, not one 50 ms pass later. The bound keeps a
    // flood of events from holding the caller.
    for (int round = 0; round < kMaxRounds; ++round) {
        if (!dispatcher->processEvents(QEventLoop::AllEvents)) {
            break;
        }
    }
}

void QtClock::waitForEvents(int maxMs) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        sleep(maxMs);
        return;
    }
    if (maxMs > 0) {
        // The timer only bounds the wait: whatever wakes the dispatcher first ends it, and the
        // timer dies unfired with this scope.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        deadline.start(maxMs);
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    }
    // What the wake-up set off (the notification a socket posts) is delivered now.
    processEvents();
}

} // namespace kelvra
