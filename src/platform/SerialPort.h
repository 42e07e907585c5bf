#pragma once

#include <functional>
#include <string>

namespace kelvra {

enum class FlowControl { None, RtsCts };

// A serial line at the terminal's fixed line parameters (38400 bits per second, 8 data bits,
// no parity, 1 stop bit). Text is one char per byte. Every operation may throw PlatformError.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setPortNumber(int number) = 0; // 1 to 16
    virtual int portNumber() const = 0;
    virtual void setFlowControl(FlowControl flow) = 0;
    virtual void setReceiveThreshold(int characters) = 0;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int unreadCount() = 0;
    virtual std::string readAll() = 0;
    virtual void write(const std::string& bytes) = 0;

    // Called on the owner's thread, from the event pump, when input has arrived.
    std::function<void()> onReceive;
};

} // namespace kelvra
