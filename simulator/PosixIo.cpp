#include "PosixIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace kelvra::sim {

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

sockaddr_in MakeAddress(const std::string& address, int port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &result.sin_addr) != 1) {
        throw std::invalid_argument("not an IPv4 address and port: " + address + ":" +
                                    std::to_string(port));
    }
    return result;
}

std::string AddressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool IsLoopbackAddress(const std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

void MakeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
        ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        throwErrno("fcntl");
    }
}

namespace {

UniqueFd openBound(int type, const std::string& address, int port, int& boundPort, const char* kind,
                   bool shared = false) {
    const sockaddr_in where = MakeAddress(address, port);
    const std::string endpoint = std::string(kind) + " " + address + ":" + std::to_string(port);
    UniqueFd fd(::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        throwErrno("socket for " + endpoint);
    }
    const int one = 1;
    if (type == SOCK_STREAM || shared) {
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        throwErrno("bind " + endpoint);
    }
    if (type == SOCK_STREAM && ::listen(fd.get(), 4) != 0) {
        throwErrno("listen " + endpoint);
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        throwErrno("getsockname " + endpoint);
    }
    boundPort = ntohs(bound.sin_port);
    return fd;
}

} // namespace

UniqueFd OpenUdpSocket(const std::string& address, int port, int& boundPort) {
    return openBound(SOCK_DGRAM, address, port, boundPort, "udp");
}

UniqueFd OpenTcpListener(const std::string& address, int port, int& boundPort) {
    return openBound(SOCK_STREAM, address, port, boundPort, "tcp");
}

UniqueFd OpenSharedUdpSocket(const std::string& address, int port) {
    int boundPort = 0;
    return openBound(SOCK_DGRAM, address, port, boundPort, "udp", true);
}

PseudoTerminal OpenPseudoTerminal() {
    PseudoTerminal pty;
    pty.master = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!pty.master) {
        throwErrno("posix_openpt");
    }
    if (::grantpt(pty.master.get()) != 0 || ::unlockpt(pty.master.get()) != 0) {
        throwErrno("grantpt/unlockpt");
    }
    char path[128] = {};
    if (::ptsname_r(pty.master.get(), path, sizeof path) != 0) {
        throwErrno("ptsname_r");
    }
    pty.slavePath = path;
    pty.slave = UniqueFd(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.slave) {
        throwErrno(std::string("open ") + path);
    }
    // Raw: no echo (the client's frames would come straight back), no CR/LF translation, no
    // line editing; 38400 8N1 like the terminal's line.
    termios mode{};
    if (::tcgetattr(pty.slave.get(), &mode) != 0) {
        throwErrno("tcgetattr");
    }
    ::cfmakeraw(&mode);
    ::cfsetispeed(&mode, B38400);
    ::cfsetospeed(&mode, B38400);
    mode.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(pty.slave.get(), TCSANOW, &mode) != 0) {
        throwErrno("tcsetattr");
    }
    MakeNonBlocking(pty.master.get());
    return pty;
}

} // namespace kelvra::sim
