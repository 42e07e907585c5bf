// link_bench: the driver on the Qt platform against the simulator over loopback UDP, TCP and
// a pseudo-terminal. Prints one labelled line per figure; exits 1 when a run went wrong.
#include "LinkBenchmarks.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const char* const kUsage = R"(usage: link_bench [options]
  --round-trips N      echoes timed per link and setting (default 100)
  --records N          records pushed over UDP and over TCP (default 10000)
  --serial-records N   records pushed over the pseudo-terminal (default 200)
  --serial-baud N      line rate of the paced pseudo-terminal (default 38400)
  --download-records N records downloaded over UDP and over TCP with wake-on-reply
                       (default 10000)
  --paced-records N    records downloaded over the paced pseudo-terminal with wake-on-reply
                       (default 300)
  --records-off N      records each download takes without wake-on-reply, at two 50 ms
                       passes a record (default 100)
  --only NAME          one group: round-trip, wait-cpu, real-time or download
Every figure that depends on it is measured with wake-on-reply off and on.
)";

} // namespace

int main(int argc, char** argv) {
    using namespace kelvra::bench;
    // Keeps Qt away from the user's own files; the driver's settings live in temporary folders.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int roundTrips = 100, records = 10000, serialRecords = 200, serialBaud = 38400;
    int downloadRecords = 10000, pacedRecords = 300, recordsOff = 100;
    std::string_view only;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == "--only" && i + 1 < argc) {
            only = argv[++i];
            continue;
        }
        int* target = option == "--round-trips"        ? &roundTrips
                      : option == "--records"          ? &records
                      : option == "--serial-records"   ? &serialRecords
                      : option == "--serial-baud"      ? &serialBaud
                      : option == "--download-records" ? &downloadRecords
                      : option == "--paced-records"    ? &pacedRecords
                      : option == "--records-off"      ? &recordsOff
                                                       : nullptr;
        if (target == nullptr || i + 1 >= argc || std::atoi(argv[i + 1]) <= 0) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        *target = std::atoi(argv[++i]);
    }
    auto wanted = [&](std::string_view group) { return only.empty() || only == group; };

    // Loopback addresses of their own, away from those the tests use.
    bool ok = true;
    for (const bool wake : {false, true}) {
        if (wanted("round-trip")) {
            ok &= RunRoundTrip(Link::Udp, "127.0.0.20", roundTrips, wake);
            ok &= RunRoundTrip(Link::Tcp, "127.0.0.21", roundTrips, wake);
            ok &= RunRoundTrip(Link::Serial, "127.0.0.22", roundTrips, wake);
        }
    }
    for (const bool wake : {false, true}) {
        if (wanted("wait-cpu")) {
            ok &= RunWaitCpu(Link::Udp, "127.0.0.23", wake);
            ok &= RunWaitCpu(Link::Tcp, "127.0.0.24", wake);
            ok &= RunWaitCpu(Link::Serial, "127.0.0.25", wake);
        }
    }
    if (wanted("real-time")) {
        ok &= RunRealTime(Link::Udp, "127.0.0.26", records, 0);
        ok &= RunRealTime(Link::Tcp, "127.0.0.27", records, 0);
        ok &= RunRealTime(Link::Serial, "127.0.0.28", serialRecords, serialBaud);
    }
    for (const bool wake : {false, true}) {
        if (wanted("download")) {
            ok &=
                RunDownload(Link::Udp, "127.0.0.29", wake ? downloadRecords : recordsOff, 0, wake);
            ok &=
                RunDownload(Link::Tcp, "127.0.0.30", wake ? downloadRecords : recordsOff, 0, wake);
            ok &= RunDownload(Link::Serial, "127.0.0.31", wake ? pacedRecords : recordsOff,
                              serialBaud, wake);
        }
    }
    return ok ? 0 : 1;
}
