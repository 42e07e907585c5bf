#pragma once

#include <optional>
#include <string>

namespace kelvra {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// What the windows and the module client need of message boxes, the input box and the busy
// pointer. Tests answer them; the program shows real ones. Text is one char per byte.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An empty title stands for the application title.
    virtual MessageAnswer messageBox(const std::string& text, MessageButtons buttons,
                                     MessageIcon icon, const std::string& title) = 0;
    // The entered text, or nothing when the operator cancels.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial) = 0;
    // Busy pointer on or off.
    virtual void setBusy(bool busy) = 0;
};

} // namespace kelvra
