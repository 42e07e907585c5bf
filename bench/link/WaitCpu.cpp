// Processor time while a command waits for a reply that never comes. The simulator's thread
// runs in this process as well, so the driver's own share is the main thread's time; the
// whole process is printed beside it.
#include "LinkBenchmarks.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kelvra::bench {

namespace {

constexpr int kTimeoutMs = 3000;

double cpuSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

bool RunWaitCpu(Link link, const std::string& address, bool wake) {
    test::SimulatedTerminal terminal(address);
    terminal.connect(link, kTimeoutMs);
    ucKelvra& kv = *terminal.kv;
    kv.SetWakeOnReply(wake);
    terminal.host().applyFaultList("silent");

    const double threadBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto started = std::chrono::steady_clock::now();
    kv.EchoTest(1, "1234");
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;

    const bool timedOut = kv.ErrCode() == KV_ERR_TIMEOUT;
    std::printf("cpu while waiting out %d ms %s, wake-on-reply %s: driver thread %.3f%% of one "
                "core (target < 1%%), whole process with the simulator %.3f%%; wall %.0f ms, "
                "ErrCode %d\n",
                kTimeoutMs, LinkName(link), wake ? "on " : "off", 100.0 * thread / wall,
                100.0 * process / wall, wall * 1000.0, kv.ErrCode());
    return timedOut;
}

} // namespace kelvra::bench
