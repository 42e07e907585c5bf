#pragma once

#include "platform/SerialPort.h"
#include "platform/Socket.h"

#include <memory>

namespace kelvra {

// Creates the link components that a driver or a module client owns.
class LinkFactory {
public:
    virtual ~LinkFactory() = default;
    virtual std::unique_ptr<SerialPort> createSerialPort() = 0;
    virtual std::unique_ptr<Socket> createSocket() = 0;
};

} // namespace kelvra
