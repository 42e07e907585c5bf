#pragma once

namespace kelvra {

// The terminal address the console shows before any has been saved. A private-network
// address: the program never sends anything until the operator connects.
inline constexpr const char* kDefaultTerminalAddress = "192.168.1.201";

enum class SettingScope { PerUser, MachineWide };

// Every setting the program keeps between runs, with its scope and default.
struct SettingKey {
    SettingScope scope;
    const char* section;
    const char* name;
    const char* fallback;
};

inline constexpr SettingKey kLastTerminalAddress{SettingScope::PerUser, "Connection", "IP",
                                                 kDefaultTerminalAddress};
inline constexpr SettingKey kAutoLogin{SettingScope::MachineWide, "Properties", "Login", "0"};
inline constexpr SettingKey kAutoLogout{SettingScope::MachineWide, "Properties", "Logout", "0"};
// "1": the driver takes each reply the moment it is complete instead of at the end of its
// 50 ms pass (ucKelvra::SetWakeOnReply).
inline constexpr SettingKey kWakeOnReply{SettingScope::MachineWide, "Properties", "WakeOnReply",
                                         "0"};

} // namespace kelvra
