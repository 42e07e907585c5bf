#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvra::cli {

// Exit statuses. A failure the terminal or the module reported gets a status of its own per
// code, so a script can tell a time-out from a refusal without reading the message.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitLocalFailure = 1; // a file, a signal set-up: nothing on the link
inline constexpr int kExitUsage = 2;
inline constexpr int kExitOtherCode = 3;     // a code outside the tables, an unreadable reply
inline constexpr int kExitInterrupted = 130; // as a shell reports a process ended by SIGINT

// The command line cannot be carried out as written. Exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Something on this computer failed (a file could not be written). Exit status 1.
class LocalFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The terminal answered with success, but with something this program cannot read (a
// malformed descriptor, a count that is no number). Exit status 3.
class ReplyFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operator stopped the program (SIGINT or SIGTERM) before the work was done.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

// A terminal command ended with a driver code (KV_ERR_...).
class TerminalFailure : public std::runtime_error {
public:
    explicit TerminalFailure(std::int32_t code, const std::string& context = {});
    std::int32_t code() const { return m_code; }

private:
    std::int32_t m_code;
};

// A module command ended with a module client code (VX_...).
class ModuleFailure : public std::runtime_error {
public:
    explicit ModuleFailure(std::int32_t code, const std::string& context = {});
    std::int32_t code() const { return m_code; }

private:
    std::int32_t m_code;
};

// "Error Code: -101, KV_ERR_TIMEOUT", as the console writes it.
std::string TerminalErrorLine(std::int32_t code);
// "Error Code: -1, VX_ERR_NO_REPLY".
std::string ModuleErrorLine(std::int32_t code);

// Terminal codes -101 to -117 exit with 11 to 27, module codes -1 to -7 with 31 to 37; a code
// outside both tables with kExitOtherCode.
int ExitStatusForTerminal(std::int32_t code);
int ExitStatusForModule(std::int32_t code);

} // namespace kelvra::cli
