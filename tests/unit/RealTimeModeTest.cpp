// Records that a terminal in extended mode pushes on its own: cut out of the received stream,
// verified, reported, counted and, when bad, requested again, without disturbing the command
// that waits meanwhile.
#include "DriverProbe.h"
#include "driver/RecordCutter.h"

#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kelvra {
namespace {

// Written out by hand, so that a fault shared by the frame builder and the verifier cannot pass.
std::string Frame(const std::string& inner) {
    return "\x02" + inner + "\x03";
}
const std::string kRecord = Frame("55XNR12908");    // terminal 5 pushes "R1"
const std::string kBadRecord = Frame("55XNR12A08"); // "R1" under the checksum of "R2"
const std::string kAccepted = Frame("55AOKDB07");   // terminal 5 answers "OK"

using Piece = RecordCutter::Piece;

TEST(RecordCutter, RecordsComeOutAndEverythingElseGoesOnInOrder) {
    struct Row {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<Piece> pieces;
    };
    const std::string crInData = Frame("55XNR1\r2680A");
    const std::string replyEndedByCr = kAccepted.substr(0, 6) + "\r";
    const Row rows[] = {
        {"noise in an earlier chunk does not spoil the record", {"zz", kRecord}, {{true, kRecord}}},
        {"a record that never ended is dropped at the next frame",
         {kRecord.substr(0, 7), kAccepted},
         {{false, kAccepted}}},
        {"a carriage return inside a record's data", {crInData}, {{true, crInData}}},
        {"a reply ended by a carriage return", {replyEndedByCr}, {{false, replyEndedByCr}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordCutter cutter;
        std::vector<Piece> pieces;
        for (const std::string& chunk : row.chunks) {
            for (Piece& piece : cutter.cut(chunk, true)) {
                pieces.push_back(std::move(piece));
            }
        }
        EXPECT_EQ(pieces, row.pieces);
        EXPECT_EQ(cutter.held(), "");
    }
}

TEST(RecordCutter, FramesSplitAnywhereComeOutWhole) {
    const std::string stream = kAccepted + kRecord + kAccepted;
    for (std::size_t first = 0; first <= stream.size(); ++first) {
        for (std::size_t second = first; second <= stream.size(); ++second) {
            RecordCutter cutter;
            std::string handedOn;
            std::vector<std::string> records;
            for (const std::string& chunk :
                 {stream.substr(0, first), stream.substr(first, second - first),
                  stream.substr(second)}) {
                for (const Piece& piece : cutter.cut(chunk, true)) {
                    (piece.pushedRecord ? records.emplace_back() : handedOn) += piece.text;
                }
            }
            ASSERT_EQ(records, std::vector<std::string>{kRecord}) << first << "/" << second;
            ASSERT_EQ(handedOn, kAccepted + kAccepted) << first << "/" << second;
        }
    }
}

struct Report {
    std::string address;
    std::int16_t source;
    std::string data;
    std::int32_t errCode;
    bool operator==(const Report&) const = default;
};

// Terminal 5 on a datagram or serial link: it accepts every command, answers the resend
// requests with `resendAnswers` in turn (then with nothing) and a confirmation with nothing. The
// owner confirms every good record from its handler when `confirms` says so.
struct PushRig : test::DriverRig {
    bool serialLink = false;
    bool confirms = false;
    std::vector<Report> reports;
    Subscription subscription =
        kv.KelvraDataArival.subscribe([this](const std::string& address, std::int16_t source,
                                             const std::string& data, std::int32_t code) {
            reports.push_back({address, source, data, code});
            if (confirms && code == KV_SUCCESS) {
                kv.X_ConfirmRecord(source);
            }
        });
    std::vector<std::string> commands;
    std::deque<std::string> resendAnswers;
    bool repeatsAfterResend = false; // the terminal pushes the record again 150 ms after each

    void arrive(const std::string& bytes, std::int64_t delayMs) {
        if (serialLink) {
            serial().arrive(bytes, delayMs);
        } else {
            socket().arrive(bytes, delayMs);
        }
    }
    void answerCommands() {
        auto answer = [this](const std::string& frame) {
            const std::string command = frame.substr(3, 2);
            commands.push_back(command);
            if (command == "XR") {
                if (!resendAnswers.empty()) {
                    arrive(resendAnswers.front(), 10);
                    resendAnswers.pop_front();
                }
                if (repeatsAfterResend) {
                    arrive(kRecord, 150);
                }
            } else if (command != "XA") {
                arrive(kAccepted, 10);
            }
        };
        if (serialLink) {
            serial().peer = answer;
        } else {
            socket().peer = answer;
        }
        socket().peerAddress = "127.0.0.3";
    }
    void enterRealTimeMode(bool serial = false) {
        serialLink = serial;
        if (serial) {
            kv.SetComport(4);
            kv.SetCommunicationType(6);
            kv.Connect();
        } else {
            connectUdp();
        }
        answerCommands();
        kv.X_LogOn(5);
        ASSERT_TRUE(kv.RealTimeMode());
        commands.clear();
    }
    void push(const std::string& bytes) {
        arrive(bytes, 0);
        settle(1);
    }
    void settle(int ms) {
        time.sleep(ms);
        time.processEvents();
    }
};

TEST(RealTimeMode, OnlyASuccessfulLogOnSwitchesItOn) {
    PushRig rig;
    rig.connectUdp();
    rig.kv.X_LogOn(5); // nobody answers
    EXPECT_FALSE(rig.kv.RealTimeMode());
    rig.socket().peer = [&](const std::string&) { rig.arrive(Frame("55N4E05"), 10); };
    rig.kv.X_LogOn(5);
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_COMMAND_NOT_APPLICABLE);
    EXPECT_FALSE(rig.kv.RealTimeMode());
    // Without it a pushed record just waits in the buffer.
    rig.push(kRecord);
    EXPECT_TRUE(rig.reports.empty());
    EXPECT_EQ(ucKelvraProbe::ReceiveBuffer(rig.kv), kRecord);

    rig.answerCommands();
    rig.kv.X_LogOn(5);
    rig.kv.X_LogOff(5);
    EXPECT_TRUE(rig.kv.RealTimeMode()); // logging off does not end it
}

TEST(RealTimeMode, AGoodRecordIsReportedAndCountedForItsTerminal) {
    PushRig rig;
    rig.enterRealTimeMode();
    rig.time.advance(65000);
    const std::int32_t bytesBefore = rig.kv.BytesReceived(5);
    rig.push(kRecord);
    EXPECT_EQ(rig.reports, (std::vector<Report>{{"127.0.0.3", 5, "R1", KV_SUCCESS}}));
    EXPECT_EQ(rig.kv.PunchCount(5), 1);
    EXPECT_EQ(rig.kv.LastPunch(5), DateTime::fromParts(2026, 12, 6, 8, 1, 5));
    EXPECT_EQ(rig.kv.BytesReceived(5) - bytesBefore, static_cast<std::int32_t>(kRecord.size()));
    EXPECT_EQ(rig.kv.CurrentID(), 5);
    EXPECT_TRUE(rig.commands.empty()); // the driver never confirms by itself

    // The second address character, 250, names terminal 202, outside the counters: reported
    // all the same.
    rig.push(Frame("4\xFAXNR12908"));
    EXPECT_EQ(rig.reports.back().source, 202);
}

// A handler may run a command, which empties the receive buffer: the subscribers after it are
// still given the record as it came.
TEST(RealTimeMode, ACommandRunFromAHandlerLeavesTheRecordToTheNextSubscriber) {
    PushRig rig;
    rig.enterRealTimeMode();
    rig.confirms = true;
    std::vector<Report> after;
    const Subscription listening =
        rig.kv.KelvraDataArival.subscribe([&](const std::string& address, std::int16_t source,
                                              const std::string& data, std::int32_t code) {
            after.push_back({address, source, data, code});
        });
    rig.push(kRecord);
    EXPECT_EQ(rig.commands, std::vector<std::string>{"XA"});
    EXPECT_EQ(rig.reports, (std::vector<Report>{{"127.0.0.3", 5, "R1", KV_SUCCESS}}));
    EXPECT_EQ(after, rig.reports);
}

// The record is reported and confirmed or, when bad, requested again once the command is done
// and then reported and confirmed.
TEST(RealTimeMode, ARecordPushedWhileACommandWaitsLeavesTheReplyToTheCommand) {
    struct Arrival {
        std::int64_t delayMs;
        std::string bytes;
    };
    struct Row {
        const char* name;
        std::vector<Arrival> arrivals;
        std::vector<std::string> commands;
    };
    const Row rows[] = {
        {"record, then reply, in one chunk", {{10, kRecord + kAccepted}}, {"BW", "XA"}},
        {"reply, then record, in one chunk", {{10, kAccepted + kRecord}}, {"BW", "XA"}},
        {"record split, the reply behind its second half",
         {{10, kRecord.substr(0, 6)}, {70, kRecord.substr(6) + kAccepted}},
         {"BW", "XA"}},
        {"reply, then a record that ends after the command",
         {{10, kAccepted + kRecord.substr(0, 6)}, {120, kRecord.substr(6)}},
         {"BW", "XA"}},
        {"a bad record", {{10, kBadRecord}, {120, kAccepted}}, {"BW", "XR", "XA"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PushRig rig;
        rig.enterRealTimeMode();
        rig.confirms = true;
        rig.resendAnswers = {kRecord};
        rig.socket().peer = [&, answer = rig.socket().peer](const std::string& frame) {
            if (!rig.commands.empty()) {
                return answer(frame);
            }
            rig.commands.push_back("BW");
            for (const Arrival& arrival : row.arrivals) {
                rig.arrive(arrival.bytes, arrival.delayMs);
            }
        };
        EXPECT_EQ(rig.exchange("BW", 5, ""), "OK");
        EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
        rig.settle(200);
        EXPECT_EQ(rig.commands, row.commands);
        EXPECT_EQ(rig.reports, (std::vector<Report>{{"127.0.0.3", 5, "R1", KV_SUCCESS}}));
    }
}

TEST(RealTimeMode, BadRecordsAreRequestedAgainThreeTimesThenReported) {
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "datagram");
        PushRig rig;
        rig.enterRealTimeMode(serial);
        for (int i = 0; i < 4; ++i) {
            rig.push(kBadRecord);
        }
        EXPECT_EQ(rig.commands, (std::vector<std::string>{"XR", "XR", "XR"}));
        EXPECT_EQ(rig.kv.ResendCount(), 3);
        EXPECT_FALSE(rig.kv.ResendPending());
        // A socket link reports only the bad record past the budget; a serial link each one.
        const std::size_t reported = serial ? 4 : 1;
        ASSERT_EQ(rig.reports.size(), reported);
        EXPECT_EQ(rig.reports.back().errCode, KV_ERR_CHECKSUM);
        EXPECT_EQ(rig.reports.back().data, kBadRecord);
        EXPECT_EQ(rig.kv.PunchCount(5), static_cast<std::int32_t>(reported));

        rig.push(kRecord);
        EXPECT_EQ(rig.kv.ResendCount(), 0);
        rig.push(kBadRecord);
        EXPECT_EQ(rig.commands.size(), 4u); // a fresh cycle of requests
    }
}

// A bad record is asked for again without waiting for the answer: the answer, an "XN" frame,
// and the terminal's own repeat are copies of one record, raised once whichever is good first,
// while a command that the owner's event loop runs meanwhile keeps its own reply.
TEST(RealTimeMode, ARecordAskedForAgainIsRaisedOnceWhicheverCopyIsGood) {
    struct Row {
        const char* name;
        bool serial;
        std::deque<std::string> resendAnswers;
        std::vector<std::int32_t> reported; // the codes raised for the record, in order
    };
    const Row rows[] = {
        {"the answer, then the repeat", false, {kRecord}, {KV_SUCCESS}},
        {"the answer lost, the repeat", false, {}, {KV_SUCCESS}},
        {"the answer bad, then good", false, {kBadRecord, kRecord}, {KV_SUCCESS}},
        {"the answer twice", false, {kRecord + kRecord}, {KV_SUCCESS}},
        {"a serial link reports the bad copy first",
         true,
         {kRecord},
         {KV_ERR_CHECKSUM, KV_SUCCESS}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PushRig rig;
        rig.enterRealTimeMode(row.serial);
        rig.confirms = true;
        rig.resendAnswers = row.resendAnswers;
        rig.repeatsAfterResend = true;
        std::string reply;
        rig.time.at(20, [&] { // the owner's event loop, between two records
            reply = rig.exchange("BW", 5, "");
            reply += " " + std::to_string(rig.kv.ErrCode());
        });
        rig.push(kBadRecord);
        rig.settle(400);
        EXPECT_EQ(reply, "OK 0");
        std::vector<std::int32_t> reported;
        for (const Report& report : rig.reports) {
            reported.push_back(report.errCode);
        }
        EXPECT_EQ(reported, row.reported);
        EXPECT_EQ(rig.reports.back().data, "R1");
        EXPECT_EQ(std::count(rig.commands.begin(), rig.commands.end(), "XA"), 1);
        EXPECT_EQ(rig.kv.ResendCount(), 0);
    }
}

TEST(RealTimeMode, TextThatIsNoGoodFrameNeverPassesForAGoodRecord) {
    PushRig rig;
    rig.enterRealTimeMode(true);
    rig.kv.SetErrCode(KV_SUCCESS);
    rig.push("\x03"
             "a1XN"); // "XN" in the right place, an ETX, but no frame
    rig.push(Frame("55XN"));
    ASSERT_EQ(rig.reports.size(), 1u);
    EXPECT_NE(rig.reports[0].errCode, KV_SUCCESS);
    EXPECT_EQ(rig.kv.PunchCount(5), 1);
}

} // namespace
} // namespace kelvra
