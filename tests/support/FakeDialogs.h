#pragma once

#include "platform/Dialogs.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvra::test {

// Dialogs that record every message box and busy-pointer switch. A message box is answered
// with its first button (OK or Yes); an input box is cancelled.
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
                                        const std::string&) override {
        return std::nullopt;
    }
    void setBusy(bool on) override { busyChanges.push_back(on); }

    std::vector<MessageBoxCall> messageBoxes;
    // Every switch of the busy pointer, in order.
    std::vector<bool> busyChanges;
};

} // namespace kelvra::test
