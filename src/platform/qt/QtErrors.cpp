#include "platform/qt/QtErrors.h"

namespace kelvra {

using namespace platform_error;

int SocketErrorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return kSocketConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return kSocketConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return kSocketHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return kSocketAccessDenied;
    case QAbstractSocket::SocketResourceError:
        return kSocketNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return kSocketTimedOut;
    case QAbstractSocket::DatagramTooLargeError:
        return kSocketMessageTooLarge;
    case QAbstractSocket::NetworkError:
        return kSocketNetworkDown;
    case QAbstractSocket::AddressInUseError:
        return kSocketAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return kSocketAddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
        // The one number the driver tells apart: no socket of this kind on this system.
        return kSocketTypeNotSupported;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return kSocketInProgress;
    case QAbstractSocket::OperationError:
        return kSocketWrongState;
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
        return kSocketProxyFailure;
    default:
        return kSocketOtherFailure;
    }
}

int SerialErrorNumber(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return kSerialInvalidPortNumber;
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return kSerialPortAlreadyOpen;
    case QSerialPort::UnsupportedOperationError:
        return kSerialCannotSetLineState;
    case QSerialPort::NotOpenError:
        return kSerialPortNotOpen;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        return kSerialReadWriteFailed;
    default:
        return kSerialHardwareNotAvailable;
    }
}

int SettingsErrorNumber(QSettings::Status status) {
    return status == QSettings::FormatError ? kSettingsInvalidData : kSettingsAccessDenied;
}

std::string ToBytes(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray FromBytes(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace kelvra
