// QtSerialPort through a pseudo-terminal standing behind "COM3", mapped in a per-user INI file
// in a temporary directory.
#include "platform/qt/QtSerialPort.h"

#include "ErrorNumber.h"
#include "PosixIo.h"
#include "Waiting.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtLinkFactory.h"
#include "platform/qt/QtSettingsStore.h"

#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace kelvra {
namespace {

using test::ErrorNumberOf;
using test::PumpFor;
using test::WaitUntil;

class SerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settings.write(QtLinkFactory::kDefaultTitle, "SerialPorts", "COM3", pty.slavePath);
        port = links.createSerialPort();
        qtPort = dynamic_cast<QtSerialPort*>(port.get());
        ASSERT_NE(qtPort, nullptr);
        port->setReceiveThreshold(1);
        port->setPortNumber(3);
    }

    // The far end of the line: what it reads until `count` bytes have come, and what it writes.
    std::string read(std::size_t count) {
        std::string received;
        WaitUntil([&] {
            char buffer[512];
            const ssize_t n = ::read(pty.master.get(), buffer, sizeof buffer);
            received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
            return received.size() >= count;
        });
        return received;
    }
    bool write(const std::string& bytes) {
        return ::write(pty.master.get(), bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }

    QTemporaryDir dir;
    sim::PseudoTerminal pty = sim::OpenPseudoTerminal();
    QtSettingsStore settings{QtSettingsStore::Scope::PerUser, dir.filePath("kelvra.ini")};
    QtLinkFactory links{settings};
    std::unique_ptr<SerialPort> port;
    QtSerialPort* qtPort = nullptr;
};

// The line as the terminal expects it: 38400 baud, 8N1, raw; RTS/CTS as asked, even while open.
TEST_F(SerialTest, TheLineIsSetUpAsTheTerminalExpects) {
    termios line{};
    ASSERT_EQ(tcgetattr(pty.slave.get(), &line), 0);
    cfsetspeed(&line, B9600); // a line left otherwise by its last user
    line.c_cflag |= PARENB | CSTOPB;
    line.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(tcsetattr(pty.slave.get(), TCSANOW, &line), 0);
    port->setFlowControl(FlowControl::RtsCts);
    port->open();
    ASSERT_EQ(tcgetattr(qtPort->lineDescriptor(), &line), 0);
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B38400));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u) << "raw: every byte passes unchanged";
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
    port->setFlowControl(FlowControl::None);
    ASSERT_EQ(tcgetattr(qtPort->lineDescriptor(), &line), 0);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
    port->close();
    EXPECT_EQ(qtPort->lineDescriptor(), -1);
}

TEST_F(SerialTest, EveryByteValueTravelsBothWaysAndEveryArrivalIsNotified) {
    port->open();
    std::string frame;
    for (int code = 0; code < 256; ++code) {
        frame += static_cast<char>(code);
    }
    port->write(frame);
    EXPECT_EQ(read(frame.size()), frame);

    std::string received;
    int notifications = 0;
    port->onReceive = [&] {
        ++notifications;
        received += port->readAll();
    };
    ASSERT_TRUE(write(frame));
    ASSERT_TRUE(WaitUntil([&] { return received.size() == frame.size(); }));
    const int afterFirst = notifications;
    ASSERT_TRUE(write("\x03"));
    ASSERT_TRUE(WaitUntil([&] { return received.size() == frame.size() + 1; }));
    EXPECT_GT(notifications, afterFirst) << "a later byte raises its own notification";
    EXPECT_EQ(received, frame + "\x03");
    EXPECT_EQ(port->unreadCount(), 0);
}

TEST_F(SerialTest, AThresholdOfZeroRaisesNoNotificationButInputIsCountedAndRead) {
    port->setReceiveThreshold(0);
    port->open();
    int notifications = 0;
    port->onReceive = [&] { ++notifications; };
    ASSERT_TRUE(write("abc"));
    ASSERT_TRUE(WaitUntil([&] { return port->unreadCount() == 3; }));
    PumpFor(50);
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(port->readAll(), "abc");
    EXPECT_EQ(port->unreadCount(), 0);
}

TEST_F(SerialTest, MisuseFailsWithItsOwnNumbers) {
    EXPECT_EQ(ErrorNumberOf([&] { port->write("x"); }), 8018) << "closed";
    EXPECT_EQ(ErrorNumberOf([&] { port->readAll(); }), 8018) << "closed";
    EXPECT_EQ(port->unreadCount(), 0);
    EXPECT_NO_THROW(port->close());
    EXPECT_EQ(ErrorNumberOf([&] { port->setPortNumber(0); }), 8002);
    EXPECT_EQ(ErrorNumberOf([&] { port->setPortNumber(17); }), 8002);
    EXPECT_EQ(port->portNumber(), 3);

    port->open();
    EXPECT_EQ(ErrorNumberOf([&] { port->open(); }), 8005) << "open twice";
    EXPECT_EQ(ErrorNumberOf([&] { port->setPortNumber(4); }), 8005) << "changed while open";
    EXPECT_EQ(port->portNumber(), 3);
    port->close();

    settings.write(QtLinkFactory::kDefaultTitle, "SerialPorts", "COM16",
                   dir.filePath("no-such-tty").toStdString());
    port->setPortNumber(16);
    EXPECT_EQ(ErrorNumberOf([&] { port->open(); }), 8002) << "no such device";
    EXPECT_FALSE(port->isOpen());
}

TEST_F(SerialTest, LineWhoseFarEndGoesAwayClosesItself) {
    port->open();
    pty.master.reset();
    EXPECT_TRUE(WaitUntil([&] { return !port->isOpen(); }, 3000));
}

} // namespace
} // namespace kelvra
