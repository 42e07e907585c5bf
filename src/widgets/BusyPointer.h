#pragma once

#include "platform/Dialogs.h"

namespace kelvra {

// The busy pointer for the length of an operation, also when the operation ends by an
// exception.
class BusyPointer {
public:
    explicit BusyPointer(Dialogs& dialogs) : m_dialogs(dialogs) { m_dialogs.setBusy(true); }
    ~BusyPointer() { m_dialogs.setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    Dialogs& m_dialogs;
};

} // namespace kelvra
