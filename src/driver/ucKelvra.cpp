// The driver object: creation, properties and the per-terminal tables.
#include "driver/ucKelvra.h"

#include "driver/SkipOnFailure.h"

#include <stdexcept>
#include <string>

namespace kelvra {

namespace {

template <typename Table> auto& checkedEntry(Table& table, std::int16_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
        throw std::out_of_range("Subscript out of range: " + std::to_string(index));
    }
    return table[static_cast<std::size_t>(index)];
}

constexpr int kDefaultRemotePort = 1001;

} // namespace

ucKelvra::ucKelvra(Clock& clock, EventPump& pump, LinkFactory& links)
    : m_clock(clock), m_pump(pump), comm(links.createSerialPort()), wsk(links.createSocket()),
      wskVexa5(links.createSocket()) {
    // Every arriving character raises a receive notification.
    SkipOnFailure([&] { comm->setReceiveThreshold(1); });
    // The terminal socket starts as a datagram socket; every connect sets its remote host.
    SkipOnFailure([&] {
        wsk->setProtocol(SocketProtocol::Datagram);
        wsk->setRemotePort(kDefaultRemotePort);
    });

    comm->onReceive = [this] { OnSerialReceive(); };
    wsk->onDataArrival = [this] { OnSocketDataArrival(); };
    wsk->onConnected = [this] { OnSocketConnected(); };
    wsk->onError = [this](int, const std::string&) { OnSocketError(); };
    wskVexa5->onDataArrival = [this] { OnModuleDataArrival(); };

    const DateTime created = m_clock.now();
    m_LastPunch.fill(DateTime::fromParts(2000, 1, 1));
    m_LoadDateTime.fill(created);
}

ucKelvra::~ucKelvra() {
    CloseConnection();
    comm->onReceive = nullptr;
    wsk->onDataArrival = nullptr;
    wsk->onConnected = nullptr;
    wsk->onError = nullptr;
    wskVexa5->onDataArrival = nullptr;
}

void ucKelvra::SetIP(const std::string& value) {
    SkipOnFailure([&] { CloseSocket(); });
    m_IP = value;
    SkipOnFailure([&] { wsk->setRemoteHost(value); });
    m_ErrCode = KV_SUCCESS;
    m_Address = value;
}

void ucKelvra::SetUDP_Port(std::int32_t value) {
    SkipOnFailure([&] { CloseSocket(); });
    m_UDP_Port = value;
    SkipOnFailure([&] { wsk->setRemotePort(value); });
}

std::int16_t ucKelvra::Comport() const {
    return static_cast<std::int16_t>(comm->portNumber());
}

void ucKelvra::SetComport(std::int16_t value) {
    if (value >= 1 && value <= 16) {
        SkipOnFailure([&] {
            if (comm->isOpen()) {
                comm->close();
            }
        });
        SkipOnFailure([&] { comm->setPortNumber(value); });
    }
    m_Address = "COM" + std::to_string(value);
}

void ucKelvra::SetCommunicationType(std::int32_t value) {
    m_ErrCode = KV_SUCCESS;
    m_CommunicationType = value;
}

void ucKelvra::SetTimeout(std::int32_t value) {
    if (value > 0) {
        m_Timeout = value;
    }
}

std::int16_t ucKelvra::WinsockState() const {
    return static_cast<std::int16_t>(wsk->state());
}

void ucKelvra::SetConnectTime(std::int16_t i_iSeq, DateTime i_dtConnectTime) {
    checkedEntry(m_ConnectTime, i_iSeq) = i_dtConnectTime;
}

void ucKelvra::GetConnectTime(std::int16_t i_iSeq, DateTime& o_dtConnectTime) const {
    o_dtConnectTime = checkedEntry(m_ConnectTime, i_iSeq);
}

void ucKelvra::SetSeqState(std::int16_t i_iSeq, std::int16_t i_iState) {
    checkedEntry(m_SeqState, i_iSeq) = i_iState;
}

std::int16_t ucKelvra::GetSeqState(std::int16_t i_iSeq) const {
    return checkedEntry(m_SeqState, i_iSeq);
}

std::int32_t ucKelvra::BytesReceived(std::int16_t i_iSeq) const {
    return checkedEntry(m_BytesReceived, i_iSeq);
}

std::int32_t ucKelvra::PunchCount(std::int16_t i_iSeq) const {
    return checkedEntry(m_PunchCount, i_iSeq);
}

DateTime ucKelvra::LastPunch(std::int16_t i_iSeq) const {
    return checkedEntry(m_LastPunch, i_iSeq);
}

DateTime ucKelvra::LoadDateTime(std::int16_t i_iSeq) const {
    return checkedEntry(m_LoadDateTime, i_iSeq);
}

} // namespace kelvra
