#include "platform/qt/QtSerialPort.h"

#include "platform/PlatformError.h"
#include "platform/qt/PostUnlessStale.h"
#include "platform/qt/QtErrors.h"

#include <QObject>
#include <QSerialPort>

namespace kelvra {

using namespace platform_error;

std::string DefaultSerialPortPath(int portNumber) {
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

QtSerialPort::QtSerialPort(SerialPortPathResolver resolver)
    : m_resolver(std::move(resolver)), m_context(std::make_unique<QObject>()),
      m_port(std::make_unique<QSerialPort>()) {
    QObject::connect(m_port.get(), &QSerialPort::readyRead, m_context.get(),
                     [this] { onReadyRead(); });
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_context.get(),
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(m_port.get(), nullptr, m_context.get(), nullptr);
    if (m_port->isOpen()) {
        m_port->close();
    }
}

void QtSerialPort::setPortNumber(int number) {
    if (number < kFirstPort || number > kLastPort) {
        throw PlatformError(kSerialInvalidPortNumber,
                            "Invalid port number " + std::to_string(number));
    }
    if (m_port->isOpen()) {
        throw PlatformError(kSerialPortAlreadyOpen, "Port already open");
    }
    m_portNumber = number;
}

void QtSerialPort::setFlowControl(FlowControl flow) {
    m_flow = flow;
    if (m_port->isOpen()) {
        applyFlowControl();
    }
}

void QtSerialPort::applyFlowControl() {
    const auto flow =
        m_flow == FlowControl::RtsCts ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl;
    if (!m_port->setFlowControl(flow)) {
        throw PlatformError(SerialErrorNumber(m_port->error()),
                            "Could not set flow control: " + m_port->errorString().toStdString());
    }
}

void QtSerialPort::setReceiveThreshold(int characters) {
    if (characters < 0) {
        throw PlatformError(kInvalidPropertyValue, "Invalid property value");
    }
    m_threshold = characters;
}

std::string QtSerialPort::devicePath() const {
    if (m_resolver) {
        try {
            std::string path = m_resolver(m_portNumber);
            if (!path.empty()) {
                return path;
            }
        } catch (const std::exception&) {
            // A mapping that cannot be read leaves the default device.
        }
    }
    return DefaultSerialPortPath(m_portNumber);
}

void QtSerialPort::open() {
    if (m_port->isOpen()) {
        throw PlatformError(kSerialPortAlreadyOpen, "Port already open");
    }
    const std::string path = devicePath();
    m_port->setPortName(QString::fromStdString(path));
    m_port->setBaudRate(kBaudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(m_flow == FlowControl::RtsCts ? QSerialPort::HardwareControl
                                                         : QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const int number = SerialErrorNumber(m_port->error());
        const std::string text = "Cannot open COM" + std::to_string(m_portNumber) + " (" + path +
                                 "): " + m_port->errorString().toStdString();
        m_port->clearError();
        throw PlatformError(number, text);
    }
    ++m_generation;
    m_notificationPending = false;
}

void QtSerialPort::close() {
    ++m_generation;
    m_notificationPending = false;
    if (m_port->isOpen()) {
        m_port->close();
    }
    m_port->clearError();
}

bool QtSerialPort::isOpen() const {
    return m_port->isOpen();
}

int QtSerialPort::lineDescriptor() const {
    return m_port->isOpen() ? static_cast<int>(m_port->handle()) : -1;
}

int QtSerialPort::unreadCount() {
    if (!m_port->isOpen()) {
        return 0;
    }
    return static_cast<int>(m_port->bytesAvailable());
}

std::string QtSerialPort::readAll() {
    if (!m_port->isOpen()) {
        throw PlatformError(kSerialPortNotOpen, "Operation valid only when the port is open");
    }
    return ToBytes(m_port->readAll());
}

void QtSerialPort::write(const std::string& bytes) {
    if (!m_port->isOpen()) {
        throw PlatformError(kSerialPortNotOpen, "Operation valid only when the port is open");
    }
    const qint64 written = m_port->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size())) {
        throw PlatformError(kSerialReadWriteFailed,
                            "Write failed: " + m_port->errorString().toStdString());
    }
    // Hand the frame to the device now rather than when the event loop next runs (after the
    // driver's first 50 ms sleep).
    m_port->flush();
}

void QtSerialPort::post(std::function<void()> action) {
    PostUnlessStale(m_context.get(), m_generation, std::move(action));
}

void QtSerialPort::onReadyRead() {
    // One notification pending at a time: its handler reads everything that is unread.
    if (m_notificationPending) {
        return;
    }
    m_notificationPending = true;
    post([this] {
        m_notificationPending = false;
        if (m_threshold <= 0 || !m_port->isOpen() || m_port->bytesAvailable() < m_threshold) {
            return;
        }
        // A copy: the handler may replace the member while it runs.
        const auto handler = onReceive;
        if (handler) {
            handler();
        }
    });
}

void QtSerialPort::onError(int error) {
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
        // Closed from a posted event, never from inside QSerialPort's own signal.
        post([this] { close(); });
    }
}

} // namespace kelvra
