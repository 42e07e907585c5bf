#include "driver/ErrorCodes.h"

#include <array>

namespace kelvra {

namespace {

struct ErrorName {
    std::int32_t code;
    const char* name;
    bool knownToErrMessage;
};

constexpr std::array kErrorNames{
    ErrorName{KV_SUCCESS, "KV_SUCCESS", false},
    ErrorName{KV_ERR_TIMEOUT, "KV_ERR_TIMEOUT", true},
    ErrorName{KV_ERR_ACCESS_DENIED, "KV_ERR_ACCESS_DENIED", true},
    ErrorName{KV_ERR_COMMAND_EXECUTION_FAILED, "KV_ERR_COMMAND_EXECUTION_FAILED", true},
    ErrorName{KV_ERR_INVALID_COMMAND, "KV_ERR_INVALID_COMMAND", true},
    ErrorName{KV_ERR_CHECKSUM, "KV_ERR_CHECKSUM", true},
    ErrorName{KV_ERR_END, "KV_ERR_END", true},
    ErrorName{KV_ERR_COMMAND_NOT_APPLICABLE, "KV_ERR_COMMAND_NOT_APPLICABLE", true},
    ErrorName{KV_ERR_KEY_VIOLATION, "KV_ERR_KEY_VIOLATION", true},
    ErrorName{KV_ERR_BUSY, "KV_ERR_BUSY", true},
    ErrorName{KV_ERR_LENGTH_NOT_MATCH, "KV_ERR_LENGTH_NOT_MATCH", true},
    ErrorName{KV_ERR_UKNOWN, "KV_ERR_UKNOWN", true},
    ErrorName{KV_ERR_LENGTH_NOT_ALLOWED, "KV_ERR_LENGTH_NOT_ALLOWED", true},
    ErrorName{KV_ERR_NETWORK_NOT_INSTALLED, "KV_ERR_NETWORK_NOT_INSTALLED", true},
    ErrorName{KV_ERR_CONNECTION_NOT_ESTABLISHED, "KV_ERR_CONNECTION_NOT_ESTABLISHED", true},
    ErrorName{KV_ERR_WINSOCK_ERROR, "KV_ERR_WINSOCK_ERROR", true},
    ErrorName{KV_ERR_VEXA5_ECHO_NOT_REPLY, "KV_ERR_VEXA5_ECHO_NOT_REPLY", false},
    ErrorName{KV_ERR_TCP_CONNECTION_FAILED, "KV_ERR_TCP_CONNECTION_FAILED", true},
};

const ErrorName* find(std::int32_t code) {
    for (const ErrorName& entry : kErrorNames) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

std::string ErrorMessageText(std::int32_t code) {
    const ErrorName* entry = find(code);
    return entry != nullptr ? entry->name : "KV_ERR_UKNOWN";
}

std::string ErrMessageText(std::int32_t code) {
    const ErrorName* entry = find(code);
    return entry != nullptr && entry->knownToErrMessage ? entry->name : "KV_ERR_UNKNOWN_MESSAGE";
}

} // namespace kelvra
