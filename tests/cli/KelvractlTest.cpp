// kelvractl as a technician runs it: a process against the simulator on loopback, judged by its
// exit status, its output and what the simulated terminal holds afterwards.
#include "LoopbackAddresses.h"
#include "SimulatorHost.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <termios.h>

namespace kelvra::test {
namespace {

constexpr const char* kDiscovery = "127.255.255.255";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// A simulated terminal on an address of its own, and kelvractl run against it.
class Kelvractl : public ::testing::Test {
protected:
    void SetUp() override { start({}); }

    void start(sim::SimulatorOptions options) {
        options.bindAddress = LoopbackAddress(1);
        // The module on a port of its own too: --tcp must ask it where --module-port says.
        options.udpPort = options.tcpPort = options.modulePort = 0;
        options.serial = true;
        host = std::make_unique<sim::SimulatorHost>(std::move(options));
        host->start();
    }

    QString udp() const {
        return "--udp=" + QString::fromStdString(host->bindAddress()) + ":" +
               QString::number(host->udpPort());
    }

    QProcess* launch(const QStringList& arguments) {
        auto* process = new QProcess;
        process->setProcessEnvironment([&] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("KELVRA_USER_SETTINGS", settings.filePath("user.ini"));
            return environment;
        }());
        process->start(KELVRACTL_PATH, arguments);
        return process;
    }

    static Outcome finish(QProcess* process) {
        std::unique_ptr<QProcess> owned(process);
        if (!process->waitForFinished(60000)) {
            process->kill();
            process->waitForFinished();
        }
        return {process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
                process->readAllStandardOutput().toStdString(),
                process->readAllStandardError().toStdString()};
    }

    // Over UDP unless the words name a link of their own.
    Outcome run(const QString& words) {
        QStringList arguments = words.split(' ', Qt::SkipEmptyParts);
        if (!QRegularExpression("--(udp|tcp|serial|module)\\b").match(words).hasMatch()) {
            arguments.prepend(udp());
        }
        return finish(launch(arguments));
    }

    std::vector<std::string> unreadRecordLines() {
        return host->withTerminal(1, [](sim::TerminalModel& terminal) {
            std::vector<std::string> lines;
            for (const sim::PunchRecord& record : terminal.newRecords()) {
                lines.push_back(terminal.recordText(record));
            }
            return lines;
        });
    }

    QTemporaryDir settings;
    std::unique_ptr<sim::SimulatorHost> host;
};

TEST_F(Kelvractl, EveryCommandGroupOnce) {
    const QString address = QString::fromStdString(host->bindAddress());
    const QString modulePort = "--module-port " + QString::number(host->modulePort()) + " ";
    const QString tcp = modulePort + "--tcp=" + address + ":" + QString::number(host->tcpPort());
    const QString module = modulePort + "--module " + address + " ";
    // A module that hears discoveries, on a port of this process's own: every process's
    // modules hear the loopback broadcast address on the ports they listen on.
    sim::SimulatorOptions discoverable;
    discoverable.moduleBindAddress = discoverable.bindAddress = LoopbackAddress(2);
    discoverable.udp = discoverable.tcp = false;
    discoverable.modulePort = LoopbackBroadcastPort();
    discoverable.moduleDiscoveryAddress = kDiscovery;
    sim::SimulatorHost discovered(std::move(discoverable));
    discovered.start();
    const QString discoveryPort = QString::number(discovered.modulePort());
    const QString serial = "--serial=" + QString::fromStdString(host->serialPath());
    struct Row {
        QString words;
        std::string output; // a pattern for the whole of standard output
        std::string sent{}; // when given: the bodies of the frames the terminal received
    };
    const Row rows[] = {
        {"echo hello", "hello\n"},
        {tcp + " echo over-tcp", "over-tcp\n"},
        {serial + " --no-flow-control echo over-serial", "over-serial\n"},
        {"poll 3", "3\n"},
        {"raw LS", "O\n"},
        {"login 1234", ""},
        {"status", "I\n"},
        {"logout", ""},
        {"time set 07:30:00", ""},
        {"time get", "07:30:0\\d\n"},
        {"date set 24-12-2027", ""},
        {"date get", "24-12-2027\n"},
        {"--password 1234 machno set 42", ""},
        {"machno get", "42\n"},
        {"--password 1234 machname set GATE-2", ""},
        {"machname get", "GATE-2\n"},
        {"dateformat", "1\n"},
        {"items", "Number +Name[\\s\\S]*\n3 +MACHNAME +STR +1 +8 +GATE-2\n[\\s\\S]*"
                  "5 +LOGINPWD +STR +1 +8 +\\(KV_ERR_ACCESS_DENIED\\)\n[\\s\\S]*"},
        {"items --json", "\\[\n  \\{\"number\": 0, \"name\": \"TIME\"[\\s\\S]*\\]\n"},
        {"--password 1234 item set RELAYTIME 1 9", ""},
        {"item get 9 1", "9\n"},
        {"item default RELAYTIME 1", "5\n"},
        {"item info LANGUAGE", "[\\s\\S]*Value 1 +1 Deutsch\n[\\s\\S]*"},
        {"item update", ""},
        {"table fields EMPLOYEES", "[\\s\\S]*1 +1 +STR +Name[\\s\\S]*"},
        {"--password 1234 table add EMPLOYEES 7 JO 1 31-12-2027 08:00:00", ""},
        {"--password 1234 table edit EMPLOYEES 3 7 JOE 1 31-12-2027 08:00:00", ""},
        {"table list --tsv EMPLOYEES",
         "Record\tEmployee No.[\\s\\S]*\n3\t7\tJOE\t1\t31-12-2027\t08:00:00\n"},
        {"--password 1234 table remove EMPLOYEES 3", ""},
        {"--password 1234 bells set 2 4 07:45:00 off", "", "LI1234\nWT4407:45:0000\nLO\n"},
        {"--password 1234 bells set 2 5 07:50:00 on", "", "LI1234\nWT4507:50:0001\nLO\n"},
        {"--password 1234 bells set 2 3 07:30:00", "", "LI1234\nWT4307:30:0001\nLO\n"},
        {"bells get 2 3", "Weekday +Bell +Time +Enabled\n2 +3 +07:30:00 +01\n"},
        {"--password 1234 bells mode week", ""},
        {"bells mode", "week\n"},
        {"--password 1234 bells clear --yes", ""},
        {"punch-times set 10", ""},
        {"punch-times get", "10\n"},
        {"display --seconds 3 HELLO", ""},
        {"relay bell 2", "", "XB02\n"},
        {"relay lock 2", "", "XL02\n"},
        {"records count", "3\n"},
        {"monitor --count 1", "1\t[^\n]*\tC10000001\t0\t1\n"},
        {"extended off", ""},
        {"records abort", ""},
        {"--password 1234 records reset-old", ""},
        {"--password 1234 records delete-old --yes", ""},
        {"--password 1234 records recover --yes", ""},
        {"--password 1234 records initialize --yes", ""},
        {"records count", "0\n"},
        {module + "module get device-name", "KELVRA-SIM\n"},
        {module + "--password 1234 module set owner-name BOB", ""},
        {module + "module firmware", "1.0\n"},
        {"--timeout 300 --module-port " + discoveryPort + " module discover --broadcast " +
             kDiscovery,
         "[^\n]*:" + std::regex_replace(LoopbackAddress(2), std::regex("\\."), "\\.") + "\n"},
        {"--timeout 300 --module-port " + discoveryPort + " --password 1234 module assign " +
             "--broadcast " + kDiscovery + " " + QString::fromStdString(LoopbackAddress(2)) + " " +
             QString::fromStdString(LoopbackAddress(9)),
         LoopbackAddress(9) + "\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words.toStdString());
        host->clearReceived();
        const Outcome outcome = run(row.words);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_TRUE(std::regex_match(outcome.out, std::regex(row.output))) << outcome.out;
        std::string bodies;
        for (const sim::ReceivedFrame& received : host->receivedFrames()) {
            bodies += received.frame.substr(3, received.frame.size() - 8) + "\n";
        }
        EXPECT_TRUE(row.sent.empty() || bodies == row.sent) << bodies;
    }
    EXPECT_EQ(host->withTerminal(1, [](sim::TerminalModel& t) { return t.displayText(); }),
              "HELLO");
}

TEST_F(Kelvractl, FailuresExitWithTheirCodeAndSayWhy) {
    struct Row {
        QString words;
        int status;
        const char* message;
        std::string_view fault = "none";
    };
    const Row rows[] = {
        {"--udp 127.0.0.1:70000 echo x", 2, "--udp port must be a whole number"},
        {"item get NOSUCH", 13, "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED"},
        {"records download --csv /nonexistent-kelvra-dir/records.csv", 1, "cannot write"},
        {"records initialize", 2, "add --yes"},
        {"frobnicate", 2, "unknown command"},
        {"bells get 2 3", 3, "the terminal's reply is no bell", "refuse=A:WG"},
        {"--timeout 200 echo x", 11, "Error Code: -101, KV_ERR_TIMEOUT", "silent"},
        {"--timeout 300 --module " + QString::fromStdString(LoopbackAddress(9)) +
             " module firmware",
         31, "Error Code: -1, VX_ERR_NO_REPLY"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words.toStdString());
        host->applyFaultList(row.fault);
        const Outcome outcome = run(row.words);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_NE(outcome.err.find(row.message), std::string::npos) << outcome.err;
    }
    // Nothing was fetched for the file that could not be written.
    EXPECT_EQ(unreadRecordLines().size(), 3u);
}

// The line as kelvractl sets it up, read while it waits for a terminal that does not answer:
// RTS/CTS unless --no-flow-control.
TEST_F(Kelvractl, TheSerialLineHasFlowControlUnlessToldOtherwise) {
    host->applyFaultList("silent");
    const sim::UniqueFd line(::open(host->serialPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(line);
    for (const bool flowControl : {true, false}) {
        SCOPED_TRACE(flowControl);
        termios mode{};
        ASSERT_EQ(tcgetattr(line.get(), &mode), 0);
        cfsetspeed(&mode, B9600); // kelvractl's 38400 then tells that it holds the line
        mode.c_cflag = flowControl ? mode.c_cflag & ~CRTSCTS : mode.c_cflag | CRTSCTS;
        ASSERT_EQ(tcsetattr(line.get(), TCSANOW, &mode), 0);
        // Terminal 1 goes without saying: only the flow control option differs.
        QProcess* process = launch({flowControl ? "--source=1" : "--no-flow-control",
                                    "--serial=" + QString::fromStdString(host->serialPath()),
                                    "--timeout=500", "echo", "x"});
        std::optional<bool> rtsCts;
        for (int i = 0; i < 2000 && !process->waitForFinished(5); ++i) {
            if (tcgetattr(line.get(), &mode) == 0 && cfgetospeed(&mode) == B38400) {
                rtsCts = (mode.c_cflag & CRTSCTS) != 0;
            }
        }
        EXPECT_EQ(finish(process).status, 11);
        EXPECT_EQ(rtsCts, flowControl);
    }
}

// Reads a CSV file strictly, writes the rows back with quotes only where they are needed and
// prints them (fields split by 0x1F, each row ended by 0x1E) when that gives the same bytes.
constexpr const char* kCsvReader = R"(import csv, io, sys
text = open(sys.argv[1], newline='').read()
rows = list(csv.reader(io.StringIO(text, newline=''), strict=True))
again = io.StringIO()
csv.writer(again, lineterminator='\n').writerows(rows)
print(''.join('\x1f'.join(row) + '\x1e' for row in rows) if again.getvalue() == text else text)
)";

// Every record reaches the file once, whatever its fields hold: a download that failed leaves
// no file and the read transaction closed, one that finds it left open starts it again; the
// monitor appends under the one header and passes over a copy that failed its checks.
TEST_F(Kelvractl, EveryRecordReachesTheCsvFileOnce) {
    for (const char* card : {"A,1", "B\"2\"", "C\n\"3,"}) {
        host->addPunchRecord(1, card);
    }
    std::vector<std::string> records = unreadRecordLines();
    const QString path = settings.filePath("records.csv");
    host->applyFaultList("refuse=F:RH");
    EXPECT_EQ(run("records download --commit --csv " + path).status, 13);
    EXPECT_TRUE(QDir(settings.path()).entryList({"records*"}, QDir::Files).isEmpty());
    host->applyFaultList("none");
    // Another reader starts at the first record, and goes away with its transaction open.
    EXPECT_EQ(run("raw RG").out, records.at(0) + "\n");
    Outcome outcome = run("records download --commit --csv " + path);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(unreadRecordLines().empty());

    host->addPunchRecord(1, "D\"4");
    host->addPunchRecord(1, "E5");
    const std::vector<std::string> pushed = unreadRecordLines();
    // A serial link hands on a record that failed its checks at once.
    host->applyFaultList("corrupt-push=1");
    outcome = run("--serial=" + QString::fromStdString(host->serialPath()) +
                  " monitor --count 2 --csv " + path);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, pushed.at(0) + "\n" + pushed.at(1) + "\n");
    EXPECT_NE(outcome.err.find("did not verify and was not confirmed"), std::string::npos);
    EXPECT_TRUE(unreadRecordLines().empty());

    records.insert(records.begin(), "Number\tDate\tTime\tCard\tMode\tMachine");
    records.insert(records.end(), pushed.begin(), pushed.end());
    std::string expected;
    for (std::string record : records) {
        std::replace(record.begin(), record.end(), '\t', '\x1f');
        expected += record + "\x1e";
    }
    QProcess reader;
    reader.start("python3", {"-c", kCsvReader, path});
    ASSERT_TRUE(reader.waitForFinished(30000)) << "python3 reads the file";
    EXPECT_EQ(reader.readAllStandardOutput().toStdString(), expected + "\n");
}

// Stopped while a record is on its way, so that it arrives as extended mode is turned off.
TEST_F(Kelvractl, CtrlCEndsAMonitorWithExtendedModeOff) {
    host->applyFaultList("delay=100");
    QProcess* process = launch({udp(), "--trace", "monitor"});
    const bool pushed = host->waitUntil([](const sim::HostStats& s) { return s.pushesSent >= 2; },
                                        std::chrono::seconds(30));
    ::kill(static_cast<pid_t>(process->processId()), SIGINT);
    const Outcome outcome = finish(process);
    ASSERT_TRUE(pushed) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    // --trace: the decoded frames, pushed records among them, on standard error.
    EXPECT_NE(outcome.err.find("checksum ok, length ok, pushed record\n"), std::string::npos)
        << outcome.err;
    EXPECT_FALSE(host->withTerminal(1, [](sim::TerminalModel& t) { return t.extendedMode(); }));
    // Every record printed was confirmed, and only those.
    const auto printed = std::count(outcome.out.begin(), outcome.out.end(), '\n');
    EXPECT_EQ(unreadRecordLines().size(), 3u - static_cast<std::size_t>(printed))
        << outcome.out << outcome.err;
}

} // namespace
} // namespace kelvra::test
