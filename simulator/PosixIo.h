#pragma once

#include <netinet/in.h>
#include <string>
#include <utility>

namespace kelvra::sim {

// An owned file descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// A dotted IPv4 address text and port as a socket address; throws std::invalid_argument.
sockaddr_in MakeAddress(const std::string& address, int port);
// "a.b.c.d:port".
std::string AddressText(const sockaddr_in& address);
// Whether a dotted IPv4 address lies in 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address);

// Non-blocking sockets bound to address:port (0: any free port); the bound port is written
// to `boundPort`. Failures throw std::system_error naming the endpoint.
UniqueFd OpenUdpSocket(const std::string& address, int port, int& boundPort);
UniqueFd OpenTcpListener(const std::string& address, int port, int& boundPort);
// A non-blocking UDP socket on address:port that other sockets may share (SO_REUSEADDR on
// every one of them): bound to a broadcast address such as 127.255.255.255, each of them
// receives its own copy of a datagram sent there.
UniqueFd OpenSharedUdpSocket(const std::string& address, int port);

// A pseudo-terminal in raw mode: the master end for the simulator, the slave path for the
// client. The slave is kept open here as well, so that the master never reads end-of-file
// (EIO) while no client has the slave open.
struct PseudoTerminal {
    UniqueFd master;
    UniqueFd slave;
    std::string slavePath;
};
PseudoTerminal OpenPseudoTerminal();

// Makes an fd non-blocking and close-on-exec; throws std::system_error.
void MakeNonBlocking(int fd);

// Whether a failed read or write on a non-blocking fd is worth trying again later.
bool WouldBlock(int error);

} // namespace kelvra::sim
