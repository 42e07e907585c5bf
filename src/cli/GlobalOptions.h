#pragma once

#include "cli/Arguments.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::cli {

enum class LinkKind { None, Udp, Tcp, Serial };

// The options every command takes: which link, which terminal, how long to wait.
struct GlobalOptions {
    LinkKind link = LinkKind::None;
    HostPort endpoint;             // --udp / --tcp
    std::string serialPort;        // --serial: a device path, or COM1 to COM16
    bool serialFlowControl = true; // RTS/CTS, as the console opens a serial line
    std::int16_t source = 1;
    std::optional<std::int32_t> timeoutMs;
    std::int16_t retries = 0;
    std::optional<std::string> password; // log in before the command and out after it
    bool trace = false;
    bool specTiming = false; // wait out every polling pass, as the console does by default
    // The module: its address (default: the --udp/--tcp host) and port.
    std::optional<std::string> moduleAddress;
    int modulePort = 65535;
    bool help = false;
};

// Takes the global options out of `arguments`, wherever they stand. Throws UsageError.
GlobalOptions TakeGlobalOptions(Arguments& arguments);

// The usage text of the global options, for the help pages.
extern const char* const kGlobalOptionsHelp;

} // namespace kelvra::cli
