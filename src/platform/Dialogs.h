#pragma once

#include <optional>
#include <string>

namespace kelvra {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// A window that its opener shows modally: the opener goes on once the window has closed.
class ModalWindow {
public:
    virtual ~ModalWindow() = default;
    // The window's name ("frmKelvra_EditItemArray"), by which tests answer it.
    virtual std::string windowName() const = 0;
    // Shows the window and returns when it has closed.
    virtual void runModal() = 0;
};

// What the windows and the module client need of message boxes, the input box, modal windows
// and the busy pointer. Tests answer them; the program shows real ones. Text is one char per byte.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An empty title stands for the application title.
    virtual MessageAnswer messageBox(const std::string& text, MessageButtons buttons,
                                     MessageIcon icon, const std::string& title) = 0;
    // The entered text, or nothing when the operator cancels.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial) = 0;
    // The file the operator chooses to save to (a path in the system's file name encoding),
    // or nothing when the operator cancels.
    virtual std::optional<std::string> saveFileName(const std::string& title,
                                                    const std::string& suggested) = 0;
    // Shows the window modally; returns when it has closed.
    virtual void showModal(ModalWindow& window) = 0;
    // Busy pointer on or off.
    virtual void setBusy(bool busy) = 0;
};

} // namespace kelvra
