#include "property_editor/FaultTrap.h"

#include <stdexcept>
#include <string>

namespace kelvra {

int FaultNumber(const std::exception& fault) {
    constexpr int kOverflow = 6;
    constexpr int kSubscriptOutOfRange = 9;
    constexpr int kInvalidCall = 5;
    if (dynamic_cast<const std::overflow_error*>(&fault) != nullptr) {
        return kOverflow;
    }
    if (dynamic_cast<const std::out_of_range*>(&fault) != nullptr) {
        return kSubscriptOutOfRange;
    }
    return kInvalidCall;
}

void ShowFault(Dialogs& dialogs, const std::exception& fault) {
    dialogs.messageBox(fault.what(), MessageButtons::Ok, MessageIcon::None,
                       std::to_string(FaultNumber(fault)));
}

} // namespace kelvra
