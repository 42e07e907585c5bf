#pragma once

#include "console/ConsoleBoxes.h"
#include "console/ConsoleLayout.h"
#include "console/NumberEntry.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace kelvra {

class frmMainCKelvra;
class ucKelvra;

// What an action sees of the press it runs in: the driver, the source ID and item data
// computed at the start of the press, and the window's boxes by name.
struct ButtonPress {
    frmMainCKelvra& window;
    ucKelvra& KV;
    std::string D; // the item data, "<T>" replaced by TAB
    int index;
    // "Source:" as read at the start of the press, or why it could not be taken.
    std::variant<std::int16_t, NumberEntryRefused> source;
    // When the action sets it, the line the press logs instead of the common result step's.
    std::string outcome = {};

    // The source ID. A source that does not fit refuses the press here, so only the presses
    // that address a terminal are refused by it ("Clear" and "Get" go ahead).
    std::int16_t S() const;
    std::int16_t n(BoxName box) const; // the box's number entry
    std::string t(BoxName box) const;  // the box's text
};

using ButtonAction = void (*)(ButtonPress&);

// How the outcome reaches the screen after the action.
enum class Shown {
    Common,               // the common result step
    CommonIntoPunchTimes, // the common step, and its number written into "Punch Times:"
    Own,                  // the action shows its outcome itself
};

// One command button of the console: index (the control array's), caption, where it stands,
// what it runs.
struct ConsoleButton {
    int index;
    const char* caption;
    Page page;
    const char* group;
    ButtonAction action;
    Shown shown = Shown::Common;
};

// In layout order: page by page, group by group, top to bottom.
std::span<const ConsoleButton> ConsoleButtons();
// The button of an index, or nullptr for the indices without one (37 until a property view
// is attached is still a button; 55 and 56 are not).
const ConsoleButton* FindConsoleButton(int index);

} // namespace kelvra
