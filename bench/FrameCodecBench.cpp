// Frames built and verified per second, for a short command and for a long record.
#include "driver/FrameCodec.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace kelvra;

void BuildAndVerify(benchmark::State& state) {
    const std::string data(static_cast<std::size_t>(state.range(0)), 'r');
    for (auto _ : state) {
        std::string frame = BuildRequestFrame("A", 1, data);
        auto reply = VerifyReply(frame);
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames built and verified");
}
BENCHMARK(BuildAndVerify)->Arg(3)->Arg(64)->Arg(240);

void BuildOnly(benchmark::State& state) {
    for (auto _ : state) {
        std::string frame = BuildRequestFrame("IG", 1, "\"TIME\"00");
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BuildOnly);

} // namespace
