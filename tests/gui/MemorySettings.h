#pragma once

#include "platform/PlatformError.h"
#include "platform/SettingsStore.h"

#include <map>
#include <string>
#include <tuple>

namespace kelvra::test {

// A settings store in memory, shared by the windows of one test as a real store is shared by
// the runs of the program. It can be told to fail.
class MemorySettings : public SettingsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::string read(const std::string& title, const std::string& section, const std::string& key,
                     const std::string& fallback) override {
        if (failing) {
            throw PlatformError(5, "settings unreadable");
        }
        const auto found = values.find({title, section, key});
        return found == values.end() ? fallback : found->second;
    }
    void write(const std::string& title, const std::string& section, const std::string& key,
               const std::string& value) override {
        if (failing) {
            throw PlatformError(5, "settings unwritable");
        }
        ++writes;
        values[{title, section, key}] = value;
    }

    std::map<Key, std::string> values;
    int writes = 0;
    bool failing = false;
};

} // namespace kelvra::test
