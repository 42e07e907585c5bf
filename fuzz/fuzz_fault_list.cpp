// The simulator's fault list, as typed after --fault or sent to a running simulator. A list is
// either refused with std::invalid_argument or gives settings within their ranges. Items are
// independent: a list reads as its part up to any comma applied first and the rest onto that,
// reading a list again onto its own outcome changes nothing, and the base it is applied to
// never decides whether it is refused. The settings it gives then shape a reply and a pushed
// record into writes that carry the frame whole, once or twice, and a bounded run of garbage.
//
// Input: the list itself.
#include "Faults.h"
#include "FuzzCheck.h"
#include "SimFrames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kelvra;
using namespace kelvra::sim;

// A base with every field away from its default.
const FaultSettings kBusyBase = [] {
    FaultSettings base;
    base.silentTerminal = true;
    base.silentModule = true;
    base.module = ModuleAvailability::Free;
    base.busyForExits = 3;
    base.dropReplies = 2;
    base.corruptReplies = -1;
    base.corruptPushes = 1;
    base.splitDelayMs = 5;
    base.delayMs = 7;
    base.doubleReplies = true;
    base.garbageBytes = 2;
    base.refuseStatus = 'D';
    base.refuseCommand = "LI";
    base.moduleStatus = 'F';
    base.moduleStatusReplies = 4;
    return base;
}();

std::optional<FaultSettings> Parse(std::string_view list, const FaultSettings& base = {}) {
    try {
        return ParseFaultList(list, base);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

void CheckRanges(const FaultSettings& faults) {
    for (const int count : {faults.dropReplies, faults.corruptReplies, faults.corruptPushes,
                            faults.moduleStatusReplies, faults.busyForExits, faults.splitDelayMs}) {
        FUZZ_CHECK(count >= -1);
    }
    FUZZ_CHECK(faults.delayMs >= 0);
    FUZZ_CHECK(faults.garbageBytes >= 0 && faults.garbageBytes <= kMostGarbageBytes);
}

// The list read in two parts at each comma, the second onto what the first gave.
void CheckItemsAreIndependent(std::string_view list, const std::optional<FaultSettings>& whole) {
    int cuts = 0;
    for (std::size_t comma = list.find(','); comma != std::string_view::npos && cuts < 16;
         comma = list.find(',', comma + 1), ++cuts) {
        const std::optional<FaultSettings> head = Parse(list.substr(0, comma));
        const std::optional<FaultSettings> both =
            head ? Parse(list.substr(comma + 1), *head) : std::nullopt;
        FUZZ_CHECK(both == whole);
    }
}

// A reply or a pushed record shaped by the settings: nothing when the reply is dropped, else the
// frame (or its corrupted form) once, twice when replies are doubled, then the garbage.
void CheckShaping(const FaultSettings& parsed, FrameKind kind) {
    const bool reply = kind == FrameKind::Reply;
    const std::string frame = ReplyFrame(1, reply ? "A12" : "XN12");
    FaultSettings faults = parsed;
    std::vector<TimedWrite> writes = ShapeOutgoing(frame, kind, faults);
    if (reply && parsed.dropReplies != 0) {
        FUZZ_CHECK(writes.empty());
        return;
    }
    for (std::size_t i = 0; i < writes.size(); ++i) {
        FUZZ_CHECK(writes[i].after.count() >= 0);
        FUZZ_CHECK(i == 0 || writes[i].after >= writes[i - 1].after);
    }
    if (reply && parsed.garbageBytes > 0) {
        FUZZ_CHECK(!writes.empty());
        const std::string& garbage = writes.back().bytes;
        FUZZ_CHECK(garbage.size() == static_cast<std::size_t>(parsed.garbageBytes));
        FUZZ_CHECK(garbage.find_first_of(std::string("\x02\x03\r", 3)) == std::string::npos);
        writes.pop_back();
    }
    std::string carried;
    for (const TimedWrite& write : writes) {
        carried += write.bytes;
    }
    const std::size_t copies = reply && parsed.doubleReplies ? 2 : 1;
    FUZZ_CHECK(carried.size() == copies * frame.size());
    for (std::size_t copy = 0; copy < copies; ++copy) {
        const std::string one = carried.substr(copy * frame.size(), frame.size());
        FUZZ_CHECK(one == frame || one == CorruptChecksum(frame));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    const std::optional<FaultSettings> parsed = Parse(list);
    CheckItemsAreIndependent(list, parsed);
    const std::optional<FaultSettings> ontoBase = Parse(list, kBusyBase);
    FUZZ_CHECK(parsed.has_value() == ontoBase.has_value());
    if (!parsed) {
        return 0;
    }
    CheckRanges(*parsed);
    CheckRanges(*ontoBase);
    FUZZ_CHECK(Parse(list, *parsed) == parsed);
    FUZZ_CHECK(Parse(list, *ontoBase) == ontoBase);
    CheckShaping(*parsed, FrameKind::Reply);
    CheckShaping(*ontoBase, FrameKind::Push);
    CheckShaping(*ontoBase, FrameKind::Reply);
    return 0;
}
