#include "module_client/CVexa5.h"

#include <exception>

namespace kelvra {

namespace {

// Setting the shared socket up is best effort: a statement that fails is skipped.
template <typename Statement> void IgnoreFailure(Statement&& statement) {
    try {
        statement();
    } catch (const std::exception&) {
    }
}

std::string Decimal(std::int16_t value) {
    return std::to_string(value);
}

} // namespace

CVexa5::CVexa5()
    : m_environment(Vexa5Environment::current()), m_collector(m_environment.collector()),
      m_socket(m_collector.wsk()) {
    ++m_environment.m_clients;
    IgnoreFailure([&] {
        if (m_socket.state() != SocketClosed) {
            m_socket.close();
        }
    });
    IgnoreFailure([&] { m_socket.setProtocol(SocketProtocol::Datagram); });
    IgnoreFailure([&] { m_socket.setRemoteHost(m_environment.endpoints().broadcastAddress); });
    IgnoreFailure([&] { m_socket.setRemotePort(m_environment.endpoints().modulePort); });
}

CVexa5::~CVexa5() {
    IgnoreFailure([&] {
        if (m_socket.state() != SocketClosed) {
            m_socket.close();
        }
    });
    --m_environment.m_clients;
}

void CVexa5::SetProtocol(std::int32_t value) {
    m_Protocol = value;
    IgnoreFailure([&] {
        m_socket.setProtocol(value == 0 ? SocketProtocol::Stream : SocketProtocol::Datagram);
    });
}

void CVexa5::SetTimeout(std::int32_t value) {
    if (value > 0) {
        m_Timeout = value;
    }
}

void CVexa5::GetData(std::string& o_sData) {
    o_sData = std::move(m_ReplyData);
    m_ReplyData.clear();
}

std::string CVexa5::LocalIP() const {
    return m_socket.localAddress();
}

void CVexa5::B_Echo() {
    m_collector.SetIsEchoCmd(true);
    Run(module_command::Echo, m_environment.endpoints().broadcastAddress, "");
    m_collector.SetIsEchoCmd(false);
}

void CVexa5::B_Assign(const std::string& i_sOldIP, const std::string& i_sNewIP,
                      const std::string& i_sPassword) {
    Run(module_command::Assign, m_environment.endpoints().broadcastAddress,
        i_sOldIP + "/" + i_sPassword + "/" + i_sNewIP);
    m_collector.SetIsEchoCmd(false);
}

void CVexa5::V_FirmwareVersion(const std::string& i_sIP) {
    Run(module_command::FirmwareVersion, i_sIP, "");
}

void CVexa5::I_Initialize(const std::string& i_sIP) {
    Run(module_command::Initialize, i_sIP, "");
}

void CVexa5::E_Exit(const std::string& i_sIP) {
    Run(module_command::Exit, i_sIP, "");
}

void CVexa5::L_Login(const std::string& i_sIP, const std::string& i_sPassword) {
    Run(module_command::Login, i_sIP, i_sPassword);
}

void CVexa5::S_ConnectionTimeout(const std::string& i_sIP, std::int16_t i_iTimeout) {
    Run(module_command::SetConnectionTimeout, i_sIP, Decimal(i_iTimeout));
}

void CVexa5::G_ConnectionTimeout(const std::string& i_sIP) {
    Run(module_command::GetConnectionTimeout, i_sIP, "");
}

void CVexa5::G_DeviceName(const std::string& i_sIP) {
    Run(module_command::GetDeviceName, i_sIP, "");
}

void CVexa5::S_DeviceName(const std::string& i_sIP, const std::string& i_sDeviceName) {
    Run(module_command::SetDeviceName, i_sIP, i_sDeviceName);
}

void CVexa5::G_OwerName(const std::string& i_sIP) {
    Run(module_command::GetOwnerName, i_sIP, "");
}

void CVexa5::S_OwerName(const std::string& i_sIP, const std::string& i_sOwnerName) {
    Run(module_command::SetOwnerName, i_sIP, i_sOwnerName);
}

void CVexa5::S_RoutingMode(const std::string& i_sIP, std::int16_t i_iRoutingMode) {
    Run(module_command::SetRoutingMode, i_sIP, Decimal(i_iRoutingMode));
}

void CVexa5::G_RoutingMode(const std::string& i_sIP) {
    Run(module_command::GetRoutingMode, i_sIP, "");
}

void CVexa5::S_Protocol(const std::string& i_sIP, std::int16_t i_iProtocol) {
    Run(module_command::SetProtocol, i_sIP, Decimal(i_iProtocol));
}

void CVexa5::G_Protocol(const std::string& i_sIP) {
    Run(module_command::GetProtocol, i_sIP, "");
}

void CVexa5::S_IP_Address(const std::string& i_sIP, const std::string& i_iOwnIP) {
    Run(module_command::SetIpAddress, i_sIP, i_iOwnIP);
}

void CVexa5::G_IP_Address(const std::string& i_sIP) {
    Run(module_command::GetIpAddress, i_sIP, "");
}

void CVexa5::S_DestinationIP(const std::string& i_sIP, const std::string& i_iDesIP) {
    Run(module_command::SetDestinationIp, i_sIP, i_iDesIP);
}

void CVexa5::G_DestinationIP(const std::string& i_sIP) {
    Run(module_command::GetDestinationIp, i_sIP, "");
}

void CVexa5::S_Baudrate(const std::string& i_sIP, std::int16_t i_iBaudrate) {
    Run(module_command::SetBaudrate, i_sIP, Decimal(i_iBaudrate));
}

void CVexa5::G_Baudrate(const std::string& i_sIP) {
    Run(module_command::GetBaudrate, i_sIP, "");
}

void CVexa5::S_OnTheFly(const std::string& i_sIP, std::int16_t i_iEnable) {
    Run(module_command::SetOnTheFly, i_sIP, Decimal(i_iEnable));
}

void CVexa5::G_OnTheFly(const std::string& i_sIP) {
    Run(module_command::GetOnTheFly, i_sIP, "");
}

void CVexa5::P_Baudrate(const std::string& i_sIP, std::int16_t i_iBaudrate) {
    Run(module_command::PutBaudrate, i_sIP, Decimal(i_iBaudrate));
}

void CVexa5::S_Parity(const std::string& i_sIP, std::int16_t i_iParity) {
    Run(module_command::SetParity, i_sIP, Decimal(i_iParity));
}

void CVexa5::G_Parity(const std::string& i_sIP) {
    Run(module_command::GetParity, i_sIP, "");
}

void CVexa5::P_Parity(const std::string& i_sIP, std::int16_t i_iParity) {
    Run(module_command::PutParity, i_sIP, Decimal(i_iParity));
}

void CVexa5::S_Bits(const std::string& i_sIP, std::int16_t i_iBits) {
    Run(module_command::SetBits, i_sIP, Decimal(i_iBits));
}

void CVexa5::G_Bits(const std::string& i_sIP) {
    Run(module_command::GetBits, i_sIP, "");
}

void CVexa5::P_Bits(const std::string& i_sIP, std::int16_t i_iBits) {
    Run(module_command::PutBits, i_sIP, Decimal(i_iBits));
}

void CVexa5::S_FlowControl(const std::string& i_sIP, std::int16_t i_iFlowControl) {
    Run(module_command::SetFlowControl, i_sIP, Decimal(i_iFlowControl));
}

void CVexa5::G_FlowControl(const std::string& i_sIP) {
    Run(module_command::GetFlowControl, i_sIP, "");
}

void CVexa5::P_FlowControl(const std::string& i_sIP, std::int16_t i_iFlowControl) {
    Run(module_command::PutFlowControl, i_sIP, Decimal(i_iFlowControl));
}

void CVexa5::G_IO_Status(const std::string& i_sIP, std::int16_t i_iIO_Number) {
    Run(module_command::GetIoStatus, i_sIP, Decimal(i_iIO_Number));
}

void CVexa5::P_IO_Status(const std::string& i_sIP, std::int16_t i_iIO_Number,
                         std::int16_t i_iStatus) {
    // No separator: I/O 2 with status 1 is "21".
    Run(module_command::SetIoStatus, i_sIP, Decimal(i_iIO_Number) + Decimal(i_iStatus));
}

} // namespace kelvra
