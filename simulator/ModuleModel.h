#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::sim {

// What the module knows of the world around it when a datagram arrives.
struct ModuleContext {
    bool busy = false;      // the status reply shows no free marker
    std::string streamPeer; // "address:port" of the stream client, empty when none
};

struct ModuleOutcome {
    std::optional<std::string> reply; // one datagram back to the sender, or nothing
    bool dropStream = false;          // the host closes its current stream client
};

// The Ethernet interface module on its datagram port: plain-text
// datagrams, a command letter, an optional two-letter code and the argument; a reply is a
// status letter and the reply data. Pure logic, not thread-safe (the host serialises calls).
//
// Commands are a table: a prefix ("X", "E", "GDN", ...) and its handler; the longest prefix
// that starts the datagram wins, so configuration commands ("S"/"G"/"P" + code) can be
// registered beside the one-letter ones. Unknown commands are answered "C". Settings live in
// a key/value map (`settings()`) for handlers to share.
//
// Built in: "X" status query and "E" exit (drops the stream connection, no reply). The
// status reply is "/"-separated:
//     A<device name>/<module address>/<link state>/<peer>/<firmware>/
// where a free module has the link state "-**-*-" and the peer "**", so the driver's free
// marker (characters 2, 3 and 5 of field 2, then field 3) reads "*****". A busy module shows
// "-CN-N-" and the stream client's port (or "BUSY"). The closing "/" keeps field 3 exact when
// the driver collects the replies to its three queries in one text.
class ModuleModel {
public:
    using Handler = std::function<ModuleOutcome(ModuleModel& module, std::string_view argument,
                                                const ModuleContext& context)>;

    explicit ModuleModel(std::string moduleAddress = "127.0.0.1");

    ModuleOutcome handle(std::string_view datagram, const ModuleContext& context);

    // Adds or replaces the handler of a command prefix.
    void addCommand(std::string prefix, Handler handler);

    std::string statusReply(const ModuleContext& context) const;

    std::map<std::string, std::string>& settings() { return m_settings; }
    const std::map<std::string, std::string>& settings() const { return m_settings; }

private:
    std::map<std::string, Handler, std::greater<>> m_commands; // longer prefixes of one
                                                               // letter sort first
    std::map<std::string, std::string> m_settings;
};

} // namespace kelvra::sim
