#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace kelvra {

class Dialogs;

// The numbers of the run-time faults a window's fault trap reports, as the title of its
// message box.
enum class FaultNumber {
    InvalidArgument = 5, // a value the operation cannot take, a reply too short to split
    Overflow = 6,        // a number beyond 16 bits
    OutOfRange = 9,      // a field or index that is not there
    TypeMismatch = 13,   // a text that does not read as what it should hold
    InvalidValue = 380,  // a value a control cannot show
};

// A failure inside a window's operation: its number and its description.
class OperationFault : public std::runtime_error {
public:
    OperationFault(FaultNumber number, const std::string& description)
        : std::runtime_error(description), m_number(number) {}
    FaultNumber number() const { return m_number; }

private:
    FaultNumber m_number;
};

// Runs one operation of a window under its fault trap. An operation that fails ends there;
// a message box then shows the failure's description, titled with its number. With `busy`
// the busy pointer shows while the operation runs and is gone before the message box opens.
void RunTrapped(Dialogs& dialogs, bool busy, const std::function<void()>& operation);

// RunTrapped under the busy pointer for one press at a time: while `running` says a press of
// the window runs, a press is dropped, or its command would run inside the other's wait for its
// reply and take that reply. False when the press was dropped.
bool RunOnePress(Dialogs& dialogs, bool& running, const std::function<void()>& press);

} // namespace kelvra
