#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace kelvra::collector {

// SIGINT, SIGTERM and SIGHUP delivered through the event loop. Construct it before any thread
// starts: the signals are blocked for the whole process and read from a signal descriptor.
class SignalWatch {
public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    std::function<void()> onStop;   // SIGINT, SIGTERM
    std::function<void()> onReload; // SIGHUP

private:
    void read();

    int m_descriptor = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace kelvra::collector
