#include "widgets/QtDialogs.h"

#include "widgets/ApplicationInfo.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace kelvra {

namespace {

QString TitleOrApplication(const std::string& title) {
    return QString::fromLatin1(title.empty() ? kApplicationTitle : title);
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

MessageAnswer AnswerOf(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

// A box or window opened over a busy window shows the normal pointer while it is up.
class NormalPointerWhileBusy {
public:
    explicit NormalPointerWhileBusy(int busyDepth) : m_busy(busyDepth > 0) {
        if (m_busy) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~NormalPointerWhileBusy() {
        if (m_busy) {
            QApplication::restoreOverrideCursor();
        }
    }
    NormalPointerWhileBusy(const NormalPointerWhileBusy&) = delete;
    NormalPointerWhileBusy& operator=(const NormalPointerWhileBusy&) = delete;

private:
    bool m_busy;
};

} // namespace

MessageAnswer QtDialogs::messageBox(const std::string& text, MessageButtons buttons,
                                    MessageIcon icon, const std::string& title) {
    QMessageBox box(IconOf(icon), TitleOrApplication(title), QString::fromLatin1(text),
                    ButtonsOf(buttons), m_parent);
    NormalPointerWhileBusy pointer(m_busyDepth);
    return AnswerOf(box.exec());
}

void QtDialogs::showModal(ModalWindow& window) {
    NormalPointerWhileBusy pointer(m_busyDepth);
    window.runModal();
}

std::optional<std::string> QtDialogs::inputBox(const std::string& prompt, const std::string& title,
                                               const std::string& initial) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(m_parent, TitleOrApplication(title), QString::fromLatin1(prompt),
                              QLineEdit::Normal, QString::fromLatin1(initial), &accepted);
    if (!accepted) {
        return std::nullopt;
    }
    return text.toLatin1().toStdString();
}

std::optional<std::string> QtDialogs::saveFileName(const std::string& title,
                                                   const std::string& suggested) {
    NormalPointerWhileBusy pointer(m_busyDepth);
    const QString path = QFileDialog::getSaveFileName(m_parent, TitleOrApplication(title),
                                                      QFile::decodeName(suggested.c_str()));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(path).toStdString();
}

void QtDialogs::setBusy(bool busy) {
    if (busy) {
        ++m_busyDepth;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0) {
        --m_busyDepth;
        QApplication::restoreOverrideCursor();
    }
}

} // namespace kelvra
