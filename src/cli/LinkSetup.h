#pragma once

#include "cli/GlobalOptions.h"
#include "platform/SettingsStore.h"

#include <memory>
#include <string>

namespace kelvra {
class ucKelvra;
}

namespace kelvra::cli {

// The serial port number the driver is given for --serial: n for COMn, 1 for a device path.
int SerialPortNumber(const std::string& serialOption);

// The per-user store as the link factory reads it, with the device of --serial standing
// behind its port number when a path was given; every other key reads through.
class SerialDeviceSettings final : public SettingsStore {
public:
    SerialDeviceSettings(SettingsStore& stored, const std::string& serialOption);

    std::string read(const std::string& title, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    void write(const std::string& title, const std::string& section, const std::string& key,
               const std::string& value) override;
    void createKey(const std::string& title, const std::string& section) override;

private:
    SettingsStore& m_stored;
    std::string m_portKey; // "COM1"; empty when --serial named a port, not a device
    std::string m_device;
};

// Points the driver at the link of the options and connects. Throws UsageError without a
// link, TerminalFailure when connecting left a failure code (a silent interface module).
void ConnectLink(ucKelvra& kv, const GlobalOptions& options);

} // namespace kelvra::cli
