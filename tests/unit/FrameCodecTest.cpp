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

std::string bytes(std::initializer_list<int> codes) {
    std::string text;
    for (int code : codes) {
        text.push_back(static_cast<char>(code));
    }
    return text;
}

TEST(FrameCodec, EchoRequestToTerminalOneIsTheWorkedExample) {
    // STX '1' '1' | E 1 2 3 | checksum DB (69+49+50+51 = 219) | length 08 | ETX
    EXPECT_EQ(BuildRequestFrame("E", 1, "123"),
              bytes({0x02, 0x31, 0x31, 0x45, 0x31, 0x32, 0x33, 0x44, 0x42, 0x30, 0x38, 0x03}));
    // The same echo without data: E, checksum 45, length 05.
    EXPECT_EQ(BuildRequestFrame("E", 1, ""),
              bytes({0x02, 0x31, 0x31, 0x45, 0x34, 0x35, 0x30, 0x35, 0x03}));
}

TEST(FrameCodec, AcceptedReplyOfTheWorkedExampleYieldsItsData) {
    // STX '1' '1' | status A, data 123 | checksum D7 (65+49+50+51 = 215) | length 08 | ETX
    const std::string reply =
        bytes({0x02, 0x31, 0x31, 0x41, 0x31, 0x32, 0x33, 0x44, 0x37, 0x30, 0x38, 0x03});
    EXPECT_TRUE(CheckLength(reply));
    EXPECT_TRUE(CheckChecksum(reply));
    EXPECT_EQ(VerifyReply(reply), (VerifiedReply{KV_SUCCESS, "123"}));
    // The tests' own reply frames agree with it.
    EXPECT_EQ(test::TerminalReply(1, "A123"), reply);
}

TEST(FrameCodec, LengthFieldHasTwoHexDigitsAndWrapsAbove251Characters) {
    struct Row {
        std::size_t bodyLength;
        const char* lengthField;
    };
    for (const Row& row : {Row{0, "04"}, Row{11, "0F"}, Row{12, "10"}, Row{251, "FF"},
                           Row{252, "00"}, Row{300, "30"}}) {
        SCOPED_TRACE(row.bodyLength);
        const std::string framed = AppendChecksumAndLength(std::string(row.bodyLength, 'a'));
        EXPECT_EQ(framed.substr(framed.size() - 2), row.lengthField);
    }
}

TEST(FrameCodec, ChecksumIsTheLowByteInUpperCaseWithLeadingZero) {
    EXPECT_EQ(AppendChecksumAndLength("\x01").substr(1, 2), "01");
    // 0xFF + 0xFF + 0x0C = 0x20A: only the low byte 0A is kept.
    EXPECT_EQ(AppendChecksumAndLength("\xFF\xFF\x0C").substr(3, 2), "0A");
}

TEST(FrameCodec, AddressCharacterIs48PlusTheTerminalNumber) {
    EXPECT_EQ(AddressCharacter(0), '0');
    EXPECT_EQ(AddressCharacter(1), '1');
    EXPECT_EQ(AddressCharacter(10), ':');
    EXPECT_EQ(AddressCharacter(17), 'A');
    EXPECT_EQ(AddressCharacter(207), static_cast<char>(255));
    EXPECT_THROW(AddressCharacter(-1), std::out_of_range);
    EXPECT_THROW(AddressCharacter(208), std::out_of_range);
}

TEST(FrameCodec, StatusLettersMapToTheirCodes) {
    const std::pair<char, std::int32_t> table[] = {
        {'A', KV_SUCCESS},
        {'X', KV_SUCCESS},
        {'D', KV_ERR_ACCESS_DENIED},
        {'F', KV_ERR_COMMAND_EXECUTION_FAILED},
        {'I', KV_ERR_INVALID_COMMAND},
        {'C', KV_ERR_CHECKSUM},
        {'E', KV_ERR_END},
        {'N', KV_ERR_COMMAND_NOT_APPLICABLE},
        {'K', KV_ERR_KEY_VIOLATION},
        {'B', KV_ERR_BUSY},
        {'a', KV_ERR_UKNOWN},
    };
    for (const auto& [letter, code] : table) {
        SCOPED_TRACE(letter);
        // The data field is taken whatever the status says.
        EXPECT_EQ(VerifyReply(test::TerminalReply(3, std::string(1, letter) + "xyz")),
                  (VerifiedReply{code, "xyz"}));
    }
}

// A verified frame gives its data field whatever its status; a frame too short to be taken
// apart gives nothing.
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
