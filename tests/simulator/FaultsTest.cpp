// Fault lists and how faults shape outgoing frames.
#include "Faults.h"

#include "SimFrames.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace kelvra::sim {
namespace {

using namespace std::chrono_literals;

const std::string kReply = "\x02" + std::string("11A123D708\x03"); // echo 123 from terminal 1
const std::string kPush = "\x02" + std::string("11XNabcCC09\x03");

TEST(FaultList, ItemsSetTheirFieldsWithTheirDefaults) {
    using F = FaultSettings;
    struct Row {
        const char* items;
        int F::*field;
        int value;
    };
    // Items without a value take their defaults; the shaping table below uses the others.
    const Row rows[] = {{"corrupt", &F::corruptReplies, -1},
                        {"corrupt-push", &F::corruptPushes, -1},
                        {"corrupt-push=4", &F::corruptPushes, 4},
                        {"split", &F::splitDelayMs, 20},
                        {"garbage", &F::garbageBytes, 8},
                        {"garbage=65507", &F::garbageBytes, 65507},
                        {"busy-module", &F::busyForExits, -1},
                        {"busy-module=2", &F::busyForExits, 2},
                        {"module-status=F", &F::moduleStatusReplies, -1},
                        {"module-status=D:2", &F::moduleStatusReplies, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.items);
        EXPECT_EQ(ParseFaultList(row.items).*row.field, row.value);
    }
    const F f =
        ParseFaultList(" silent, silent-module,double,busy-module,refuse=D:LI,module-status=Z");
    EXPECT_TRUE(f.silentTerminal && f.silentModule && f.doubleReplies);
    EXPECT_EQ(f.module, ModuleAvailability::Busy);
    EXPECT_EQ(f.refuseStatus, 'D');
    EXPECT_EQ(f.refuseCommand, "LI");
    EXPECT_EQ(f.moduleStatus, 'Z');
    EXPECT_EQ(ParseFaultList("refuse=B").refuseCommand, "");
    EXPECT_EQ(ParseFaultList("free-module").module, ModuleAvailability::Free);
    // Items apply onto the base they are given; "none" clears it.
    EXPECT_EQ(ParseFaultList("", f), f);
    EXPECT_EQ(ParseFaultList("drop=2", f).dropReplies, 2);
    EXPECT_EQ(ParseFaultList("drop=2", f).refuseCommand, "LI");
    EXPECT_EQ(ParseFaultList("none", f), F{});
    // Armed at random: the same item again takes its new share.
    EXPECT_EQ(ParseFaultList("corrupt-push=1@0.1,split=5@1,corrupt-push=1@0.2").random,
              (std::vector<RandomFault>{{"corrupt-push=1", 0.2}, {"split=5", 1}}));
}

TEST(FaultList, RejectsBadItems) {
    for (const char* bad :
         {"bogus", "drop", "drop=x", "drop=-1", "delay", "double=2", "refuse=", "refuse=AB",
          "silent=1", "module-status", "module-status=", "module-status=DF", "module-status=D:x",
          "module-status=D:-2", "garbage=65508",
          // Armed at random: an item that shapes frames, with a share above 0 and at most 1.
          "silent@0.5", "drop=1@0", "drop=1@1.5", "drop@0.1", "corrupt@x", "corrupt@"}) {
        EXPECT_THROW(ParseFaultList(bad), std::invalid_argument) << bad;
    }
}

TEST(ShapeOutgoing, FaultsShapeTheWritesAndUseUpTheirCounts) {
    // A corrupted frame keeps its length and fails the driver's checksum check.
    const std::string badReply = CorruptChecksum(kReply);
    const std::string badPush = CorruptChecksum(kPush);
    EXPECT_EQ(VerifyReply(badReply)->errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(VerifyReply(badPush)->errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(badPush.size(), kPush.size());

    const auto at0 = [](const std::string& bytes) { return TimedWrite{0ms, bytes}; };
    constexpr FrameKind R = FrameKind::Reply, P = FrameKind::Push;
    struct Step {
        FrameKind kind;
        std::vector<TimedWrite> writes;
    };
    struct Row {
        const char* items;
        std::vector<Step> steps;          // in order, on the same settings
        std::vector<const char*> armed{}; // items armed at random before the first step
    };
    const Row rows[] = {
        {"none", {{R, {at0(kReply)}}, {P, {at0(kPush)}}}},
        {"drop=2", {{R, {}}, {P, {at0(kPush)}}, {R, {}}, {R, {at0(kReply)}}}},
        {"corrupt=1", {{P, {at0(kPush)}}, {R, {at0(badReply)}}, {R, {at0(kReply)}}}},
        {"corrupt-push", {{R, {at0(kReply)}}, {P, {at0(badPush)}}, {P, {at0(badPush)}}}},
        {"split=30,delay=10", {{R, {{10ms, kReply.substr(0, 6)}, {40ms, kReply.substr(6)}}}}},
        {"double,garbage=3",
         {{R, {at0(kReply), at0(kReply), at0("#~?")}}, {P, {at0(kPush)}}}}, // pushes alone
        // Armed on a push tick: counted items count once more, the others shape the next frame
        // they concern and are spent.
        {"drop=1,corrupt-push=1@0.1",
         {{P, {{0ms, badPush.substr(0, 6)}, {30ms, badPush.substr(6)}}},
          {R, {}},
          {R, {}},
          {R, {at0(kReply), at0(kReply)}},
          {R, {at0(kReply)}},
          {P, {at0(kPush)}}},
         {"corrupt-push=1", "double", "drop=1", "split=30"}},
    };
    for (const Row& row : rows) {
        FaultSettings faults = ParseFaultList(row.items);
        OnceFaults once;
        for (const char* item : row.armed) {
            ArmFault(item, faults, once);
        }
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            SCOPED_TRACE(std::string(row.items) + " step " + std::to_string(i));
            const Step& step = row.steps[i];
            EXPECT_EQ(ShapeOutgoing(step.kind == P ? kPush : kReply, step.kind, faults, once),
                      step.writes);
        }
    }
    const std::string garbage = GarbageBytes(100);
    EXPECT_EQ(garbage.size(), 100u);
    EXPECT_EQ(garbage.find_first_of(std::string("\x02\x03\r", 3)), std::string::npos);
}

} // namespace
} // namespace kelvra::sim
