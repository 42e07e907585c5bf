#pragma once

#include "platform/SettingsStore.h"

#include <string>

namespace kelvra {

// The machine-wide settings helpers over the machine-wide store, which keeps a value under
// the key path "Software", application, section (joined by backslashes) with the given name. Both
// create the key when it is missing, reading too, and both swallow every failure: a write that
// cannot be made does not happen, a read that cannot be made gives its default.
class Reg {
public:
    // Longest stored text a read accepts, its terminating NUL included; anything longer
    // reads as missing.
    static constexpr std::size_t kReadBufferSize = 1024;

    explicit Reg(SettingsStore& machineWide) : m_store(machineWide) {}

    void RegWriteString(const std::string& application, const std::string& section,
                        const std::string& name, const std::string& value);
    std::string RegReadString(const std::string& application, const std::string& section,
                              const std::string& name, const std::string& fallback);
    std::string RegReadString(const std::string& application, const std::string& section,
                              const std::string& name, long fallback) {
        return RegReadString(application, section, name, std::to_string(fallback));
    }
    // An on/off option, stored as "1" or "0": on only when it reads 1. A missing value, or a
    // text that is no number (an empty value, say), reads as off.
    bool RegReadOption(const std::string& application, const std::string& section,
                       const std::string& name);

private:
    SettingsStore& m_store;
};

} // namespace kelvra
