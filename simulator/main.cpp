// kelvra-sim: a Kelvra terminal and its Ethernet interface module on loopback endpoints.
#include "SimulatorFleet.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <string_view>

namespace {

const char* const kUsage = R"(usage: kelvra-sim [options]
  --bind ADDR           address of the terminal endpoints (default 127.0.0.1)
  --module-bind ADDR    address of the module endpoint (default: the --bind address)
  --udp-port N          terminal UDP port (default 1001, 0 any free port)
  --tcp-port N          terminal TCP port (default 1001, 0 any free port)
  --module-port N       interface module UDP port (default 65535)
  --module-discovery ADDR
                        the module also hears datagrams to this broadcast address, e.g.
                        127.255.255.255, shared with other simulators (default: none)
  --module-password TEXT
                        the module's configuration login password (default 1234)
  --no-udp, --no-tcp, --no-module
                        leave that endpoint closed
  --serial              also serve a pseudo-terminal and print its path
  --serial-baud N       pace the terminal's serial output like an 8N1 line at N bits per
                        second (default 0: as fast as the pseudo-terminal takes it)
  --fleet N             play N terminals, each with its module on an address of its own:
                        the --bind address and the N - 1 after it (default 1)
  --terminals LIST      comma-separated terminal numbers that answer (default: every one)
  --password TEXT       login password (default 1234)
  --records N           punch records each terminal holds at start (default 3)
  --push-every MS       generate a punch record every MS while in extended mode
  --items N             items in each terminal's catalogue, 12 to 100 (default 12): past
                        the built-in ones come generated items ITEM12, ITEM13, ... of
                        mixed types, for loading a large catalogue
  --deny-item NAME      the array item NAME refuses every read and write with access
                        denied, logged in or not (default: none)
  --fault LIST          faults, comma-separated: none, silent, silent-module,
                        busy-module[=N], free-module, drop=N, corrupt[=N], corrupt-push[=N],
                        split[=MS], delay=MS, double, garbage[=N], refuse=L[:CMD],
                        module-status=L[:N]; ITEM@P arms drop, corrupt, corrupt-push,
                        split, delay, double or garbage at random on a share P of the push
                        ticks, once each time (corrupt-push=1@0.1: one push in ten)
  --allow-non-loopback  permit a bind address outside 127.0.0.0/8
  --help                this text
Prints one line per endpoint and runs until SIGINT or SIGTERM.
)";

int parsePort(std::string_view option, const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 65535) {
        throw std::invalid_argument(std::string(option) + ": not a port number: " + text);
    }
    return static_cast<int>(value);
}

int parseCount(std::string_view option, const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 100000000) {
        throw std::invalid_argument(std::string(option) + ": not a count: " + text);
    }
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv) {
    using namespace kelvra::sim;
    SimulatorOptions options;
    std::string modulePassword = ModuleModel::kDefaultPassword;
    int fleetSize = 1;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string_view option = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc) {
                    throw std::invalid_argument(std::string(option) + " needs a value");
                }
                return argv[++i];
            };
            if (option == "--help" || option == "-h") {
                std::cout << kUsage;
                return 0;
            } else if (option == "--bind") {
                options.bindAddress = value();
            } else if (option == "--module-bind") {
                options.moduleBindAddress = value();
            } else if (option == "--udp-port") {
                options.udpPort = parsePort(option, value());
            } else if (option == "--tcp-port") {
                options.tcpPort = parsePort(option, value());
            } else if (option == "--module-discovery") {
                options.moduleDiscoveryAddress = value();
            } else if (option == "--module-password") {
                modulePassword = value();
            } else if (option == "--module-port") {
                options.modulePort = parsePort(option, value());
            } else if (option == "--no-udp") {
                options.udp = false;
            } else if (option == "--no-tcp") {
                options.tcp = false;
            } else if (option == "--no-module") {
                options.module = false;
            } else if (option == "--serial") {
                options.serial = true;
            } else if (option == "--serial-baud") {
                options.serialBaud = parseCount(option, value());
            } else if (option == "--fleet") {
                fleetSize = std::max(1, parseCount(option, value()));
            } else if (option == "--terminals") {
                const std::string list = value();
                std::size_t start = 0;
                while (start <= list.size()) {
                    const std::size_t comma = std::min(list.find(',', start), list.size());
                    const int number = parseCount(option, list.substr(start, comma - start));
                    if (number > 207) {
                        throw std::invalid_argument("--terminals: numbers run from 0 to 207");
                    }
                    options.terminals.push_back(static_cast<std::int16_t>(number));
                    start = comma + 1;
                }
            } else if (option == "--password") {
                options.terminal.password = value();
            } else if (option == "--records") {
                options.terminal.initialRecords = parseCount(option, value());
            } else if (option == "--push-every") {
                options.terminal.pushEveryMs = parseCount(option, value());
            } else if (option == "--items") {
                options.terminal.items = parseCount(option, value());
            } else if (option == "--deny-item") {
                options.terminal.deniedItem = value();
            } else if (option == "--fault") {
                options.faults = ParseFaultList(value(), options.faults);
            } else if (option == "--allow-non-loopback") {
                options.allowNonLoopback = true;
            } else {
                throw std::invalid_argument("unknown option " + std::string(option));
            }
        }
        if (fleetSize > 1) {
            // Every address of the fleet must be there, and on loopback.
            options.bindAddress = AddressAfter(options.bindAddress, 0);
            const std::string last = AddressAfter(options.bindAddress, fleetSize - 1);
            if (!options.allowNonLoopback && !IsLoopbackAddress(last)) {
                throw std::invalid_argument("refusing to bind " + last +
                                            ": only 127.0.0.0/8 unless --allow-non-loopback "
                                            "is given");
            }
        }
        // The catalogue's size and the denied item are checked by building a terminal.
        [[maybe_unused]] const TerminalModel probe(options.terminal);
        for (const std::string& address :
             {options.bindAddress, options.moduleBindAddress, options.moduleDiscoveryAddress}) {
            if (!address.empty() && !options.allowNonLoopback && !IsLoopbackAddress(address)) {
                throw std::invalid_argument(
                    "refusing to bind " + address +
                    ": only 127.0.0.0/8 unless --allow-non-loopback is given");
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "kelvra-sim: " << error.what() << "\n" << kUsage;
        return 2;
    }

    // Block the stop signals before the simulator's thread starts, so that it inherits the
    // mask and the signals wait for sigwait here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<SimulatorFleet> fleet;
    try {
        fleet = std::make_unique<SimulatorFleet>(fleetSize, options);
        for (std::size_t i = 0; i < fleet->size(); ++i) {
            fleet->host(i).withModule(
                [&](ModuleModel& module) { module.settings()["PW"] = modulePassword; });
        }
        fleet->start();
    } catch (const std::exception& error) {
        std::cerr << "kelvra-sim: " << error.what() << "\n";
        return 1;
    }
    for (const std::string& line : fleet->endpointLines()) {
        std::cout << line << "\n";
    }
    std::cout.flush();

    int received = 0;
    sigwait(&stopSignals, &received);
    fleet->stop();
    return 0;
}
