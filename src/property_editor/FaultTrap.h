#pragma once

#include "platform/Dialogs.h"

#include <exception>

namespace kelvra {

// The run-time fault number of an exception: 6 for an overflow, 9 for an index out of range,
// 5 for any other.
int FaultNumber(const std::exception& fault);

// The message box of a window's fault trap: the fault's description, titled with its number.
void ShowFault(Dialogs& dialogs, const std::exception& fault);

// Runs one operation of a window under its fault trap: an unexpected fault (an index outside a
// catalogue, a number that does not fit) is shown and ends the operation. True when the
// operation ran to its end.
template <class Operation> bool RunTrapped(Dialogs& dialogs, Operation&& operation) {
    try {
        operation();
        return true;
    } catch (const std::exception& fault) {
        ShowFault(dialogs, fault);
        return false;
    }
}

} // namespace kelvra
