// The terminal command set on fake links in virtual time: the exact command text each
// operation puts on the wire, and the operations that do more than one plain exchange.
#include "DriverProbe.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;
using test::TerminalReply;

// Its address character is "A", which no slip to terminal 0 or 1 could give.
constexpr std::int16_t kTerminal = 17;
const std::string kAccepted = "\x02"
                              "AAA4105"
                              "\x03";

// The body of a request frame: what stands between the two address characters and the
// checksum, that is the command letters followed by the argument text.
std::string BodyOf(const std::string& frame) {
    return frame.size() < 8 ? std::string("<short frame>") : frame.substr(3, frame.size() - 8);
}

// Every field has one digit, so each must be padded.
const DateTime kSample = DateTime::fromParts(2031, 1, 5, 7, 5, 9);

struct CommandRow {
    const char* operation;
    std::function<void(ucKelvra&)> run;
    std::string body;
};

// clang-format off
const std::vector<CommandRow> kCommandRows = {
    // Link tests and raw frames.
    {"EchoTest",            [](ucKelvra& kv) { kv.EchoTest(kTerminal, "123"); },        "E123"},
    {"Polling 25",          [](ucKelvra& kv) { kv.Polling(kTerminal, 25); },            "BW0025"},
    {"Polling five digits", [](ucKelvra& kv) { kv.Polling(kTerminal, 12345); },         "BW12345"},
    {"Polling negative",    [](ucKelvra& kv) { kv.Polling(kTerminal, -5); },            "BW-0005"},
    {"SendRawData",         [](ucKelvra& kv) { kv.SendRawData(kTerminal, "LS", true); }, "LS"},
    {"SendRawData no ack",  [](ucKelvra& kv) { kv.SendRawData(kTerminal, "RN"); },      "RN"},
    // Login.
    {"Login",               [](ucKelvra& kv) { kv.Login(kTerminal, "4711"); },          "LI4711"},
    {"Logout",              [](ucKelvra& kv) { kv.Logout(kTerminal); },                 "LO"},
    {"LoginStatus",         [](ucKelvra& kv) { kv.LoginStatus(kTerminal); },            "LS"},
    // Clock, date and machine items, addressed by name.
    {"GetTime",             [](ucKelvra& kv) { kv.GetTime(kTerminal); },                "IG\"TIME\"00"},
    {"GetDate",             [](ucKelvra& kv) { kv.GetDate(kTerminal); },                "IG\"DATE\"00"},
    {"GetMachNo",           [](ucKelvra& kv) { kv.GetMachNo(kTerminal); },              "IG\"MACHNO\"00"},
    {"GetMachName",         [](ucKelvra& kv) { kv.GetMachName(kTerminal); },            "IG\"MACHNAME\"00"},
    {"SetTime",             [](ucKelvra& kv) { kv.SetTime(kTerminal, kSample); },       "IS\"TIME\"0007:05:09"},
    {"SetDate",             [](ucKelvra& kv) { kv.SetDate(kTerminal, kSample); },       "IS\"DATE\"0005-01-2031"},
    {"SetMachNo 7",         [](ucKelvra& kv) { kv.SetMachNo(kTerminal, 7); },           "IS\"MACHNO\"007"},
    {"SetMachNo negative",  [](ucKelvra& kv) { kv.SetMachNo(kTerminal, -3); },          "IS\"MACHNO\"00-3"},
    {"SetMachName",         [](ucKelvra& kv) { kv.SetMachName(kTerminal, "Gate 2"); },  "IS\"MACHNAME\"00Gate 2"},
    {"GetDateFormat",       [](ucKelvra& kv) { kv.GetDateFormat(kTerminal); },          "IG0400"},
    // Record download.
    {"RecordCount",          [](ucKelvra& kv) { kv.RecordCount(kTerminal); },          "RN"},
    {"GetRecord",            [](ucKelvra& kv) { kv.GetRecord(kTerminal); },            "RG"},
    {"ConfirmRecord",        [](ucKelvra& kv) { kv.ConfirmRecord(kTerminal); },        "RH"},
    {"AbortReadTransation",  [](ucKelvra& kv) { kv.AbortReadTransation(kTerminal); },  "RA"},
    {"CommitReadTransation", [](ucKelvra& kv) { kv.CommitReadTransation(kTerminal); }, "RC"},
    {"DeleteOldRecords",     [](ucKelvra& kv) { kv.DeleteOldRecords(kTerminal); },     "RO"},
    {"ResetOldRecords",      [](ucKelvra& kv) { kv.ResetOldRecords(kTerminal); },      "RR"},
    {"InitializeDatabase",   [](ucKelvra& kv) { kv.InitializeDatabase(kTerminal); },   "RI"},
    {"RecorverDatabase",     [](ucKelvra& kv) { kv.RecorverDatabase(kTerminal); },     "RM"},
    // The catalogue and array items: references and members keep their last two characters.
    {"GetItemCount",         [](ucKelvra& kv) { kv.GetItemCount(kTerminal); },             "IC"},
    {"ItemUpdate",           [](ucKelvra& kv) { kv.ItemUpdate(kTerminal); },               "IU"},
    {"GetItemNumberByName",  [](ucKelvra& kv) { kv.GetItemNumberByName(kTerminal, "TIME"); }, "ILTIME"},
    {"GetItemInfo",          [](ucKelvra& kv) { kv.GetItemInfo(kTerminal, 5); },           "I?05"},
    {"GetItem",              [](ucKelvra& kv) { kv.GetItem(kTerminal, 3, 0); },            "IG0300"},
    {"GetItem hundreds",     [](ucKelvra& kv) { kv.GetItem(kTerminal, 123, -1); },         "IG23-1"},
    {"GetItem -32768",       [](ucKelvra& kv) { kv.GetItem(kTerminal, -32768, 0); },       "IG6800"},
    {"SetItem",              [](ucKelvra& kv) { kv.SetItem(kTerminal, 12, 1, "30"); },     "IS120130"},
    {"GetItemDefault",       [](ucKelvra& kv) { kv.GetItemDefault(kTerminal, 7, 42); },    "ID0742"},
    // Table items: record numbers keep their last four characters.
    {"GetItemTab_FieldInfo",   [](ucKelvra& kv) { kv.GetItemTab_FieldInfo(kTerminal, 9, 2); },  "I*0902"},
    {"SetItemTab_ItemTop",     [](ucKelvra& kv) { kv.SetItemTab_ItemTop(kTerminal, 0); },       "IT00"},
    {"GetItemTab_ItemFetch",   [](ucKelvra& kv) { kv.GetItemTab_ItemFetch(kTerminal, 7); },     "IF07"},
    {"SetItemTab_ItemConfirm", [](ucKelvra& kv) { kv.SetItemTab_ItemConfirm(kTerminal, 9); },   "IH09"},
    {"SetItemTab_ItemAdd",     [](ucKelvra& kv) { kv.SetItemTab_ItemAdd(kTerminal, 9, "1\tAnn"); }, "IA091\tAnn"},
    {"SetItemTab_ItemEdit",    [](ucKelvra& kv) { kv.SetItemTab_ItemEdit(kTerminal, 12, 3, "X"); }, "IE120003X"},
    {"ItemEdit five digits",   [](ucKelvra& kv) { kv.SetItemTab_ItemEdit(kTerminal, 12, 12345, "X"); }, "IE122345X"},
    {"SetItemTab_ItemRemove",  [](ucKelvra& kv) { kv.SetItemTab_ItemRemove(kTerminal, 9, 15); }, "IR090015"},
    {"ItemRemove negative",    [](ucKelvra& kv) { kv.SetItemTab_ItemRemove(kTerminal, 9, -5); }, "IR0900-5"},
    // Extended mode, display and relays.
    {"X_LogOn",              [](ucKelvra& kv) { kv.X_LogOn(kTerminal); },               "XO"},
    {"X_LogOff",             [](ucKelvra& kv) { kv.X_LogOff(kTerminal); },              "XF"},
    {"X_ResendRecord",       [](ucKelvra& kv) { kv.X_ResendRecord(kTerminal); },        "XR"},
    {"X_ConfirmRecord",      [](ucKelvra& kv) { kv.X_ConfirmRecord(kTerminal); },       "XA"},
    {"X_ShowText",           [](ucKelvra& kv) { kv.X_ShowText(kTerminal, 5, "HELLO"); }, "XT05HELLO"},
    {"X_ShowText negative",  [](ucKelvra& kv) { kv.X_ShowText(kTerminal, -5, ""); },    "XT-05"},
    {"X_ActivateBell 120",   [](ucKelvra& kv) { kv.X_ActivateBell(kTerminal, 120); },   "XB120"},
    {"X_ActivateBell 5",     [](ucKelvra& kv) { kv.X_ActivateBell(kTerminal, 5); },     "XB05"},
    {"X_ActivateLock 0",     [](ucKelvra& kv) { kv.X_ActivateLock(kTerminal, 0); },     "XL00"},
    {"X_PunchTimesSet 10",   [](ucKelvra& kv) { kv.X_PunchTimesSet(kTerminal, 10); },   "XP0A"},
    {"X_PunchTimesSet 256",  [](ucKelvra& kv) { kv.X_PunchTimesSet(kTerminal, 256); },  "XP00"},
    {"X_PunchTimesSet -1",   [](ucKelvra& kv) { kv.X_PunchTimesSet(kTerminal, -1); },   "XPFF"},
    {"X_PunchTimesGet",      [](ucKelvra& kv) { kv.X_PunchTimesGet(kTerminal); },       "XU"},
    // The bell table: slot = weekday * 32 + bell, sent as two hexadecimal digits.
    {"SetBellTimeMode 1",    [](ucKelvra& kv) { kv.SetBellTimeMode(kTerminal, 1); },    "WE01"},
    {"SetBellTimeMode 12",   [](ucKelvra& kv) { kv.SetBellTimeMode(kTerminal, 12); },   "WE012"},
    {"GetBellTimeMode",      [](ucKelvra& kv) { kv.GetBellTimeMode(kTerminal); },       "WS"},
    {"ClearBellTimeSettings",[](ucKelvra& kv) { kv.ClearBellTimeSettings(kTerminal); }, "WC"},
    {"GetBellTime 2 3",      [](ucKelvra& kv) { kv.GetBellTime(kTerminal, 2, 3); },     "WG43"},
    {"GetBellTime 8 0",      [](ucKelvra& kv) { kv.GetBellTime(kTerminal, 8, 0); },     "WG00"},
    // The largest slots that still fit 16 bits.
    {"GetBellTime 1023 31",  [](ucKelvra& kv) { kv.GetBellTime(kTerminal, 1023, 31); }, "WGFF"},
    {"GetBellTime -1024 0",  [](ucKelvra& kv) { kv.GetBellTime(kTerminal, -1024, 0); }, "WG00"},
    {"SetBellTime",          [](ucKelvra& kv) { kv.SetBellTime(kTerminal, 2, 3, kSample, 1); }, "WT4307:05:0901"},
};
// clang-format on

TEST(CommandSet, EachOperationSendsItsLettersAndArgumentsInOneFrame) {
    for (const CommandRow& row : kCommandRows) {
        SCOPED_TRACE(row.operation);
        DriverRig rig(kAccepted);
        rig.kv.SetErrCode(KV_ERR_END);
        row.run(rig.kv);
        ASSERT_EQ(rig.socket().sent.size(), 1u);
        EXPECT_EQ(rig.socket().sent.front().substr(1, 2), "AA");
        EXPECT_EQ(BodyOf(rig.socket().sent.front()), row.body);
        // Only the confirmation and raw data without acknowledgement return at once, the
        // confirmation with the outcome it found; the reply then waits in the buffer, raw.
        const bool confirmation = row.body == "XA";
        const bool waits = !confirmation && row.operation != std::string("SendRawData no ack");
        EXPECT_EQ(rig.kv.ErrCode(), confirmation ? KV_ERR_END : KV_SUCCESS);
        EXPECT_EQ(rig.time.elapsedMs() > 0, waits);
        if (!waits) {
            rig.time.sleep(50);
            rig.time.processEvents();
            std::string data;
            rig.kv.GetData(data);
            EXPECT_EQ(data, kAccepted);
        }

        // On a link never opened, with a stale outcome: the bell table commands and raw data
        // clear it and send; every other command is refused.
        DriverRig stale;
        stale.answerEveryFrame(kAccepted);
        stale.kv.SetErrCode(KV_ERR_TIMEOUT);
        row.run(stale.kv);
        const bool clears =
            row.body[0] == 'W' || std::string_view(row.operation).starts_with("SendRawData");
        EXPECT_EQ(stale.socket().sent.size(), clears ? 1u : 0u);
        EXPECT_EQ(stale.kv.ErrCode(), clears ? KV_SUCCESS : KV_ERR_CONNECTION_NOT_ESTABLISHED);
    }
}

TEST(CommandSet, ConversionsThatOverflowSixteenBitsThrowBeforeSending) {
    const std::vector<std::function<void(ucKelvra&)>> calls = {
        [](ucKelvra& kv) { kv.Login(32768, "1"); },
        [](ucKelvra& kv) { kv.Login(-32769, "1"); },
        [](ucKelvra& kv) { kv.GetBellTime(kTerminal, 1024, 0); },
        // The day's first slot fits but the bell carries it past 32767.
        [](ucKelvra& kv) { kv.SetBellTime(kTerminal, 1023, 32, kSample, 1); },
        [](ucKelvra& kv) { kv.GetBellTime(kTerminal, -1024, -1); },
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(&call - calls.data());
        DriverRig rig(kAccepted);
        rig.kv.SetErrCode(KV_ERR_END);
        EXPECT_THROW(call(rig.kv), std::overflow_error);
        EXPECT_TRUE(rig.socket().sent.empty());
        EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_END);
    }
}

// Login asks again only when the terminal stays silent, at most ErrorCount times more.
TEST(Login, RepeatsOnlyOnTimeOutBoundedByErrorCount) {
    struct Row {
        const char* name;
        std::int16_t errorCount;
        std::vector<std::string> answers; // per frame in turn; "" = silent
        std::size_t frames;
        std::int32_t outcome;
    };
    const std::vector<Row> rows = {
        {"silent, ErrorCount 0", 0, {}, 1, KV_ERR_TIMEOUT},
        {"silent, ErrorCount 2", 2, {}, 3, KV_ERR_TIMEOUT},
        {"refused", 2, {"D"}, 1, KV_ERR_ACCESS_DENIED},
        {"answers the second", 2, {"", "A"}, 2, KV_SUCCESS},
        {"busy is no time-out", 5, {"", "B"}, 2, KV_ERR_BUSY},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetErrorCount(row.errorCount);
        std::size_t frame = 0;
        rig.socket().peer = [&](const std::string&) {
            const std::size_t index = frame++;
            if (index < row.answers.size() && !row.answers[index].empty()) {
                rig.socket().arrive(TerminalReply(kTerminal, row.answers[index]), 10);
            }
        };
        rig.kv.Login(kTerminal, "4711");
        EXPECT_EQ(rig.socket().sent.size(), row.frames);
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
        for (const std::string& sent : rig.socket().sent) {
            EXPECT_EQ(BodyOf(sent), "LI4711");
        }
    }
}

// The terminal counts in hexadecimal, read as a leading number; the buffer is left holding the
// decimal count.
TEST(ExtendedMode, PunchTimesReplyIsRewrittenInDecimal) {
    struct Row {
        const char* reply; // status letter and data
        std::int32_t outcome;
        const char* data;
    };
    const Row rows[] = {
        {"A0A", KV_SUCCESS, "10"},
        {"A", KV_SUCCESS, "0"},
        {"A10000", KV_SUCCESS, "65536"},
        // Too long for any count: handed over as it came instead of thrown at the caller.
        {"A123456789", KV_SUCCESS, "123456789"},
        // A refusal leaves its data alone.
        {"E0A", KV_ERR_END, "0A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        DriverRig rig(TerminalReply(kTerminal, row.reply));
        rig.kv.X_PunchTimesGet(kTerminal);
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
        std::string data;
        rig.kv.GetData(data);
        EXPECT_EQ(data, row.data);
    }
}

// Clearing the table may keep the terminal busy for long: the command waits up to 30 s, and
// the time-out is restored whether the reply came or not.
TEST(Bells, ClearingWaitsUpToThirtySecondsAndRestoresTheTimeout) {
    for (const bool answered : {false, true}) {
        SCOPED_TRACE(answered);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetTimeout(1234);
        std::int32_t timeoutWhenSent = 0;
        rig.socket().peer = [&](const std::string&) {
            timeoutWhenSent = rig.kv.Timeout();
            if (answered) {
                rig.socket().arrive(kAccepted, 20000);
            }
        };
        rig.kv.ClearBellTimeSettings(kTerminal);
        EXPECT_EQ(rig.kv.ErrCode(), answered ? KV_SUCCESS : KV_ERR_TIMEOUT);
        EXPECT_EQ(timeoutWhenSent, 30000);
        EXPECT_EQ(rig.time.elapsedMs(), answered ? 20000 : 30050);
        EXPECT_EQ(rig.kv.Timeout(), 1234);
    }
}

// The reply is read as a number and taken out of the buffer; a refused or overflowing read
// keeps the former format.
TEST(DateFormat, TakesTheReplyAsANumberAndEmptiesTheBuffer) {
    struct Row {
        const char* reply;
        std::int16_t dateFormat;
    };
    const Row rows[] = {{"A3", 3},   {"F5", 3}, {"A40000", 3}, {"A2.5", 2},
                        {"A3.5", 4}, {"A", 0},  {"A-7", -7}};
    DriverRig rig;
    rig.connectUdp();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        rig.answerEveryFrame(TerminalReply(kTerminal, row.reply));
        if (std::string(row.reply) == "A40000") {
            EXPECT_THROW(rig.kv.GetDateFormat(kTerminal), std::overflow_error);
        } else {
            rig.kv.GetDateFormat(kTerminal);
            EXPECT_EQ(rig.kv.ErrCode(),
                      row.reply[0] == 'F' ? KV_ERR_COMMAND_EXECUTION_FAILED : KV_SUCCESS);
        }
        EXPECT_EQ(rig.kv.DateFormat(), row.dateFormat);
        std::string data = "untouched";
        rig.kv.GetData(data);
        EXPECT_EQ(data, "");
    }
}

} // namespace
} // namespace kelvra
