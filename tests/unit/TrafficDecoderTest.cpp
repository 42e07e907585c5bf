// What the traffic trace makes of hand-written chunks: one row a case, each on a new decoder.
#include "driver/TrafficDecoder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kelvra {
namespace {

constexpr LinkDirection Out = LinkDirection::Sent;
constexpr LinkDirection In = LinkDirection::Received;

struct Chunk {
    LinkDirection direction;
    std::uint32_t tick;
    std::string bytes;
};

struct Case {
    const char* what;
    std::vector<Chunk> chunks;
    std::string lines; // every line the chunks gave, in order, "\n" after each
};

// The echo of the worked example: E with 123 to terminal 1, and its answer.
const std::string kEcho = "\x02"
                          "11E123DB08\x03";
const std::string kReply = "\x02"
                           "11A123D708\x03";
const std::string kRecord = "\x02"
                            "11XN7\t07-12-2026\t08:01:12\tC204611876625\x03";
const std::string kEchoLine = "08:00:00 > udp 127.0.0.1:1001 #1 E [123] checksum ok, length ok\n";
const std::string kRecordLine = "08:00:00 < udp 127.0.0.1:1001 #1 XN "
                                "[7<TAB>07-12-2026<TAB>08:01:12<TAB>C20461187] checksum ok, "
                                "length ok";

TEST(TrafficDecoder, ShowsEachFrameWithItsFieldsVerdictsAndReplyTime) {
    const Case cases[] = {
        {"good request and reply",
         {{Out, 1000, kEcho}, {In, 1050, kReply}},
         kEchoLine + "08:00:00 < udp 127.0.0.1:1001 #1 A [123] checksum ok, length ok, reply in "
                     "50 ms\n"},
        {"checksum in lower case",
         {{In, 0,
           "\x02"
           "11A123d708\x03"}},
         "08:00:00 < udp 127.0.0.1:1001 #1 A [123] checksum BAD (d7, expected D7), length ok\n"},
        {"length field off by one, status E",
         {{In, 0,
           "\x02"
           "11ExyzB009\x03"}},
         "08:00:00 < udp 127.0.0.1:1001 #1 E (KV_ERR_END) [xyz] checksum ok, length BAD (09, "
         "expected 08)\n"},
        {"reply split over two chunks",
         {{Out, 1000, kEcho}, {In, 1010, kReply.substr(0, 5)}, {In, 1060, kReply.substr(5)}},
         kEchoLine + "08:00:00 < udp 127.0.0.1:1001 #1 A [123] checksum ok, length ok, reply in "
                     "60 ms\n"},
        {"pushed record and reply in one chunk",
         {{Out, 1000, kEcho}, {In, 1020, kRecord + kReply}},
         kEchoLine + kRecordLine + ", pushed record\n" +
             "08:00:00 < udp 127.0.0.1:1001 #1 A [123] checksum ok, length ok, reply in 20 ms\n"},
        {"the reply to a resend request is an XN frame",
         {{Out, 1000,
           "\x02"
           "11XRAA06\x03"},
          {In, 1030, kRecord}},
         "08:00:00 > udp 127.0.0.1:1001 #1 XR [] checksum ok, length ok\n" + kRecordLine +
             ", reply in 30 ms\n"},
        {"noise before STX, a frame cut short by a newer one and an empty one",
         {{In, 0, "ab\\\xff"},
          {In, 0,
           "\x02"
           "11A1\r"},
          {In, 0, kReply + "\x02\x03"}},
         "08:00:00 < udp 127.0.0.1:1001 stray [ab\\x5C\\xFF]\n"
         "08:00:00 < udp 127.0.0.1:1001 unended [<STX>11A1<CR>]\n"
         "08:00:00 < udp 127.0.0.1:1001 #1 A [123] checksum ok, length ok\n"
         "08:00:00 < udp 127.0.0.1:1001 short [<STX><ETX>]\n"},
        {"the next request ends a reply that never finished",
         {{In, 0,
           "\x02"
           "11A12"},
          {Out, 0, kEcho}},
         "08:00:00 < udp 127.0.0.1:1001 unended [<STX>11A12]\n" + kEchoLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TrafficDecoder decoder;
        std::string lines;
        for (const Chunk& chunk : c.chunks) {
            const LinkChunk report{chunk.direction,
                                   "udp 127.0.0.1:1001",
                                   true,
                                   DateTime::fromParts(2026, 12, 7, 8, 0, 0),
                                   chunk.tick,
                                   chunk.bytes};
            for (const std::string& line : decoder.decode(report)) {
                lines += line + "\n";
            }
        }
        EXPECT_EQ(lines, c.lines);
    }
}

} // namespace
} // namespace kelvra
