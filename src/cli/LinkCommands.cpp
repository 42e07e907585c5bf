// The link tests, raw frames and the operator's login.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"

#include <array>
#include <iostream>

namespace kelvra::cli {

namespace {

void Echo(Session& session, Arguments& arguments) {
    const std::string text = LinkText(arguments.next().value_or(""));
    arguments.finish();
    session.print(
        session.query("echo", [&](ucKelvra& kv) { kv.EchoTest(session.source(), text); }));
}

void Poll(Session& session, Arguments& arguments) {
    const std::optional<std::string> machine = arguments.next();
    const std::int16_t number = machine ? ParseInt16(*machine, "machine number") : 0;
    arguments.finish();
    session.print(
        session.query("poll", [&](ucKelvra& kv) { kv.Polling(session.source(), number); }));
}

void Raw(Session& session, Arguments& arguments) {
    const bool noReply = arguments.takeFlag("--no-reply");
    const std::string text = LinkText(arguments.require("command text"));
    arguments.finish();
    if (noReply) {
        session.run("raw", [&](ucKelvra& kv) { kv.SendRawData(session.source(), text, false); });
        return;
    }
    session.print(session.query(
        "raw", [&](ucKelvra& kv) { kv.SendRawData(session.source(), text, true); }, Repeat::Never));
}

void Login(Session& session, Arguments& arguments) {
    std::optional<std::string> password = arguments.next();
    arguments.finish();
    if (!password) {
        // Read from standard input, so that the password stays out of the process list.
        password.emplace();
        std::getline(std::cin, *password);
    }
    password = LinkText(*password);
    session.run("login", [&](ucKelvra& kv) { kv.Login(session.source(), *password); });
}

void Logout(Session& session, Arguments& arguments) {
    arguments.finish();
    session.run("logout", [&](ucKelvra& kv) { kv.Logout(session.source()); });
}

void Status(Session& session, Arguments& arguments) {
    arguments.finish();
    session.print(session.query("status", [&](ucKelvra& kv) { kv.LoginStatus(session.source()); }));
}

constexpr Subcommand kEcho[] = {
    {"", "[TEXT]", "send TEXT to the terminal and print what comes back", Echo}};
constexpr Subcommand kPoll[] = {
    {"", "[MACHINE]", "poll machine number MACHINE (default 0) and print the reply", Poll}};
constexpr Subcommand kRaw[] = {
    {"", "[--no-reply] TEXT",
     "send TEXT, command letters included, as one frame; print the reply unless --no-reply", Raw}};
constexpr Subcommand kLogin[] = {
    {"", "[PASSWORD]", "log in (the password from standard input when not given)", Login}};
constexpr Subcommand kLogout[] = {{"", "", "log out", Logout}};
constexpr Subcommand kStatus[] = {{"", "", "print the terminal's login state text", Status}};

constexpr std::array kGroups{
    CommandGroup{"echo", "test the link", kEcho},
    CommandGroup{"poll", "poll a machine", kPoll},
    CommandGroup{"raw", "send a frame of your own", kRaw},
    CommandGroup{"login", "log in on the terminal", kLogin},
    CommandGroup{"logout", "log out of the terminal", kLogout},
    CommandGroup{"status", "the terminal's login state", kStatus},
};

} // namespace

std::span<const CommandGroup> LinkCommands() {
    return kGroups;
}

} // namespace kelvra::cli
