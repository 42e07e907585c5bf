#include "ModuleConfiguration.h"

#include <arpa/inet.h>
#include <charconv>
#include <string>

namespace kelvra::sim {

namespace {

enum class ValueKind { Number, Name, Address };

// One stored setting: its code, factory value and what it takes.
struct SettingRule {
    std::string_view code;
    std::string_view factory;
    ValueKind kind;
    int min = 0;
    int max = 0;
    // A setting of the serial line: it has the "P" form, and its running value under
    // "line.<code>".
    bool serialLine = false;
};

constexpr SettingRule kSettings[] = {
    {"CT", "0", ValueKind::Number, 0, 32767},   {"DN", "KELVRA-SIM", ValueKind::Name},
    {"ON", "UNNAMED", ValueKind::Name},         {"RM", "0", ValueKind::Number, 0, 2},
    {"TP", "1", ValueKind::Number, 0, 1},       {"IP", "0.0.0.0", ValueKind::Address},
    {"DI", "0.0.0.0", ValueKind::Address},      {"BR", "5", ValueKind::Number, 0, 7, true},
    {"RC", "0", ValueKind::Number, 0, 1},       {"PR", "0", ValueKind::Number, 0, 4, true},
    {"BB", "8", ValueKind::Number, 5, 8, true}, {"FC", "0", ValueKind::Number, 0, 2, true},
};

constexpr int kIoLines = 4;
constexpr std::size_t kNameLimit = 16;

std::optional<int> numberIn(std::string_view text, int min, int max) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

bool isAddress(std::string_view text) {
    // Checked before inet_pton, which would stop at an embedded NUL.
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789.") != std::string_view::npos) {
        return false;
    }
    in_addr parsed{};
    return ::inet_pton(AF_INET, std::string(text).c_str(), &parsed) == 1;
}

// The value as the module stores it, or nothing when the setting cannot take it.
std::optional<std::string> storedForm(const SettingRule& rule, std::string_view text) {
    switch (rule.kind) {
    case ValueKind::Number:
        if (const auto value = numberIn(text, rule.min, rule.max)) {
            return std::to_string(*value);
        }
        return std::nullopt;
    case ValueKind::Name:
        // "/" would split the field of the status reply that carries the name.
        if (text.empty() || text.size() > kNameLimit) {
            return std::nullopt;
        }
        for (const char c : text) {
            if (c < 0x20 || c > 0x7e || c == '/') {
                return std::nullopt;
            }
        }
        return std::string(text);
    case ValueKind::Address:
        if (isAddress(text)) {
            return std::string(text);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

ModuleOutcome accepted(std::string data = {}) {
    return ModuleOutcome{"A" + data, false};
}

std::string lineKey(std::string_view code) {
    return "line." + std::string(code);
}

std::string ioKey(int line) {
    return "IO" + std::to_string(line);
}

// A handler that changes the module: refused "D" until a login.
template <typename Change> ModuleModel::Handler needingLogin(std::string command, Change change) {
    return [command = std::move(command), change](ModuleModel& module, std::string_view argument,
                                                  const ModuleContext&) {
        if (!module.loggedIn()) {
            return ModuleModel::Refusal('D', command);
        }
        return change(module, argument, command);
    };
}

void addSetting(ModuleModel& module, const SettingRule& rule) {
    module.settings()[std::string(rule.code)] = std::string(rule.factory);
    module.addCommand(
        "G" + std::string(rule.code),
        [code = std::string(rule.code)](ModuleModel& m, std::string_view, const ModuleContext&) {
            return accepted(m.settings().at(code));
        });
    auto store = [&rule](bool applyNow) {
        return [&rule, applyNow](ModuleModel& m, std::string_view argument,
                                 const std::string& command) {
            const std::optional<std::string> value = storedForm(rule, argument);
            if (!value) {
                return ModuleModel::Refusal('F', command);
            }
            m.settings()[std::string(rule.code)] = *value;
            if (applyNow) {
                m.settings()[lineKey(rule.code)] = *value;
            }
            return accepted();
        };
    };
    module.addCommand("S" + std::string(rule.code),
                      needingLogin("S" + std::string(rule.code), store(false)));
    if (rule.serialLine) {
        module.settings()[lineKey(rule.code)] = std::string(rule.factory);
        module.addCommand("P" + std::string(rule.code),
                          needingLogin("P" + std::string(rule.code), store(true)));
    }
}

ModuleOutcome login(ModuleModel& module, std::string_view password, const ModuleContext&) {
    const bool right = password == module.settings().at("PW");
    module.setLoggedIn(right);
    return right ? accepted() : ModuleModel::Refusal('D', "L");
}

ModuleOutcome restart(ModuleModel& module, std::string_view, const std::string&) {
    for (const SettingRule& rule : kSettings) {
        if (rule.serialLine) {
            module.settings()[lineKey(rule.code)] = module.settings().at(std::string(rule.code));
        }
    }
    module.setLoggedIn(false);
    return accepted();
}

// "A" old "/" password "/" new: the password may itself hold a "/", the addresses cannot.
std::optional<ModuleOutcome> assign(ModuleModel& module, std::string_view argument) {
    const std::size_t first = argument.find('/');
    const std::size_t last = argument.rfind('/');
    if (first == std::string_view::npos || first == last) {
        return std::nullopt; // no module can tell it is meant
    }
    if (argument.substr(0, first) != module.settings().at("IP")) {
        return std::nullopt; // meant for another module
    }
    if (argument.substr(first + 1, last - first - 1) != module.settings().at("PW")) {
        return ModuleModel::Refusal('D', "A");
    }
    const std::string_view newAddress = argument.substr(last + 1);
    if (!isAddress(newAddress)) {
        return ModuleModel::Refusal('F', "A");
    }
    module.settings()["IP"] = std::string(newAddress);
    return accepted(std::string(newAddress));
}

ModuleOutcome readIo(ModuleModel& module, std::string_view argument, const ModuleContext&) {
    const auto line = numberIn(argument, 1, kIoLines);
    if (!line) {
        return ModuleModel::Refusal('F', "PG");
    }
    return accepted(module.settings().at(ioKey(*line)));
}

// The line number and the state arrive run together: the state is the last digit.
ModuleOutcome writeIo(ModuleModel& module, std::string_view argument, const std::string& command) {
    if (argument.size() < 2 || (argument.back() != '0' && argument.back() != '1')) {
        return ModuleModel::Refusal('F', command);
    }
    const auto line = numberIn(argument.substr(0, argument.size() - 1), 1, kIoLines);
    if (!line) {
        return ModuleModel::Refusal('F', command);
    }
    module.settings()[ioKey(*line)] = std::string(1, argument.back());
    return accepted();
}

} // namespace

void AddConfigurationCommands(ModuleModel& module) {
    for (const SettingRule& rule : kSettings) {
        addSetting(module, rule);
    }
    for (int line = 1; line <= kIoLines; ++line) {
        module.settings()[ioKey(line)] = "0";
    }
    module.addCommand("V", [](ModuleModel& m, std::string_view, const ModuleContext&) {
        return accepted(m.settings().at("VER"));
    });
    module.addCommand("L", login);
    module.addCommand("I", needingLogin("I", restart));
    module.addCommand("A", [](ModuleModel& m, std::string_view argument, const ModuleContext&) {
        return assign(m, argument).value_or(ModuleOutcome{});
    });
    module.addCommand("PG", readIo);
    module.addCommand("PS", needingLogin("PS", writeIo));
}

} // namespace kelvra::sim
