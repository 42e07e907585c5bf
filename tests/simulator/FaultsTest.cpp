// Fault specs and how faults shape outgoing frames; the frame assembler of the stream links.
#include "Faults.h"

#include "SimFrames.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace kelvra::sim {
namespace {

using std::chrono::milliseconds;

const std::string kReply = "\x02"
                           "11A123D708\x03"; // echo 123 from terminal 1
const std::string kPush = "\x02"
                          "11XNabcCC09\x03";

TEST(FaultSpec, ParsesEveryItem) {
    const FaultSettings f = ParseFaultSpec(
        "silent, silent-module,busy-module=2,drop=3,corrupt,corrupt-push=4,split=30,delay=15,"
        "double,garbage=5,refuse=D:LI");
    EXPECT_TRUE(f.silentTerminal);
    EXPECT_TRUE(f.silentModule);
    EXPECT_EQ(f.module, ModuleAvailability::Busy);
    EXPECT_EQ(f.busyForExits, 2);
    EXPECT_EQ(f.dropReplies, 3);
    EXPECT_EQ(f.corruptReplies, -1);
    EXPECT_EQ(f.corruptPushes, 4);
    EXPECT_EQ(f.splitDelayMs, 30);
    EXPECT_EQ(f.delayMs, 15);
    EXPECT_TRUE(f.doubleReplies);
    EXPECT_EQ(f.garbageBytes, 5);
    EXPECT_EQ(f.refuseStatus, 'D');
    EXPECT_EQ(f.refuseCommand, "LI");
}

TEST(FaultSpec, DefaultsAndReset) {
    const FaultSettings f = ParseFaultSpec("split,garbage,busy-module,refuse=B");
    EXPECT_EQ(f.splitDelayMs, 20);
    EXPECT_EQ(f.garbageBytes, 8);
    EXPECT_EQ(f.busyForExits, -1);
    EXPECT_EQ(f.refuseCommand, "");
    EXPECT_EQ(ParseFaultSpec("none", f), FaultSettings{});
    EXPECT_EQ(ParseFaultSpec("", f), f);
    EXPECT_EQ(ParseFaultSpec("free-module").module, ModuleAvailability::Free);
}

TEST(FaultSpec, ModuleStatusTakesALetterAndACount) {
    const FaultSettings counted = ParseFaultSpec("module-status=D:2");
    EXPECT_EQ(counted.moduleStatus, 'D');
    EXPECT_EQ(counted.moduleStatusReplies, 2);
    const FaultSettings always = ParseFaultSpec("module-status=F");
    EXPECT_EQ(always.moduleStatus, 'F');
    EXPECT_EQ(always.moduleStatusReplies, -1);
    EXPECT_EQ(ParseFaultSpec("none", always), FaultSettings{});
}

TEST(FaultSpec, RejectsBadItems) {
    for (const char* bad : {"bogus", "drop", "drop=x", "drop=-1", "delay", "double=2",
                            "refuse=", "refuse=AB", "silent=1", "module-status", "module-status=",
                            "module-status=DF", "module-status=D:x", "module-status=D:-2"}) {
        EXPECT_THROW(ParseFaultSpec(bad), std::invalid_argument) << bad;
    }
}

TEST(ShapeOutgoing, NoFaultIsOneImmediateWrite) {
    FaultSettings f;
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f),
              (std::vector<TimedWrite>{{milliseconds(0), kReply}}));
}

TEST(ShapeOutgoing, DropConsumesItsCountOnRepliesOnly) {
    FaultSettings f;
    f.dropReplies = 2;
    EXPECT_TRUE(ShapeOutgoing(kReply, FrameKind::Reply, f).empty());
    EXPECT_EQ(ShapeOutgoing(kPush, FrameKind::Push, f).size(), 1u);
    EXPECT_TRUE(ShapeOutgoing(kReply, FrameKind::Reply, f).empty());
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f).size(), 1u);
    EXPECT_EQ(f.dropReplies, 0);
}

TEST(ShapeOutgoing, CorruptionFailsTheDriversChecksumCheck) {
    FaultSettings f;
    f.corruptReplies = 1;
    const auto writes = ShapeOutgoing(kReply, FrameKind::Reply, f);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(VerifyReply(writes[0].bytes)->errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f)[0].bytes, kReply) << "count used up";
}

TEST(ShapeOutgoing, CorruptPushTouchesPushesOnly) {
    FaultSettings f;
    f.corruptPushes = -1;
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f)[0].bytes, kReply);
    const std::string pushed = ShapeOutgoing(kPush, FrameKind::Push, f)[0].bytes;
    EXPECT_EQ(pushed.size(), kPush.size());
    EXPECT_EQ(VerifyReply(pushed)->errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(f.corruptPushes, -1);
}

TEST(ShapeOutgoing, SplitDelayDoubleAndGarbage) {
    FaultSettings f;
    f.splitDelayMs = 30;
    f.delayMs = 10;
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f),
              (std::vector<TimedWrite>{{milliseconds(10), kReply.substr(0, 6)},
                                       {milliseconds(40), kReply.substr(6)}}));
    f = FaultSettings{};
    f.doubleReplies = true;
    f.garbageBytes = 3;
    EXPECT_EQ(ShapeOutgoing(kReply, FrameKind::Reply, f),
              (std::vector<TimedWrite>{
                  {milliseconds(0), kReply}, {milliseconds(0), kReply}, {milliseconds(0), "#~?"}}));
    EXPECT_EQ(ShapeOutgoing(kPush, FrameKind::Push, f).size(), 1u) << "pushes are not doubled";
}

TEST(ShapeOutgoing, GarbageHoldsNoFrameCharacters) {
    const std::string garbage = GarbageBytes(100);
    EXPECT_EQ(garbage.size(), 100u);
    EXPECT_EQ(garbage.find_first_of(std::string("\x02\x03\r", 3)), std::string::npos);
}

TEST(FrameAssembler, CutsAStreamIntoFramesAcrossChunks) {
    FrameAssembler assembler;
    EXPECT_TRUE(assembler
                    .feed("junk\x02"
                          "11E")
                    .empty());
    const auto frames = assembler.feed("DB08\x03\x02"
                                       "11RN\x03tail");
    EXPECT_EQ(frames, (std::vector<std::string>{"\x02"
                                                "11EDB08\x03",
                                                "\x02"
                                                "11RN\x03"}));
    EXPECT_EQ(assembler.discardedBytes(), 8u);
}

TEST(FrameAssembler, StxRestartsAFrameAndTheBufferIsBounded) {
    FrameAssembler assembler(16);
    EXPECT_EQ(assembler.feed("\x02garbage\x02"
                             "11E4505\x03"),
              (std::vector<std::string>{"\x02"
                                        "11E4505\x03"}));
    EXPECT_TRUE(assembler.feed("\x02" + std::string(100, 'x')).empty());
    EXPECT_LT(assembler.pendingBytes(), 16u);
}

TEST(RequestParsing, AcceptsDriverFramesAndRejectsDamagedOnes) {
    const Request good = ParseRequest(BuildRequestFrame("IG", 5, "0300"));
    EXPECT_EQ(good.check, RequestCheck::Ok);
    EXPECT_EQ(good.terminal, 5);
    EXPECT_EQ(good.body, "IG0300");
    EXPECT_EQ(ParseRequest(BuildRequestFrame("", 1, "")).check, RequestCheck::Ok);
    std::string lower = BuildRequestFrame("E", 1, "123"); // checksum DB
    lower[lower.size() - 5] = 'd';
    EXPECT_EQ(ParseRequest(lower).check, RequestCheck::BadChecksum);
    EXPECT_EQ(ParseRequest("\x02"
                           "11E4506\x03")
                  .check,
              RequestCheck::BadLength);
    EXPECT_EQ(ParseRequest("11E4505").check, RequestCheck::Malformed);
    EXPECT_EQ(ParseRequest("\x02"
                           "\x01\x01"
                           "E4505\x03")
                  .check,
              RequestCheck::Malformed);
}

} // namespace
} // namespace kelvra::sim
