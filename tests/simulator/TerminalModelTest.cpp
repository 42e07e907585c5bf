// The terminal model answering request frames, byte for byte where it matters, in virtual
// time: the wall clock and the steady clock are both injected.
#include "TerminalModel.h"

#include "SimFrames.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"
#include "driver/ItemDescriptor.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace kelvra::sim {
namespace {

using namespace std::chrono_literals;

class TerminalModelTest : public ::testing::Test {
protected:
    TerminalModelTest() : terminal(config()) {}

    TerminalConfig config() {
        TerminalConfig c;
        c.wallClock = [this] { return wall; };
        return c;
    }

    // Sends command + data as terminal 1 and returns the one reply frame.
    std::string frame(std::string_view command, std::string_view data = {}) {
        const auto out = terminal.handleFrame(BuildRequestFrame(command, 1, data), now);
        EXPECT_EQ(out.size(), 1u) << command << data;
        return out.empty() ? std::string() : out.front().frame;
    }
    // The reply as the driver verifies it.
    VerifiedReply send(std::string_view command, std::string_view data = {}) {
        const auto verified = VerifyReply(frame(command, data));
        return verified.value_or(VerifiedReply{-999, "unverifiable"});
    }
    std::string ok(std::string_view command, std::string_view data = {}) {
        const VerifiedReply reply = send(command, data);
        EXPECT_EQ(reply.errCode, KV_SUCCESS) << command << data << " -> " << reply.data;
        return reply.data;
    }
    std::int32_t code(std::string_view command, std::string_view data = {}) {
        return send(command, data).errCode;
    }
    void login() { ASSERT_EQ(code("LI", "1234"), KV_SUCCESS); }

    DateTime wall = DateTime::fromParts(2026, 12, 5, 13, 5, 9);
    SteadyClock::time_point now{};
    TerminalModel terminal;
};

// ---- frames -------------------------------------------------------------------------------

TEST_F(TerminalModelTest, EchoReplyIsTheWorkedExampleByteForByte) {
    // Request 02 31 31 45 31 32 33 44 42 30 38 03; reply status A, data 123, checksum D7.
    EXPECT_EQ(frame("E", "123"), "\x02"
                                 "11A123D708\x03");
}

TEST_F(TerminalModelTest, EmptyEchoGetsTheNineCharacterReply) {
    EXPECT_EQ(frame("E"), "\x02"
                          "11A4105\x03");
}

TEST_F(TerminalModelTest, RepliesCarryTheAddressOfTheTerminal) {
    TerminalConfig c = config();
    c.number = 17;
    TerminalModel seventeen(c);
    const auto out = seventeen.handleFrame(BuildRequestFrame("E", 17, "x"), now);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].frame.substr(0, 3), "\x02"
                                         "AA");
}

TEST_F(TerminalModelTest, RequestWithBadChecksumIsAnsweredC) {
    std::string request = BuildRequestFrame("E", 1, "123");
    request[request.size() - 5] = '0'; // DB -> 0B
    const auto out = terminal.handleFrame(request, now);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].frame, "\x02"
                            "11C4305\x03");
    EXPECT_EQ(VerifyReply(out[0].frame)->errCode, KV_ERR_CHECKSUM);
}

TEST_F(TerminalModelTest, RequestWithBadLengthIsAnsweredCAndMalformedOnesIgnored) {
    std::string request = BuildRequestFrame("E", 1, "123");
    request[request.size() - 2] = '9';
    EXPECT_EQ(terminal.handleFrame(request, now).size(), 1u);
    EXPECT_TRUE(terminal.handleFrame("garbage", now).empty());
    EXPECT_TRUE(terminal
                    .handleFrame("\x02"
                                 "11E\x03",
                                 now)
                    .empty());
    EXPECT_EQ(terminal.counters().badRequests, 1);
    EXPECT_EQ(terminal.counters().ignoredFrames, 2);
}

TEST_F(TerminalModelTest, LongRequestWithWrappedLengthFieldIsAccepted) {
    const std::string text(300, 'x');
    EXPECT_EQ(ok("XT", "05" + text), "");
    EXPECT_EQ(terminal.displayText(), text);
}

TEST_F(TerminalModelTest, UnknownCommandsAndEmptyRawDataAreInvalid) {
    EXPECT_EQ(code("ZZ"), KV_ERR_INVALID_COMMAND);
    EXPECT_EQ(code(""), KV_ERR_INVALID_COMMAND);
    EXPECT_EQ(code("Q"), KV_ERR_INVALID_COMMAND);
}

TEST_F(TerminalModelTest, PollingAnswersWithTheNumberOfNewRecords) {
    EXPECT_EQ(ok("BW", "0025"), "3");
}

// ---- login --------------------------------------------------------------------------------

TEST_F(TerminalModelTest, LoginGatesPasswordMaintenanceAndBells) {
    EXPECT_EQ(ok("LS"), "O");
    EXPECT_EQ(code("IG", "\"LOGINPWD\"00"), KV_ERR_ACCESS_DENIED);
    EXPECT_EQ(code("RI"), KV_ERR_ACCESS_DENIED);
    EXPECT_EQ(code("WT", "0007:30:0001"), KV_ERR_ACCESS_DENIED);
    EXPECT_EQ(code("LI", "wrong"), KV_ERR_ACCESS_DENIED);
    EXPECT_FALSE(terminal.loggedIn());

    login();
    EXPECT_EQ(ok("LS"), "I");
    EXPECT_EQ(ok("IG", "\"LOGINPWD\"00"), "1234");
    EXPECT_EQ(ok("WT", "0007:30:0001"), "");

    EXPECT_EQ(ok("LO"), "");
    EXPECT_EQ(ok("LS"), "O");
    EXPECT_EQ(code("IG", "0500"), KV_ERR_ACCESS_DENIED);
}

TEST_F(TerminalModelTest, ItemFlagsDecideWhoMayWrite) {
    EXPECT_EQ(code("IS", "\"MACHNAME\"00DOOR"), KV_ERR_ACCESS_DENIED); // flag 8
    EXPECT_EQ(ok("IS", "0800HELLO"), "");                              // flag 4
    login();
    EXPECT_EQ(ok("IS", "\"MACHNAME\"00DOOR"), "");
    EXPECT_EQ(ok("IG", "\"MACHNAME\"00"), "DOOR");
    EXPECT_EQ(code("IS", "1000x"), KV_ERR_ACCESS_DENIED); // no flag: read-only
}

// ---- clock and items ----------------------------------------------------------------------

TEST_F(TerminalModelTest, ClockFollowsTheWallClockPlusTheOffsetThatSetTimeMoves) {
    EXPECT_EQ(ok("IG", "\"TIME\"00"), "13:05:09");
    EXPECT_EQ(ok("IG", "\"DATE\"00"), "05-12-2026");

    EXPECT_EQ(ok("IS", "\"TIME\"0007:30:00"), "");
    EXPECT_EQ(ok("IG", "\"TIME\"00"), "07:30:00");
    EXPECT_EQ(ok("IG", "\"DATE\"00"), "05-12-2026");

    EXPECT_EQ(ok("IS", "\"DATE\"0029-02-2028"), "");
    wall = wall.plusSeconds(10);
    EXPECT_EQ(ok("IG", "\"TIME\"00"), "07:30:10");
    EXPECT_EQ(ok("IG", "0100"), "29-02-2028");

    EXPECT_EQ(code("IS", "\"TIME\"0024:00:00"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IS", "\"DATE\"0029-02-2027"), KV_ERR_COMMAND_EXECUTION_FAILED);
}

TEST_F(TerminalModelTest, DateFormatItemAtIndexFourIsASmallNumber) {
    EXPECT_EQ(ok("IG", "0400"), "1");
    const auto descriptor = ParseItemDescriptor(ok("I?", "04"));
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(descriptor->Type, "VAL");
    EXPECT_EQ(descriptor->Selection[1], "1 DD-MM-YYYY") << ok("I?", "04");
}

TEST_F(TerminalModelTest, CatalogueDescribesEveryItemInEightFields) {
    const int count = std::stoi(ok("IC"));
    ASSERT_EQ(count, 12);
    int flagsSeen = 0;
    std::set<std::string> types;
    for (int i = 0; i < count; ++i) {
        const std::string text = ok("I?", (i < 10 ? "0" : "") + std::to_string(i));
        EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 7) << text;
        const auto descriptor = ParseItemDescriptor(text);
        ASSERT_TRUE(descriptor) << text;
        EXPECT_EQ(descriptor->ID, 100 + i);
        flagsSeen |= descriptor->Flags;
        types.insert(descriptor->Type);
        EXPECT_EQ(ok("IL", descriptor->Name), std::to_string(i));
    }
    EXPECT_EQ(flagsSeen & (4 | 8 | 32), 4 | 8 | 32);
    EXPECT_EQ(types, (std::set<std::string>{"VAL", "STR", "TIME", "DATE", "TAB"}));
    EXPECT_EQ(ok("I?", "00"), "TIME\t100\tTIME\t1\t4\tTime\tTerminal clock (HH:MM:SS)\t");
    EXPECT_EQ(code("I?", "12"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IL", "NOSUCH"), KV_ERR_COMMAND_EXECUTION_FAILED);
}

TEST_F(TerminalModelTest, MachineNumberNeedsLoginAndKeepsItsValue) {
    EXPECT_EQ(ok("IG", "\"MACHNO\"00"), "1");
    EXPECT_EQ(code("IS", "\"MACHNO\"007"), KV_ERR_ACCESS_DENIED);
    login();
    EXPECT_EQ(ok("IS", "\"MACHNO\"007"), "");
    EXPECT_EQ(ok("IG", "0200"), "7");
    EXPECT_EQ(ok("ID", "0200"), "1");
    EXPECT_EQ(ok("IU"), "");
    EXPECT_EQ(terminal.counters().itemUpdates, 1);
}

TEST_F(TerminalModelTest, EnumeratedValuesStayWithinTheirCaptions) {
    EXPECT_EQ(ok("IS", "06002"), ""); // LANGUAGE, writable without login
    EXPECT_EQ(ok("IG", "0600"), "2");
    EXPECT_EQ(code("IS", "06003"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IS", "0600x"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IG", "0602"), KV_ERR_COMMAND_EXECUTION_FAILED); // no member 2
    EXPECT_EQ(ok("IG", "0801"), "PLEASE PUNCH");
    EXPECT_EQ(code("IS", "1000x"), KV_ERR_ACCESS_DENIED);         // FIRMWARE is read-only
    EXPECT_EQ(code("IG", "1100"), KV_ERR_COMMAND_NOT_APPLICABLE); // a table
}

// ---- tables -------------------------------------------------------------------------------

TEST_F(TerminalModelTest, TableWalkGivesFieldDescriptorsThenRecordsThenEnd) {
    const auto item = ParseItemDescriptor(ok("I?", "11"));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Type, "TAB");
    std::vector<std::string> types;
    for (int f = 0; f < item->Size; ++f) {
        const std::string text = ok("I*", "110" + std::to_string(f));
        EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 4) << text;
        const auto field = ParseFieldDescriptor(text);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->ID, f);
        types.push_back(field->Type);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"VAL", "STR", "VAL", "DATE", "TIME"}));
    EXPECT_EQ(ParseFieldDescriptor(ok("I*", "1102"))->Selection[2], "2 Weekend");

    EXPECT_EQ(ok("IT", "11"), "");
    EXPECT_EQ(ok("IF", "11"), "1\t1\tADA\t0\t31-12-2027\t08:00:00");
    EXPECT_EQ(ok("IF", "11"), "1\t1\tADA\t0\t31-12-2027\t08:00:00"); // no move without IH
    EXPECT_EQ(ok("IH", "11"), "");
    EXPECT_EQ(ok("IF", "11"), "2\t2\tBOB\t1\t30-06-2026\t22:00:00");
    EXPECT_EQ(ok("IH", "11"), "");
    EXPECT_EQ(code("IF", "11"), KV_ERR_END);
    EXPECT_EQ(code("I*", "1105"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IT", "02"), KV_ERR_COMMAND_EXECUTION_FAILED); // not a table
}

TEST_F(TerminalModelTest, TableChangesNeedLoginAndKeepKeysUnique) {
    const std::string carol = "3\tCAROL\t2\t01-01-2030\t06:00:00";
    EXPECT_EQ(code("IA", "11" + carol), KV_ERR_ACCESS_DENIED);
    login();
    EXPECT_EQ(ok("IA", "11" + carol), "");
    EXPECT_EQ(code("IA", "11" + carol), KV_ERR_KEY_VIOLATION);
    EXPECT_EQ(code("IA", "113\tX\t9\t01-01-2030\t06:00:00"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("IA", "114\tX\t0"), KV_ERR_COMMAND_EXECUTION_FAILED); // too few fields
    EXPECT_EQ(ok("IE", "110003"
                       "3\tCAROLINE\t2\t01-01-2031\t06:30:00"),
              "");
    EXPECT_EQ(ok("IR", "110001"), "");
    EXPECT_EQ(code("IR", "110001"), KV_ERR_COMMAND_EXECUTION_FAILED);

    std::vector<std::string> walked;
    ok("IT", "11");
    for (int guard = 0; guard < 10 && code("IF", "11") == KV_SUCCESS; ++guard) {
        walked.push_back(ok("IF", "11"));
        ok("IH", "11");
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"2\t2\tBOB\t1\t30-06-2026\t22:00:00",
                                                "3\t3\tCAROLINE\t2\t01-01-2031\t06:30:00"}));
}

// ---- punch records ------------------------------------------------------------------------

TEST_F(TerminalModelTest, RecordTransactionCommitRemovesTheRecordsRead) {
    EXPECT_EQ(ok("RN"), "3");
    EXPECT_EQ(code("RH"), KV_ERR_COMMAND_NOT_APPLICABLE);
    const std::string first = ok("RG");
    EXPECT_EQ(first, "1\t05-12-2026\t13:02:09\tC10000001\t0\t1");
    EXPECT_EQ(ok("RH"), "");
    ok("RG");
    ok("RG");
    EXPECT_EQ(code("RG"), KV_ERR_END);
    EXPECT_EQ(ok("RA"), "");
    EXPECT_EQ(ok("RN"), "3");
    EXPECT_EQ(ok("RG"), first); // the abort rewound the transaction

    ok("RG");
    EXPECT_EQ(ok("RC"), "");
    EXPECT_EQ(ok("RN"), "1");
    EXPECT_EQ(terminal.oldRecords().size(), 2u);

    EXPECT_EQ(code("RR"), KV_ERR_ACCESS_DENIED);
    login();
    EXPECT_EQ(ok("RR"), "");
    EXPECT_EQ(ok("RN"), "3");
    EXPECT_EQ(ok("RG"), first);
    ok("RC");
    EXPECT_EQ(ok("RO"), "");
    EXPECT_TRUE(terminal.oldRecords().empty());
    EXPECT_EQ(ok("RI"), "");
    EXPECT_EQ(ok("RN"), "0");
    EXPECT_EQ(ok("RM"), "");
}

TEST_F(TerminalModelTest, RecordFieldThreeIsThePrefixedCardCode) {
    const PunchRecord added = terminal.addPunchRecord("12345678", 1);
    const std::string text = terminal.recordText(added);
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(text.substr(start, tab - start));
    }
    fields.push_back(text.substr(start));
    ASSERT_GE(fields.size(), 4u);
    EXPECT_EQ(fields[3], "C12345678");
}

// ---- bells, relays, display, punch times --------------------------------------------------

TEST_F(TerminalModelTest, BellSlotsModeAndClear) {
    login();
    EXPECT_EQ(ok("WT", "4307:30:0001"), ""); // weekday 2, bell 3
    EXPECT_EQ(ok("WG", "43"), "07:30:0001");
    EXPECT_EQ(terminal.bell(2 * 32 + 3).time, "07:30:00");
    EXPECT_EQ(ok("WT", "DF23:59:5900"), ""); // weekday 6, bell 31
    EXPECT_EQ(ok("WG", "DF"), "23:59:5900");
    EXPECT_EQ(ok("WG", "00"), "00:00:0000");
    EXPECT_EQ(code("WG", "G0"), KV_ERR_COMMAND_EXECUTION_FAILED);
    EXPECT_EQ(code("WT", "4325:00:0001"), KV_ERR_COMMAND_EXECUTION_FAILED);

    EXPECT_EQ(ok("WE", "01"), "");
    EXPECT_EQ(ok("WS"), "1");
    EXPECT_EQ(ok("WE", "012"), "");
    EXPECT_EQ(ok("WS"), "12");

    EXPECT_EQ(ok("WC"), "");
    EXPECT_EQ(ok("WG", "43"), "00:00:0000");
}

TEST_F(TerminalModelTest, RelaysDisplayAndPunchTimes) {
    EXPECT_EQ(ok("XT", "05HELLO"), "");
    EXPECT_EQ(terminal.displayText(), "HELLO");
    EXPECT_EQ(terminal.displayDuration(), 5);
    EXPECT_EQ(ok("XB", "120"), "");
    EXPECT_EQ(terminal.lastBellDuration(), 120);
    EXPECT_EQ(ok("XL", "05"), "");
    EXPECT_EQ(terminal.counters().lockActivations, 1);
    EXPECT_EQ(ok("XU"), "00");
    EXPECT_EQ(ok("XP", "0A"), "");
    EXPECT_EQ(ok("XU"), "0A");
    EXPECT_EQ(ok("XP", "2C"), "");
    EXPECT_EQ(ok("XU"), "2C");
    EXPECT_EQ(code("XP", "2"), KV_ERR_COMMAND_EXECUTION_FAILED);
}

// ---- extended mode ------------------------------------------------------------------------

TEST_F(TerminalModelTest, ExtendedModePushesOneRecordAtATimeAndWaitsForXA) {
    EXPECT_EQ(ok("XO"), "");
    EXPECT_EQ(ok("LS"), "XI");
    EXPECT_TRUE(terminal.poll(now + 100ms).empty()) << "the first push waits for the reply";
    ASSERT_EQ(terminal.nextWakeup(), now + 150ms);

    now += 150ms;
    auto pushed = terminal.poll(now);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].kind, FrameKind::Push);
    const auto first = VerifyReply(pushed[0].frame);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->errCode, KV_SUCCESS);
    EXPECT_EQ(first->data, "1\t05-12-2026\t13:02:09\tC10000001\t0\t1");
    EXPECT_EQ(pushed[0].frame.substr(3, 2), "XN");

    EXPECT_TRUE(terminal.poll(now + 10s).empty()) << "nothing more before XA";
    EXPECT_FALSE(terminal.nextWakeup());

    // XA has no reply of its own; the next record follows at once.
    EXPECT_TRUE(terminal.handleFrame(BuildRequestFrame("XA", 1, ""), now).empty());
    EXPECT_EQ(terminal.oldRecords().size(), 1u);
    pushed = terminal.poll(now);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(VerifyReply(pushed[0].frame)->data.substr(0, 2), "2\t");

    EXPECT_EQ(ok("XF"), "");
    EXPECT_TRUE(terminal.poll(now + 10s).empty());
    EXPECT_EQ(ok("RN"), "2") << "the unconfirmed record stays new";
}

TEST_F(TerminalModelTest, ResendAnswersTheLastRecordAndPushesItAgain) {
    EXPECT_EQ(code("XR"), KV_ERR_COMMAND_NOT_APPLICABLE);
    ok("XO");
    now += 150ms;
    const auto pushed = terminal.poll(now);
    ASSERT_EQ(pushed.size(), 1u);

    const std::string resent = frame("XR");
    EXPECT_EQ(resent, pushed[0].frame) << "the resend reply is the same XN frame";
    EXPECT_TRUE(terminal.poll(now + 100ms).empty());
    const auto again = terminal.poll(now + 150ms);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].frame, pushed[0].frame);
    EXPECT_EQ(terminal.counters().repushes, 1);
    EXPECT_EQ(terminal.counters().resendRequests, 2); // the first came before any push
}

TEST_F(TerminalModelTest, PushEveryGeneratesRecordsWhileInExtendedMode) {
    TerminalConfig c = config();
    c.initialRecords = 0;
    c.pushEveryMs = 100;
    TerminalModel generating(c);
    EXPECT_TRUE(generating.poll(now + 1s).empty()) << "nothing outside extended mode";
    generating.handleFrame(BuildRequestFrame("XO", 1, ""), now);
    EXPECT_TRUE(generating.poll(now + 99ms).empty());
    const auto pushed = generating.poll(now + 150ms);
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_NE(VerifyReply(pushed[0].frame)->data.find("\tC1"), std::string::npos);
    EXPECT_EQ(generating.newRecords().size(), 1u);
}

} // namespace
} // namespace kelvra::sim
