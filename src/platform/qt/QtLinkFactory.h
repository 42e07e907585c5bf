#pragma once

#include "platform/LinkFactory.h"
#include "platform/SettingsStore.h"
#include "platform/qt/QtSerialPort.h"

#include <string>

namespace kelvra {

// Creates the Qt serial port and sockets. A serial port number n opens the device named in
// the per-user store under (title, "SerialPorts", "COMn"), /dev/ttyS(n-1) when none is named,
// so a USB adapter or a pseudo-terminal can stand behind "COM3". The mapping is read when a
// port opens. The store must outlive the ports.
class QtLinkFactory final : public LinkFactory {
public:
    // The program's application title, which keys the settings stores.
    static constexpr const char* kDefaultTitle = "usKelvra";
    static constexpr const char* kSerialPortsSection = "SerialPorts";

    // `socketBindAddress`: the local address datagram sockets bind to (empty: any; tests
    // pass "127.0.0.1").
    explicit QtLinkFactory(SettingsStore& userSettings, std::string title = kDefaultTitle,
                           std::string socketBindAddress = {});

    std::unique_ptr<SerialPort> createSerialPort() override;
    std::unique_ptr<Socket> createSocket() override;

    // Port number → device path, as the serial ports created here look it up.
    SerialPortPathResolver portPathResolver() const;

private:
    SettingsStore& m_userSettings;
    std::string m_title;
    std::string m_socketBindAddress;
};

} // namespace kelvra
