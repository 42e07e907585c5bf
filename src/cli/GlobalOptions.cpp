#include "cli/GlobalOptions.h"

#include "cli/CliErrors.h"

#include <limits>

namespace kelvra::cli {

const char* const kGlobalOptionsHelp = R"(Link (one of them):
  --udp HOST:PORT      datagrams to the terminal
  --tcp HOST:PORT      a stream through the terminal's Ethernet interface module
  --serial DEVICE|COMn a serial line: a device path, or port 1 to 16 as the console maps it
  --no-flow-control    open the serial line without RTS/CTS
Options:
  --source N           terminal number (default 1)
  --timeout MS         reply time-out of one command (default 3000)
  --retries N          repeat a command that timed out up to N times, where repeating it
                       cannot change the outcome (reads, login); never a record fetch
  --password TEXT      log in before the command and out after it
  --spec-timing        wait out every 50 ms polling pass before looking at the reply, as
                       the console does unless told otherwise (default: take the reply the
                       moment it is complete; time-outs are the same either way)
  --trace              print every frame sent and received, decoded, on standard error
  --module ADDR        address of the interface module (default: the link's host)
  --module-port N      its configuration port, also asked by --tcp before it connects
                       (default 65535)
  --help               help for the command given, or for the program
)";

GlobalOptions TakeGlobalOptions(Arguments& arguments) {
    GlobalOptions options;
    int links = 0;
    if (auto udp = arguments.takeValue("--udp")) {
        options.link = LinkKind::Udp;
        options.endpoint = ParseHostPort(*udp, "--udp");
        ++links;
    }
    if (auto tcp = arguments.takeValue("--tcp")) {
        options.link = LinkKind::Tcp;
        options.endpoint = ParseHostPort(*tcp, "--tcp");
        ++links;
    }
    if (auto serial = arguments.takeValue("--serial")) {
        if (serial->empty()) {
            throw UsageError("--serial needs a device or COMn");
        }
        options.link = LinkKind::Serial;
        options.serialPort = *serial;
        ++links;
    }
    if (links > 1) {
        throw UsageError("give one link: --udp, --tcp or --serial");
    }
    options.serialFlowControl = !arguments.takeFlag("--no-flow-control");
    if (auto source = arguments.takeValue("--source")) {
        // Terminal numbers 0 to 207 have an address character.
        options.source = static_cast<std::int16_t>(ParseInteger(*source, 0, 207, "--source"));
    }
    if (auto timeout = arguments.takeValue("--timeout")) {
        options.timeoutMs = static_cast<std::int32_t>(
            ParseInteger(*timeout, 1, std::numeric_limits<std::int32_t>::max(), "--timeout"));
    }
    if (auto retries = arguments.takeValue("--retries")) {
        options.retries = static_cast<std::int16_t>(ParseInteger(*retries, 0, 100, "--retries"));
    }
    options.password = arguments.takeValue("--password");
    options.trace = arguments.takeFlag("--trace");
    options.specTiming = arguments.takeFlag("--spec-timing");
    options.moduleAddress = arguments.takeValue("--module");
    if (auto port = arguments.takeValue("--module-port")) {
        options.modulePort = static_cast<int>(ParseInteger(*port, 1, 65535, "--module-port"));
    }
    options.help = arguments.takeFlag("--help") || arguments.takeFlag("-h");
    return options;
}

} // namespace kelvra::cli
