#pragma once

#include <QAbstractSocket>
#include <QSerialPort>
#include <QSettings>
#include <string>

namespace kelvra {

// The error numbers that the Qt platform puts into PlatformError. They follow the numbers of
// the services the driver was written against, so the driver's rules read the same:
//
// Socket (Winsock numbers, and the sockets control's own 40000 range):
//   10013 access denied              (QAbstractSocket::SocketAccessError)
//   10036 operation in progress      (UnfinishedSocketOperationError)
//   10039 destination required       (datagram sent with no remote host)
//   10040 datagram too large         (DatagramTooLargeError, or a datagram sent in part)
//   10044 socket type not supported  (UnsupportedSocketOperationError; the driver reads this
//                                     one as "no network installed")
//   10048 address in use             (AddressInUseError)
//   10049 address not available      (SocketAddressNotAvailableError)
//   10050 network down               (NetworkError)
//   10054 connection reset / closed  (RemoteHostClosedError: the peer dropped the stream)
//   10055 no buffer space            (SocketResourceError)
//   10060 timed out                  (SocketTimeoutError)
//   10061 connection refused         (ConnectionRefusedError)
//   10065 proxy failure              (every proxy error)
//   11001 host not found             (HostNotFoundError, or a failed name lookup)
//   40006 wrong state                (send on a stream that is not connected; OperationError)
//   40020 invalid operation          (connect on a datagram socket, or on one not closed)
//   40099 any other socket failure   (UnknownSocketError and the rest)
//   380   invalid property value     (remote port outside 0..65535)
//
// Serial port (the serial control's numbers):
//   8002 invalid port number         (number outside 1..16, DeviceNotFoundError)
//   8005 port already open           (open twice, port number changed while open,
//                                     PermissionError: in use or not allowed, OpenError)
//   8010 hardware not available      (ResourceError and every other open failure)
//   8015 could not set line state    (UnsupportedOperationError: 38400 8N1 or flow refused)
//   8018 port not open               (read or write on a closed port)
//   8020 read or write failed        (ReadError, WriteError, a frame written in part)
//   380  invalid property value      (negative receive threshold)
//
// Settings stores (the registry's Win32 numbers):
//   5    access denied               (QSettings::AccessError: the file cannot be written)
//   13   invalid data                (QSettings::FormatError: the file cannot be parsed)
namespace platform_error {
inline constexpr int kInvalidPropertyValue = 380;

inline constexpr int kSocketAccessDenied = 10013;
inline constexpr int kSocketInProgress = 10036;
inline constexpr int kSocketDestinationRequired = 10039;
inline constexpr int kSocketMessageTooLarge = 10040;
inline constexpr int kSocketTypeNotSupported = 10044;
inline constexpr int kSocketAddressInUse = 10048;
inline constexpr int kSocketAddressNotAvailable = 10049;
inline constexpr int kSocketNetworkDown = 10050;
inline constexpr int kSocketConnectionReset = 10054;
inline constexpr int kSocketNoBufferSpace = 10055;
inline constexpr int kSocketTimedOut = 10060;
inline constexpr int kSocketConnectionRefused = 10061;
inline constexpr int kSocketProxyFailure = 10065;
inline constexpr int kSocketHostNotFound = 11001;
inline constexpr int kSocketWrongState = 40006;
inline constexpr int kSocketInvalidOperation = 40020;
inline constexpr int kSocketOtherFailure = 40099;

inline constexpr int kSerialInvalidPortNumber = 8002;
inline constexpr int kSerialPortAlreadyOpen = 8005;
inline constexpr int kSerialHardwareNotAvailable = 8010;
inline constexpr int kSerialCannotSetLineState = 8015;
inline constexpr int kSerialPortNotOpen = 8018;
inline constexpr int kSerialReadWriteFailed = 8020;

inline constexpr int kSettingsAccessDenied = 5;
inline constexpr int kSettingsInvalidData = 13;
} // namespace platform_error

int SocketErrorNumber(QAbstractSocket::SocketError error);
int SerialErrorNumber(QSerialPort::SerialPortError error);
int SettingsErrorNumber(QSettings::Status status);

// Link text is one char per byte; Qt's byte arrays and Latin-1 strings carry it unchanged.
std::string ToBytes(const QByteArray& bytes);
QByteArray FromBytes(const std::string& bytes);

} // namespace kelvra
