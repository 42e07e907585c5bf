#pragma once

#include "FakeDialogs.h"
#include "FakeLinks.h"
#include "ScopedVexa5Environment.h"
#include "VirtualTime.h"
#include "module_client/CVexa5.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// The module client on a fake segment in virtual time. The broadcast address is a loopback
// one, and the fake modules on the segment sit at 127.0.0.x.
struct ModuleClientRig {
    static constexpr const char* kBroadcast = "127.255.255.255";
    static constexpr int kModulePort = 65535;

    // One datagram as the socket sent it, with where it went.
    struct Sent {
        std::string host;
        int port = 0;
        std::string payload;
        bool operator==(const Sent&) const = default;
    };

    VirtualTime time;
    FakeLinkFactory links{time};
    FakeDialogs dialogs;
    // Declared before the client, so the client is gone before the environment is reset.
    ScopedVexa5Environment environment{time, time, links, dialogs, {kBroadcast, kModulePort}};
    CVexa5 vx;
    std::vector<Sent> sent;
    std::vector<std::function<void(const Sent&)>> modules;

    ModuleClientRig() {
        socket().peer = [this](const std::string& payload) {
            const Sent datagram{socket().remoteHost, socket().remotePort, payload};
            sent.push_back(datagram);
            for (const auto& module : modules) {
                module(datagram);
            }
        };
    }

    FakeSocket& socket() { return *links.sockets.at(0); }

    // A module at `address`: it hears what is sent to its address or broadcast, and answers
    // after delayMs with what `reply` gives for the request (nothing: it stays silent).
    void addModule(std::string address,
                   std::function<std::optional<std::string>(const std::string& request)> reply,
                   std::int64_t delayMs = 20) {
        modules.push_back([this, address, reply, delayMs](const Sent& datagram) {
            if (datagram.port != kModulePort ||
                (datagram.host != address && datagram.host != kBroadcast)) {
                return;
            }
            if (std::optional<std::string> answer = reply(datagram.payload)) {
                socket().arrive(*answer, delayMs, address);
            }
        });
    }
    // A module that answers every request with the same reply.
    void addModule(std::string address, const std::string& reply, std::int64_t delayMs = 20) {
        addModule(
            std::move(address), [reply](const std::string&) { return reply; }, delayMs);
    }

    // The reply data, which is then emptied.
    std::string data() {
        std::string taken;
        vx.GetData(taken);
        return taken;
    }
};

} // namespace kelvra::test
