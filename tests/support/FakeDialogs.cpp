#include "FakeDialogs.h"

namespace kelvra::test {

MessageAnswer FakeDialogs::messageBox(const std::string& text, MessageButtons buttons,
                                      MessageIcon icon, const std::string& title) {
    messageBoxes.push_back({text, buttons, icon, title});
    if (!messageAnswers.empty()) {
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    const bool yesNo = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
    return yesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

std::optional<std::string> FakeDialogs::inputBox(const std::string&, const std::string&,
                                                 const std::string&) {
    if (inputAnswers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(inputAnswers.front());
    inputAnswers.pop_front();
    return answer;
}

void FakeDialogs::showModal(ModalWindow& window) {
    if (const auto answer = windowAnswers.find(window.windowName());
        answer != windowAnswers.end()) {
        const auto act = answer->second; // the answer may replace itself
        act(window);
    }
}

} // namespace kelvra::test
