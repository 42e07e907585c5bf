#include "cli/InterruptWatch.h"

#include "cli/CliErrors.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelvra::cli {

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signals = 0;

void OnSignal(int number) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    g_signals = g_signals + 1;
    if (g_signals >= 2) {
        std::signal(number, SIG_DFL); // the next one ends the program at once
    }
    errno = savedErrno;
}

void Install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

InterruptWatch::InterruptWatch() {
    if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw LocalFailure(std::string("cannot watch for interrupts: ") + std::strerror(errno));
    }
    g_signals = 0;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnPipeReadable(); });
    Install(OnSignal);
}

InterruptWatch::~InterruptWatch() {
    Install(SIG_DFL);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void InterruptWatch::OnPipeReadable() {
    char bytes[16];
    for (ssize_t count = 0; (count = ::read(g_pipe[0], bytes, sizeof bytes)) > 0;) {
        for (ssize_t i = 0; i < count; ++i) {
            ++m_signals;
            if (m_signals == 1) {
                m_interrupted = true;
                if (onInterrupt) {
                    onInterrupt();
                }
            } else if (m_signals == 2 && onInsist) {
                onInsist();
            }
        }
    }
}

} // namespace kelvra::cli
