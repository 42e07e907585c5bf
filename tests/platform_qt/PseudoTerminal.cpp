#include "PseudoTerminal.h"

#include <QElapsedTimer>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kelvra::test {

PseudoTerminal::PseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        ::close(master);
        return;
    }
    m_slavePath = name;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    m_master = master;
}

PseudoTerminal::~PseudoTerminal() {
    closeMaster();
}

void PseudoTerminal::closeMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PseudoTerminal::write(const std::string& bytes) {
    std::size_t done = 0;
    QElapsedTimer timer;
    timer.start();
    while (done < bytes.size() && timer.elapsed() < 3000) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd writable{m_master, POLLOUT, 0};
            ::poll(&writable, 1, 10);
        }
    }
    return done == bytes.size();
}

std::string PseudoTerminal::read(std::size_t count, int timeoutMs) {
    std::string received;
    QElapsedTimer timer;
    timer.start();
    while (received.size() < count && timer.elapsed() < timeoutMs) {
        pollfd readable{m_master, POLLIN, 0};
        if (::poll(&readable, 1, 10) > 0) {
            received += readAvailable();
        }
    }
    return received;
}

std::string PseudoTerminal::readAvailable() {
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            return received;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace kelvra::test
