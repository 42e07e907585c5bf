#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace kelvra {

// Message boxes, the input box, modal windows and the busy pointer of the real program, over
// Qt's standard dialogs. Boxes are modal to `parent` (when given) and titled with the application
// title unless a title is passed.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                             const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override;
    std::optional<std::string> saveFileName(const std::string& title,
                                            const std::string& suggested) override;
    void showModal(ModalWindow& window) override;
    void setBusy(bool busy) override;

private:
    QWidget* m_parent;
    int m_busyDepth = 0;
};

} // namespace kelvra
