#pragma once

#include "FakeLinks.h"
#include "VirtualTime.h"
#include "driver/ucKelvra.h"

#include <string>

namespace kelvra {

// The tests' view of the driver's private transaction and state.
class ucKelvraProbe {
public:
    static void ExeCmd(ucKelvra& kv, const std::string& command, std::int16_t id,
                       const std::string& data, bool needAck) {
        kv.ExeCmd(command, id, data, needAck);
    }
    static void WaitMilliseconds(ucKelvra& kv, std::int32_t ms) { kv.WaitMilliseconds(ms); }
    static const std::string& ReceiveBuffer(const ucKelvra& kv) { return kv.m_ReceiveBuffer; }
    static void SetConnected(ucKelvra& kv, bool value) { kv.m_Connected = value; }
};

namespace test {

// A driver on fake links in virtual time, with the terminal socket answering through `peer`.
struct DriverRig {
    VirtualTime time;
    FakeLinkFactory links{time};
    ucKelvra kv{time, time, links};

    DriverRig() = default;
    // A datagram link to a terminal that answers every frame with `reply`.
    explicit DriverRig(const std::string& reply) {
        connectUdp();
        answerEveryFrame(reply);
    }

    FakeSerialPort& serial() { return *links.serialPorts.at(0); }
    FakeSocket& socket() { return *links.sockets.at(0); }
    FakeSocket& moduleSocket() { return *links.sockets.at(1); }

    // A datagram link to a terminal that answers every frame with `reply` after delayMs.
    void connectUdp() {
        kv.SetIP("127.0.0.1");
        kv.SetUDP_Port(1001);
        kv.SetCommunicationType(2);
        kv.Connect();
    }
    void answerEveryFrame(const std::string& reply, std::int64_t delayMs = 10) {
        socket().peer = [this, reply, delayMs](const std::string&) {
            socket().arrive(reply, delayMs);
        };
    }
    std::string exchange(const std::string& command, std::int16_t id, const std::string& data) {
        ucKelvraProbe::ExeCmd(kv, command, id, data, true);
        std::string payload;
        kv.GetData(payload);
        return payload;
    }
};

} // namespace test
} // namespace kelvra
