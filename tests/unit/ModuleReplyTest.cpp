// The module client's reply wait in virtual time: how long it polls, how a reply's status
// letter and length become ErrCode and reply data, discovery lines, a datagram that cannot be
// read. Late, stray and flooding datagrams are the reply fuzz target's, whose seeds run with
// the tests.
#include "ModuleClientRig.h"

#include <deque>
#include <gtest/gtest.h>
#include <string>

namespace kelvra {
namespace {

using test::ModuleClientRig;

constexpr const char* kModule = "127.0.0.2";

// Checks of 10 ms, one more than the timeout over 10 rounded half to even; a reply is taken
// at the first check that finds it.
TEST(ModuleReply, TheWaitPollsEvery10MsForTheTimeoutOver10HalvesToEven) {
    struct Row {
        std::int32_t timeout;
        std::optional<std::int64_t> replyAfterMs; // nothing: the module stays silent
        std::int32_t outcome;
        std::int64_t elapsedMs;
    };
    const Row rows[] = {
        {3000, std::nullopt, VX_ERR_NO_REPLY, 3010}, // 300 polls
        {5, std::nullopt, VX_ERR_NO_REPLY, 10},      // 0 polls: one check only
        {14, std::nullopt, VX_ERR_NO_REPLY, 20},
        {15, std::nullopt, VX_ERR_NO_REPLY, 30},
        {25, std::nullopt, VX_ERR_NO_REPLY, 30},
        {35, std::nullopt, VX_ERR_NO_REPLY, 50},
        {5, 10, VX_SUCCESS, 10}, // arriving during the last check
        {3000, 3010, VX_SUCCESS, 3010},
        {3000, 3011, VX_ERR_NO_REPLY, 3010},
        {3000, 25, VX_SUCCESS, 30},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.timeout << " ms, reply at " << row.replyAfterMs.value_or(-1));
        ModuleClientRig rig;
        if (row.replyAfterMs) {
            rig.addModule(kModule, "AOK", *row.replyAfterMs);
        }
        rig.vx.SetTimeout(row.timeout);
        rig.vx.G_DeviceName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.time.elapsedMs(), row.elapsedMs);
    }
}

// Each row runs one command that leaves "PREVIOUS" as reply data, then one whose reply is the
// row's; the reply data is read only at the end.
TEST(ModuleReply, StatusLetterAndLengthDecideErrCodeAndReplyData) {
    const std::string eighteen = "123456789012345678";
    const std::string binary("A\0\xff\x02\x03\r\n\x7f", 8);
    const std::string huge = "A" + std::string(65506, 'x');
    struct Row {
        const char* label;
        std::optional<std::string> reply; // nothing: the module stays silent
        std::int32_t outcome;
        std::string data;
    };
    const Row rows[] = {
        {"F alone keeps the data", "F", VX_ERR_STATUS_F, "PREVIOUS"},
        {"A plus 18", "A" + eighteen, VX_SUCCESS, eighteen},
        {"A plus 19 is kept whole", "A" + eighteen + "9", VX_SUCCESS, "A" + eighteen + "9"},
        {"C", "Cno", VX_ERR_STATUS_C, "no"},
        {"D", "Dbusy", VX_ERR_STATUS_D, "busy"},
        {"letters are case-sensitive", "aOK", VX_ERR_STATUS_OTHER, "OK"},
        {"binary", binary, VX_SUCCESS, binary.substr(1)},
        {"largest datagram, kept whole", huge, VX_SUCCESS, huge},
        {"empty datagram: nothing collected", "", VX_ERR_NO_REPLY, "PREVIOUS"},
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
        rig.vx.SetTimeout(50);
        rig.vx.G_DeviceName(kModule);
        ASSERT_EQ(rig.vx.ErrCode(), VX_SUCCESS);
        rig.vx.G_OwerName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.data(), row.data);
        // GetData hands the data over once.
        EXPECT_EQ(rig.data(), "");
    }
}

// One line per answering module, with its address, after the listening time; ErrCode follows
// the first line.
TEST(ModuleDiscovery, ErrCodeFollowsTheFirstLineAndShortListsLoseTheirFirstCharacter) {
    struct Row {
        std::vector<std::pair<const char*, std::string>> modules;
        std::int32_t outcome;
        std::string data;
    };
    const Row rows[] = {
        {{{"127.0.0.2", "Cbusy"}, {"127.0.0.3", "Aready"}},
         VX_ERR_STATUS_C,
         "Cbusy:127.0.0.2\r\nAready:127.0.0.3\r\n"},
        {{{"127.0.0.2", "A"}}, VX_SUCCESS, ":127.0.0.2\r\n"},        // one short line
        {{{"127.0.0.2", ""}}, VX_ERR_STATUS_OTHER, "127.0.0.2\r\n"}, // empty, still named
        {{}, VX_ERR_NO_REPLY, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.data);
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
        // The listening time, then one check; with no line, the whole reply wait.
        EXPECT_EQ(rig.time.elapsedMs(), row.modules.empty() ? 100 + 110 : 110);
        // Discovery is over: a reply is collected as it is again.
        rig.socket().arrive("APLAIN", 0, "127.0.0.9");
        rig.vx.V_FirmwareVersion("127.0.0.9");
        EXPECT_EQ(rig.data(), "PLAIN");
    }
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
