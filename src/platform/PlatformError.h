#pragma once

#include <stdexcept>
#include <string>

namespace kelvra {

// A failure reported by a platform service (serial port, socket, settings). It carries the
// service's own error number, because the driver's send rule tells one number (10044, the
// socket type that the system does not support) apart from all others.
class PlatformError : public std::runtime_error {
public:
    PlatformError(int number, const std::string& text)
        : std::runtime_error(text), m_number(number) {}
    int number() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace kelvra
