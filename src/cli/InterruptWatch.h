#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kelvra::cli {

// Turns SIGINT and SIGTERM into events on the thread's event loop. The signal handler only
// writes a byte to a pipe; the pipe's notifier runs inside the next event processing (the wait
// of a command among it), where it is safe to mark the program interrupted and to end waits.
// The first signal asks the work to stop at its next step (a monitor turns extended mode off,
// a download aborts its transaction); the second insists (waits end at once); a third ends
// the program the default way. One watch at a time; it needs a QCoreApplication.
class InterruptWatch {
public:
    InterruptWatch(); // throws LocalFailure when the pipe cannot be made
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool interrupted() const { return m_interrupted; }

    // Called once each, on the event loop's thread, for the first and the second signal.
    std::function<void()> onInterrupt;
    std::function<void()> onInsist;

private:
    void OnPipeReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
    int m_signals = 0;
};

} // namespace kelvra::cli
