#pragma once

#include "driver/ErrorCodes.h"
#include "driver/Event.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/LinkFactory.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvra {

// The protocol driver of one terminal link. Every command runs synchronously: it frames the
// command, sends it on the link chosen by CommunicationType and waits in 50 ms passes,
// pumping events, for the verified reply. The outcome is left in ErrCode, the reply's data in
// the receive buffer, which GetData hands over.
//
// Link kinds (CommunicationType): 0, 1 serial with RTS/CTS; 6 serial without flow control;
// 2 datagram; 3, 4, 5 stream through the terminal's Ethernet interface module; 7 the same,
// tolerating a module that does not answer. Other values send nothing.
class ucKelvra {
public:
    // Terminal numbers 0 to 200 have counters; 0 to 100 have connect times and states.
    static constexpr int kTerminalTableSize = 201;
    static constexpr int kSequenceTableSize = 101;
    // Far above any legal frame: text that no command takes is cut to its newest part.
    static constexpr std::size_t kReceiveBufferLimit = 64 * 1024;

    ucKelvra(Clock& clock, EventPump& pump, LinkFactory& links);
    ~ucKelvra();
    ucKelvra(const ucKelvra&) = delete;
    ucKelvra& operator=(const ucKelvra&) = delete;

    // Outcome of the last operation.
    std::int32_t ErrCode() const { return m_ErrCode; }
    void SetErrCode(std::int32_t value) { m_ErrCode = value; }
    std::string ErrMessage() const { return ErrMessageText(m_ErrCode); }
    static std::string ErrorMessage(std::int32_t i_lErrorCode) {
        return ErrorMessageText(i_lErrorCode);
    }

    // Link settings.
    const std::string& IP() const { return m_IP; }
    void SetIP(const std::string& value);
    std::int32_t UDP_Port() const { return m_UDP_Port; }
    void SetUDP_Port(std::int32_t value);
    std::int16_t Comport() const;
    void SetComport(std::int16_t value);
    std::int32_t CommunicationType() const { return m_CommunicationType; }
    void SetCommunicationType(std::int32_t value);
    std::int32_t Timeout() const { return m_Timeout; }
    void SetTimeout(std::int32_t value);
    void SetRetries(std::int16_t value) { m_Retries = value; }
    std::int16_t ErrorCount() const { return m_ErrorCount; }
    void SetErrorCount(std::int16_t value) { m_ErrorCount = value; }
    const std::string& Address() const { return m_Address; }
    std::int16_t WinsockState() const;

    // Free storage for the owner; the driver never reads it.
    const std::string& Tag1() const { return m_Tags[0]; }
    void SetTag1(const std::string& value) { m_Tags[0] = value; }
    const std::string& Tag2() const { return m_Tags[1]; }
    void SetTag2(const std::string& value) { m_Tags[1] = value; }
    const std::string& Tag3() const { return m_Tags[2]; }
    void SetTag3(const std::string& value) { m_Tags[2] = value; }
    const std::string& Tag4() const { return m_Tags[3]; }
    void SetTag4(const std::string& value) { m_Tags[3] = value; }
    const std::string& Tag5() const { return m_Tags[4]; }
    void SetTag5(const std::string& value) { m_Tags[4] = value; }
    const std::string& Tag6() const { return m_Tags[5]; }
    void SetTag6(const std::string& value) { m_Tags[5] = value; }
    std::int16_t SlaveCount() const { return m_SlaveCount; }
    void SetSlaveCount(std::int16_t value) { m_SlaveCount = value; }
    void SetConnectTime(std::int16_t i_iSeq, DateTime i_dtConnectTime);
    void GetConnectTime(std::int16_t i_iSeq, DateTime& o_dtConnectTime) const;
    void SetSeqState(std::int16_t i_iSeq, std::int16_t i_iState);
    std::int16_t GetSeqState(std::int16_t i_iSeq) const;

    // Per-terminal counters; an index outside 0 to 200 throws std::out_of_range.
    std::int32_t BytesReceived(std::int16_t i_iSeq) const;
    std::int32_t PunchCount(std::int16_t i_iSeq) const;
    DateTime LastPunch(std::int16_t i_iSeq) const;
    DateTime LoadDateTime(std::int16_t i_iSeq) const;

    // The terminal's date format, as the last successful date-format query read it.
    std::int16_t DateFormat() const { return m_DateFormat; }

    // What the driver knows of its link, for display and tests.
    bool Connected() const { return m_Connected; }
    bool RealTimeMode() const { return m_RealTimeMode; }
    bool ResendPending() const { return m_ResendPending; }
    std::int16_t CurrentID() const { return m_CurrentID; }
    std::int16_t ResendCount() const { return m_ResendCount; }
    const std::string& ModuleReply() const { return m_ModuleReply; }

    // Hands over the received payload and empties the receive buffer.
    void GetData(std::string& o_sData);

    void Connect();
    void CloseConnection();

    // Extended mode: the terminal pushes each punch record and waits for its confirmation.
    void X_LogOn(std::int16_t i_iID);
    void X_ResendRecord(std::int16_t i_iID);
    void X_ConfirmRecord(std::int16_t i_iID);

    // A pushed record: source address ("COM3" or the peer's address), terminal number, data
    // (or the whole frame when it did not verify) and the code that verifying it gave.
    Event<const std::string&, std::int16_t, const std::string&, std::int32_t> KelvraDataArival;

private:
    friend class ucKelvraProbe; // the tests' view of the transaction

    // The transaction.
    void ExeCmd(const std::string& command, std::int16_t id, const std::string& data,
                const bool& needAck);
    void GetResult();
    void TakeReceived(std::string& out);
    void ParseReply(const std::string& frame);
    void WaitMilliseconds(std::int32_t ms);

    // The links.
    void CloseSocket();
    void AppendReceived(const std::string& chunk);
    void CountReceived(std::size_t characters);
    void OnSerialReceive();
    void OnSocketDataArrival();
    void OnSocketConnected();
    void OnSocketError();
    void OnModuleDataArrival();
    void ConnectTcp();
    void CheckPushedRecord(const std::string& source, bool serialLink);
    void SetRealTimeMode(bool value) { m_RealTimeMode = value; }

    Clock& m_clock;
    EventPump& m_pump;
    std::unique_ptr<SerialPort> comm;
    std::unique_ptr<Socket> wsk;
    std::unique_ptr<Socket> wskVexa5;

    std::int32_t m_CommunicationType = 2;
    std::int32_t m_ErrCode = KV_SUCCESS;
    std::int32_t m_Timeout = 3000;
    std::int16_t m_Retries = 3;
    std::int16_t m_ErrorCount = 0;
    std::int32_t m_UDP_Port = 0;
    std::string m_IP;
    std::string m_Address;
    std::array<std::string, 6> m_Tags;
    std::int16_t m_SlaveCount = 0;
    std::int16_t m_DateFormat = 0;
    std::int16_t m_CurrentID = 0;
    std::string m_ReceiveBuffer;
    bool m_Connected = false;
    bool m_RealTimeMode = false;
    bool m_ResendPending = false;
    std::string m_ModuleReply;
    std::int16_t m_ResendCount = 0;

    std::array<std::int32_t, kTerminalTableSize> m_BytesReceived{};
    std::array<std::int32_t, kTerminalTableSize> m_PunchCount{};
    std::array<DateTime, kTerminalTableSize> m_LastPunch{};
    std::array<DateTime, kTerminalTableSize> m_LoadDateTime{};
    std::array<DateTime, kSequenceTableSize> m_ConnectTime{};
    std::array<std::int16_t, kSequenceTableSize> m_SeqState{};
};

} // namespace kelvra
