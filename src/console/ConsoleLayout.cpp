#include "console/ConsoleLayout.h"

#include "console/ConsoleBoxes.h"

#include <array>

namespace kelvra {

namespace {

constexpr std::array<const char*, 4> kPageCaptions = {
    "General", "Item manipulation commands (auto-learn)", "Extra commands", "Bell Table"};

using enum Page;
using enum GroupContent;

// clang-format off
constexpr std::array kGroups = {
    //           page       caption                             content           row col rows cols buttonColumns
    ConsoleGroup{General,   "Time Clock Location",              ConnectionPanel,  0,  0,  1,   1,   1},
    ConsoleGroup{General,   "Login",                            Table,            1,  0,  1,   1,   3},
    ConsoleGroup{General,   "Time data download commands",      Table,            0,  1,  2,   1,   2},
    ConsoleGroup{General,   "Items (Traditional)",              Table,            0,  2,  2,   1,   2},
    ConsoleGroup{General,   "",                                 Form,             2,  0,  1,   3,   1},
    ConsoleGroup{Items,     "",                                 Form,             0,  0,  2,   1,   1},
    ConsoleGroup{Items,     "\"Array\" Items",                  Table,            0,  1,  1,   1,   3},
    ConsoleGroup{Items,     "\"Table\" Items",                  Table,            1,  1,  1,   1,   3},
    ConsoleGroup{Items,     "Parameters",                       Form,             0,  2,  2,   1,   1},
    ConsoleGroup{Extra,     "Time data",                        Table,            0,  0,  1,   1,   1},
    ConsoleGroup{Extra,     "Display",                          Table,            0,  1,  1,   1,   1},
    ConsoleGroup{Extra,     "Relay",                            Table,            0,  2,  1,   1,   2},
    ConsoleGroup{Extra,     "Mode",                             Table,            1,  0,  1,   1,   2},
    ConsoleGroup{Extra,     "Punch Error Times - Mode Switch",  Form,             1,  1,  1,   1,   2},
    ConsoleGroup{BellTable, "",                                 BellControls,     0,  0,  1,   1,   3},
    ConsoleGroup{BellTable, "Bell Table",                       BellEntries,      1,  0,  1,   1,   4},
};

// clang-format on

} // namespace

std::span<const char* const> PageCaptions() {
    return kPageCaptions;
}

std::span<const ConsoleGroup> ConsoleGroups() {
    return kGroups;
}

std::span<const ConsoleBox> ConsoleBoxes() {
    return console_boxes::kBoxes;
}

} // namespace kelvra
