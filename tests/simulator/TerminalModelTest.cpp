// The terminal model answering request frames, byte for byte where it matters, in virtual
// time: the wall clock and the steady clock are both injected.
#include "TerminalModel.h"

#include "SimFrames.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"
#include "driver/ItemDescriptor.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace kelvra::sim {
namespace {

using namespace std::chrono_literals;

const std::string kFirstRecord = "1\t05-12-2026\t13:02:09\tC10000001\t0\t1";
const std::string kSecondRecord = "2\t05-12-2026\t13:03:09\tC10000002\t0\t1";

// STX, text, ETX.
std::string framed(const std::string& text) {
    return "\x02" + text + "\x03";
}

class TerminalModelTest : public ::testing::Test {
protected:
    TerminalConfig config(std::int16_t number = 1) {
        TerminalConfig c;
        c.number = number;
        c.wallClock = [this] { return wall; };
        return c;
    }
    void fresh(TerminalConfig c) { terminal = std::make_unique<TerminalModel>(std::move(c)); }

    // Sends a request body (command and data) as terminal 1 and returns the one reply frame.
    std::string frame(std::string_view body) {
        const auto out = terminal->handleFrame(BuildRequestFrame(body, 1, ""), now);
        EXPECT_EQ(out.size(), 1u) << body;
        return out.empty() ? std::string() : out.front().frame;
    }
    VerifiedReply send(std::string_view body) {
        return VerifyReply(frame(body)).value_or(VerifiedReply{-999, "unverifiable"});
    }
    std::string ok(std::string_view body) {
        const VerifiedReply reply = send(body);
        EXPECT_EQ(reply.errCode, KV_SUCCESS) << body << " -> " << reply.data;
        return reply.data;
    }
    // Each exchange is "request body -> reply data", or "... -> !name" for a refusal.
    void converse(const std::vector<std::string>& exchanges) {
        static const std::map<std::string, std::int32_t> refusals = {
            {"!denied", KV_ERR_ACCESS_DENIED},
            {"!failed", KV_ERR_COMMAND_EXECUTION_FAILED},
            {"!invalid", KV_ERR_INVALID_COMMAND},
            {"!n/a", KV_ERR_COMMAND_NOT_APPLICABLE},
            {"!end", KV_ERR_END},
            {"!key", KV_ERR_KEY_VIOLATION}};
        for (const std::string& exchange : exchanges) {
            SCOPED_TRACE(exchange);
            const std::size_t arrow = exchange.find(" -> ");
            ASSERT_NE(arrow, std::string::npos);
            const std::string expected = exchange.substr(arrow + 4);
            const auto refusal = refusals.find(expected);
            const VerifiedReply reply = send(exchange.substr(0, arrow));
            if (refusal != refusals.end()) {
                EXPECT_EQ(reply.errCode, refusal->second);
            } else {
                EXPECT_EQ(reply, (VerifiedReply{KV_SUCCESS, expected}));
            }
        }
    }
    std::vector<Outgoing> poll(SteadyClock::time_point at) { return terminal->poll(at); }

    DateTime wall = DateTime::fromParts(2026, 12, 5, 13, 5, 9);
    SteadyClock::time_point now{};
    std::unique_ptr<TerminalModel> terminal = std::make_unique<TerminalModel>(config());
};

// Requests as a stream brings them, cut into frames as the host cuts them.
TEST_F(TerminalModelTest, FramesAreAnsweredByteForByteOrIgnored) {
    const std::string echo = BuildRequestFrame("E", 1, "123"); // checksum DB, length 08
    const auto withByte = [&](std::size_t fromEnd, char byte) {
        std::string changed = echo;
        changed[changed.size() - fromEnd] = byte;
        return changed;
    };
    // The longest frame a stream may carry is 4096 bytes: "E" and 4087 characters.
    const std::string longest = BuildRequestFrame("E", 1, std::string(4087, 'x'));
    struct Row {
        const char* name;
        std::int16_t terminal;
        std::string request;
        std::string reply; // empty: no reply at all
    };
    const Row rows[] = {
        {"worked example", 1, echo, framed("11A123D708")},
        {"empty echo", 1, BuildRequestFrame("E", 1, ""), framed("11A4105")},
        {"terminal 17 answers as AA", 17, BuildRequestFrame("E", 17, ""), framed("AAA4105")},
        {"lowest terminal", 0, BuildRequestFrame("E", 0, ""), framed("00A4105")},
        {"highest terminal", 207, BuildRequestFrame("E", 207, ""),
         framed(std::string("\xff\xff") + "A4105")},
        {"address below terminal 0", 1, framed("//E4505"), ""},
        {"address not a terminal", 1, framed(std::string("\x01\x01") + "E4505"), ""},
        {"smallest frame: no command", 1, framed("110004"), framed("11I4905")},
        {"too short", 1, framed("11E"), ""},
        {"checksum digit wrong", 1, withByte(5, '0'), framed("11C4305")},
        {"checksum in lower case", 1, withByte(5, 'd'), framed("11C4305")},
        {"length wrong", 1, withByte(2, '9'), framed("11C4305")},
        {"no frame at all", 1, "garbage", ""},
        {"junk, then an STX that restarts the frame", 1, std::string("junk\x02") + "11E" + echo,
         framed("11A123D708")},
        {"two frames in one write", 1, echo + echo, framed("11A123D708") + framed("11A123D708")},
        {"longest frame", 1, longest, framed("11A" + std::string(4087, 'x') + "09FC")},
        {"one byte longer", 1, BuildRequestFrame("E", 1, std::string(4088, 'x')) + echo,
         framed("11A123D708")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fresh(config(row.terminal));
        FrameAssembler stream;
        std::string replies;
        for (const std::string& request : stream.feed(row.request)) {
            for (const Outgoing& out : terminal->handleFrame(request, now)) {
                replies += out.frame;
            }
        }
        EXPECT_EQ(replies, row.reply);
    }
}

TEST_F(TerminalModelTest, CommandsClockAndItemsWithoutLogin) {
    const std::string longText(300, 'x'); // wraps the request's length field
    converse({"ZZ -> !invalid", " -> !invalid", "Q -> !invalid", "BW0025 -> 3",
              "XT05" + longText + " -> ", "XB120 -> ", "XL05 -> ", "XU -> 00", "XP2C -> ",
              "XU -> 2C", "XP2 -> !failed", "XP-1 -> !failed",
              // The clock: the wall clock plus the offset that setting it moves.
              "IG\"TIME\"00 -> 13:05:09", "IG\"DATE\"00 -> 05-12-2026", "IS\"TIME\"0007:30:00 -> ",
              "IG\"TIME\"00 -> 07:30:00", "IG\"DATE\"00 -> 05-12-2026",
              "IS\"DATE\"0029-02-2028 -> ", "IS\"TIME\"0024:00:00 -> !failed",
              "IS\"DATE\"0029-02-2027 -> !failed",
              // Items by name and by index, with their bounds.
              "IG0400 -> 1", "IS06002 -> ", "IG0600 -> 2", "IS06003 -> !failed",
              "IS0600x -> !failed", "IG0602 -> !failed", "IG0801 -> PLEASE PUNCH", "IG1100 -> !n/a",
              "I?12 -> !failed", "ILNOSUCH -> !failed",
              "I?00 -> TIME\t100\tTIME\t1\t4\tTime\tTerminal clock (HH:MM:SS)\t"});
    EXPECT_EQ(terminal->displayText(), longText);
    wall = wall.plusSeconds(10);
    converse({"IG\"TIME\"00 -> 07:30:10", "IG0100 -> 29-02-2028"});
}

// Item references are two digits: a catalogue ends at 100 items, its last one at 99.
TEST_F(TerminalModelTest, GeneratedItemsFillTheCatalogueUpToTheLastReference) {
    struct Row {
        int items;
        std::string lastMember; // the last item's last member, as read
        std::string lastItem;   // the start of its descriptor
    };
    for (const Row& row :
         {Row{13, "IG1200 -> 12", "ITEM12\t112\tVAL\t1\t4\tGenerated Item 12\t"},
          Row{100, "IG9902 -> 3", "ITEM99\t199\tVAL\t3\t40\tGenerated Item 99\t"}}) {
        TerminalConfig c = config();
        c.items = row.items;
        fresh(c);
        const std::string last = std::to_string(row.items - 1);
        converse({"IC -> " + std::to_string(row.items), "ILITEM" + last + " -> " + last,
                  row.lastMember, "I?" + std::to_string(row.items) + " -> !failed"});
        EXPECT_EQ(ok("I?" + last).substr(0, row.lastItem.size()), row.lastItem);
    }
    for (int items : {kBuiltInItems - 1, kMostItems + 1}) {
        TerminalConfig c = config();
        c.items = items;
        EXPECT_THROW(TerminalModel{c}, std::invalid_argument) << items;
    }
}

TEST_F(TerminalModelTest, ADeniedItemRefusesReadsAndWritesEvenLoggedIn) {
    TerminalConfig c = config();
    c.deniedItem = "BELLVOL";
    fresh(c);
    converse({"LI1234 -> ", "IG0700 -> !denied", "ID0700 -> !denied", "IS07001 -> !denied",
              "IG0600 -> 0", "ILBELLVOL -> 7"});
    EXPECT_EQ(send("I?07").errCode, KV_SUCCESS);
    c.deniedItem = "EMPLOYEES"; // a table item has no members to refuse
    EXPECT_THROW(TerminalModel{c}, std::invalid_argument);
}

TEST_F(TerminalModelTest, LoginGatesWhatTheFlagsSay) {
    struct Row {
        const char* request;
        std::int32_t loggedOut;
        std::int32_t loggedIn;
    };
    const Row rows[] = {
        {"IG\"LOGINPWD\"00", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"IS\"MACHNAME\"00DOOR", KV_ERR_ACCESS_DENIED, KV_SUCCESS}, // flag 8
        {"IS\"MACHNO\"007", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"IS0800HELLO", KV_SUCCESS, KV_SUCCESS},                 // flag 4
        {"IS1000x", KV_ERR_ACCESS_DENIED, KV_ERR_ACCESS_DENIED}, // FIRMWARE: read-only
        {"IA113\tCAROL\t2\t01-01-2030\t06:00:00", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"RO", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"RR", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"RI", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"RM", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"WE01", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"WT0007:30:0001", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
        {"WC", KV_ERR_ACCESS_DENIED, KV_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        fresh(config());
        EXPECT_EQ(send(row.request).errCode, row.loggedOut);
        converse({"LI1234 -> "});
        EXPECT_EQ(send(row.request).errCode, row.loggedIn);
    }
    fresh(config());
    converse({"LS -> O", "LIwrong -> !denied", "LS -> O", "LI1234 -> ", "LS -> I",
              "IS\"MACHNO\"007 -> ", "IG0200 -> 7", "ID0200 -> 1", "LO -> ", "LS -> O",
              "IG0500 -> !denied"});
}

TEST_F(TerminalModelTest, TableWalkGivesFieldsThenRecordsAndKeepsKeysUnique) {
    EXPECT_EQ(ParseItemDescriptor(ok("I?11")).value_or(ItemDescriptor{}).Size, 5);
    EXPECT_EQ(ParseFieldDescriptor(ok("I*1104"))->Type, "TIME");
    EXPECT_EQ(ParseFieldDescriptor(ok("I*1102"))->Selection[2], "2 Weekend");

    const std::string ada = "1\t1\tADA\t0\t31-12-2027\t08:00:00";
    const std::string bob = "2\t2\tBOB\t1\t30-06-2026\t22:00:00";
    const std::string carol = "3\tCAROL\t2\t01-01-2030\t06:00:00";
    // IF repeats the record until IH moves on; keys stay unique.
    converse({"I*1105 -> !failed", "IT02 -> !failed", "IT11 -> ", "IF11 -> " + ada,
              "IF11 -> " + ada, "IH11 -> ", "IF11 -> " + bob, "IH11 -> ", "IF11 -> !end",
              // Changes need the login.
              "LI1234 -> ", "IA11" + carol + " -> ", "IA11" + carol + " -> !key",
              "IA113\tX\t9\t01-01-2030\t06:00:00 -> !failed", "IA114\tX\t0 -> !failed",
              "IE1100033\tCAROLINE\t2\t01-01-2031\t06:30:00 -> ", "IR110001 -> ",
              "IR110001 -> !failed", "IT11 -> ", "IF11 -> " + bob, "IH11 -> ",
              "IF11 -> 3\t3\tCAROLINE\t2\t01-01-2031\t06:30:00", "IH11 -> ", "IF11 -> !end"});
}

TEST_F(TerminalModelTest, RecordTransactionCommitRemovesTheRecordsRead) {
    // RC removes what it read, RR makes old records new again (kelvractl's download shows RA
    // rewinding it).
    converse({"RN -> 3", "RH -> !n/a", "RG -> " + kFirstRecord, "RH -> ", "RG -> " + kSecondRecord,
              "RC -> ", "RN -> 1", "LI1234 -> ", "RR -> ", "RN -> 3", "RG -> " + kFirstRecord,
              "RC -> ", "RO -> ", "RI -> ", "RN -> 0"});
    EXPECT_TRUE(terminal->oldRecords().empty());
}

TEST_F(TerminalModelTest, BellSlotsModeAndClear) {
    // Weekday 6, bell 31; kelvractl's command table sets and reads bell 3 of weekday 2.
    converse({"LI1234 -> ", "WTDF23:59:5900 -> ", "WGDF -> 23:59:5900", "WG00 -> 00:00:0000",
              "WGG0 -> !failed", "WG-7 -> !failed", "WT-707:30:0001 -> !failed",
              "WT4325:00:0001 -> !failed", "WE012 -> ", "WS -> 12", "WC -> ",
              "WGDF -> 00:00:0000"});
}

TEST_F(TerminalModelTest, ExtendedModePushesOneRecordAtATimeAndWaitsForXA) {
    converse({"XO -> ", "LS -> XI"});
    EXPECT_TRUE(poll(now + 100ms).empty()) << "the first push waits for the reply";
    ASSERT_EQ(terminal->nextWakeup(), now + 150ms);
    now += 150ms;
    auto pushed = poll(now);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].kind, FrameKind::Push);
    EXPECT_EQ(pushed[0].frame.substr(3, 2), "XN");
    EXPECT_EQ(VerifyReply(pushed[0].frame), (VerifiedReply{KV_SUCCESS, kFirstRecord}));
    EXPECT_TRUE(poll(now + 10s).empty()) << "nothing more before XA";
    EXPECT_FALSE(terminal->nextWakeup());

    // XA has no reply of its own; the next record follows at once.
    EXPECT_TRUE(terminal->handleFrame(BuildRequestFrame("XA", 1, ""), now).empty());
    pushed = poll(now);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(VerifyReply(pushed[0].frame), (VerifiedReply{KV_SUCCESS, kSecondRecord}));
    converse({"XF -> "});
    EXPECT_TRUE(poll(now + 10s).empty());
    converse({"RN -> 2"}); // the unconfirmed record stays new
}

// What comes out of turn is refused, or confirms nothing.
TEST_F(TerminalModelTest, RequestsOutOfTurnAreRefusedOrChangeNothing) {
    EXPECT_FALSE(terminal->handleCommand("XA", now)) << "a confirmation has no reply";
    converse({"XR -> !n/a", "RH -> !n/a", "LI1234 -> ", "RG -> " + kFirstRecord, "RR -> !n/a",
              "IT11 -> ", "IH11 -> ", "IH11 -> ", "IH11 -> !end", "IF11 -> !end", "XO -> "});
    EXPECT_EQ(terminal->counters().confirmations, 0);
    // The record fetched in the open read transaction is left to it.
    now += 150ms;
    const auto pushed = poll(now);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(VerifyReply(pushed[0].frame), (VerifiedReply{KV_SUCCESS, kSecondRecord}));
    // A read transaction that found nothing has nothing to confirm.
    converse({"XF -> ", "RI -> ", "RG -> !end", "RH -> !n/a", "RN -> 0"});
}

} // namespace
} // namespace kelvra::sim
