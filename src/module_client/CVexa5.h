#pragma once

#include "module_client/ModuleCommands.h"
#include "module_client/ModuleReply.h"
#include "module_client/Vexa5Environment.h"
#include "platform/PlatformError.h"

#include <cstdint>
#include <string>

namespace kelvra {

// A client of the Ethernet interface module's configuration protocol: plain-text datagrams to
// port 65535 of one module, or to every module through the broadcast address. Each command
// sends one request and, except E_Exit, waits for the reply; the outcome is left in ErrCode
// (VX_…), the reply's data for GetData.
//
// Every CVexa5 sends on the one socket of the process-wide ReplyCollector, so Vexa5Environment
// must be installed first. The socket's remote host stays at the last address used: after
// B_Echo or B_Assign it is the broadcast address until a command with an address sets it.
//
// Whatever the collector holds when a wait first finds text is the reply: a datagram that
// arrives after its command gave up is taken by the next command as its own.
class CVexa5 {
public:
    // Takes the collector's socket and sets it up for datagrams to the module port. The socket
    // is shared: creating or destroying any CVexa5 closes it, dropping datagrams not yet
    // collected; the next send opens it again.
    CVexa5();
    ~CVexa5();
    CVexa5(const CVexa5&) = delete;
    CVexa5& operator=(const CVexa5&) = delete;

    // 0 switches the socket to streams, any other value to datagrams. Every command relies on
    // datagrams; none opens a stream connection.
    std::int32_t Protocol() const { return m_Protocol; }
    void SetProtocol(std::int32_t value);
    // Reply budget and discovery listening time in milliseconds; 0 or less is ignored.
    std::int32_t Timeout() const { return m_Timeout; }
    void SetTimeout(std::int32_t value);
    std::int32_t ErrCode() const { return m_ErrCode; }
    void SetErrCode(std::int32_t value) { m_ErrCode = value; }
    // Hands over the reply data and empties it.
    void GetData(std::string& o_sData);
    std::string LocalIP() const;

    // Discovery: every module on the segment answers within Timeout; the reply data then lists
    // one "reply:address" line (CR LF) per module, and ErrCode follows the first line's status.
    void B_Echo();
    void B_Assign(const std::string& i_sOldIP, const std::string& i_sNewIP,
                  const std::string& i_sPassword);
    void V_FirmwareVersion(const std::string& i_sIP);
    void I_Initialize(const std::string& i_sIP);
    // Does not wait: ErrCode keeps the previous command's outcome unless sending fails.
    void E_Exit(const std::string& i_sIP);
    void L_Login(const std::string& i_sIP, const std::string& i_sPassword);
    void S_ConnectionTimeout(const std::string& i_sIP, std::int16_t i_iTimeout);
    void G_ConnectionTimeout(const std::string& i_sIP);
    void G_DeviceName(const std::string& i_sIP);
    void S_DeviceName(const std::string& i_sIP, const std::string& i_sDeviceName);
    void G_OwerName(const std::string& i_sIP);
    void S_OwerName(const std::string& i_sIP, const std::string& i_sOwnerName);
    void S_RoutingMode(const std::string& i_sIP, std::int16_t i_iRoutingMode);
    void G_RoutingMode(const std::string& i_sIP);
    void S_Protocol(const std::string& i_sIP, std::int16_t i_iProtocol);
    void G_Protocol(const std::string& i_sIP);
    void S_IP_Address(const std::string& i_sIP, const std::string& i_iOwnIP);
    void G_IP_Address(const std::string& i_sIP);
    void S_DestinationIP(const std::string& i_sIP, const std::string& i_iDesIP);
    void G_DestinationIP(const std::string& i_sIP);
    void S_Baudrate(const std::string& i_sIP, std::int16_t i_iBaudrate);
    void G_Baudrate(const std::string& i_sIP);
    void S_OnTheFly(const std::string& i_sIP, std::int16_t i_iEnable);
    void G_OnTheFly(const std::string& i_sIP);
    void P_Baudrate(const std::string& i_sIP, std::int16_t i_iBaudrate);
    void S_Parity(const std::string& i_sIP, std::int16_t i_iParity);
    void G_Parity(const std::string& i_sIP);
    void P_Parity(const std::string& i_sIP, std::int16_t i_iParity);
    void S_Bits(const std::string& i_sIP, std::int16_t i_iBits);
    void G_Bits(const std::string& i_sIP);
    void P_Bits(const std::string& i_sIP, std::int16_t i_iBits);
    void S_FlowControl(const std::string& i_sIP, std::int16_t i_iFlowControl);
    void G_FlowControl(const std::string& i_sIP);
    void P_FlowControl(const std::string& i_sIP, std::int16_t i_iFlowControl);
    void G_IO_Status(const std::string& i_sIP, std::int16_t i_iIO_Number);
    void P_IO_Status(const std::string& i_sIP, std::int16_t i_iIO_Number, std::int16_t i_iStatus);

private:
    // One command to one address (or the broadcast address).
    void Run(const ModuleCommand& command, const std::string& host, const std::string& argument);
    void SendCommand(const ModuleCommand& command, const std::string& argument, bool NeedAck);
    void ReceiveReply();
    void ReportSendFailure(const PlatformError& failure);
    std::string ReadCollected() { return m_collector.Data(); }
    void Wait(std::int32_t ms);

    Vexa5Environment& m_environment;
    ReplyCollector& m_collector;
    Socket& m_socket;
    std::int32_t m_Protocol = 1;
    std::int32_t m_Timeout = 3000;
    std::int32_t m_ErrCode = VX_SUCCESS;
    std::string m_ReplyData;
};

} // namespace kelvra
