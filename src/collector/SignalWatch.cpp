#include "collector/SignalWatch.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <stdexcept>
#include <sys/signalfd.h>
#include <unistd.h>

namespace kelvra::collector {

namespace {

sigset_t WatchedSignals() {
    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGINT);
    sigaddset(&watched, SIGTERM);
    sigaddset(&watched, SIGHUP);
    return watched;
}

} // namespace

SignalWatch::SignalWatch() {
    const sigset_t watched = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    m_descriptor = ::signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_descriptor < 0) {
        throw std::runtime_error(std::string("cannot watch for signals: ") + std::strerror(errno));
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { read(); });
}

SignalWatch::~SignalWatch() {
    m_notifier.reset();
    ::close(m_descriptor);
}

void SignalWatch::read() {
    signalfd_siginfo info{};
    while (::read(m_descriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const auto& handler = info.ssi_signo == SIGHUP ? onReload : onStop;
        if (handler) {
            handler();
        }
    }
}

} // namespace kelvra::collector
