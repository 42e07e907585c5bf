#pragma once

#include <string_view>

namespace kelvra {

// One configuration command of the Ethernet interface module. Its request is a single datagram:
// the letter, the two-letter code (empty for the one-letter commands) and the argument text,
// with no separator, length, checksum or terminator.
struct ModuleCommand {
    char letter;
    std::string_view code;
    // The exit command is the one the module does not answer.
    bool awaitsReply = true;
};

// The module's configuration commands, in the order CVexa5 offers them.
namespace module_command {

inline constexpr ModuleCommand Echo{'X', ""};
inline constexpr ModuleCommand Assign{'A', ""};
inline constexpr ModuleCommand FirmwareVersion{'V', ""};
inline constexpr ModuleCommand Initialize{'I', ""};
inline constexpr ModuleCommand Exit{'E', "", false};
inline constexpr ModuleCommand Login{'L', ""};
inline constexpr ModuleCommand SetConnectionTimeout{'S', "CT"};
inline constexpr ModuleCommand GetConnectionTimeout{'G', "CT"};
inline constexpr ModuleCommand GetDeviceName{'G', "DN"};
inline constexpr ModuleCommand SetDeviceName{'S', "DN"};
inline constexpr ModuleCommand GetOwnerName{'G', "ON"};
inline constexpr ModuleCommand SetOwnerName{'S', "ON"};
inline constexpr ModuleCommand SetRoutingMode{'S', "RM"};
inline constexpr ModuleCommand GetRoutingMode{'G', "RM"};
inline constexpr ModuleCommand SetProtocol{'S', "TP"};
inline constexpr ModuleCommand GetProtocol{'G', "TP"};
inline constexpr ModuleCommand SetIpAddress{'S', "IP"};
inline constexpr ModuleCommand GetIpAddress{'G', "IP"};
inline constexpr ModuleCommand SetDestinationIp{'S', "DI"};
inline constexpr ModuleCommand GetDestinationIp{'G', "DI"};
inline constexpr ModuleCommand SetBaudrate{'S', "BR"};
inline constexpr ModuleCommand GetBaudrate{'G', "BR"};
inline constexpr ModuleCommand SetOnTheFly{'S', "RC"};
inline constexpr ModuleCommand GetOnTheFly{'G', "RC"};
inline constexpr ModuleCommand PutBaudrate{'P', "BR"};
inline constexpr ModuleCommand SetParity{'S', "PR"};
inline constexpr ModuleCommand GetParity{'G', "PR"};
inline constexpr ModuleCommand PutParity{'P', "PR"};
inline constexpr ModuleCommand SetBits{'S', "BB"};
inline constexpr ModuleCommand GetBits{'G', "BB"};
inline constexpr ModuleCommand PutBits{'P', "BB"};
inline constexpr ModuleCommand SetFlowControl{'S', "FC"};
inline constexpr ModuleCommand GetFlowControl{'G', "FC"};
inline constexpr ModuleCommand PutFlowControl{'P', "FC"};
// The I/O lines are read and written through the "P" letter with a one-letter code.
inline constexpr ModuleCommand GetIoStatus{'P', "G"};
inline constexpr ModuleCommand SetIoStatus{'P', "S"};

} // namespace module_command
} // namespace kelvra
