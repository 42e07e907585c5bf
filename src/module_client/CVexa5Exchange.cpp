// One command's exchange with the module: addressing, sending with its repetitions, the
// discovery listening time, and the reply wait.
#include "module_client/CVexa5.h"
#include "module_client/WaitMs.h"

#include <optional>

namespace kelvra {

namespace {

// A failing link statement is attempted again this many times before the command gives up.
constexpr int kRepetitions = 10;
// The socket type is not supported: the one failure reported without a message box.
constexpr int kUnsupportedSocketType = 10044;

// Runs a link statement, again after each failure up to kRepetitions times. Gives the last
// failure when every attempt failed.
template <typename Statement> std::optional<PlatformError> RepeatOnFailure(Statement&& statement) {
    for (int failures = 0;;) {
        try {
            statement();
            return std::nullopt;
        } catch (const PlatformError& failure) {
            if (++failures > kRepetitions) {
                return failure;
            }
        }
    }
}

} // namespace

void CVexa5::Run(const ModuleCommand& command, const std::string& host,
                 const std::string& argument) {
    if (auto failure = RepeatOnFailure([&] { m_socket.setRemoteHost(host); })) {
        ReportSendFailure(*failure);
        return;
    }
    SendCommand(command, argument, command.awaitsReply);
}

void CVexa5::SendCommand(const ModuleCommand& command, const std::string& argument, bool NeedAck) {
    std::string payload(1, command.letter);
    payload += command.code;
    payload += argument;
    if (auto failure = RepeatOnFailure([&] { m_socket.send(payload); })) {
        ReportSendFailure(*failure);
        return;
    }
    if (command.letter == module_command::Echo.letter) {
        // The discovery listening time: every answering module has its line collected.
        Wait(m_Timeout);
    }
    if (NeedAck) {
        ReceiveReply();
    }
}

void CVexa5::ReceiveReply() {
    std::int32_t polls = ReplyPolls(m_Timeout);
    m_ErrCode = VX_SUCCESS;
    std::string received;
    for (;;) {
        Wait(kReplyPollMs);
        received += ReadCollected();
        if (!received.empty()) {
            break;
        }
        if (polls == 0) {
            m_ErrCode = VX_ERR_NO_REPLY;
            break;
        }
        --polls;
    }
    if (m_ErrCode == VX_SUCCESS) {
        m_ErrCode = StatusOutcome(received.front());
    }
    StoreReplyData(received, m_ReplyData);
}

void CVexa5::ReportSendFailure(const PlatformError& failure) {
    if (failure.number() == kUnsupportedSocketType) {
        m_ErrCode = VX_ERR_SOCKET_TYPE;
        return;
    }
    m_environment.dialogs().messageBox(failure.what(), MessageButtons::Ok, MessageIcon::None,
                                       std::to_string(failure.number()));
    m_ErrCode = VX_ERR_SEND_FAILED;
}

void CVexa5::Wait(std::int32_t ms) {
    WaitMs(m_environment.clock(), m_environment.pump(), m_environment.dialogs(), ms);
}

} // namespace kelvra
