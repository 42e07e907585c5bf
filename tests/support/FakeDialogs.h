#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvra::test {

// Dialogs that record every message box and busy-pointer switch. A message box is answered
// with the next of `messageAnswers`, or else with its first button (OK or Yes); an input box with
// the next of `inputAnswers` (cancelled when none is left); a modal window by the test's answer for
// its name, which works the window and returns (a window without an answer is left unshown, as if
// cancelled at once).
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

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                             const std::string& title) override;
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override;
    // Answered like an input box, with the next of `inputAnswers`.
    std::optional<std::string> saveFileName(const std::string& title,
                                            const std::string& suggested) override {
        return inputBox(title, title, suggested);
    }
    void showModal(ModalWindow& window) override;
    void setBusy(bool on) override { busyChanges.push_back(on); }

    std::vector<MessageBoxCall> messageBoxes;
    std::deque<MessageAnswer> messageAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::map<std::string, std::function<void(ModalWindow&)>> windowAnswers;
    // Every switch of the busy pointer, in order.
    std::vector<bool> busyChanges;
};

} // namespace kelvra::test
