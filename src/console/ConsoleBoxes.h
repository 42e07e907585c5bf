#pragma once

#include "console/ConsoleLayout.h"

#include <array>
#include <stdexcept>
#include <string_view>

namespace kelvra {

namespace console_boxes {

using enum Page;
using enum BoxKind;

// clang-format off
inline constexpr std::array kBoxes = {
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

} // namespace console_boxes

// The name of one of the console's boxes, checked against the table above when the program is
// compiled: an action that names a box the window does not have does not build.
class BoxName {
public:
    consteval BoxName(const char* name) : m_name(name) { // NOLINT: converts from a literal
        for (const ConsoleBox& box : console_boxes::kBoxes) {
            if (std::string_view(box.name) == name) {
                return;
            }
        }
        throw std::invalid_argument("the console has no box of this name");
    }
    const char* text() const { return m_name; }

private:
    const char* m_name;
};

} // namespace kelvra
