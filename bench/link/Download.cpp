// Record download as kelvractl runs it: the count, then a fetch and a confirmation per record
// inside the read transaction, aborted at the end so the next run finds the records again.
// Two commands a record: with every reply taken at the end of its 50 ms pass the link does
// about ten records a second whatever its speed; woken by the reply, the link sets the pace.
#include "LinkBenchmarks.h"

#include <chrono>
#include <cstdio>

namespace kelvra::bench {

namespace {

constexpr std::int16_t kTerminal = 1;
// STX, address twice, status, checksum, length, ETX around the record text.
constexpr std::size_t kFrameOverhead = 9;
// An 8N1 line carries ten bits per byte.
constexpr double kBitsPerByte = 10.0;

} // namespace

bool RunDownload(Link link, const std::string& address, int records, int serialBaud, bool wake) {
    sim::SimulatorOptions options;
    options.terminal.initialRecords = records;
    options.serialBaud = serialBaud;
    test::SimulatedTerminal terminal(address, options);
    terminal.connect(link, 1000);
    ucKelvra& kv = *terminal.kv;
    kv.SetWakeOnReply(wake);

    const auto started = std::chrono::steady_clock::now();
    kv.RecordCount(kTerminal);
    std::size_t replyBytes = terminal.data().size() + kFrameOverhead;
    int fetched = 0;
    std::string failure;
    for (;;) {
        kv.GetRecord(kTerminal);
        if (kv.ErrCode() == KV_ERR_END) {
            replyBytes += kFrameOverhead;
            break;
        }
        const std::string record = terminal.data();
        if (kv.ErrCode() != KV_SUCCESS || record.empty()) {
            failure = "record " + std::to_string(fetched + 1) + ": ErrCode " +
                      std::to_string(kv.ErrCode());
            break;
        }
        kv.ConfirmRecord(kTerminal);
        if (kv.ErrCode() != KV_SUCCESS) {
            failure = "confirmation " + std::to_string(fetched + 1) + ": ErrCode " +
                      std::to_string(kv.ErrCode());
            break;
        }
        replyBytes += record.size() + 2 * kFrameOverhead;
        ++fetched;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    kv.AbortReadTransation(kTerminal);
    if (failure.empty() && fetched != records) {
        failure = std::to_string(fetched) + " of " + std::to_string(records) + " records";
    }

    std::printf("download %s%s, wake-on-reply %s: %d records in %.2f s, %.0f records/s",
                LinkName(link), serialBaud > 0 ? " paced" : "", wake ? "on " : "off", fetched,
                seconds, fetched / seconds);
    if (serialBaud > 0) {
        // The terminal's direction of the line: what share of its capacity the replies used.
        const double share = replyBytes * kBitsPerByte / serialBaud / seconds;
        std::printf(", %.1f%% of the %d baud line (target >= 90%% with wake-on-reply)",
                    100.0 * share, serialBaud);
    } else if (wake) {
        std::printf(" (target >= 2000)");
    }
    std::printf("%s%s\n", failure.empty() ? "" : "; FAILED: ", failure.c_str());
    return failure.empty();
}

} // namespace kelvra::bench
