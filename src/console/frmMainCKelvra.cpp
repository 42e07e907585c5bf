#include "console/frmMainCKelvra.h"

#include "console/NumberEntry.h"
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "widgets/ApplicationInfo.h"
#include "widgets/BellTableControls.h"
#include "widgets/BusyPointer.h"
#include "widgets/ConsoleSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTextCursor>
#include <cstdio>
#include <exception>

namespace kelvra {

namespace {

constexpr const char* kDesignCaption = "KelvraA-B Commands (Communication Protocal) Test Program";
constexpr int kExtraCommandsPage = static_cast<int>(Page::Extra);
constexpr int kConfirmReceivedRecord = 41;
constexpr QSize kLargestOpening(1280, 680);

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

std::string ReplaceTabMarks(std::string text) {
    static const std::string kMark = "<T>";
    for (std::size_t at = text.find(kMark); at != std::string::npos;
         at = text.find(kMark, at + 1)) {
        text.replace(at, kMark.size(), "\t");
    }
    return text;
}

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

} // namespace

frmMainCKelvra::frmMainCKelvra(ConsolePlatform platform, QWidget* parent)
    : QWidget(parent), m_clock(platform.clock), m_perUser(platform.perUser),
      m_dialogs(platform.dialogs), m_KV(platform.clock, platform.pump, platform.links) {
    setObjectName("frmMainCKelvra");
    setWindowTitle(kDesignCaption);
    BuildPages();
    // A laptop screen of 1366 x 768 holds the window with its frame and a panel.
    resize(QSize(sizeHint().width(), kLargestOpening.height()).boundedTo(kLargestOpening));
    cmdCtrl.at(37)->setEnabled(false);
    m_dataArival = m_KV.KelvraDataArival.subscribe(
        [this](const std::string& address, std::int16_t source, const std::string& data,
               std::int32_t errCode) { OnKelvraDataArival(address, source, data, errCode); });
    Load();
}

frmMainCKelvra::~frmMainCKelvra() = default;

void frmMainCKelvra::Load() {
    FillBellTableModes(cboBellTableMode);
    cboComport->setCurrentIndex(0);
    cboType->setCurrentIndex(1);
    m_iCommType = 0;
    SSTab1->setCurrentIndex(0);
    std::string address = kLastTerminalAddress.fallback;
    try {
        address = m_perUser.read(kApplicationTitle, kLastTerminalAddress.section,
                                 kLastTerminalAddress.name, kLastTerminalAddress.fallback);
    } catch (const std::exception&) {
        // An unreadable store shows the default address.
    }
    txtIP->setText(QString::fromLatin1(address));
    setWindowTitle(QString(kDesignCaption) +
                   QString::fromStdString(CaptionVersionSuffix(CurrentVersion())));
}

void frmMainCKelvra::closeEvent(QCloseEvent* event) {
    // Closing ends the program, also while a press waits inside the driver (a TCP connect to
    // an address without a module waits about 20 s): the wait ends now, and the press then
    // unwinds without sending anything more.
    m_KV.Shutdown();
    m_KV.CloseConnection();
    event->accept();
}

void frmMainCKelvra::SetPropertyViewOpener(std::function<void(frmMainCKelvra&)> opener) {
    m_propertyViewOpener = std::move(opener);
    cmdCtrl.at(37)->setEnabled(static_cast<bool>(m_propertyViewOpener));
}

void frmMainCKelvra::OpenPropertyView() {
    if (m_propertyViewOpener) {
        m_propertyViewOpener(*this);
    }
}

void frmMainCKelvra::PressButton(int index) {
    // One press at a time. A click delivered while a press waits for its reply would run its
    // command inside that wait, take the waiting reply out of the receive buffer and log its
    // outcome first: it is dropped, as the busy pointer says.
    if (m_pressRunning) {
        return;
    }
    const QScopedValueRollback<bool> running(m_pressRunning, true);
    BusyPointer busy(m_dialogs);
    try {
        const ConsoleButton* button = FindConsoleButton(index);
        ButtonPress press{*this, m_KV, ReplaceTabMarks(BoxText("txtItemData")), index,
                          std::int16_t{0}};
        try {
            press.source = NumberEntry("txtID");
        } catch (const NumberEntryRefused& refusal) {
            press.source = refusal; // refuses only the presses that address a terminal
        }
        if (button != nullptr) {
            button->action(press);
            if (button->shown == Shown::Own) {
                return;
            }
        }
        if (!press.outcome.empty()) {
            AppendResult(press.outcome + "\r\n");
            return;
        }
        CommonResultStep(button);
    } catch (const PressRefused& refusal) {
        ShowMessage(refusal.what());
    } catch (const std::exception& fault) {
        // An argument the driver cannot take (a 16-bit overflow in a reply or a computed
        // value): the press ends with the fault's description, as every window's fault trap.
        ShowMessage(fault.what());
    }
}

void frmMainCKelvra::CommonResultStep(const ConsoleButton* button) {
    std::string result;
    if (m_KV.ErrCode() == 0) {
        m_KV.GetData(result);
        if (result.empty()) {
            result = "OK!";
        }
        if (button != nullptr && button->shown == Shown::CommonIntoPunchTimes) {
            double number = 0;
            try {
                number = ReadLeadingNumber(result, NumberForms::DecimalOnly);
            } catch (const std::overflow_error&) {
            }
            static_cast<QLineEdit*>(m_boxes.at(BoxName("txtPunchTimes").text()).widget)
                ->setText(QString::number(number, 'g', 15));
        }
    } else {
        result = ErrorLine();
    }
    AppendResult(result + "\r\n");
}

std::string frmMainCKelvra::ErrorLine() const {
    return "Error Code: " + std::to_string(m_KV.ErrCode()) + ", " + m_KV.ErrMessage();
}

void frmMainCKelvra::EstablishConnection() {
    std::string failure; // what an unconnected link means, for the operator
    if (m_iCommType == 0) {
        // The port is read first: a refused port changes nothing.
        const std::int32_t port = ReadPortEntry(Latin1(txtUDP_Port->text()), "Port");
        const std::string address = Latin1(txtIP->text());
        m_KV.SetIP(address);
        m_KV.SetUDP_Port(port);
        m_KV.SetCommunicationType(cboType->currentIndex() == 0 ? kDatagramLink : kStreamLink);
        failure = address.empty() ? "the address box is empty"
                                  : "\"" + address + "\" is no address or known host name";
    } else {
        m_KV.SetCommunicationType(kSerialRtsCtsLink);
        m_KV.SetComport(static_cast<std::int16_t>(cboComport->currentIndex() + 1));
        failure = Latin1(cboComport->currentText()) + " cannot be opened";
    }
    m_KV.SetTimeout(kReplyTimeout);
    // Saved before connecting: a TCP connect waits, and the window may be closed meanwhile.
    try {
        m_perUser.write(kApplicationTitle, kLastTerminalAddress.section, kLastTerminalAddress.name,
                        Latin1(txtIP->text()));
    } catch (const std::exception&) {
        // Remembering the address is a convenience; the connection stands without it.
    }
    m_KV.Connect();
    // Connect keeps its failures to itself: a datagram or serial link that it could not set
    // up is left unconnected, and a stream link without an address is not even tried. A
    // stream connect that fails leaves its code, which the common step shows.
    const bool streamLink = IsStreamLink(m_KV.CommunicationType());
    if (streamLink ? m_KV.IP().empty() : !m_KV.Connected()) {
        AppendResult("No connection: " + failure + ".\r\n");
        return;
    }
    CommonResultStep(nullptr);
}

void frmMainCKelvra::OnKelvraDataArival(const std::string& address, std::int16_t source,
                                        const std::string& data, std::int32_t errCode) {
    if (SSTab1->currentIndex() != kExtraCommandsPage) {
        return;
    }
    const DateTime now = m_clock.now();
    AppendResult(TwoDigits(now.hour()) + ":" + TwoDigits(now.minute()) + ":" +
                 TwoDigits(now.second()) + " " + address + ":  " + data +
                 ", ErrCode: " + std::to_string(errCode) + "\r\n");
    auto* chkAutoConfirm =
        static_cast<QCheckBox*>(m_boxes.at(BoxName("chkAutoConfirm").text()).widget);
    if (m_KV.ErrCode() != 0 || !chkAutoConfirm->isChecked()) {
        return;
    }
    static_cast<QLineEdit*>(m_boxes.at(BoxName("txtID").text()).widget)
        ->setText(QString::number(source));
    if (!m_pressRunning) {
        PressButton(kConfirmReceivedRecord);
        return;
    }
    // The record came while a press waits for its reply. The confirmation goes out at once all
    // the same, as it awaits no reply, or the terminal would push nothing more; its line comes
    // from its own outcome alone, since the receive buffer holds the waiting reply.
    m_KV.X_ConfirmRecord(source);
    AppendResult((m_KV.ErrCode() == 0 ? std::string("OK!") : ErrorLine()) + "\r\n");
}

std::int16_t frmMainCKelvra::NumberEntry(BoxName box) const {
    return ReadNumberEntry(BoxText(box), m_boxes.at(box.text()).refusalName);
}

std::string frmMainCKelvra::BoxText(BoxName box) const {
    QWidget* widget = m_boxes.at(box.text()).widget;
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        return Latin1(line->text());
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        return Latin1(text->toPlainText());
    }
    return {};
}

void frmMainCKelvra::AppendResult(const std::string& text) {
    // The log holds its lines the widget's way; a CR LF pair is one line end.
    QString shown = QString::fromLatin1(text);
    shown.replace("\r\n", "\n");
    txtGetData->moveCursor(QTextCursor::End);
    txtGetData->insertPlainText(shown);
    txtGetData->moveCursor(QTextCursor::End);
}

void frmMainCKelvra::ClearResult() {
    txtGetData->clear();
}

std::string frmMainCKelvra::ResultText() const {
    return Latin1(txtGetData->toPlainText());
}

void frmMainCKelvra::ShowMessage(const std::string& text) {
    m_dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::None, "");
}

std::int16_t frmMainCKelvra::BellTableMode() const {
    return static_cast<std::int16_t>(cboBellTableMode->currentIndex());
}

void frmMainCKelvra::SelectBellTableMode(int mode) {
    cboBellTableMode->setCurrentIndex(mode);
}

std::int16_t frmMainCKelvra::WeekDay() const {
    return optWeekDay->WeekDay();
}

} // namespace kelvra
