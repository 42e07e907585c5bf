// The weekly bell table: up to 32 bells a weekday, and its mode.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/ItemLookup.h"
#include "cli/ProgressBar.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"
#include "cli/TextTable.h"

#include <array>
#include <ostream>
#include <regex>

namespace kelvra::cli {

namespace {

constexpr int kWeekdays = 7;
constexpr int kBellsPerDay = 32;
// The reply of "WG" is the bell time followed by the two-digit enabled flag.
constexpr std::size_t kFlagWidth = 2;

struct ModeName {
    std::int16_t mode;
    const char* name;
};
constexpr std::array<ModeName, 2> kModes{{{0, "everyday"}, {1, "week"}}};

std::int16_t TakeWeekday(const std::string& text) {
    return static_cast<std::int16_t>(ParseInteger(text, 0, kWeekdays - 1, "weekday"));
}

std::int16_t TakeBell(const std::string& text) {
    return static_cast<std::int16_t>(ParseInteger(text, 0, kBellsPerDay - 1, "bell"));
}

void Get(Session& session, Arguments& arguments) {
    const std::optional<std::string> weekdayText = arguments.next();
    const std::optional<std::string> bellText = arguments.next();
    arguments.finish();
    const int firstDay = weekdayText ? TakeWeekday(*weekdayText) : 0;
    const int lastDay = weekdayText ? firstDay : kWeekdays - 1;
    const int firstBell = bellText ? TakeBell(*bellText) : 0;
    const int lastBell = bellText ? firstBell : kBellsPerDay - 1;

    TextTable table({"Weekday", "Bell", "Time", "Enabled"});
    ProgressBar progress("bells", (lastDay - firstDay + 1) * (lastBell - firstBell + 1));
    int done = 0;
    for (int day = firstDay; day <= lastDay; ++day) {
        for (int bell = firstBell; bell <= lastBell; ++bell) {
            const std::string reply = session.query("bells get", [&](ucKelvra& kv) {
                kv.GetBellTime(session.source(), static_cast<std::int16_t>(day),
                               static_cast<std::int16_t>(bell));
            });
            if (reply.size() < kFlagWidth) {
                throw ReplyFailure("bells get: the terminal's reply is no bell: " + reply);
            }
            const std::size_t split = reply.size() - kFlagWidth;
            table.addRow({std::to_string(day), std::to_string(bell),
                          LocalText(reply.substr(0, split)), LocalText(reply.substr(split))});
            progress.update(++done);
        }
    }
    table.print(session.out());
}

void Set(Session& session, Arguments& arguments) {
    const std::int16_t day = TakeWeekday(arguments.require("weekday"));
    const std::int16_t bell = TakeBell(arguments.require("bell"));
    const std::string timeText = arguments.require("time HH:MM:SS");
    const std::string enabledText = arguments.next().value_or("on");
    arguments.finish();
    static const std::regex kTime("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]");
    if (!std::regex_match(timeText, kTime)) {
        throw UsageError("not a time of day (HH:MM:SS): \"" + timeText + "\"");
    }
    std::int16_t enabled = 0;
    if (enabledText == "on" || enabledText == "1") {
        enabled = 1;
    } else if (enabledText != "off" && enabledText != "0") {
        throw UsageError("a bell is on or off, not \"" + enabledText + "\"");
    }
    const DateTime time =
        DateTime::fromParts(2000, 1, 1, std::stoi(timeText.substr(0, 2)),
                            std::stoi(timeText.substr(3, 2)), std::stoi(timeText.substr(6, 2)));
    session.run(
        "bells set",
        [&](ucKelvra& kv) { kv.SetBellTime(session.source(), day, bell, time, enabled); },
        Repeat::IfTimedOut);
}

void Clear(Session& session, Arguments& arguments) {
    const bool confirmed = arguments.takeFlag("--yes");
    arguments.finish();
    if (!confirmed) {
        throw UsageError("clearing the bell table removes every bell: add --yes to go ahead");
    }
    session.run("bells clear", [&](ucKelvra& kv) { kv.ClearBellTimeSettings(session.source()); });
}

void Mode(Session& session, Arguments& arguments) {
    const std::optional<std::string> wanted = arguments.next();
    arguments.finish();
    if (!wanted) {
        const std::string reply = session.query(
            "bells mode", [&](ucKelvra& kv) { kv.GetBellTimeMode(session.source()); });
        const std::int16_t mode = ReadCount(reply, "bells mode");
        for (const ModeName& entry : kModes) {
            if (entry.mode == mode) {
                session.out() << entry.name << "\n";
                return;
            }
        }
        session.out() << mode << "\n";
        return;
    }
    std::optional<std::int16_t> mode;
    for (const ModeName& entry : kModes) {
        if (*wanted == entry.name) {
            mode = entry.mode;
        }
    }
    if (!mode) {
        mode = static_cast<std::int16_t>(ParseInteger(*wanted, 0, 99, "bell mode"));
    }
    session.run(
        "bells mode", [&](ucKelvra& kv) { kv.SetBellTimeMode(session.source(), *mode); },
        Repeat::IfTimedOut);
}

constexpr Subcommand kBells[] = {
    {"get", "[WEEKDAY [BELL]]", "list the bells (weekdays 0 to 6, bells 0 to 31)", Get},
    {"set", "WEEKDAY BELL HH:MM:SS [on|off]", "program one bell (on unless off is given)", Set},
    {"clear", "--yes", "remove every bell", Clear},
    {"mode", "[everyday|week]", "print the table's mode, or set it", Mode},
};

constexpr std::array kGroups{CommandGroup{"bells", "the weekly bell table", kBells}};

} // namespace

std::span<const CommandGroup> BellCommands() {
    return kGroups;
}

} // namespace kelvra::cli
