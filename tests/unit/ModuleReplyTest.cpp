// The module client's reply wait in virtual time: how long it polls, how a reply's status
// letter and length become ErrCode and reply data, discovery lines, late and malformed
// datagrams.
#include "ModuleClientRig.h"
#include "module_client/ReplyCollector.h"

#include <deque>
#include <gtest/gtest.h>
#include <string>

namespace kelvra {
namespace {

using test::ModuleClientRig;

constexpr const char* kModule = "127.0.0.2";

TEST(ModuleReply, ASilentModuleIsPolledEvery10MsForTheTimeoutOver10HalvesToEven) {
    struct Row {
        std::int32_t timeout;
        std::int64_t elapsedMs; // (polls + 1) checks of 10 ms
    };
    const Row rows[] = {
        {3000, 3010}, // 300 polls
        {5, 10},      // 0 polls: one check only
        {1, 10},      {14, 20}, {15, 30}, {16, 30}, {25, 30}, {35, 50},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.timeout);
        ModuleClientRig rig;
        rig.vx.SetTimeout(row.timeout);
        rig.vx.G_DeviceName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_NO_REPLY);
        EXPECT_EQ(rig.time.elapsedMs(), row.elapsedMs);
        // Six rounds of events for every 1 ms check.
        EXPECT_EQ(rig.time.pumpCalls(), row.elapsedMs * 6);
    }
}

TEST(ModuleReply, AReplyArrivingDuringTheLastCheckIsTaken) {
    struct Row {
        std::int32_t timeout;
        std::int64_t delayMs;
        std::int32_t outcome;
    };
    const Row rows[] = {
        {5, 10, VX_SUCCESS},
        {5, 11, VX_ERR_NO_REPLY},
        {3000, 3010, VX_SUCCESS},
        {3000, 3011, VX_ERR_NO_REPLY},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.timeout << " ms, reply at " << row.delayMs);
        ModuleClientRig rig;
        rig.addModule(kModule, "AOK", row.delayMs);
        rig.vx.SetTimeout(row.timeout);
        rig.vx.G_DeviceName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
    }
}

TEST(ModuleReply, TheWaitEndsAtTheFirstCheckThatFindsText) {
    ModuleClientRig rig;
    rig.addModule(kModule, "AOK", 25);
    rig.vx.G_DeviceName(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.time.elapsedMs(), 30);
}

// Each row runs one command that leaves "PREVIOUS" as reply data, then one whose reply is the
// row's; the reply data is read only at the end.
TEST(ModuleReply, StatusLetterAndLengthDecideErrCodeAndReplyData) {
    const std::string eighteen = "123456789012345678";
    const std::string nineteen = eighteen + "9";
    struct Row {
        const char* label;
        std::optional<std::string> reply; // nothing: the module stays silent
        std::int32_t outcome;
        std::string data;
    };
    const Row rows[] = {
        {"A alone", "A", VX_SUCCESS, "PREVIOUS"},
        {"A with data", "AOK", VX_SUCCESS, "OK"},
        {"A plus 18", "A" + eighteen, VX_SUCCESS, eighteen},
        {"A plus 19 is kept whole", "A" + nineteen, VX_SUCCESS, "A" + nineteen},
        {"C", "Cno", VX_ERR_STATUS_C, "no"},
        {"F alone", "F", VX_ERR_STATUS_F, "PREVIOUS"},
        {"D", "Dbusy", VX_ERR_STATUS_D, "busy"},
        {"unknown letter", "Zwhat", VX_ERR_STATUS_OTHER, "what"},
        {"letters are case-sensitive", "aOK", VX_ERR_STATUS_OTHER, "OK"},
        {"refusal kept whole", "C" + nineteen, VX_ERR_STATUS_C, "C" + nineteen},
        {"silent", std::nullopt, VX_ERR_NO_REPLY, "PREVIOUS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ModuleClientRig rig;
        std::deque<std::optional<std::string>> replies{"APREVIOUS", row.reply};
        rig.addModule(kModule, [&replies](const std::string&) {
            std::optional<std::string> reply = replies.front();
            replies.pop_front();
            return reply;
        });
        rig.vx.SetTimeout(100);
        rig.vx.G_DeviceName(kModule);
        ASSERT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
        rig.vx.G_OwerName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.data(), row.data);
        // GetData hands the data over once.
        EXPECT_EQ(rig.data(), "");
    }
}

TEST(ModuleReply, ADatagramArrivingAfterItsCommandGaveUpIsTakenByTheNext) {
    ModuleClientRig rig;
    rig.addModule(
        kModule,
        [](const std::string& request) -> std::optional<std::string> {
            if (request == "GDN") {
                return "ALATE NAME";
            }
            return std::nullopt;
        },
        150);
    rig.vx.SetTimeout(100);
    rig.vx.G_DeviceName(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_NO_REPLY);
    EXPECT_EQ(rig.data(), "");

    rig.vx.G_Baudrate(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.data(), "LATE NAME");
}

TEST(ModuleReply, DatagramsArrivedWhileIdleMakeOneReply) {
    ModuleClientRig rig;
    rig.socket().arrive("AONE", kModule);
    rig.socket().arrive("ATWO", kModule);
    rig.time.advance(5); // the program idles; the datagrams wait on the socket
    rig.vx.G_Bits(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.data(), "ONEATWO");
}

TEST(ModuleDiscovery, TwoAnsweringModulesGiveOneLineEachWithTheSenderAddress) {
    ModuleClientRig rig;
    rig.addModule("127.0.0.2", "AKV-LOBBY/1.2", 30);
    rig.addModule("127.0.0.3", "AKV-STORE/1.3", 60);
    rig.vx.SetTimeout(500);
    rig.vx.B_Echo();
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(rig.data(), "AKV-LOBBY/1.2:127.0.0.2\r\n"
                          "AKV-STORE/1.3:127.0.0.3\r\n");
    // The listening time, then the first check finds the lines.
    EXPECT_EQ(rig.time.elapsedMs(), 510);
    EXPECT_EQ(rig.socket().sent.size(), 1u);

    // Discovery is over: a reply is collected as it is again.
    rig.vx.V_FirmwareVersion("127.0.0.3");
    EXPECT_EQ(rig.data(), "KV-STORE/1.3");
}

TEST(ModuleDiscovery, ErrCodeFollowsTheFirstLineAndShortListsLoseTheirFirstCharacter) {
    struct Row {
        const char* label;
        std::vector<std::pair<const char*, std::string>> modules;
        std::int32_t outcome;
        std::string data;
    };
    const Row rows[] = {
        {"first refuses",
         {{"127.0.0.2", "Cbusy-module"}, {"127.0.0.3", "Aready-module"}},
         VX_ERR_STATUS_C,
         "Cbusy-module:127.0.0.2\r\nAready-module:127.0.0.3\r\n"},
        {"one short line", {{"127.0.0.2", "A"}}, VX_SUCCESS, ":127.0.0.2\r\n"},
        {"an empty datagram still names its sender",
         {{"127.0.0.2", ""}},
         VX_ERR_STATUS_OTHER,
         "127.0.0.2\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ModuleClientRig rig;
        std::int64_t delay = 10;
        for (const auto& [address, reply] : row.modules) {
            rig.addModule(address, reply, delay);
            delay += 10;
        }
        rig.vx.SetTimeout(100);
        rig.vx.B_Echo();
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.data(), row.data);
    }
}

TEST(ModuleDiscovery, NoAnswerTakesTheListeningTimeAndTheReplyWait) {
    ModuleClientRig rig;
    rig.vx.SetTimeout(200);
    rig.vx.B_Echo();
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_NO_REPLY);
    EXPECT_EQ(rig.time.elapsedMs(), 200 + 210);
}

TEST(ModuleReplyBadInput, EmptyHugeAndBinaryDatagramsAreTakenAsTheyCome) {
    const std::string binary("A\0\xff\x02\x03\r\n\x7f", 8);
    const std::string huge = "A" + std::string(65506, 'x');
    struct Row {
        const char* label;
        std::string datagram;
        std::int32_t outcome;
        std::string data;
    };
    const Row rows[] = {
        {"empty datagram: nothing collected", "", VX_ERR_NO_REPLY, "PREVIOUS"},
        {"binary", binary, VX_SUCCESS, binary.substr(1)},
        {"largest datagram, kept whole", huge, VX_SUCCESS, huge},
        {"status letter NUL", std::string("\0OK", 3), VX_ERR_STATUS_OTHER, "OK"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ModuleClientRig rig;
        std::deque<std::string> replies{"APREVIOUS", row.datagram};
        rig.addModule(kModule, [&replies](const std::string&) {
            std::string reply = replies.front();
            replies.pop_front();
            return reply;
        });
        rig.vx.SetTimeout(50);
        rig.vx.G_DeviceName(kModule);
        rig.vx.G_DeviceName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.data(), row.data);
    }
}

TEST(ModuleReplyBadInput, AFloodOfStrayDatagramsIsCappedAtWholeDatagrams) {
    ModuleClientRig rig;
    const std::string stray = "A" + std::string(999, 's');
    for (int i = 0; i < 100; ++i) {
        rig.socket().arrive(stray, "127.0.0.66");
    }
    rig.time.advance(1);
    rig.vx.G_DeviceName(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
    const std::size_t kept = ReplyCollector::kCollectedLimit / stray.size();
    EXPECT_EQ(rig.data().size(), kept * stray.size());

    // Once taken, the collector has room again.
    rig.addModule(kModule, "AAFTER");
    rig.vx.G_DeviceName(kModule);
    EXPECT_EQ(rig.data(), "AFTER");
}

TEST(ModuleReplyBadInput, ADatagramThatCannotBeReadIsSkippedQuietly) {
    ModuleClientRig rig;
    rig.addModule(kModule, "AOK");
    rig.socket().readFailures.failNext(1, 10040);
    rig.vx.SetTimeout(100);
    rig.vx.G_DeviceName(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_NO_REPLY);
    EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
}

} // namespace
} // namespace kelvra
