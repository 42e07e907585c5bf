#pragma once

#include <string>

namespace kelvra {

// A store of text values keyed by application title, section and key: the per-user store and
// the machine-wide store each implement it. Failures are reported as PlatformError.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string read(const std::string& title, const std::string& section,
                             const std::string& key, const std::string& fallback) = 0;
    virtual void write(const std::string& title, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
    // Makes sure the key (title, section) exists, creating it without values when it does not,
    // as the machine-wide readers do.
    virtual void createKey(const std::string& title, const std::string& section) = 0;
};

} // namespace kelvra
