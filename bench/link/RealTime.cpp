// Real-time mode at full speed: the terminal holds every record before the driver logs on,
// then pushes them one at a time, each after the confirmation of the one before, which the
// owner's event handler sends as the console's auto-confirm does.
#include "LinkBenchmarks.h"
#include "driver/PushedRecord.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kelvra::bench {

namespace {

constexpr std::int16_t kTerminal = 1;
// A run that stops receiving for this long has lost a record.
constexpr int kStallMs = 5000;

struct Arrival {
    std::string card;
    std::int16_t source = 0;
    std::int32_t errCode = 0;
    std::chrono::steady_clock::time_point at;
    // BytesReceived of the terminal inside the handler: every chunk before this record's last.
    std::int32_t bytesBefore = 0;
};

std::string cardCode(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%08d", 20000000 + index);
    return text;
}

// What went wrong with the arrivals, or nothing.
std::string checkArrivals(const std::vector<Arrival>& arrivals, int records) {
    if (arrivals.size() != static_cast<std::size_t>(records)) {
        return std::to_string(arrivals.size()) + " of " + std::to_string(records) + " arrived";
    }
    for (int i = 0; i < records; ++i) {
        const Arrival& arrival = arrivals[static_cast<std::size_t>(i)];
        if (arrival.errCode != KV_SUCCESS || arrival.source != kTerminal) {
            return "record " + std::to_string(i) + " reported ErrCode " +
                   std::to_string(arrival.errCode) + " from " + std::to_string(arrival.source);
        }
        if (arrival.card != "C" + cardCode(i)) {
            return "record " + std::to_string(i) + " is " + arrival.card + ", expected C" +
                   cardCode(i);
        }
    }
    return {};
}

} // namespace

bool RunRealTime(Link link, const std::string& address, int records, int serialBaud) {
    return MeasureRealTime(link, address, records, serialBaud, {}, "").has_value();
}

std::optional<double> MeasureRealTime(Link link, const std::string& address, int records,
                                      int serialBaud, const DriverWatch& watch,
                                      const std::string& setting) {
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 0;
    options.serialBaud = serialBaud;
    test::SimulatedTerminal terminal(address, options);
    terminal.connect(link, 1000);
    ucKelvra& kv = *terminal.kv;
    for (int i = 0; i < records; ++i) {
        terminal.host().addPunchRecord(kTerminal, cardCode(i));
    }

    const std::shared_ptr<void> watching = watch ? watch(kv) : nullptr;

    std::vector<Arrival> arrivals;
    arrivals.reserve(static_cast<std::size_t>(records));
    QEventLoop loop;
    const Subscription subscription = kv.KelvraDataArival.subscribe(
        [&](const std::string&, std::int16_t source, const std::string& data, std::int32_t code) {
            arrivals.push_back({std::string(CardField(data).value_or("")), source, code,
                                std::chrono::steady_clock::now(), kv.BytesReceived(kTerminal)});
            kv.X_ConfirmRecord(source);
            if (arrivals.size() >= static_cast<std::size_t>(records)) {
                loop.quit();
            }
        });

    kv.X_LogOn(kTerminal);
    if (kv.ErrCode() != KV_SUCCESS) {
        std::printf("real-time %s: X_LogOn ended with ErrCode %d\n", LinkName(link), kv.ErrCode());
        return std::nullopt;
    }
    // Bounded: the loop also ends when no record has come for kStallMs.
    std::size_t seen = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (arrivals.size() == seen) {
            loop.quit();
        }
        seen = arrivals.size();
    });
    watchdog.start(kStallMs);
    if (arrivals.size() < static_cast<std::size_t>(records)) {
        loop.exec();
    }
    watchdog.stop();
    const std::int32_t bytesAtEnd = kv.BytesReceived(kTerminal);

    std::string fault = checkArrivals(arrivals, records);
    if (fault.empty() && kv.PunchCount(kTerminal) != records) {
        fault = "PunchCount " + std::to_string(kv.PunchCount(kTerminal));
    }
    // The last confirmation may still be on its way: "XO" and one "XA" a record.
    terminal.host().waitUntil(
        [&](const sim::HostStats& stats) {
            return stats.framesReceived >= static_cast<std::uint64_t>(records) + 1;
        },
        std::chrono::seconds(2));
    const auto counters = terminal.host().withTerminal(
        kTerminal, [](sim::TerminalModel& model) { return model.counters(); });
    if (fault.empty() && (counters.pushes != records || counters.confirmations != records ||
                          counters.resendRequests != 0)) {
        fault = "the terminal pushed " + std::to_string(counters.pushes) + ", saw " +
                std::to_string(counters.confirmations) + " confirmations and " +
                std::to_string(counters.resendRequests) + " resend requests";
    }
    const std::string label =
        std::string(LinkName(link)) +
        (serialBaud > 0 ? " at " + std::to_string(serialBaud) + " baud" : std::string()) +
        (setting.empty() ? std::string() : ", " + setting);
    if (!fault.empty() || records < 2) {
        std::printf("real-time %s: failed: %s\n", label.c_str(),
                    fault.empty() ? "fewer than two records" : fault.c_str());
        return std::nullopt;
    }

    // From the first record's arrival to the last: the records after the first, and their
    // bytes (those counted after the first record's handler up to the end).
    const double seconds =
        std::chrono::duration<double>(arrivals.back().at - arrivals.front().at).count();
    const double perSecond = (records - 1) / seconds;
    const double bytesPerSecond = (bytesAtEnd - arrivals[1].bytesBefore) / seconds;
    std::printf("real-time %s: %d records, %.0f records/s, %.0f bytes/s, %.3f ms per record; "
                "each arrived once, in order, ErrCode 0, PunchCount %d, 0 resend requests\n",
                label.c_str(), records, perSecond, bytesPerSecond, 1000.0 / perSecond,
                kv.PunchCount(kTerminal));
    if (serialBaud > 0) {
        const double lineRate = serialBaud / 10.0; // 8N1: ten bits a byte
        std::printf("real-time %s: line share %.1f%% (%.0f of %.0f bytes/s)\n", label.c_str(),
                    100.0 * bytesPerSecond / lineRate, bytesPerSecond, lineRate);
    }
    return perSecond;
}

} // namespace kelvra::bench
