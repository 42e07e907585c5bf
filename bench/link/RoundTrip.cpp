// A command's round trip. Without wake-on-reply the reply is polled in 50 ms passes, so no
// command returns sooner than one pass and what it takes beyond that is the cost of the sleep,
// the event pump and the link; with it, the round trip is the link's and the event loop's.
// Each echo carries a text of its own: under wake-on-reply a reply that repeats the last one
// byte for byte may be that reply sent twice, and waits out its pass as every reply once did.
#include "LinkBenchmarks.h"
#include "driver/ReplyPasses.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kelvra::bench {

namespace {

constexpr int kWarmUp = 5;

} // namespace

bool RunRoundTrip(Link link, const std::string& address, int iterations, bool wake) {
    test::SimulatedTerminal terminal(address);
    terminal.connect(link, 1000);
    ucKelvra& kv = *terminal.kv;
    kv.SetWakeOnReply(wake);

    int failures = 0;
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(iterations));
    for (int i = -kWarmUp; i < iterations; ++i) {
        const std::string payload = std::to_string(10000000 + i);
        const auto started = std::chrono::steady_clock::now();
        kv.EchoTest(1, payload);
        const auto ended = std::chrono::steady_clock::now();
        if (kv.ErrCode() != KV_SUCCESS || terminal.data() != payload) {
            ++failures;
            continue;
        }
        if (i >= 0) {
            times.push_back(std::chrono::duration<double, std::milli>(ended - started).count());
        }
    }
    if (times.empty()) {
        std::printf("round trip %s, wake-on-reply %s: no echo came back (%d failures)\n",
                    LinkName(link), wake ? "on" : "off", failures);
        return false;
    }
    const double median = Median(times);
    std::printf("round trip %s, wake-on-reply %s: mean %.2f ms, median %.2f ms, min %.2f ms, "
                "max %.2f ms, ",
                LinkName(link), wake ? "on " : "off", Mean(times), median,
                *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
    if (wake) {
        std::printf("(target: median < 1 ms)");
    } else {
        std::printf("ratio %.3f (median / %d ms pass; target <= 1.02)", median / kReplyPassMs,
                    kReplyPassMs);
    }
    std::printf(", %zu echoes, %d failed\n", times.size(), failures);
    return failures == 0;
}

} // namespace kelvra::bench
