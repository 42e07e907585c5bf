#include "FakeDialogs.h"

namespace kelvra::test {

MessageAnswer FakeDialogs::messageBox(const std::string& text, MessageButtons buttons,
                                      MessageIcon icon, const std::string& title) {
    messageBoxes.push_back({text, buttons, icon, title});
    const bool yesNo = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
    return yesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

} // namespace kelvra::test
