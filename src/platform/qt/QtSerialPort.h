#pragma once

#include "platform/SerialPort.h"

#include <functional>
#include <memory>
#include <string>

class QObject;
class QSerialPort;

namespace kelvra {

// The device path behind a port number. The factory builds one from the per-user settings;
// a resolver that throws falls back to the default path.
using SerialPortPathResolver = std::function<std::string(int portNumber)>;

// Port 1 is /dev/ttyS0, ..., port 16 is /dev/ttyS15.
std::string DefaultSerialPortPath(int portNumber);

// A serial line on QSerialPort at the terminal's fixed line parameters: 38400 bits per second,
// 8 data bits, no parity, 1 stop bit, flow control none or RTS/CTS. The device path is looked
// up when the port opens, so a changed mapping takes effect at the next open.
//
// Received input raises onReceive once the unread count reaches the receive threshold (1:
// every character), from a posted event on the thread that created the port, never from
// inside a Qt signal: a handler may pump events and receive again while it runs.
// A line that fails while reading (device gone, pseudo-terminal's far end closed) is closed,
// so the next command reopens it rather than the event loop spinning on the error.
// Failures throw PlatformError with the numbers listed in QtErrors.h.
class QtSerialPort final : public SerialPort {
public:
    static constexpr int kBaudRate = 38400;
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;

    explicit QtSerialPort(SerialPortPathResolver resolver = DefaultSerialPortPath);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    void setPortNumber(int number) override;
    int portNumber() const override { return m_portNumber; }
    void setFlowControl(FlowControl flow) override;
    void setReceiveThreshold(int characters) override;

    void open() override;
    void close() override;
    bool isOpen() const override;

    int unreadCount() override;
    std::string readAll() override;
    // The whole frame in one write, then flushed to the device at once.
    void write(const std::string& bytes) override;

    // The device path that port `portNumber()` resolves to now.
    std::string devicePath() const;
    FlowControl flowControl() const { return m_flow; }
    int receiveThreshold() const { return m_threshold; }
    // The open line's file descriptor, for diagnostics and tests (its termios shows the line
    // settings); -1 when closed.
    int lineDescriptor() const;

private:
    void applyFlowControl();
    void onReadyRead();
    void onError(int error);
    void post(std::function<void()> action);

    SerialPortPathResolver m_resolver;
    std::unique_ptr<QObject> m_context; // posted notifications die with it
    std::unique_ptr<QSerialPort> m_port;
    int m_portNumber = 1;
    FlowControl m_flow = FlowControl::None;
    int m_threshold = 1;
    unsigned m_generation = 0; // notifications posted before a close are dropped
    bool m_notificationPending = false;
};

} // namespace kelvra
