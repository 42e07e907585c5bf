// link_bench: the driver on the Qt platform against the simulator over loopback UDP, TCP and
// a pseudo-terminal. Prints one labelled line per figure; exits 1 when a run went wrong.
#include "LinkBenchmarks.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

const char* const kUsage = R"(usage: link_bench [options]
  --round-trips N      echoes timed per link (default 100)
  --records N          records pushed over UDP and over TCP (default 10000)
  --serial-records N   records pushed over the pseudo-terminal (default 200)
  --serial-baud N      line rate of the paced pseudo-terminal (default 38400)
)";

} // namespace

int main(int argc, char** argv) {
    using namespace kelvra::bench;
    // Keeps Qt away from the user's own files; the driver's settings live in temporary folders.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int roundTrips = 100, records = 10000, serialRecords = 200, serialBaud = 38400;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        int* target = option == "--round-trips"      ? &roundTrips
                      : option == "--records"        ? &records
                      : option == "--serial-records" ? &serialRecords
                      : option == "--serial-baud"    ? &serialBaud
                                                     : nullptr;
        if (target == nullptr || i + 1 >= argc || std::atoi(argv[i + 1]) <= 0) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        *target = std::atoi(argv[++i]);
    }

    // Loopback addresses of their own, away from those the tests use.
    bool ok = true;
    ok &= RunRoundTrip(Link::Udp, "127.0.0.20", roundTrips);
    ok &= RunRoundTrip(Link::Tcp, "127.0.0.21", roundTrips);
    ok &= RunRoundTrip(Link::Serial, "127.0.0.22", roundTrips);
    ok &= RunWaitCpu(Link::Udp, "127.0.0.23");
    ok &= RunWaitCpu(Link::Tcp, "127.0.0.24");
    ok &= RunWaitCpu(Link::Serial, "127.0.0.25");
    ok &= RunRealTime(Link::Udp, "127.0.0.26", records, 0);
    ok &= RunRealTime(Link::Tcp, "127.0.0.27", records, 0);
    ok &= RunRealTime(Link::Serial, "127.0.0.28", serialRecords, serialBaud);
    return ok ? 0 : 1;
}
