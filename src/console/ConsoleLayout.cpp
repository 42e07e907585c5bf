#include "console/ConsoleLayout.h"

#include <array>

namespace kelvra {

namespace {

constexpr std::array<const char*, 4> kPageCaptions = {
    "General", "Item manipulation commands (auto-learn)", "Extra commands", "Bell Table"};

using enum Page;
using enum GroupContent;
using enum BoxKind;

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

constexpr std::array kBoxes = {
    //         name                  page     group                               label                              initial     kind       before     beside lo  hi    step suffix
    ConsoleBox{"txtMachineID",       General, "Items (Traditional)",              "ID:",                             "1",        Line,      22,        1},
    ConsoleBox{"txtID",              General, "",                                 "Source:",                         "1",        Line,      50,        0},
    ConsoleBox{"txtPollID",          General, "",                                 "Machine ID:",                     "1",        Line,      50,        1,     0,  9999, 1},
    ConsoleBox{"txtSend(1)",         General, "",                                 "Raw Data: (Including Command)",   "",         SendLine,  5,         1},
    ConsoleBox{"txtSend(0)",         General, "",                                 "Echo Test:",                      "",         SendLine,  1,         1},
    ConsoleBox{"txtItemName",        Items,   "",                                 "Find Item Number by name",        "DATE",     Line,      24,        1},
    ConsoleBox{"txtItemInfo",        Items,   "",                                 "",                                "0",        Line,      25,        1,     0,  50,   1},
    ConsoleBox{"txtReference",       Items,   "Parameters",                       "Reference:",                      "0",        Line,      kNoButton, 0,     0,  50,   1},
    ConsoleBox{"txtMember",          Items,   "Parameters",                       "Member:",                         "0",        Line,      kNoButton, 0,     0,  50,   1},
    ConsoleBox{"txtItemData",        Items,   "Parameters",                       "Item Data:",                      "",         MultiLine, kNoButton, 0},
    ConsoleBox{"txtFieldNum",        Items,   "Parameters",                       "Field Number:",                   "0",        Line,      kNoButton, 0,     0,  99,   1},
    ConsoleBox{"txtRecorderNum",     Items,   "Parameters",                       "Record Number:",                  "0",        Line,      kNoButton, 0,     0,  99,   1},
    ConsoleBox{"chkAutoConfirm",     Extra,   "Time data",                        "Auto-Confirm Received Record",    "",         Check,     40,        0},
    ConsoleBox{"txtDisplay",         Extra,   "Display",                          "Content:",                        "",         MultiLine, 42,        0},
    ConsoleBox{"txtDisplayDuration", Extra,   "Display",                          "Duration:",                       "5",        Line,      42,        0,     0,  99,   5,   "second(s)."},
    ConsoleBox{"txtBellDuration",    Extra,   "Relay",                            "Bell Duration:",                  "5",        Line,      43,        0,     0,  99,   5},
    ConsoleBox{"txtLockDuration",    Extra,   "Relay",                            "Lock Duration",                   "5",        Line,      43,        0,     0,  99,   5},
    ConsoleBox{"txtPunchTimes",      Extra,   "Punch Error Times - Mode Switch",  "Punch Times:",                    "0",        Line,      47,        2,     0,  10,   1},
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
    return kBoxes;
}

} // namespace kelvra
