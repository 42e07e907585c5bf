// Frames byte for byte, with their decoded meaning beside the bytes.
#include "driver/FrameCodec.h"

#include "FakeLinks.h"
#include "driver/ErrorCodes.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace kelvra {
namespace {

std::string Frame(const std::string& inner) {
    return "\x02" + inner + "\x03";
}

// The length field has two hexadecimal digits and wraps above 251 characters; the checksum is
// the low byte of the sum in upper case with a leading zero; the address is 48 + the number.
TEST(FrameCodec, LengthChecksumAndAddressFields) {
    struct Row {
        std::string body;
        const char* checksumAndLength;
    };
    for (const Row& row :
         {Row{"", "0004"}, Row{std::string(11, 'a'), "2B0F"}, Row{std::string(12, 'a'), "8C10"},
          Row{std::string(251, 'a'), "1BFF"}, Row{std::string(252, 'a'), "7C00"},
          Row{std::string(300, 'a'), "AC30"}, Row{"\x01", "0105"}, Row{"\xFF\xFF\x0C", "0A07"}}) {
        SCOPED_TRACE(row.body.size());
        EXPECT_EQ(AppendChecksumAndLength(row.body), row.body + row.checksumAndLength);
    }
    for (const auto& [terminal, address] : {std::pair<std::int16_t, char>{0, '0'},
                                            {10, ':'},
                                            {17, 'A'},
                                            {207, static_cast<char>(255)}}) {
        EXPECT_EQ(AddressCharacter(terminal), address);
    }
    EXPECT_THROW(AddressCharacter(-1), std::out_of_range);
    EXPECT_THROW(AddressCharacter(208), std::out_of_range);
}

// A verified frame gives its data field whatever its status letter says; a frame too short to
// be taken apart gives nothing.
TEST(FrameCodec, VerifyingRepliesOfEveryShape) {
    using test::TerminalReply;
    const std::string good = Frame("11A123D708");
    struct Row {
        std::string frame;
        std::int32_t code;
        std::string data;
    };
    const Row verified[] = {
        {TerminalReply(1, "A"), KV_SUCCESS, ""},
        {TerminalReply(3, "Xxyz"), KV_SUCCESS, "xyz"},
        {TerminalReply(3, "Dxyz"), KV_ERR_ACCESS_DENIED, "xyz"},
        {TerminalReply(3, "Fxyz"), KV_ERR_COMMAND_EXECUTION_FAILED, "xyz"},
        {TerminalReply(3, "Ixyz"), KV_ERR_INVALID_COMMAND, "xyz"},
        {TerminalReply(3, "Cxyz"), KV_ERR_CHECKSUM, "xyz"},
        {TerminalReply(3, "Nxyz"), KV_ERR_COMMAND_NOT_APPLICABLE, "xyz"},
        {TerminalReply(3, "Kxyz"), KV_ERR_KEY_VIOLATION, "xyz"},
        {TerminalReply(3, "Bxyz"), KV_ERR_BUSY, "xyz"},
        {TerminalReply(3, "axyz"), KV_ERR_UKNOWN, "xyz"},
        {TerminalReply(5, "XN1\t2\tC0042"), KV_SUCCESS, "1\t2\tC0042"},
        {TerminalReply(1, "Exyz"), KV_ERR_END, "xyz"},
        {Frame("11A12345400a"), KV_SUCCESS, "12345"}, // lower-case length digits are read
        {TerminalReply(1, std::string("A\0\x03z", 4)), KV_SUCCESS, std::string("\0\x03z", 3)},
    };
    for (const Row& row : verified) {
        SCOPED_TRACE(row.frame);
        EXPECT_EQ(VerifyReply(row.frame), (VerifiedReply{row.code, row.data}));
    }
    // A failed check keeps the whole frame.
    const std::pair<std::string, std::int32_t> failed[] = {
        {Frame("11A123d708"), KV_ERR_CHECKSUM},         // lower-case checksum
        {good + "\r", KV_ERR_LENGTH_NOT_MATCH},         // carriage return after ETX
        {good + good, KV_ERR_LENGTH_NOT_MATCH},         // two replies
        {Frame("11A123D7 8"), KV_ERR_LENGTH_NOT_MATCH}, // a blank reads as nothing
        {TerminalReply(1, "A" + std::string(300, 'r')), KV_ERR_LENGTH_NOT_MATCH},
        {Frame("11XN805"), KV_ERR_CHECKSUM}, // nine characters: the checksum would start with N
    };
    for (const auto& [frame, code] : failed) {
        SCOPED_TRACE(frame);
        EXPECT_EQ(VerifyReply(frame), (VerifiedReply{code, frame}));
    }
    for (const char* text : {"", "\x02\x03", "x00y"}) {
        EXPECT_EQ(VerifyReply(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace kelvra
