// The catalogue of items a simulated terminal describes and holds.
#include "TerminalModel.h"
#include "TerminalText.h"

#include <stdexcept>

namespace kelvra::sim {

void TerminalModel::buildCatalogue() {
    auto item = [this](std::string name, std::string type, int size, int flags,
                       std::string definition, std::string help, std::string selection,
                       std::vector<std::string> values) {
        Item entry;
        entry.name = std::move(name);
        entry.type = std::move(type);
        entry.size = size;
        entry.flags = flags;
        entry.definition = std::move(definition);
        entry.help = std::move(help);
        entry.selection = std::move(selection);
        entry.values = values;
        entry.defaults = std::move(values);
        m_items.push_back(std::move(entry));
        return m_items.size() - 1;
    };
    constexpr int W = kFlagWritable, L = kFlagWritableAfterLogin, U = kFlagNeedsUpdate;
    item("TIME", "TIME", 1, W, "Time", "Terminal clock (HH:MM:SS)", "", {"00:00:00"});
    item("DATE", "DATE", 1, W, "Date", "Terminal date (DD-MM-YYYY)", "", {"01-01-2000"});
    item("MACHNO", "VAL", 1, L | U, "Machine Number", "Number of this terminal", "",
         {std::to_string(m_config.number)});
    item("MACHNAME", "STR", 1, L, "Machine Name", "Name shown on the display", "",
         {m_config.machineName});
    item("DATEFMT", "VAL", 1, L | U, "Date Format", "How the display writes dates",
         "0 MM/DD/YYYY;1 DD-MM-YYYY;2 YYYY-MM-DD", {"1"});
    item("LOGINPWD", "STR", 1, L, "Login Password", "Password of the login command", "",
         {m_config.password});
    item("LANGUAGE", "VAL", 1, W | U, "Language", "Language of the display",
         "0 English;1 Deutsch;2 Espanol", {"0"});
    item("BELLVOL", "VAL", 1, L, "Bell Volume", "Loudness of the bell",
         "0 Off;1 Low;2 Medium;3 High", {"2"});
    item("DISPLAYMSG", "STR", 2, W, "Display Message", "Idle text, one member per line", "",
         {"WELCOME", "PLEASE PUNCH"});
    item("RELAYTIME", "VAL", 2, L | U, "Relay Time (s)", "Member 0 bell relay, member 1 lock relay",
         "", {"3", "5"});
    item("FIRMWARE", "STR", 1, 0, "Firmware", "Firmware version (read-only)", "",
         {"KELVRA-SIM 1.0"});
    const std::size_t table =
        item("EMPLOYEES", "TAB", 5, L | U, "Employees", "Employees allowed to punch", "", {});
    Item& employees = m_items[table];
    employees.values.clear();
    employees.defaults.clear();
    employees.fields = {
        {"VAL", "Employee No.", "Unique number of the employee", ""},
        {"STR", "Name", "Name shown when punching", ""},
        {"VAL", "Shift", "Shift of the employee", "0 Day;1 Night;2 Weekend"},
        {"DATE", "Valid Until", "Last day the card is accepted", ""},
        {"TIME", "Start Time", "Start of the shift", ""},
    };
    employees.rows = {
        {1, {"1", "ADA", "0", "31-12-2027", "08:00:00"}},
        {2, {"2", "BOB", "1", "30-06-2026", "22:00:00"}},
    };
    employees.nextIndex = 3;
}

void TerminalModel::addGeneratedItems() {
    if (m_config.items < kBuiltInItems || m_config.items > kMostItems) {
        throw std::invalid_argument("a catalogue of " + std::to_string(m_config.items) +
                                    " items: it holds " + std::to_string(kBuiltInItems) + " to " +
                                    std::to_string(kMostItems));
    }
    for (int reference = kBuiltInItems; reference < m_config.items; ++reference) {
        const std::string number = (reference < 10 ? "0" : "") + std::to_string(reference);
        Item entry;
        entry.name = "ITEM" + number;
        entry.definition = "Generated Item " + number;
        entry.help = "One of the items of a large catalogue";
        switch (reference % 4) {
        case 0:
            entry.type = "VAL";
            entry.flags = kFlagWritable;
            entry.values = {std::to_string(reference)};
            break;
        case 1:
            entry.type = "VAL";
            entry.flags = kFlagWritableAfterLogin;
            entry.selection = "0 Off;1 On";
            entry.values = {std::to_string(reference % 2)};
            break;
        case 2:
            entry.type = "STR";
            entry.flags = kFlagWritable;
            entry.values = {"TEXT " + number};
            break;
        default:
            entry.type = "VAL";
            entry.flags = kFlagWritableAfterLogin | kFlagNeedsUpdate;
            entry.values = {"1", "2", "3"};
            break;
        }
        entry.size = static_cast<int>(entry.values.size());
        entry.defaults = entry.values;
        m_items.push_back(std::move(entry));
    }
}

void TerminalModel::denyItem() {
    if (m_config.deniedItem.empty()) {
        return;
    }
    const int index = itemIndex(m_config.deniedItem);
    if (index < 0 || m_items[static_cast<std::size_t>(index)].type == "TAB") {
        throw std::invalid_argument("no array item named " + m_config.deniedItem + " to deny");
    }
    m_items[static_cast<std::size_t>(index)].denied = true;
}

} // namespace kelvra::sim
