#include "driver/FrameCodec.h"

#include "driver/ErrorCodes.h"
#include "driver/LeadingNumber.h"

#include <stdexcept>

namespace kelvra {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string twoHexDigits(std::uint32_t value) {
    return {kHexDigits[(value >> 4) & 0xF], kHexDigits[value & 0xF]};
}

std::uint32_t sumOfCodes(std::string_view text) {
    std::uint32_t sum = 0;
    for (char c : text) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

// Positions below are counted from 1, as the frame layout is written.
char at(std::string_view frame, std::size_t position) {
    return frame[position - 1];
}

} // namespace

char AddressCharacter(std::int16_t terminal) {
    if (terminal < 0 || terminal > 207) {
        throw std::out_of_range("terminal number has no address character");
    }
    return static_cast<char>(kAddressCharacterBase + terminal);
}

std::string AppendChecksumAndLength(std::string_view body) {
    std::string frame(body);
    frame += twoHexDigits(sumOfCodes(body) & 0xFF);
    // The length field keeps only the last two hex digits, so a body above 251 characters
    // wraps it.
    frame += twoHexDigits(static_cast<std::uint32_t>(frame.size() + 2) & 0xFF);
    return frame;
}

std::string BuildRequestFrame(std::string_view command, std::int16_t terminal,
                              std::string_view data) {
    const char address = AddressCharacter(terminal);
    std::string body(command);
    body += data;
    std::string frame;
    frame.reserve(body.size() + 8);
    frame += STX;
    frame += address;
    frame += address;
    frame += AppendChecksumAndLength(body);
    frame += ETX;
    return frame;
}

bool CheckLength(std::string_view frame) {
    const std::size_t n = frame.size();
    if (n < 3) {
        return false;
    }
    // Hexadecimal digits up to the first other character; a blank is no digit, so " 8" reads
    // as nothing, that is 0.
    std::size_t length = 0;
    for (char c : frame.substr(n - 3, 2)) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            break;
        }
        length = length * 16 + static_cast<std::size_t>(digit);
    }
    return length + 4 == n;
}

bool CheckChecksum(std::string_view frame) {
    const std::size_t n = frame.size();
    if (n < 8) {
        return false;
    }
    const std::uint32_t sum = sumOfCodes(frame.substr(3, n - 8));
    return frame.substr(n - 5, 2) == twoHexDigits(sum & 0xFF);
}

std::int32_t StatusLetterCode(char status) {
    switch (status) {
    case 'A':
    case 'X':
        return KV_SUCCESS;
    case 'D':
        return KV_ERR_ACCESS_DENIED;
    case 'F':
        return KV_ERR_COMMAND_EXECUTION_FAILED;
    case 'I':
        return KV_ERR_INVALID_COMMAND;
    case 'C':
        return KV_ERR_CHECKSUM;
    case 'E':
        return KV_ERR_END;
    case 'N':
        return KV_ERR_COMMAND_NOT_APPLICABLE;
    case 'K':
        return KV_ERR_KEY_VIOLATION;
    case 'B':
        return KV_ERR_BUSY;
    default:
        return KV_ERR_UKNOWN;
    }
}

std::optional<VerifiedReply> VerifyReply(std::string_view frame) {
    const std::size_t n = frame.size();
    if (n < 3) {
        return std::nullopt;
    }
    if (!CheckLength(frame)) {
        return VerifiedReply{KV_ERR_LENGTH_NOT_MATCH, std::string(frame)};
    }
    if (n < 8) {
        return std::nullopt;
    }
    if (!CheckChecksum(frame)) {
        return VerifiedReply{KV_ERR_CHECKSUM, std::string(frame)};
    }
    if (n < 9) {
        return std::nullopt;
    }
    const std::int32_t code = StatusLetterCode(at(frame, 4));
    // The data field is taken whatever the status letter was.
    if (at(frame, 4) == 'X' && at(frame, 5) == 'N') {
        // A nine-character "XN" frame never gets here: its checksum would have to start
        // with "N", which is no upper-case hex digit.
        return VerifiedReply{code, std::string(frame.substr(5, n - 10))};
    }
    return VerifiedReply{code, std::string(frame.substr(4, n - 9))};
}

} // namespace kelvra
