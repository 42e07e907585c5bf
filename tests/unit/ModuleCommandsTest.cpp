// The module client's requests: one datagram per command, letter + code + argument, to the
// module's address or to the injected broadcast address, on the module port.
#include "ModuleClientRig.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace kelvra {
namespace {

using test::ModuleClientRig;
using test::SentDatagram;

constexpr const char* kModule = "127.0.0.2";
constexpr std::int32_t kUntouched = -99;

struct CommandRow {
    const char* operation;
    std::function<void(CVexa5&)> call;
    std::string host;
    std::string payload;
    bool waits = true;
};

std::string bytes(const char* text, std::size_t size) {
    return std::string(text, size);
}

const std::vector<CommandRow>& commandRows() {
    const std::string broadcast = ModuleClientRig::kBroadcast;
    static const std::vector<CommandRow> rows{
        {"B_Echo", [](CVexa5& vx) { vx.B_Echo(); }, broadcast, "X"},
        {"B_Assign", [](CVexa5& vx) { vx.B_Assign("127.0.0.2", "127.0.0.9", "secret"); }, broadcast,
         "A127.0.0.2/secret/127.0.0.9"},
        {"V_FirmwareVersion", [](CVexa5& vx) { vx.V_FirmwareVersion(kModule); }, kModule, "V"},
        {"I_Initialize", [](CVexa5& vx) { vx.I_Initialize(kModule); }, kModule, "I"},
        {"E_Exit", [](CVexa5& vx) { vx.E_Exit(kModule); }, kModule, "E", false},
        {"L_Login", [](CVexa5& vx) { vx.L_Login(kModule, "pass 1"); }, kModule, "Lpass 1"},
        {"S_ConnectionTimeout", [](CVexa5& vx) { vx.S_ConnectionTimeout(kModule, 300); }, kModule,
         "SCT300"},
        {"G_ConnectionTimeout", [](CVexa5& vx) { vx.G_ConnectionTimeout(kModule); }, kModule,
         "GCT"},
        {"G_DeviceName", [](CVexa5& vx) { vx.G_DeviceName(kModule); }, kModule, "GDN"},
        {"S_DeviceName", [](CVexa5& vx) { vx.S_DeviceName(kModule, "LOBBY"); }, kModule,
         "SDNLOBBY"},
        {"G_OwerName", [](CVexa5& vx) { vx.G_OwerName(kModule); }, kModule, "GON"},
        {"S_OwerName", [](CVexa5& vx) { vx.S_OwerName(kModule, "Front desk"); }, kModule,
         "SONFront desk"},
        {"S_RoutingMode", [](CVexa5& vx) { vx.S_RoutingMode(kModule, 2); }, kModule, "SRM2"},
        {"G_RoutingMode", [](CVexa5& vx) { vx.G_RoutingMode(kModule); }, kModule, "GRM"},
        {"S_Protocol", [](CVexa5& vx) { vx.S_Protocol(kModule, 1); }, kModule, "STP1"},
        {"G_Protocol", [](CVexa5& vx) { vx.G_Protocol(kModule); }, kModule, "GTP"},
        {"S_IP_Address", [](CVexa5& vx) { vx.S_IP_Address(kModule, "127.0.0.7"); }, kModule,
         "SIP127.0.0.7"},
        {"G_IP_Address", [](CVexa5& vx) { vx.G_IP_Address(kModule); }, kModule, "GIP"},
        {"S_DestinationIP", [](CVexa5& vx) { vx.S_DestinationIP(kModule, "127.0.0.8"); }, kModule,
         "SDI127.0.0.8"},
        {"G_DestinationIP", [](CVexa5& vx) { vx.G_DestinationIP(kModule); }, kModule, "GDI"},
        {"S_Baudrate", [](CVexa5& vx) { vx.S_Baudrate(kModule, 9600); }, kModule, "SBR9600"},
        {"G_Baudrate", [](CVexa5& vx) { vx.G_Baudrate(kModule); }, kModule, "GBR"},
        {"S_OnTheFly", [](CVexa5& vx) { vx.S_OnTheFly(kModule, 1); }, kModule, "SRC1"},
        {"G_OnTheFly", [](CVexa5& vx) { vx.G_OnTheFly(kModule); }, kModule, "GRC"},
        {"P_Baudrate", [](CVexa5& vx) { vx.P_Baudrate(kModule, 5); }, kModule, "PBR5"},
        {"S_Parity", [](CVexa5& vx) { vx.S_Parity(kModule, 0); }, kModule, "SPR0"},
        {"G_Parity", [](CVexa5& vx) { vx.G_Parity(kModule); }, kModule, "GPR"},
        {"P_Parity", [](CVexa5& vx) { vx.P_Parity(kModule, 2); }, kModule, "PPR2"},
        {"S_Bits", [](CVexa5& vx) { vx.S_Bits(kModule, 8); }, kModule, "SBB8"},
        {"G_Bits", [](CVexa5& vx) { vx.G_Bits(kModule); }, kModule, "GBB"},
        {"P_Bits", [](CVexa5& vx) { vx.P_Bits(kModule, 7); }, kModule, "PBB7"},
        {"S_FlowControl", [](CVexa5& vx) { vx.S_FlowControl(kModule, 1); }, kModule, "SFC1"},
        {"G_FlowControl", [](CVexa5& vx) { vx.G_FlowControl(kModule); }, kModule, "GFC"},
        {"P_FlowControl", [](CVexa5& vx) { vx.P_FlowControl(kModule, 3); }, kModule, "PFC3"},
        {"G_IO_Status", [](CVexa5& vx) { vx.G_IO_Status(kModule, 2); }, kModule, "PG2"},
        {"G_IO_Status two digits", [](CVexa5& vx) { vx.G_IO_Status(kModule, 12); }, kModule,
         "PG12"},
        {"P_IO_Status", [](CVexa5& vx) { vx.P_IO_Status(kModule, 2, 1); }, kModule, "PS21"},
        // Numbers in plain decimal, the minus sign included; texts exactly as given.
        {"negative timeout", [](CVexa5& vx) { vx.S_ConnectionTimeout(kModule, -5); }, kModule,
         "SCT-5"},
        {"lowest baud rate", [](CVexa5& vx) { vx.S_Baudrate(kModule, -32768); }, kModule,
         "SBR-32768"},
        {"negative I/O and status", [](CVexa5& vx) { vx.P_IO_Status(kModule, -1, -2); }, kModule,
         "PS-1-2"},
        {"empty name", [](CVexa5& vx) { vx.S_DeviceName(kModule, ""); }, kModule, "SDN"},
        {"binary name", [](CVexa5& vx) { vx.S_DeviceName(kModule, bytes("N\0\xff/\r\n", 6)); },
         kModule, bytes("SDNN\0\xff/\r\n", 9)},
    };
    return rows;
}

TEST(ModuleCommands, EachSendsOneDatagramAndWaitsForTheReplyExceptExit) {
    for (const CommandRow& row : commandRows()) {
        SCOPED_TRACE(row.operation);
        ModuleClientRig rig;
        rig.addModule(kModule, [](const std::string& request) -> std::optional<std::string> {
            if (request == "E") {
                return std::nullopt; // the module leaves without a word
            }
            return "ADONE";
        });
        rig.vx.SetTimeout(200);
        rig.vx.SetErrCode(kUntouched);

        row.call(rig.vx);

        EXPECT_EQ(rig.socket().sent, (std::vector<SentDatagram>{
                                         {row.host, ModuleClientRig::kModulePort, row.payload}}));
        if (row.waits) {
            EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
            EXPECT_NE(rig.data().find("DONE"), std::string::npos);
        } else {
            EXPECT_EQ(rig.vx.ErrCode(), kUntouched);
            EXPECT_EQ(rig.time.elapsedMs(), 0);
        }
    }
}

TEST(ModuleCommands, TheRemoteHostStaysAtTheLastAddressUsed) {
    ModuleClientRig rig;
    rig.vx.SetTimeout(20);
    rig.vx.G_DeviceName("127.0.0.2");
    EXPECT_EQ(rig.socket().remoteHost, "127.0.0.2");
    rig.vx.B_Assign("127.0.0.2", "127.0.0.3", "pw");
    EXPECT_EQ(rig.socket().remoteHost, ModuleClientRig::kBroadcast);
    rig.vx.G_Baudrate("127.0.0.3");
    EXPECT_EQ(rig.socket().remoteHost, "127.0.0.3");
    rig.vx.B_Echo();
    EXPECT_EQ(rig.socket().remoteHost, ModuleClientRig::kBroadcast);
}

TEST(ModuleClientObject, CreationSetsTheSharedSocketUpForDatagramsToTheModulePort) {
    ModuleClientRig rig;
    EXPECT_EQ(rig.links.sockets.size(), 1u);
    EXPECT_EQ(rig.socket().protocol(), SocketProtocol::Datagram);
    EXPECT_EQ(rig.socket().remoteHost, ModuleClientRig::kBroadcast);
    EXPECT_EQ(rig.socket().remotePort, ModuleClientRig::kModulePort);
    EXPECT_EQ(rig.vx.Protocol(), 1);
    EXPECT_EQ(rig.vx.Timeout(), 3000);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.vx.LocalIP(), "127.0.0.1");
}

TEST(ModuleClientObject, EveryClientSharesTheOneSocketAndCreatingOrDestroyingOneClosesIt) {
    ModuleClientRig rig;
    rig.vx.SetTimeout(20);
    rig.vx.V_FirmwareVersion(kModule);
    ASSERT_EQ(rig.socket().state(), SocketOpen);
    {
        CVexa5 second;
        EXPECT_EQ(rig.links.sockets.size(), 1u);
        EXPECT_EQ(rig.socket().state(), SocketClosed);
        EXPECT_EQ(rig.socket().closeCalls, 1);
        second.SetTimeout(20);
        second.V_FirmwareVersion("127.0.0.3");
        EXPECT_EQ(rig.socket().sent.back().host, "127.0.0.3");
    }
    EXPECT_EQ(rig.socket().closeCalls, 2);
    // The first client goes on: its next send opens the socket again.
    rig.vx.V_FirmwareVersion(kModule);
    EXPECT_EQ(rig.socket().state(), SocketOpen);
    EXPECT_EQ(rig.socket().sent.size(), 3u);
}

TEST(ModuleClientObject, ProtocolZeroSelectsStreamsAndAnyOtherValueDatagrams) {
    ModuleClientRig rig;
    for (const auto& [value, protocol] :
         {std::pair{0, SocketProtocol::Stream}, std::pair{1, SocketProtocol::Datagram},
          std::pair{0, SocketProtocol::Stream}, std::pair{-3, SocketProtocol::Datagram}}) {
        SCOPED_TRACE(value);
        rig.vx.SetProtocol(value);
        EXPECT_EQ(rig.vx.Protocol(), value);
        EXPECT_EQ(rig.socket().protocol(), protocol);
    }
}

TEST(ModuleClientObject, ATimeoutOfZeroOrLessIsIgnored) {
    ModuleClientRig rig;
    for (const auto& [value, kept] :
         {std::pair{0, 3000}, std::pair{-100, 3000}, std::pair{250, 250}, std::pair{0, 250},
          std::pair{-1, 250}, std::pair{1, 1}}) {
        SCOPED_TRACE(value);
        rig.vx.SetTimeout(value);
        EXPECT_EQ(rig.vx.Timeout(), kept);
    }
}

TEST(ModuleClientObject, AClientNeedsTheEnvironmentAndHoldsItWhileAlive) {
    EXPECT_THROW(CVexa5{}, std::logic_error);
    {
        ModuleClientRig rig;
        EXPECT_THROW(Vexa5Environment::reset(), std::logic_error);
        EXPECT_THROW(Vexa5Environment::install(rig.time, rig.time, rig.links, rig.dialogs),
                     std::logic_error);
    }
    EXPECT_THROW(Vexa5Environment::current(), std::logic_error);
}

} // namespace
} // namespace kelvra
