#pragma once

#include <cstdint>
#include <string>

namespace kelvra {

// Outcomes of terminal operations, as left in ucKelvra::ErrCode.
enum : std::int32_t {
    KV_SUCCESS = 0,
    KV_ERR_TIMEOUT = -101,
    KV_ERR_ACCESS_DENIED = -102,
    KV_ERR_COMMAND_EXECUTION_FAILED = -103,
    KV_ERR_INVALID_COMMAND = -104,
    KV_ERR_CHECKSUM = -105,
    KV_ERR_END = -106,
    KV_ERR_COMMAND_NOT_APPLICABLE = -107,
    KV_ERR_KEY_VIOLATION = -108,
    KV_ERR_BUSY = -109,
    KV_ERR_LENGTH_NOT_MATCH = -110,
    KV_ERR_UKNOWN = -111,
    KV_ERR_LENGTH_NOT_ALLOWED = -112,
    KV_ERR_NETWORK_NOT_INSTALLED = -113,
    KV_ERR_CONNECTION_NOT_ESTABLISHED = -114,
    KV_ERR_WINSOCK_ERROR = -115,
    KV_ERR_VEXA5_ECHO_NOT_REPLY = -116,
    KV_ERR_TCP_CONNECTION_FAILED = -117,
};

// The symbolic name of any code; "KV_ERR_UKNOWN" for codes outside the table.
std::string ErrorMessageText(std::int32_t code);

// The older of the two name functions. It has no name for success nor for a silent interface
// module, and says "KV_ERR_UNKNOWN_MESSAGE" for those and for every code outside the table.
// Callers show one or the other, so both are kept as they are.
std::string ErrMessageText(std::int32_t code);

} // namespace kelvra
