// What the traffic trace makes of hand-written chunks: one row a case, each on a new decoder.
#include "driver/TrafficDecoder.h"

#include "driver/RecordCutter.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kelvra {
namespace {

struct Chunk {
    LinkDirection direction;
    std::uint32_t tick;
    std::string bytes;
};

// STX and the rest: "\x02" cannot stand in front of a digit in one literal.
std::string Stx(const char* rest) {
    return '\x02' + std::string(rest);
}

constexpr LinkDirection Out = LinkDirection::Sent;
constexpr LinkDirection In = LinkDirection::Received;
const std::string kSent = "08:00:00 > udp x ";
const std::string kReceived = "08:00:00 < udp x ";
// The echo of "123" to terminal 1, its answer and a pushed record, byte for byte.
const std::string kEcho = Stx("11E123DB08\x03");
const std::string kReply = Stx("11A123D708\x03");
const std::string kRecord = Stx("11XN7\tC20461187C611\x03");
const std::string kEchoLine = kSent + "#1 E [123] checksum ok, length ok\n";
const std::string kReplyLine = kReceived + "#1 A [123] checksum ok, length ok";
const std::string kRecordLine = kReceived + "#1 XN [7<TAB>C20461187] checksum ok, length ok";

TEST(TrafficDecoder, ShowsEachFrameWithItsFieldsVerdictsAndReplyTime) {
    const struct {
        const char* what;
        std::vector<Chunk> chunks;
        std::string lines; // all the chunks gave, in order
    } cases[] = {
        {"request and reply",
         {{Out, 1000, kEcho}, {In, 1050, kReply}},
         kEchoLine + kReplyLine + ", reply in 50 ms\n"},
        {"checksum in lower case",
         {{In, 0, Stx("11A123d708\x03")}},
         kReceived + "#1 A [123] checksum BAD (d7, expected D7), length ok\n"},
        {"length off by one, status E",
         {{In, 0, Stx("11ExyzB009\x03")}},
         kReceived + "#1 E (KV_ERR_END) [xyz] checksum ok, length BAD (09, expected 08)\n"},
        {"a second reply to one request answers nothing",
         {{Out, 1000, kEcho}, {In, 1050, kReply}, {In, 1080, kReply}},
         kEchoLine + kReplyLine + ", reply in 50 ms\n" + kReplyLine + "\n"},
        {"an unfinished frame beyond the bound is shown as it stands",
         {{In, 0, Stx("11A")}, {In, 0, std::string(TrafficDecoder::kHeldLimit, 'x')}},
         kReceived + "unended [<STX>11A" + std::string(TrafficDecoder::kHeldLimit, 'x') + "]\n"},
        {"reply split over two chunks",
         {{Out, 1000, kEcho}, {In, 1010, kReply.substr(0, 5)}, {In, 1060, kReply.substr(5)}},
         kEchoLine + kReplyLine + ", reply in 60 ms\n"},
        {"pushed record and reply in one chunk",
         {{Out, 1000, kEcho}, {In, 1020, kRecord + kReply}},
         kEchoLine + kRecordLine + ", pushed record\n" + kReplyLine + ", reply in 20 ms\n"},
        {"an XN frame answers a resend request",
         {{Out, 1000, Stx("11XRAA06\x03")}, {In, 1030, kRecord}},
         kSent + "#1 XR [] checksum ok, length ok\n" + kRecordLine + ", reply in 30 ms\n"},
        {"noise, a frame cut short by the next one, and one too short",
         {{In, 0, "ab\\\xff"}, {In, 0, Stx("11A1\r")}, {In, 0, kReply + "\x02\x03"}},
         kReceived + "stray [ab\\x5C\\xFF]\n" + kReceived + "unended [<STX>11A1<CR>]\n" +
             kReplyLine + "\n" + kReceived + "short [<STX><ETX>]\n"},
        {"the next request ends a reply that never finished",
         {{In, 0, Stx("11A12")}, {Out, 0, kEcho}},
         kReceived + "unended [<STX>11A12]\n" + kEchoLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrafficDecoder decoder;
        std::string lines;
        for (const Chunk& chunk : c.chunks) {
            const LinkChunk report{
                chunk.direction, "udp x",    true, DateTime::fromParts(2026, 12, 7, 8, 0, 0),
                chunk.tick,      chunk.bytes};
            for (const std::string& line : decoder.decode(report)) {
                lines += line + "\n";
            }
        }
        EXPECT_EQ(lines, c.lines);
    }
}

// The record cutter drops an unfinished frame beyond the bound.
TEST(RecordCutter, HoldsAnUnfinishedFrameUpToABound) {
    RecordCutter cutter;
    EXPECT_TRUE(cutter.cut(Stx("55XN") + std::string(RecordCutter::kHeldLimit, 'x'), true).empty());
    EXPECT_EQ(cutter.held(), "");
}

} // namespace
} // namespace kelvra
