#include "widgets/frmKelvra_ReadCard.h"

#include "driver/PushedRecord.h"
#include "driver/ucKelvra.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "widgets/FaultTrap.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kelvra {

namespace {

constexpr const char* kPresentCard = "Please present the card...";

} // namespace

frmKelvra_ReadCard::frmKelvra_ReadCard(ucKelvra& kv, std::int16_t source, Dialogs& dialogs,
                                       EventPump& pump, QWidget* parent)
    : QDialog(parent), m_kv(kv), m_iSource(source), m_dialogs(dialogs), m_pump(pump) {
    setObjectName("frmKelvra_ReadCard");
    setWindowTitle("Read Card");

    Label1 = new QLabel(kPresentCard);
    Label1->setObjectName("Label1");
    txtCardCode = new QLineEdit;
    txtCardCode->setObjectName("txtCardCode");
    txtCardCode->setMinimumWidth(txtCardCode->fontMetrics().horizontalAdvance("000000000000"));
    txtCardCode->installEventFilter(this);
    auto* code = new QHBoxLayout;
    code->addWidget(new QLabel("Code:"));
    code->addWidget(txtCardCode, 1);

    Command1 = new QPushButton("Close");
    Command1->setObjectName("Command1");
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(code);
    layout->addLayout(buttons);

    m_dataArival = m_kv.KelvraDataArival.subscribe(
        [this](const std::string&, std::int16_t, const std::string& data, std::int32_t) {
            OnKelvraDataArival(data);
        });

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(kStartDelayMs);
    connect(Timer1, &QTimer::timeout, this, [this] { StartExtendedMode(); });
    Timer1->start();
}

frmKelvra_ReadCard::~frmKelvra_ReadCard() = default;

void frmKelvra_ReadCard::StartExtendedMode() {
    m_starting = true;
    RunTrapped(m_dialogs, true, [this] {
        m_kv.Logout(m_iSource);
        if (m_kv.ErrCode() != 0) {
            m_dialogs.messageBox(m_kv.ErrMessage(), MessageButtons::Ok, MessageIcon::None, "");
            return;
        }
        m_kv.X_LogOn(m_iSource);
        Label1->setText(kPresentCard);
    });
    m_starting = false;
    if (m_closeWaiting) {
        done(m_closeResult);
    }
}

void frmKelvra_ReadCard::EndExtendedMode() {
    RunTrapped(m_dialogs, true, [this] {
        m_kv.X_LogOff(m_iSource);
        if (m_kv.ErrCode() != 0) {
            m_dialogs.messageBox(m_kv.ErrMessage(), MessageButtons::Ok, MessageIcon::None, "");
        }
    });
}

void frmKelvra_ReadCard::done(int result) {
    if (m_starting) {
        m_closeWaiting = true;
        m_closeResult = result;
        return;
    }
    if (m_closing) {
        return; // closed once already: the logoff of that close is running
    }
    m_closing = true;
    // Closed before the start: there is nothing to start any more, only the logoff to send.
    Timer1->stop();
    Label1->setText("Connecting to device...");
    m_pump.processEvents();
    EndExtendedMode();
    m_dataArival.reset();
    QDialog::done(result);
}

void frmKelvra_ReadCard::OnKelvraDataArival(const std::string& data) {
    // Every record counts, verified or not: the card code is what the operator is after.
    RunTrapped(m_dialogs, false, [this, &data] {
        const auto field = CardField(data);
        if (!field) {
            throw OperationFault(FaultNumber::OutOfRange,
                                 "The record \"" + data +
                                     "\" has no card field (field 3 of its TAB-separated "
                                     "fields).");
        }
        // The card field is a one-letter prefix and the code.
        const std::string_view code = field->substr(field->empty() ? 0 : 1);
        txtCardCode->setText(QString::fromLatin1(code.data(), static_cast<qsizetype>(code.size())));
    });
}

bool frmKelvra_ReadCard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtCardCode && event->type() == QEvent::MouseButtonDblClick) {
        txtCardCode->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kelvra
