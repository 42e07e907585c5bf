#include "cli/CliErrors.h"

#include "driver/ErrorCodes.h"
#include "module_client/ModuleReply.h"

#include <array>
#include <utility>

namespace kelvra::cli {

namespace {

// The module client keeps its codes as numbers only; these are their names.
constexpr std::array<std::pair<std::int32_t, const char*>, 7> kModuleCodeNames{{
    {VX_ERR_NO_REPLY, "VX_ERR_NO_REPLY"},
    {VX_ERR_STATUS_C, "VX_ERR_STATUS_C"},
    {VX_ERR_STATUS_F, "VX_ERR_STATUS_F"},
    {VX_ERR_STATUS_D, "VX_ERR_STATUS_D"},
    {VX_ERR_STATUS_OTHER, "VX_ERR_STATUS_OTHER"},
    {VX_ERR_SOCKET_TYPE, "VX_ERR_SOCKET_TYPE"},
    {VX_ERR_SEND_FAILED, "VX_ERR_SEND_FAILED"},
}};

std::string WithContext(const std::string& line, const std::string& context) {
    return context.empty() ? line : context + ": " + line;
}

} // namespace

TerminalFailure::TerminalFailure(std::int32_t code, const std::string& context)
    : std::runtime_error(WithContext(TerminalErrorLine(code), context)), m_code(code) {}

ModuleFailure::ModuleFailure(std::int32_t code, const std::string& context)
    : std::runtime_error(WithContext(ModuleErrorLine(code), context)), m_code(code) {}

std::string TerminalErrorLine(std::int32_t code) {
    return "Error Code: " + std::to_string(code) + ", " + ErrorMessageText(code);
}

std::string ModuleErrorLine(std::int32_t code) {
    const char* name = "VX_ERR_UNKNOWN";
    for (const auto& [number, text] : kModuleCodeNames) {
        if (number == code) {
            name = text;
        }
    }
    return "Error Code: " + std::to_string(code) + ", " + name;
}

int ExitStatusForTerminal(std::int32_t code) {
    if (code <= KV_ERR_TIMEOUT && code >= KV_ERR_TCP_CONNECTION_FAILED) {
        return 10 + static_cast<int>(-code - 100);
    }
    return kExitOtherCode;
}

int ExitStatusForModule(std::int32_t code) {
    if (code <= VX_ERR_NO_REPLY && code >= VX_ERR_SEND_FAILED) {
        return 30 - static_cast<int>(code);
    }
    return kExitOtherCode;
}

} // namespace kelvra::cli
