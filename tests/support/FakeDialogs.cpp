#include "FakeDialogs.h"

namespace kelvra::test {

namespace {

MessageAnswer firstButton(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Yes;
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        break;
    }
    return MessageAnswer::Ok;
}

} // namespace

MessageAnswer FakeDialogs::messageBox(const std::string& text, MessageButtons buttons,
                                      MessageIcon icon, const std::string& title) {
    messageBoxes.push_back({text, buttons, icon, title});
    if (!messageAnswers.empty()) {
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return defaultAnswer.value_or(firstButton(buttons));
}

std::optional<std::string> FakeDialogs::inputBox(const std::string& prompt,
                                                 const std::string& title,
                                                 const std::string& initial) {
    inputBoxes.push_back({prompt, title, initial});
    if (!inputAnswers.empty()) {
        std::optional<std::string> answer = std::move(inputAnswers.front());
        inputAnswers.pop_front();
        return answer;
    }
    return defaultInput;
}

void FakeDialogs::setBusy(bool on) {
    busyChanges.push_back(on);
    busy = on;
}

} // namespace kelvra::test
