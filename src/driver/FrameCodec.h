#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra {

inline constexpr char STX = '\x02';
inline constexpr char ETX = '\x03';
inline constexpr char CR = '\x0D';

// A terminal frame, both directions:
//   STX, address, address, body, checksum (2 hex), length (2 hex), ETX
// The body of a request is command + data; that of a reply is the status letter + data, or
// "XN" + data for a pushed record. The checksum is the low byte of the sum of the body's
// character codes; the length counts body, checksum and the length field itself, modulo 256.

// The address character of a terminal: code 48 + number. Numbers outside 0 to 207 have none
// and throw std::out_of_range.
inline constexpr int kAddressCharacterBase = 48;
char AddressCharacter(std::int16_t terminal);
// The terminal number an address character names: its code less 48, so a byte below '0' gives
// a negative number.
constexpr std::int16_t TerminalOfAddress(char address) {
    return static_cast<std::int16_t>(static_cast<unsigned char>(address) - kAddressCharacterBase);
}

// body + checksum + length field.
std::string AppendChecksumAndLength(std::string_view body);

// STX + address twice + AppendChecksumAndLength(command + data) + ETX.
std::string BuildRequestFrame(std::string_view command, std::int16_t terminal,
                              std::string_view data);

// The length field of a received frame, read as hexadecimal up to its first non-hex
// character, equals the frame's length minus 4.
bool CheckLength(std::string_view frame);

// The checksum field of a received frame matches its body exactly, upper-case digits only.
bool CheckChecksum(std::string_view frame);

// What verifying a reply leaves behind: the outcome code and the payload (the data field, or
// the whole frame when a check failed).
struct VerifiedReply {
    std::int32_t errCode = 0;
    std::string data;

    bool operator==(const VerifiedReply&) const = default;
};

// The error code that a reply's status letter stands for.
std::int32_t StatusLetterCode(char status);

// Verifies a reply: length, then checksum, then status letter and data field. A frame too
// short to be taken apart into those fields gives no result at all.
std::optional<VerifiedReply> VerifyReply(std::string_view frame);

} // namespace kelvra
