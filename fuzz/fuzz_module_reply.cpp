// The module client's reply wait, fed datagrams that arrive at any moment: replies, refusals,
// strays, empty ones, a flood beyond the collector's limit. Two commands run one after the
// other, each an ordinary command or a discovery. The reply a command takes must be every
// datagram that arrived since the previous command took its own, whole, in arrival order, as
// far as the collector's limit lets them in; its first character decides ErrCode and its length
// what the reply data is. "No reply" comes exactly at the end of the wait, and only when nothing
// arrived. So a reply cut into datagrams that arrive together is the same reply as one datagram.
//
// Input: byte 0 the time-out, byte 1 which commands are discoveries, then datagrams, each a
// header (arrival in ms, length, copies) and its bytes.
#include "FuzzCheck.h"
#include "ModuleClientRig.h"
#include "module_client/ReplyCollector.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kelvra;
using test::ModuleClientRig;

constexpr const char* kModule = "127.0.0.2";

struct Datagram {
    std::int64_t atMs;
    std::string bytes;
    std::string sender;
};

struct Script {
    std::int32_t timeoutMs = 1;
    bool discovery[2] = {false, false};
    std::vector<Datagram> datagrams;
};

// At most this many datagrams besides a flood, so that an input stays quick to run.
constexpr std::size_t kMostDatagrams = 64;
// A flood: copies of one datagram grown to 4 KB, enough to fill the collector.
constexpr std::size_t kFloodDatagram = 4096;
constexpr std::size_t kFloodCopies = ReplyCollector::kCollectedLimit / kFloodDatagram + 2;

Script ReadScript(const std::uint8_t* data, std::size_t size) {
    Script script;
    script.timeoutMs = 1 + data[0] % 25;
    script.discovery[0] = (data[1] & 1) != 0;
    script.discovery[1] = (data[1] & 2) != 0;
    std::vector<Datagram> datagrams;
    std::size_t at = 2;
    bool flooded = false;
    while (at + 3 <= size && datagrams.size() < kMostDatagrams) {
        const std::int64_t arrival = data[at] % 128;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 3);
        std::string bytes(reinterpret_cast<const char*>(data) + at + 3, length);
        // The first copies byte of 255 floods; any other gives 1 to 4 copies.
        const bool flood = data[at + 2] == 0xFF && !flooded;
        flooded = flooded || flood;
        if (flood) {
            bytes.resize(kFloodDatagram, 's');
        }
        const std::size_t copies = flood ? kFloodCopies : 1 + data[at + 2] % 4;
        for (std::size_t i = 0; i < copies; ++i) {
            const std::size_t index = datagrams.size();
            datagrams.push_back({arrival, bytes, "127.0.0." + std::to_string(2 + index % 3)});
        }
        at += 3 + length;
    }
    // The socket hands them over in the order they arrive.
    std::vector<std::size_t> order(datagrams.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return datagrams[a].atMs < datagrams[b].atMs;
    });
    for (const std::size_t i : order) {
        script.datagrams.push_back(std::move(datagrams[i]));
    }
    return script;
}

// The outcome a reply's first character stands for.
std::int32_t Outcome(char status) {
    switch (status) {
    case 'A':
        return VX_SUCCESS;
    case 'C':
        return VX_ERR_STATUS_C;
    case 'F':
        return VX_ERR_STATUS_F;
    case 'D':
        return VX_ERR_STATUS_D;
    default:
        return VX_ERR_STATUS_OTHER;
    }
}

struct Command {
    std::int32_t errCode;
    std::string data;
    std::int64_t startMs;
    std::int64_t endMs;
    bool discovery;
};

// Whether a reply, taken when the reply data held nothing, explains the command's outcome: its
// first character gives ErrCode; a long reply (a discovery list) is the reply data whole, a
// shorter one without its status letter, a single character leaves nothing.
bool Explains(const std::string& reply, const Command& command) {
    if (reply.empty()) {
        return command.errCode == VX_ERR_NO_REPLY && command.data.empty();
    }
    if (command.errCode != Outcome(reply.front())) {
        return false;
    }
    if (reply.size() >= 20) {
        return command.data == reply;
    }
    return std::string_view(reply).substr(1) == command.data;
}

// One datagram as the collector appends it.
std::string CollectedLine(const Datagram& datagram, bool discovery) {
    return discovery ? datagram.bytes + ":" + datagram.sender + "\r\n" : datagram.bytes;
}

// The moment a command with this time-out gives up waiting: the discovery listening time, then
// one check of 10 ms more than the time-out over 10, rounded half to even.
std::int64_t Deadline(std::int64_t startMs, std::int32_t timeoutMs, bool discovery) {
    const auto polls = static_cast<std::int64_t>(std::nearbyint(timeoutMs / 10.0));
    return startMs + (discovery ? timeoutMs : 0) + (polls + 1) * 10;
}

Command Run(ModuleClientRig& rig, bool discovery) {
    Command command{};
    command.startMs = rig.time.elapsedMs();
    command.discovery = discovery;
    if (discovery) {
        rig.vx.B_Echo();
    } else {
        rig.vx.G_DeviceName(kModule);
    }
    command.endMs = rig.time.elapsedMs();
    command.errCode = rig.vx.ErrCode();
    command.data = rig.data();
    return command;
}

// What the collector holds once the datagrams [from, to) have arrived.
std::string Collected(const Script& script, std::size_t from, std::size_t to, bool discovery) {
    std::string collected;
    for (std::size_t k = from; k < to; ++k) {
        const std::string line = CollectedLine(script.datagrams[k], discovery);
        if (collected.size() + line.size() <= ReplyCollector::kCollectedLimit) {
            collected += line;
        }
    }
    return collected;
}

void CheckTwoCommands(const Script& script) {
    ModuleClientRig rig;
    rig.vx.SetTimeout(script.timeoutMs);
    for (const Datagram& datagram : script.datagrams) {
        rig.socket().arrive(datagram.bytes, datagram.atMs, datagram.sender);
    }
    std::size_t taken = 0;
    for (const bool discovery : script.discovery) {
        const Command command = Run(rig, discovery);
        // The command ends at the check that took the reply: everything that had arrived.
        std::size_t arrived = taken;
        while (arrived < script.datagrams.size() &&
               script.datagrams[arrived].atMs <= command.endMs) {
            ++arrived;
        }
        const std::string reply = Collected(script, taken, arrived, discovery);
        FUZZ_CHECK(Explains(reply, command));
        const std::int64_t deadline = Deadline(command.startMs, script.timeoutMs, discovery);
        FUZZ_CHECK(reply.empty() ? command.endMs == deadline : command.endMs <= deadline);
        taken = arrived;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const Script script = ReadScript(data, size);
    CheckTwoCommands(script);
    return 0;
}
