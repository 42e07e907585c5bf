#include "Faults.h"

#include "SimFrames.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <utility>

namespace kelvra::sim {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

int number(std::string_view item, std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 0) {
        throw std::invalid_argument("fault item '" + std::string(item) +
                                    "': expected a non-negative number");
    }
    return value;
}

int numberUpTo(std::string_view item, std::string_view text, int most) {
    const int value = number(item, text);
    if (value > most) {
        throw std::invalid_argument("fault item '" + std::string(item) + "': at most " +
                                    std::to_string(most));
    }
    return value;
}

// "L" or "L:rest": one status letter, then what follows the colon, if there is one.
std::pair<char, std::optional<std::string_view>> statusLetterAndRest(std::string_view item,
                                                                     std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::string_view letter = value.substr(0, colon);
    if (letter.size() != 1) {
        throw std::invalid_argument("fault item '" + std::string(item) +
                                    "': expected one status letter");
    }
    if (colon == std::string_view::npos) {
        return {letter.front(), std::nullopt};
    }
    return {letter.front(), value.substr(colon + 1)};
}

std::string_view itemName(std::string_view item) {
    return item.substr(0, item.find('='));
}

// The items that shape frames, the only ones that make sense armed for one push tick.
bool armable(std::string_view name) {
    for (const std::string_view shaping :
         {"drop", "corrupt", "corrupt-push", "split", "delay", "double", "garbage"}) {
        if (name == shaping) {
            return true;
        }
    }
    return false;
}

RandomFault randomFault(std::string_view item, std::size_t at) {
    RandomFault fault{std::string(item.substr(0, at)), 0};
    const std::string_view share = item.substr(at + 1);
    const auto [end, error] =
        std::from_chars(share.data(), share.data() + share.size(), fault.share);
    if (error != std::errc{} || end != share.data() + share.size() || !(fault.share > 0) ||
        fault.share > 1) {
        throw std::invalid_argument("fault item '" + std::string(item) +
                                    "': expected a share above 0 and at most 1 after '@'");
    }
    if (!armable(itemName(fault.item))) {
        throw std::invalid_argument("fault item '" + std::string(item) +
                                    "': only drop, corrupt, corrupt-push, split, delay, double "
                                    "and garbage can be armed at random");
    }
    ParseFaultList(fault.item); // the item itself must be good
    return fault;
}

// One occurrence more of a counted fault, unless it already applies to every occurrence.
void countOneMore(int& count, int armed) {
    if (count >= 0) {
        count += armed < 0 ? 1 : armed;
    }
}

} // namespace

bool ConsumeCount(int& count) {
    if (count < 0) {
        return true;
    }
    if (count > 0) {
        --count;
        return true;
    }
    return false;
}

std::string GarbageBytes(int count) {
    static constexpr char kPattern[] = "#~?%garbage!";
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += kPattern[i % (sizeof kPattern - 1)];
    }
    return bytes;
}

FaultSettings ParseFaultList(std::string_view list, FaultSettings faults) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        if (item.empty()) {
            continue;
        }
        if (const std::size_t at = item.rfind('@'); at != std::string_view::npos) {
            // The same item again takes its new share, so that a list read twice arms it once.
            RandomFault fault = randomFault(item, at);
            const auto same =
                std::find_if(faults.random.begin(), faults.random.end(),
                             [&](const RandomFault& f) { return f.item == fault.item; });
            if (same != faults.random.end()) {
                *same = std::move(fault);
            } else {
                faults.random.push_back(std::move(fault));
            }
            continue;
        }
        const std::size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        const bool hasValue = equals != std::string_view::npos;
        const std::string_view value = hasValue ? item.substr(equals + 1) : std::string_view{};
        auto noValue = [&] {
            if (hasValue) {
                throw std::invalid_argument("fault item '" + std::string(item) +
                                            "' takes no value");
            }
        };
        auto needValue = [&] {
            if (!hasValue) {
                throw std::invalid_argument("fault item '" + std::string(item) + "' needs a value");
            }
        };

        if (name == "none") {
            noValue();
            faults = FaultSettings{};
        } else if (name == "silent" || name == "silent-terminal") {
            noValue();
            faults.silentTerminal = true;
        } else if (name == "silent-module") {
            noValue();
            faults.silentModule = true;
        } else if (name == "busy-module") {
            faults.module = ModuleAvailability::Busy;
            faults.busyForExits = hasValue ? number(item, value) : -1;
        } else if (name == "free-module") {
            noValue();
            faults.module = ModuleAvailability::Free;
        } else if (name == "drop") {
            needValue();
            faults.dropReplies = number(item, value);
        } else if (name == "corrupt") {
            faults.corruptReplies = hasValue ? number(item, value) : -1;
        } else if (name == "corrupt-push") {
            faults.corruptPushes = hasValue ? number(item, value) : -1;
        } else if (name == "split") {
            faults.splitDelayMs = hasValue ? number(item, value) : 20;
        } else if (name == "delay") {
            needValue();
            faults.delayMs = number(item, value);
        } else if (name == "double") {
            noValue();
            faults.doubleReplies = true;
        } else if (name == "garbage") {
            faults.garbageBytes = hasValue ? numberUpTo(item, value, kMostGarbageBytes) : 8;
        } else if (name == "refuse") {
            needValue();
            const auto [letter, rest] = statusLetterAndRest(item, value);
            faults.refuseStatus = letter;
            faults.refuseCommand = std::string(rest.value_or(std::string_view{}));
        } else if (name == "module-status") {
            needValue();
            const auto [letter, rest] = statusLetterAndRest(item, value);
            faults.moduleStatus = letter;
            faults.moduleStatusReplies = rest ? number(item, *rest) : -1;
        } else {
            throw std::invalid_argument("unknown fault item '" + std::string(item) + "'");
        }
    }
    return faults;
}

void ArmFault(std::string_view item, FaultSettings& faults, OnceFaults& once) {
    const FaultSettings armed = ParseFaultList(item);
    const std::string_view name = itemName(item);
    if (name == "drop") {
        countOneMore(faults.dropReplies, armed.dropReplies);
    } else if (name == "corrupt") {
        countOneMore(faults.corruptReplies, armed.corruptReplies);
    } else if (name == "corrupt-push") {
        countOneMore(faults.corruptPushes, armed.corruptPushes);
    } else if (name == "split") {
        once.splitDelayMs = armed.splitDelayMs;
    } else if (name == "delay") {
        once.delayMs = armed.delayMs;
    } else if (name == "double") {
        once.doubleReply = true;
    } else if (name == "garbage") {
        once.garbageBytes = armed.garbageBytes;
    }
}

std::vector<TimedWrite> ShapeOutgoing(const std::string& frame, FrameKind kind,
                                      FaultSettings& faults, OnceFaults& once) {
    using std::chrono::milliseconds;
    const bool isReply = kind == FrameKind::Reply;
    if (isReply && ConsumeCount(faults.dropReplies)) {
        return {};
    }
    std::string bytes = frame;
    if (ConsumeCount(isReply ? faults.corruptReplies : faults.corruptPushes)) {
        bytes = CorruptChecksum(std::move(bytes));
    }
    // What was armed for the next frame applies to this one, and is spent.
    const int splitDelayMs = std::max(faults.splitDelayMs, std::exchange(once.splitDelayMs, -1));
    const int delayMs = faults.delayMs + std::exchange(once.delayMs, 0);
    const bool doubled =
        isReply && (faults.doubleReplies || std::exchange(once.doubleReply, false));
    const int garbageBytes =
        isReply ? std::max(faults.garbageBytes, std::exchange(once.garbageBytes, 0)) : 0;

    std::vector<TimedWrite> writes;
    milliseconds at{delayMs};
    auto emit = [&] {
        if (splitDelayMs >= 0 && bytes.size() >= 2) {
            const std::size_t half = bytes.size() / 2;
            writes.push_back({at, bytes.substr(0, half)});
            at += milliseconds{splitDelayMs};
            writes.push_back({at, bytes.substr(half)});
        } else {
            writes.push_back({at, bytes});
        }
    };
    emit();
    if (doubled) {
        emit();
    }
    if (garbageBytes > 0) {
        writes.push_back({at, GarbageBytes(garbageBytes)});
    }
    return writes;
}

std::vector<TimedWrite> ShapeOutgoing(const std::string& frame, FrameKind kind,
                                      FaultSettings& faults) {
    OnceFaults none;
    return ShapeOutgoing(frame, kind, faults, none);
}

} // namespace kelvra::sim
