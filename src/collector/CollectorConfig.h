#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra::collector {

enum class TerminalLink { Udp, Tcp, Serial };

// One [terminal:NAME] section.
struct TerminalSettings {
    std::string name;
    TerminalLink link = TerminalLink::Udp;
    std::string host; // udp and tcp
    int port = 0;
    std::string device; // serial: a device path or COM1 to COM16
    std::int16_t source = 1;
    std::optional<std::string> password; // log in after connecting when given and not empty
    int pollSeconds = 0;                 // 0: push (real-time mode)
    int timeoutMs = 2000;                // the driver's reply time-out
    int modulePort = 65535;              // tcp: the interface module's configuration port
    int idleCheckSeconds = 10;           // a silent live terminal is asked for its unread count

    bool operator==(const TerminalSettings&) const = default;
};

struct CollectorSettings {
    std::string databaseUrl = "sqlite:/var/lib/kelvra/punches.sqlite";
    std::vector<TerminalSettings> terminals;
};

inline constexpr const char* kDefaultConfigPath = "/etc/kelvra/collector.ini";

// A file that cannot be used: "FILE:LINE: reason" (no line for a file that cannot be read).
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the whole file: every section and key is checked, so a collector never starts, or
// reloads, half-configured. Throws ConfigError for the first fault.
CollectorSettings ParseCollectorConfig(const std::string& text, const std::string& fileName);
CollectorSettings ReadCollectorConfig(const std::string& path);

} // namespace kelvra::collector
