#pragma once

#include "platform/PlatformError.h"
#include "platform/SettingsStore.h"

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

namespace kelvra::test {

// A settings store in memory, shared by the windows of one test as a real store is shared by
// the runs of the program. It can be told to fail.
class MemorySettings : public SettingsStore {
public:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::string read(const std::string& title, const std::string& section, const std::string& key,
                     const std::string& fallback) override {
        failIfTold();
        const auto found = values.find({title, section, key});
        return found == values.end() ? fallback : found->second;
    }
    void write(const std::string& title, const std::string& section, const std::string& key,
               const std::string& value) override {
        failIfTold();
        ++writes;
        values[{title, section, key}] = value;
        keys.insert({title, section});
    }
    void createKey(const std::string& title, const std::string& section) override {
        failIfTold();
        keys.insert({title, section});
    }
    void failIfTold() const {
        if (failing) {
            throw PlatformError(5, "access denied");
        }
    }

    std::map<Key, std::string> values;
    std::set<std::pair<std::string, std::string>> keys; // (title, section)
    int writes = 0;
    bool failing = false;
};

} // namespace kelvra::test
