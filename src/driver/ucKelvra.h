#pragma once

#include "driver/ErrorCodes.h"
#include "driver/Event.h"
#include "driver/LinkTraffic.h"
#include "driver/RecordCutter.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/LinkFactory.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kelvra {

// The protocol driver of one terminal link. Every command runs synchronously: it frames the
// command, sends it on the link chosen by CommunicationType and waits in 50 ms passes,
// pumping events, for the verified reply. The outcome is left in ErrCode, the reply's data in
// the receive buffer, which GetData hands over.
//
// The link kinds (CommunicationType) are the table in driver/LinkKinds.h: serial with or
// without flow control, datagram, and stream through the terminal's Ethernet interface module.
// Other values send nothing.
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
    // Off (the default), a waiting command sleeps out every 50 ms pass before it looks at what
    // arrived. On, it counts its time in the same passes and times out after the same passes,
    // but returns as soon as its reply is complete.
    bool WakeOnReply() const { return m_WakeOnReply; }
    void SetWakeOnReply(bool value) { m_WakeOnReply = value; }
    // The interface module's configuration port, where the stream link asks whether the
    // module still holds a connection before it connects (65535 unless told otherwise).
    std::int32_t ModulePort() const { return m_ModulePort; }
    void SetModulePort(std::int32_t value) { m_ModulePort = value; }
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
    // Ends every wait at once; every later command fails at once without sending. For an owner
    // that goes away while a command may still be waiting (the console being closed).
    void Shutdown() { m_ShuttingDown = true; }

    // Extended mode: the terminal pushes each punch record and waits for its confirmation. A
    // bad pushed record is asked for again by the driver itself, without waiting; the record
    // comes back as a pushed one and is raised once, whichever copy is good first.
    // X_ResendRecord is the owner's own request, which waits for the record as its reply.
    void X_LogOn(std::int16_t i_iID);
    void X_ResendRecord(std::int16_t i_iID);
    void X_ConfirmRecord(std::int16_t i_iID);

    // Link tests and raw frames.
    void EchoTest(std::int16_t i_iID, const std::string& i_sData);
    void Polling(std::int16_t i_iSourceID, std::int16_t i_iMachID);
    // The caller writes the whole command text, letters included; without the flag no reply
    // is awaited.
    void SendRawData(std::int16_t i_iID, const std::string& i_sData, bool i_blnNeedAck = false);

    // The operator's login. An ID outside 16 bits throws std::overflow_error, sending nothing.
    void Login(std::int64_t i_iID, const std::string& i_sPassword);
    void Logout(std::int16_t i_iID);
    void LoginStatus(std::int16_t i_iID);

    // Clock, date, machine number and machine name.
    void GetTime(std::int16_t i_iID);
    void GetDate(std::int16_t i_iID);
    void GetMachNo(std::int16_t i_iID);
    void GetMachName(std::int16_t i_iID);
    void SetTime(std::int16_t i_iID, const DateTime& i_dtTime);
    void SetDate(std::int16_t i_iID, const DateTime& i_dtDate);
    void SetMachNo(std::int16_t i_iID, std::int16_t i_iMachNo);
    void SetMachName(std::int16_t i_iID, const std::string& i_sMachName);
    // Reads the date-format item into DateFormat and empties the receive buffer. A reply that
    // does not fit 16 bits throws std::overflow_error and leaves DateFormat as it was.
    void GetDateFormat(std::int16_t i_iID);

    // Record download inside the terminal's read transaction, and record store upkeep.
    void RecordCount(std::int16_t i_iID);
    void GetRecord(std::int16_t i_iID);
    void ConfirmRecord(std::int16_t i_iID);
    void AbortReadTransation(std::int16_t i_iID);
    void CommitReadTransation(std::int16_t i_iID);
    void DeleteOldRecords(std::int16_t i_iID);
    void ResetOldRecords(std::int16_t i_iID);
    void InitializeDatabase(std::int16_t i_iID);
    void RecorverDatabase(std::int16_t i_iID);

    // The item catalogue and array items.
    void GetItemCount(std::int16_t i_iID);
    void ItemUpdate(std::int16_t i_iID);
    void GetItemNumberByName(std::int16_t i_iID, const std::string& i_sName);
    void GetItemInfo(std::int16_t i_iID, std::int16_t i_iItemIdx);
    void GetItem(std::int16_t i_iID, std::int16_t i_iReference, std::int16_t i_iMember);
    void SetItem(std::int16_t i_iID, std::int16_t i_iReference, std::int16_t i_iMember,
                 const std::string& i_sData);
    void GetItemDefault(std::int16_t i_iID, std::int16_t i_iReference, std::int16_t i_iMember);

    // Descriptor replies, read from the receive buffer without emptying it. A malformed
    // descriptor gives empty texts and zeros. Captions 0 to 10 are copied out; an array
    // shorter than 11 throws std::out_of_range and nothing is written.
    void GetData_ItemInfo(std::string& o_sName, std::int16_t& o_iID, std::string& o_sType,
                          std::int16_t& o_iSize, std::int16_t& o_iFlags, std::string& o_sDefinition,
                          std::string& o_sHelp, std::span<std::string> o_sSelStrs) const;
    void GetData_FieldInfo(std::int16_t& o_iID, std::string& o_sType, std::string& o_sDefinition,
                           std::string& o_sHelp, std::span<std::string> o_sSelStrs) const;

    // Table items: field descriptors, the terminal's cursor, and record changes.
    void GetItemTab_FieldInfo(std::int16_t i_iID, std::int16_t i_iReference,
                              std::int16_t i_iFieldIdx);
    void SetItemTab_ItemTop(std::int16_t i_iID, std::int16_t i_iReference);
    void GetItemTab_ItemFetch(std::int16_t i_iID, std::int16_t i_iReference);
    void SetItemTab_ItemConfirm(std::int16_t i_iID, std::int16_t i_iReference);
    void SetItemTab_ItemAdd(std::int16_t i_iID, std::int16_t i_iReference,
                            const std::string& i_sItemData);
    void SetItemTab_ItemEdit(std::int16_t i_iID, std::int16_t i_iReference,
                             std::int16_t i_iRecorderNumber, const std::string& i_sItemData);
    void SetItemTab_ItemRemove(std::int16_t i_iID, std::int16_t i_iReference,
                               std::int16_t i_iRecorderNumber);

    // Extended mode, display and relays.
    void X_LogOff(std::int16_t i_iID);
    void X_ShowText(std::int16_t i_iID, std::int16_t i_iDuration, const std::string& i_sMessage);
    void X_ActivateBell(std::int16_t i_iID, std::int16_t i_iBellDuration);
    void X_ActivateLock(std::int16_t i_iID, std::int16_t i_iLockDuration);
    void X_PunchTimesSet(std::int16_t i_iID, std::int16_t i_iPunchTmes);
    void X_PunchTimesGet(std::int16_t i_iID);

    // The weekly bell table. Each resets ErrCode first; a bell slot beyond 16 bits throws
    // std::overflow_error before anything is sent.
    void SetBellTimeMode(std::int16_t i_ID, std::int16_t i_Mode);
    void GetBellTimeMode(std::int16_t i_ID);
    void ClearBellTimeSettings(std::int16_t i_ID);
    void GetBellTime(std::int16_t i_ID, std::int16_t i_WeekdayIndex, std::int16_t i_BellTimeIndex);
    void SetBellTime(std::int16_t i_ID, std::int16_t i_WeekdayIndex, std::int16_t i_BellTimeIndex,
                     const DateTime& i_Time, std::int16_t i_Enabled);

    // A pushed record: source address ("COM3" or the peer's address), terminal number, data
    // (or the whole frame when it did not verify) and the code that verifying it gave.
    Event<const std::string&, std::int16_t, const std::string&, std::int32_t> KelvraDataArival;
    // Every chunk sent or received on the terminal link or the module's free-check link. With
    // no subscriber nothing is done for it.
    Event<const LinkChunk&> LinkTraffic;

private:
    friend class ucKelvraProbe; // the tests' view of the transaction

    // The transaction.
    void ExeCmd(const std::string& command, std::int16_t id, const std::string& data,
                const bool& needAck);
    void GetResult();
    bool WaitPass(const std::function<bool()>& complete);
    void SettleLink();
    void TakeReceived(std::string& out);
    void ParseReply(const std::string& frame);
    void WaitMilliseconds(std::int32_t ms);

    // The links.
    void CloseSocket();
    void AppendReceived(const std::string& chunk);
    void CountReceived(std::size_t characters);
    void OnSerialReceive();
    void OnSocketDataArrival();
    void ReceiveChunk(const std::string& chunk, bool serialLink);
    void OnSocketConnected();
    void OnSocketError();
    void OnModuleDataArrival();
    void ConnectTcp();
    enum class TrafficLink { Terminal, Module };
    void ReportTraffic(LinkDirection direction, TrafficLink link, std::string_view bytes);

    // Real-time mode.
    void HandlePushedRecord(const std::string& frame, const std::string& source, bool serialLink);
    void RequestResend(std::int16_t source);
    void SendResendRequest(std::int16_t source);
    void RunDeferredResend();
    void AskAgainIfUnanswered();
    void DiscardLateReply();
    void SetRealTimeMode(bool value) { m_RealTimeMode = value; }

    Clock& m_clock;
    EventPump& m_pump;
    std::unique_ptr<SerialPort> comm;
    std::unique_ptr<Socket> wsk;
    std::unique_ptr<Socket> wskVexa5;

    std::int32_t m_CommunicationType = 2;
    std::int32_t m_ErrCode = KV_SUCCESS;
    std::int32_t m_Timeout = 3000;
    bool m_WakeOnReply = false;
    std::int32_t m_ModulePort = 65535;
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
    bool m_ShuttingDown = false;
    std::string m_ModuleReply;
    std::int16_t m_ResendCount = 0;
    RecordCutter m_RecordCutter;
    // Commands waiting for their reply: one, or more when a handler ran one during the wait.
    int m_WaitDepth = 0;
    // A bad record that arrived while a command waited is requested again once it is done.
    std::optional<std::int16_t> m_DeferredResend;
    // The terminal and tick count of the last resend request that nothing has answered yet.
    std::optional<std::pair<std::int16_t, std::uint32_t>> m_ResendAwaited;
    // The terminal and data of the record last raised after a resend request: the terminal may
    // send it once more (its own repeat, or the answer to another request), and it is one record.
    std::optional<std::pair<std::int16_t, std::string>> m_ResentRecord;
    // After a time-out the reply may still come: until this tick count a new command first
    // waits for it and throws it away.
    std::optional<std::uint32_t> m_LateReplyUntil;
    // Under wake-on-reply: the text that ended the last reply wait, which a frame repeating it
    // does not end at once; and after a reply that was not one whole frame, the tick count
    // until which the next command drops what arrives before it is sent.
    std::string m_LastReply;
    std::optional<std::uint32_t> m_SettleUntil;

    std::array<std::int32_t, kTerminalTableSize> m_BytesReceived{};
    std::array<std::int32_t, kTerminalTableSize> m_PunchCount{};
    std::array<DateTime, kTerminalTableSize> m_LastPunch{};
    // The wall-clock reading that the traffic of the next moments is stamped with.
    std::optional<std::pair<std::uint32_t, DateTime>> m_TrafficTime;
    std::array<DateTime, kTerminalTableSize> m_LoadDateTime{};
    std::array<DateTime, kSequenceTableSize> m_ConnectTime{};
    std::array<std::int16_t, kSequenceTableSize> m_SeqState{};
};

} // namespace kelvra
