// The terminal's display, its bell and lock relays, and its fall-back from extended mode.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"

#include <array>

namespace kelvra::cli {

namespace {

void Display(Session& session, Arguments& arguments) {
    const std::optional<std::string> seconds = arguments.takeValue("--seconds");
    const std::string text = LinkText(arguments.require("text"));
    arguments.finish();
    const auto duration =
        static_cast<std::int16_t>(seconds ? ParseInteger(*seconds, 0, 99, "--seconds") : 5);
    session.run(
        "display", [&](ucKelvra& kv) { kv.X_ShowText(session.source(), duration, text); },
        Repeat::IfTimedOut);
}

void Relay(Session& session, Arguments& arguments) {
    const std::string relay = arguments.require("bell or lock");
    const auto duration = static_cast<std::int16_t>(
        ParseInteger(arguments.require("duration"), 0, 99, "relay duration"));
    arguments.finish();
    if (relay == "bell") {
        session.run("relay bell",
                    [&](ucKelvra& kv) { kv.X_ActivateBell(session.source(), duration); });
    } else if (relay == "lock") {
        session.run("relay lock",
                    [&](ucKelvra& kv) { kv.X_ActivateLock(session.source(), duration); });
    } else {
        throw UsageError("the relays are bell and lock, not \"" + relay + "\"");
    }
}

void PunchTimesGet(Session& session, Arguments& arguments) {
    arguments.finish();
    session.print(session.query("punch-times get",
                                [&](ucKelvra& kv) { kv.X_PunchTimesGet(session.source()); }));
}

void PunchTimesSet(Session& session, Arguments& arguments) {
    // Two hexadecimal digits travel: 255 is the most the terminal can be told.
    const auto times = static_cast<std::int16_t>(
        ParseInteger(arguments.require("number of punches"), 0, 255, "number of punches"));
    arguments.finish();
    session.run(
        "punch-times set", [&](ucKelvra& kv) { kv.X_PunchTimesSet(session.source(), times); },
        Repeat::IfTimedOut);
}

constexpr Subcommand kDisplay[] = {{"", "[--seconds N] TEXT",
                                    "show TEXT on the terminal's display (5 seconds unless given)",
                                    Display}};
constexpr Subcommand kRelay[] = {
    {"", "bell|lock DURATION", "pulse the bell or the lock relay (duration 0 to 99)", Relay}};
constexpr Subcommand kPunchTimes[] = {
    {"get", "", "print after how many unanswered punches extended mode falls back", PunchTimesGet},
    {"set", "N", "set it (0 to 255; 0: never)", PunchTimesSet},
};

constexpr std::array kGroups{
    CommandGroup{"display", "the terminal's display", kDisplay},
    CommandGroup{"relay", "the bell and lock relays", kRelay},
    CommandGroup{"punch-times", "extended mode's fall-back", kPunchTimes},
};

} // namespace

std::span<const CommandGroup> DeviceCommands() {
    return kGroups;
}

} // namespace kelvra::cli
