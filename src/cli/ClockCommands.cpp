// The terminal's clock, date, machine number and name, and its date format.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"

#include <array>
#include <ostream>
#include <regex>

namespace kelvra::cli {

namespace {

int Number(const std::ssub_match& digits) {
    return std::stoi(digits.str());
}

// "HH:MM:SS" or "HH:MM", a real time of day.
DateTime ParseTimeOfDay(const std::string& text) {
    static const std::regex kTime("([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?");
    std::smatch match;
    if (std::regex_match(text, match, kTime)) {
        const int hour = Number(match[1]), minute = Number(match[2]);
        const int second = match[3].matched ? Number(match[3]) : 0;
        if (hour < 24 && minute < 60 && second < 60) {
            return DateTime::fromParts(2000, 1, 1, hour, minute, second);
        }
    }
    throw UsageError("not a time of day (HH:MM:SS): \"" + text + "\"");
}

// "DD-MM-YYYY", as the terminal writes dates, or "YYYY-MM-DD"; a real calendar date.
DateTime ParseDate(const std::string& text) {
    static const std::regex kTerminalForm("([0-9]{1,2})-([0-9]{1,2})-([0-9]{4})");
    static const std::regex kIsoForm("([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})");
    std::smatch match;
    int year = 0, month = 0, day = 0;
    if (std::regex_match(text, match, kTerminalForm)) {
        day = Number(match[1]), month = Number(match[2]), year = Number(match[3]);
    } else if (std::regex_match(text, match, kIsoForm)) {
        year = Number(match[1]), month = Number(match[2]), day = Number(match[3]);
    }
    if (month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        const DateTime date = DateTime::fromParts(year, month, day);
        if (date.day() == day && date.month() == month) { // 31-04 would roll over into May
            return date;
        }
    }
    throw UsageError("not a date (DD-MM-YYYY or YYYY-MM-DD): \"" + text + "\"");
}

void PrintQuery(Session& session, const char* what, void (ucKelvra::*getter)(std::int16_t)) {
    session.print(session.query(what, [&](ucKelvra& kv) { (kv.*getter)(session.source()); }));
}

void TimeGet(Session& session, Arguments& arguments) {
    arguments.finish();
    PrintQuery(session, "time get", &ucKelvra::GetTime);
}

void TimeSet(Session& session, Arguments& arguments) {
    const bool now = arguments.takeFlag("--now");
    const std::optional<std::string> text = arguments.next();
    arguments.finish();
    if (now == text.has_value()) {
        throw UsageError("give either --now or HH:MM:SS");
    }
    const DateTime time = now ? session.clock().now() : ParseTimeOfDay(*text);
    session.run(
        "time set", [&](ucKelvra& kv) { kv.SetTime(session.source(), time); }, Repeat::IfTimedOut);
}

void DateGet(Session& session, Arguments& arguments) {
    arguments.finish();
    PrintQuery(session, "date get", &ucKelvra::GetDate);
}

void DateSet(Session& session, Arguments& arguments) {
    const bool today = arguments.takeFlag("--today");
    const std::optional<std::string> text = arguments.next();
    arguments.finish();
    if (today == text.has_value()) {
        throw UsageError("give either --today or a date");
    }
    const DateTime date = today ? session.clock().now() : ParseDate(*text);
    session.run(
        "date set", [&](ucKelvra& kv) { kv.SetDate(session.source(), date); }, Repeat::IfTimedOut);
}

void MachNoGet(Session& session, Arguments& arguments) {
    arguments.finish();
    PrintQuery(session, "machno get", &ucKelvra::GetMachNo);
}

void MachNoSet(Session& session, Arguments& arguments) {
    const std::int16_t number = ParseInt16(arguments.require("machine number"), "machine number");
    arguments.finish();
    session.run(
        "machno set", [&](ucKelvra& kv) { kv.SetMachNo(session.source(), number); },
        Repeat::IfTimedOut);
}

void MachNameGet(Session& session, Arguments& arguments) {
    arguments.finish();
    PrintQuery(session, "machname get", &ucKelvra::GetMachName);
}

void MachNameSet(Session& session, Arguments& arguments) {
    const std::string name = LinkText(arguments.require("machine name"));
    arguments.finish();
    session.run(
        "machname set", [&](ucKelvra& kv) { kv.SetMachName(session.source(), name); },
        Repeat::IfTimedOut);
}

void DateFormat(Session& session, Arguments& arguments) {
    arguments.finish();
    session.run(
        "dateformat", [&](ucKelvra& kv) { kv.GetDateFormat(session.source()); },
        Repeat::IfTimedOut);
    session.out() << session.kv().DateFormat() << "\n";
}

constexpr Subcommand kTime[] = {
    {"get", "", "print the terminal's time of day", TimeGet},
    {"set", "--now | HH:MM:SS", "set the terminal's time of day", TimeSet},
};
constexpr Subcommand kDate[] = {
    {"get", "", "print the terminal's date", DateGet},
    {"set", "--today | DD-MM-YYYY | YYYY-MM-DD", "set the terminal's date", DateSet},
};
constexpr Subcommand kMachNo[] = {
    {"get", "", "print the machine number", MachNoGet},
    {"set", "NUMBER", "set the machine number", MachNoSet},
};
constexpr Subcommand kMachName[] = {
    {"get", "", "print the machine name", MachNameGet},
    {"set", "NAME", "set the machine name", MachNameSet},
};
constexpr Subcommand kDateFormat[] = {
    {"", "", "print the number of the terminal's date format", DateFormat}};

constexpr std::array kGroups{
    CommandGroup{"time", "the terminal's clock", kTime},
    CommandGroup{"date", "the terminal's date", kDate},
    CommandGroup{"machno", "the machine number", kMachNo},
    CommandGroup{"machname", "the machine name", kMachName},
    CommandGroup{"dateformat", "the terminal's date format", kDateFormat},
};

} // namespace

std::span<const CommandGroup> ClockCommands() {
    return kGroups;
}

} // namespace kelvra::cli
