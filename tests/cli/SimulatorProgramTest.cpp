// The kelvra-sim program as a person starts it: endpoint lines on stdout, its options reaching
// the simulator, refusals of bad command lines, and a clean exit on SIGTERM.
#include "LoopbackAddresses.h"
#include "PosixIo.h"
#include "driver/FrameCodec.h"

#include <QProcess>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

namespace kelvra::test {
namespace {

// Sends one datagram from the server's address and returns the reply, empty after two seconds.
std::string AskUdp(const std::string& address, int port, const std::string& request) {
    int bound = 0;
    const sim::UniqueFd client = sim::OpenUdpSocket(address, 0, bound);
    const sockaddr_in server = sim::MakeAddress(address, port);
    ::sendto(client.get(), request.data(), request.size(), 0,
             reinterpret_cast<const sockaddr*>(&server), sizeof server);
    pollfd ready{client.get(), POLLIN, 0};
    char reply[64];
    const ssize_t got = ::poll(&ready, 1, 2000) == 1 ? ::recv(client.get(), reply, 64, 0) : 0;
    return std::string(reply, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
}

TEST(SimulatorProgram, PrintsItsEndpointsAnswersAndStopsOnSigterm) {
    const QString terminal = QString::fromStdString(LoopbackAddress(47));
    const QString module = QString::fromStdString(LoopbackAddress(48));
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(KELVRA_SIM_PATH,
                  {"--bind", terminal, "--udp-port", "0", "--tcp-port", "0", "--module-bind",
                   module, "--module-port", "0", "--module-discovery", "127.255.255.255",
                   "--module-password", "9999", "--serial", "--fault", "delay=0", "--terminals",
                   "0,207"});
    QString text;
    while (text.count('\n') < 5 && program.waitForReadyRead(2000)) {
        text += program.readAll();
    }
    const auto endpoints =
        QRegularExpression("^udp " + QRegularExpression::escape(terminal) + ":(\\d+)\\ntcp " +
                           QRegularExpression::escape(terminal) + ":\\d+\\nmodule " +
                           QRegularExpression::escape(module) +
                           ":(\\d+)\\nmodule-discovery 127\\.255\\.255\\.255:(\\d+)\\n"
                           "serial /dev/pts/\\d+\\n$")
            .match(text);
    ASSERT_TRUE(endpoints.hasMatch()) << text.toStdString();
    EXPECT_EQ(endpoints.captured(2), endpoints.captured(3));
    EXPECT_EQ(AskUdp(terminal.toStdString(), endpoints.captured(1).toInt(),
                     BuildRequestFrame("E", 207, "123")),
              "\x02\xff\xff"
              "A123D708\x03");
    EXPECT_EQ(AskUdp(module.toStdString(), endpoints.captured(2).toInt(), "L9999"), "A")
        << "the module's own password";
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(2000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST(SimulatorProgram, RefusesBadCommandLines) {
    // Nothing is bound or sent: the program stops on reading its command line.
    const std::pair<QStringList, const char*> rows[] = {
        {{"--bind", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--module-bind", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--module-discovery", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--fault", "bogus"}, "unknown fault item 'bogus'"},
        {{"--serial", "--serial-baud", "fast"}, "--serial-baud: not a count: fast"},
        {{"--terminals", "0,208"}, "--terminals: numbers run from 0 to 207"},
    };
    for (const auto& [arguments, message] : rows) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(KELVRA_SIM_PATH, arguments);
        ASSERT_TRUE(program.waitForFinished(2000));
        EXPECT_TRUE(program.readAll().contains(message));
        EXPECT_EQ(program.exitCode(), 2);
    }
}

} // namespace
} // namespace kelvra::test
