// The module client's requests: one datagram per command, letter + code + argument, to the
// module's address or to the injected broadcast address, on the module port.
#include "ModuleClientRig.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace kelvra {
namespace {

using test::FakeDialogs;
using test::ModuleClientRig;

constexpr const char* kModule = "127.0.0.2";
constexpr std::int32_t kUntouched = -99;

struct CommandRow {
    const char* operation; // those starting "B_" go to the broadcast address
    std::function<void(CVexa5&)> call;
    std::string payload;
};

// clang-format off
const std::vector<CommandRow> kCommandRows{
    {"B_Echo",              [](CVexa5& vx) { vx.B_Echo(); },                                    "X"},
    {"B_Assign",            [](CVexa5& vx) { vx.B_Assign("127.0.0.2", "127.0.0.9", "secret"); }, "A127.0.0.2/secret/127.0.0.9"},
    {"V_FirmwareVersion",   [](CVexa5& vx) { vx.V_FirmwareVersion(kModule); },              "V"},
    {"I_Initialize",        [](CVexa5& vx) { vx.I_Initialize(kModule); },                   "I"},
    {"E_Exit",              [](CVexa5& vx) { vx.E_Exit(kModule); },                         "E"},
    {"L_Login",             [](CVexa5& vx) { vx.L_Login(kModule, "pass 1"); },              "Lpass 1"},
    {"S_ConnectionTimeout", [](CVexa5& vx) { vx.S_ConnectionTimeout(kModule, 300); },       "SCT300"},
    {"G_ConnectionTimeout", [](CVexa5& vx) { vx.G_ConnectionTimeout(kModule); },            "GCT"},
    {"G_DeviceName",        [](CVexa5& vx) { vx.G_DeviceName(kModule); },                   "GDN"},
    {"S_DeviceName",        [](CVexa5& vx) { vx.S_DeviceName(kModule, "LOBBY"); },          "SDNLOBBY"},
    {"G_OwerName",          [](CVexa5& vx) { vx.G_OwerName(kModule); },                     "GON"},
    {"S_OwerName",          [](CVexa5& vx) { vx.S_OwerName(kModule, "Front desk"); },       "SONFront desk"},
    {"S_RoutingMode",       [](CVexa5& vx) { vx.S_RoutingMode(kModule, 2); },               "SRM2"},
    {"G_RoutingMode",       [](CVexa5& vx) { vx.G_RoutingMode(kModule); },                  "GRM"},
    {"S_Protocol",          [](CVexa5& vx) { vx.S_Protocol(kModule, 1); },                  "STP1"},
    {"G_Protocol",          [](CVexa5& vx) { vx.G_Protocol(kModule); },                     "GTP"},
    {"S_IP_Address",        [](CVexa5& vx) { vx.S_IP_Address(kModule, "127.0.0.7"); },      "SIP127.0.0.7"},
    {"G_IP_Address",        [](CVexa5& vx) { vx.G_IP_Address(kModule); },                   "GIP"},
    {"S_DestinationIP",     [](CVexa5& vx) { vx.S_DestinationIP(kModule, "127.0.0.8"); },   "SDI127.0.0.8"},
    {"G_DestinationIP",     [](CVexa5& vx) { vx.G_DestinationIP(kModule); },                "GDI"},
    {"S_Baudrate",          [](CVexa5& vx) { vx.S_Baudrate(kModule, 9600); },               "SBR9600"},
    {"G_Baudrate",          [](CVexa5& vx) { vx.G_Baudrate(kModule); },                     "GBR"},
    {"S_OnTheFly",          [](CVexa5& vx) { vx.S_OnTheFly(kModule, 1); },                  "SRC1"},
    {"G_OnTheFly",          [](CVexa5& vx) { vx.G_OnTheFly(kModule); },                     "GRC"},
    {"P_Baudrate",          [](CVexa5& vx) { vx.P_Baudrate(kModule, 5); },                  "PBR5"},
    {"S_Parity",            [](CVexa5& vx) { vx.S_Parity(kModule, 0); },                    "SPR0"},
    {"G_Parity",            [](CVexa5& vx) { vx.G_Parity(kModule); },                       "GPR"},
    {"P_Parity",            [](CVexa5& vx) { vx.P_Parity(kModule, 2); },                    "PPR2"},
    {"S_Bits",              [](CVexa5& vx) { vx.S_Bits(kModule, 8); },                      "SBB8"},
    {"G_Bits",              [](CVexa5& vx) { vx.G_Bits(kModule); },                         "GBB"},
    {"P_Bits",              [](CVexa5& vx) { vx.P_Bits(kModule, 7); },                      "PBB7"},
    {"S_FlowControl",       [](CVexa5& vx) { vx.S_FlowControl(kModule, 1); },               "SFC1"},
    {"G_FlowControl",       [](CVexa5& vx) { vx.G_FlowControl(kModule); },                  "GFC"},
    {"P_FlowControl",       [](CVexa5& vx) { vx.P_FlowControl(kModule, 3); },               "PFC3"},
    {"G_IO_Status",         [](CVexa5& vx) { vx.G_IO_Status(kModule, 2); },                 "PG2"},
    {"P_IO_Status",         [](CVexa5& vx) { vx.P_IO_Status(kModule, 2, 1); },              "PS21"},
    // Numbers in plain decimal, the minus sign included; texts exactly as given.
    {"lowest baud rate",    [](CVexa5& vx) { vx.S_Baudrate(kModule, -32768); },             "SBR-32768"},
    {"negative I/O",        [](CVexa5& vx) { vx.P_IO_Status(kModule, -1, -2); },            "PS-1-2"},
    {"empty name",          [](CVexa5& vx) { vx.S_DeviceName(kModule, ""); },               "SDN"},
    {"binary name",         [](CVexa5& vx) { vx.S_DeviceName(kModule, std::string("N\0\xff/\r\n", 6)); },
                                                                                            std::string("SDNN\0\xff/\r\n", 9)},
};
// clang-format on

TEST(ModuleCommands, EachSendsOneDatagramAndWaitsForTheReplyExceptExit) {
    for (const CommandRow& row : kCommandRows) {
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

        const bool broadcast = std::string(row.operation).starts_with("B_");
        EXPECT_EQ(rig.sent, (std::vector<ModuleClientRig::Sent>{
                                {broadcast ? ModuleClientRig::kBroadcast : kModule,
                                 ModuleClientRig::kModulePort, row.payload}}));
        if (row.payload != "E") {
            EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
            EXPECT_NE(rig.data().find("DONE"), std::string::npos);
        } else {
            EXPECT_EQ(rig.vx.ErrCode(), kUntouched);
            EXPECT_EQ(rig.time.elapsedMs(), 0);
        }
    }
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
        EXPECT_EQ(rig.sent.back().host, "127.0.0.3");
    }
    EXPECT_EQ(rig.socket().closeCalls, 2);
    // The first client goes on: its next send opens the socket again.
    rig.vx.V_FirmwareVersion(kModule);
    EXPECT_EQ(rig.socket().state(), SocketOpen);
    EXPECT_EQ(rig.sent.size(), 3u);
}

// Datagrams unless the protocol is 0; a time-out of zero or less keeps the one before (at
// first 3 s).
TEST(ModuleClientObject, ProtocolZeroSelectsStreamsAndATimeoutOfZeroOrLessIsIgnored) {
    ModuleClientRig rig;
    EXPECT_EQ(rig.vx.Protocol(), 1);
    EXPECT_EQ(rig.socket().protocol(), SocketProtocol::Datagram);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.vx.LocalIP(), "127.0.0.1");
    for (const auto& [value, protocol] :
         {std::pair{0, SocketProtocol::Stream}, std::pair{1, SocketProtocol::Datagram},
          std::pair{0, SocketProtocol::Stream}, std::pair{-3, SocketProtocol::Datagram}}) {
        SCOPED_TRACE(value);
        rig.vx.SetProtocol(value);
        EXPECT_EQ(rig.vx.Protocol(), value);
        EXPECT_EQ(rig.socket().protocol(), protocol);
    }
    for (const auto& [value, kept] :
         {std::pair{0, 3000}, std::pair{250, 250}, std::pair{-1, 250}}) {
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

// Send failures: ten repetitions, then -6 for error 10044 and -7 with a message box for any
// other number.
TEST(ModuleSendFailure, TenRepetitionsThenTheOutcomeOfTheErrorNumber) {
    struct Row {
        int sendFailures;
        int hostFailures; // the socket refuses the address
        int number;
        std::int32_t outcome;
        std::string box; // the message box's text, titled with the number; "" = none
    };
    const Row rows[] = {
        {10, 0, 10065, VX_SUCCESS, ""},         // the tenth repetition succeeds
        {12, 0, 10044, VX_ERR_SOCKET_TYPE, ""}, // eleven attempts at most
        {11, 0, 10065, VX_ERR_SEND_FAILED, "send failed"},
        {0, 11, 11001, VX_ERR_SEND_FAILED, "set remote host failed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        ModuleClientRig rig;
        rig.addModule(kModule, "APAYLOAD");
        rig.socket().sendFailures.failNext(row.sendFailures, row.number);
        rig.socket().setRemoteHostFailures.failNext(row.hostFailures, row.number);
        rig.vx.G_DeviceName(kModule);
        const bool sent = row.outcome == VX_SUCCESS;
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        std::vector<FakeDialogs::MessageBoxCall> boxes;
        if (!row.box.empty()) {
            boxes.push_back(
                {row.box, MessageButtons::Ok, MessageIcon::None, std::to_string(row.number)});
        }
        EXPECT_EQ(rig.dialogs.messageBoxes, boxes);
        EXPECT_EQ(rig.socket().sendFailures.count, std::max(0, row.sendFailures - 11));
        EXPECT_EQ(rig.sent.size(), sent ? 1u : 0u);
        EXPECT_EQ(rig.data(), sent ? "PAYLOAD" : "");
        if (!sent) {
            EXPECT_EQ(rig.time.elapsedMs(), 0) << "no wait after a failed send";
        }
    }
}

TEST(ModuleSendFailure, ExitReportsSendFailuresThoughItNeverReportsARefusal) {
    for (const auto& [failures, outcome] :
         {std::pair<int, std::int32_t>{10, kUntouched}, {11, VX_ERR_SOCKET_TYPE}}) {
        SCOPED_TRACE(failures);
        ModuleClientRig rig;
        rig.socket().sendFailures.failNext(failures, 10044);
        rig.vx.SetErrCode(kUntouched);
        rig.vx.E_Exit(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), outcome);
    }
}

TEST(ModuleSendFailure, AFailedDiscoveryStillEndsTheDiscoveryForm) {
    ModuleClientRig rig;
    rig.addModule(kModule, "AMODULE");
    rig.socket().sendFailures.failNext(11, 10051);
    rig.vx.B_Echo();
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_SEND_FAILED);
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);

    rig.vx.V_FirmwareVersion(kModule);
    EXPECT_EQ(rig.data(), "MODULE");
}

} // namespace
} // namespace kelvra
