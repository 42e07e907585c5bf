#pragma once

#include <QHostAddress>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kelvra {

// Where a socket's remote host text leads: an address, or the failure the socket reports for
// it (number and text as PlatformError carries them).
struct HostLookup {
    QHostAddress address; // null when the lookup failed
    int errorNumber = 0;
    std::string errorText;

    bool found() const { return !address.isNull(); }
};

// Asks the system's resolver for a host name; blocks as long as the resolver does. Nothing
// when the name is not found. IPv4 addresses come first.
using NameResolver = std::function<std::optional<QHostAddress>(const std::string& name)>;
std::optional<QHostAddress> SystemResolve(const std::string& name);

// The longest a lookup holds up its caller (the window's thread): the system's resolver may
// take several times that for a name that no server answers.
inline constexpr std::chrono::milliseconds kHostLookupLimit{2000};

// Looks `host` up. An address text stands for itself. A text that cannot be a host name (a
// blank in it, or digits and dots alone, as 999.1.1.1) fails at once without asking anybody.
// A name goes to `resolve` on a thread of its own; its answer is waited for at most `limit`,
// and no answer by then fails as "host not found". The thread finishes on its own.
HostLookup LookUpHost(const std::string& host, std::chrono::milliseconds limit,
                      const NameResolver& resolve = SystemResolve);

} // namespace kelvra
