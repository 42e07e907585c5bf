#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kelvra::cli {

// Turns SIGINT and SIGTERM into an event on the thread's event loop. The signal handler only
// writes a byte to a pipe; the pipe's notifier runs inside the next event processing (the wait
// of a command among it), where it is safe to mark the program interrupted and to end waits.
// A second signal ends the program the default way, for an operator who will not wait.
// One watch at a time; it needs a QCoreApplication.
class InterruptWatch {
public:
    InterruptWatch(); // throws LocalFailure when the pipe cannot be made
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool interrupted() const { return m_interrupted; }

    // Called once, on the event loop's thread, when the first signal has arrived.
    std::function<void()> onInterrupt;

private:
    void OnPipeReadable();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
};

} // namespace kelvra::cli
