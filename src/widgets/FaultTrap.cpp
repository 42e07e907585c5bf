#include "widgets/FaultTrap.h"

#include "platform/Dialogs.h"
#include "widgets/BusyPointer.h"

#include <QScopedValueRollback>
#include <optional>

namespace kelvra {

namespace {

FaultNumber NumberOf(const std::exception& fault) {
    if (const auto* own = dynamic_cast<const OperationFault*>(&fault)) {
        return own->number();
    }
    if (dynamic_cast<const std::overflow_error*>(&fault) != nullptr) {
        return FaultNumber::Overflow;
    }
    if (dynamic_cast<const std::out_of_range*>(&fault) != nullptr) {
        return FaultNumber::OutOfRange;
    }
    return FaultNumber::InvalidArgument;
}

} // namespace

void RunTrapped(Dialogs& dialogs, bool busy, const std::function<void()>& operation) {
    std::optional<OperationFault> failure;
    {
        std::optional<BusyPointer> pointer;
        if (busy) {
            pointer.emplace(dialogs);
        }
        try {
            operation();
        } catch (const std::exception& fault) {
            failure.emplace(NumberOf(fault), fault.what());
        }
    }
    if (failure) {
        dialogs.messageBox(failure->what(), MessageButtons::Ok, MessageIcon::None,
                           std::to_string(static_cast<int>(failure->number())));
    }
}

bool RunOnePress(Dialogs& dialogs, bool& running, const std::function<void()>& press) {
    if (running) {
        return false;
    }
    const QScopedValueRollback<bool> pressing(running, true);
    RunTrapped(dialogs, true, press);
    return true;
}

} // namespace kelvra
