#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvra::test {

// Dialogs that record every call and answer from a script. A message box takes the next
// scripted answer, or else defaultAnswer, or else the box's first button (OK or Yes). An
// input box takes the next scripted text, or else defaultInput (nothing: the operator cancels).
class FakeDialogs : public Dialogs {
public:
    struct MessageBoxCall {
        std::string text;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        std::string title;
        bool operator==(const MessageBoxCall&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const MessageBoxCall& call) {
            return out << "messageBox(\"" << call.text << "\", buttons "
                       << static_cast<int>(call.buttons) << ", icon " << static_cast<int>(call.icon)
                       << ", \"" << call.title << "\")";
        }
    };
    struct InputBoxCall {
        std::string prompt;
        std::string title;
        std::string initial;
        bool operator==(const InputBoxCall&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const InputBoxCall& call) {
            return out << "inputBox(\"" << call.prompt << "\", \"" << call.title << "\", \""
                       << call.initial << "\")";
        }
    };

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                             const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override;
    void setBusy(bool on) override;

    std::vector<MessageBoxCall> messageBoxes;
    std::deque<MessageAnswer> messageAnswers;
    std::optional<MessageAnswer> defaultAnswer;

    std::vector<InputBoxCall> inputBoxes;
    std::deque<std::optional<std::string>> inputAnswers;
    std::optional<std::string> defaultInput;

    // Every switch of the busy pointer, in order, and where it stands now.
    std::vector<bool> busyChanges;
    bool busy = false;
};

} // namespace kelvra::test
