// The table of link kinds against what the driver does on the wire.
#include "driver/LinkKinds.h"

#include "DriverProbe.h"

#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace kelvra {
namespace {

using test::FakeSocket;

// What each kind does, written out by hand: the link that carries a frame (a serial port with
// its flow control, or a socket of its protocol to the terminal's address and port, under the
// name the traffic inspector gives it), and whether a silent module fails the stream's connect.
TEST(LinkKinds, EachRowIsWhatTheDriverDoesOnTheWire) {
    const char* const expected[] = {"serial COM4, RTS/CTS",
                                    "serial COM4, RTS/CTS",
                                    "udp 127.0.0.2:1001",
                                    "tcp 127.0.0.2:1001, silent module fails",
                                    "tcp 127.0.0.2:1001, silent module fails",
                                    "tcp 127.0.0.2:1001, silent module fails",
                                    "serial COM4, no flow control",
                                    "tcp 127.0.0.2:1001"};
    ASSERT_EQ(std::size(expected), kLinkKinds.size());
    for (const LinkKind& kind : kLinkKinds) {
        SCOPED_TRACE(kind.type);
        test::DriverRig rig;
        rig.kv.SetIP("127.0.0.2");
        rig.kv.SetUDP_Port(1001);
        rig.kv.SetComport(4);
        rig.kv.SetCommunicationType(kind.type);
        std::string traffic;
        const Subscription tracing = rig.kv.LinkTraffic.subscribe([&](const LinkChunk& chunk) {
            traffic = chunk.framed ? std::string(chunk.link) : traffic;
        });
        rig.kv.Connect(); // the module on its own socket never answers
        ucKelvraProbe::ExeCmd(rig.kv, "E", 5, "x", false);

        const FakeSocket& socket = rig.socket();
        std::string wire;
        if (!rig.serial().written.empty()) {
            wire = "serial COM" + std::to_string(rig.serial().portNumber()) +
                   (rig.serial().flowControl == FlowControl::RtsCts ? ", RTS/CTS"
                                                                    : ", no flow control");
        } else if (!socket.sent.empty()) {
            wire = (socket.protocol() == SocketProtocol::Stream ? "tcp " : "udp ") +
                   socket.remoteHost + ":" + std::to_string(socket.remotePort);
        }
        EXPECT_TRUE(wire.starts_with(traffic) && !traffic.empty()) << traffic;
        if (rig.kv.ErrCode() == KV_ERR_VEXA5_ECHO_NOT_REPLY) {
            wire += ", silent module fails";
        }
        EXPECT_EQ(wire, expected[kind.type]);
        EXPECT_EQ(IsSerialLink(kind.type), wire.starts_with("serial"));
        EXPECT_EQ(IsStreamLink(kind.type), wire.starts_with("tcp"));
        EXPECT_EQ(IsDatagramLink(kind.type), wire.starts_with("udp"));
    }
    EXPECT_EQ(FindLinkKind(8), nullptr);
    EXPECT_EQ(FindLinkKind(-1), nullptr);
}

} // namespace
} // namespace kelvra
