#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::sim {

// What the module knows of the world around it when a datagram arrives.
struct ModuleContext {
    bool busy = false;      // the status reply shows no free marker
    std::string streamPeer; // "address:port" of the stream client, empty when none
    // Non-zero: a configuration command is not carried out but answered with this status
    // letter (the host's module-status fault). "X" and "E" are never affected.
    char forcedStatus = 0;
};

struct ModuleOutcome {
    std::optional<std::string> reply; // one datagram back to the sender, or nothing
    bool dropStream = false;          // the host closes its current stream client
};

// The Ethernet interface module on its datagram port: plain-text datagrams, a command letter,
// an optional two-letter code and the argument, with no separator; a reply is a status letter
// and the reply data. Pure logic, not thread-safe (the host serialises calls).
//
// Status letters:
//   A  accepted
//   C  command not known (answered "C" alone)
//   F  failed: a value the module cannot take (out of range, not a number, not an address)
//   D  denied: a change before a successful login, or a wrong password
// A refusal names what it refuses: the status letter, then the command's letter and code, e.g.
// "DSDN" for a device name sent before login, "FSBR" for a baud rate code out of range.
//
// Requests and their replies:
//   X                  status reply, see below
//   E                  no reply; the host drops its stream client
//   V                  A<firmware>                                 "A1.0"
//   L<password>        A, or DL (and logged out)
//   I                  A: restarts with the stored serial settings and ends the login
//   G<code>            A<value>                                    GDN -> "AKELVRA-SIM"
//   S<code><value>     A: stores the value (serial settings take effect at the next I)
//   P<code><value>     A: stores the value and sets the serial line at once (BR PR BB FC)
//   PG<n>              A<0 or 1>: the state of I/O line n (1 to 4)
//   PS<n><0 or 1>      A: sets I/O line n; the last digit is the state, "PS21" sets line 2
//   A<old>/<password>/<new>
//                      A<new>: takes the new address. Only the module whose address is <old>
//                      answers (the request goes to every module); DA for a wrong password,
//                      FA for a new address that is none, nothing when the fields are missing.
// A forced status letter (ModuleContext::forcedStatus) makes any configuration command a
// refusal with that letter, "CGDN" for instance, and carries nothing out.
// S, P (PS included) and I need a login first. Codes, their values and factory settings:
//   CT connection time-out, seconds 0 to 32767 (0)    DN device name (KELVRA-SIM)
//   ON owner name (UNNAMED)                            RM routing mode 0 to 2 (0)
//   TP transport 0 UDP, 1 TCP (1)                      IP own address (the bound address)
//   DI destination address (0.0.0.0)                   BR baud rate code 0 to 7 (5), see below
//   RC on-the-fly settings 0 off, 1 on (0)             PR parity 0 none 1 odd 2 even 3 mark
//   BB data bits 5 to 8 (8)                               4 space (0)
//   FC flow control 0 none, 1 RTS/CTS, 2 XON/XOFF (0)
// Baud rate codes: 0 1200, 1 2400, 2 4800, 3 9600, 4 19200, 5 38400, 6 57600, 7 115200 (a
// 16-bit argument cannot carry 115200 itself). Names are 1 to 16 printable characters without
// "/", which separates the fields of the status reply. Numbers are plain decimal and are stored
// in that form ("007" reads back "7"). A new address changes what the module reports, not the
// address the simulator's sockets are bound to.
//
// The status reply is "/"-separated:
//     A<device name>/<module address>/<link state>/<peer>/<firmware>/
// where a free module has the link state "-**-*-" and the peer "**", so the driver's free
// marker (characters 2, 3 and 5 of field 2, then field 3) reads "*****". A busy module shows
// "-CN-N-" and the stream client's port (or "BUSY"). The closing "/" keeps field 3 exact when
// the driver collects the replies to its three queries in one text.
//
// Commands are a table: a prefix ("X", "E", "GDN", "PG", ...) and its handler; the longest
// prefix that starts the datagram wins. Settings live in a key/value map (`settings()`) that
// handlers share: the stored values under their codes, the running serial line under
// "line.BR" ..., the I/O lines under "IO1" ..., the password under "PW", the firmware under
// "VER".
class ModuleModel {
public:
    using Handler = std::function<ModuleOutcome(ModuleModel& module, std::string_view argument,
                                                const ModuleContext& context)>;

    static constexpr const char* kDefaultPassword = "1234";

    explicit ModuleModel(std::string moduleAddress = "127.0.0.1");

    ModuleOutcome handle(std::string_view datagram, const ModuleContext& context);

    // Adds or replaces the handler of a command prefix.
    void addCommand(std::string prefix, Handler handler);

    // Every command but the driver's free check ("X") and exit ("E"): the ones a forced
    // status letter stands in for.
    static bool IsConfigurationCommand(std::string_view datagram);
    // The refusal of a command: `status`, then its letter and code.
    static ModuleOutcome Refusal(char status, std::string_view command);

    std::string statusReply(const ModuleContext& context) const;

    std::map<std::string, std::string>& settings() { return m_settings; }
    const std::map<std::string, std::string>& settings() const { return m_settings; }

    bool loggedIn() const { return m_loggedIn; }
    void setLoggedIn(bool value) { m_loggedIn = value; }

private:
    // In descending order, "GDN" comes before "GD" before "G": the first prefix that fits is
    // the longest.
    std::map<std::string, Handler, std::greater<>> m_commands;
    std::map<std::string, std::string> m_settings;
    bool m_loggedIn = false;
};

} // namespace kelvra::sim
