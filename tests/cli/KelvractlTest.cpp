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
#include <gtest/gtest.h>
#include <regex>
#include <string>

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
                std::string line = terminal.recordText(record);
                std::replace(line.begin(), line.end(), '\t', ',');
                lines.push_back(line);
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
        {"--password 1234 bells set 2 3 07:30:00 on", ""},
        {"bells get 2 3", "Weekday +Bell +Time +Enabled\n2 +3 +07:30:00 +01\n"},
        {"--password 1234 bells mode week", ""},
        {"bells mode", "week\n"},
        {"--password 1234 bells clear --yes", ""},
        {"punch-times set 10", ""},
        {"punch-times get", "10\n"},
        {"display --seconds 3 HELLO", ""},
        {"relay bell 2", ""},
        {"relay lock 2", ""},
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
        const Outcome outcome = run(row.words);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_TRUE(std::regex_match(outcome.out, std::regex(row.output))) << outcome.out;
    }
    EXPECT_EQ(host->withTerminal(1, [](sim::TerminalModel& t) { return t.displayText(); }),
              "HELLO");
}

TEST_F(Kelvractl, FailuresExitWithTheirCodeAndSayWhy) {
    struct Row {
        QString words;
        int status;
        const char* message;
    };
    const Row rows[] = {
        {"--udp 127.0.0.1:70000 echo x", 2, "--udp port must be a whole number"},
        {"item get NOSUCH", 13, "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED"},
        {"records download --csv /nonexistent-kelvra-dir/records.csv", 1, "cannot write"},
        {"records initialize", 2, "add --yes"},
        {"frobnicate", 2, "unknown command"},
        {"--timeout 200 echo x", 11, "Error Code: -101, KV_ERR_TIMEOUT"},
        {"--timeout 300 --module " + QString::fromStdString(LoopbackAddress(9)) +
             " module firmware",
         31, "Error Code: -1, VX_ERR_NO_REPLY"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words.toStdString());
        if (row.status == 11) {
            host->applyFaultList("silent");
        }
        const Outcome outcome = run(row.words);
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_NE(outcome.err.find(row.message), std::string::npos) << outcome.err;
    }
    // Nothing was fetched for the file that could not be written.
    EXPECT_EQ(unreadRecordLines().size(), 3u);
}

TEST_F(Kelvractl, DownloadWritesTheRecordsTheTerminalHoldsAndCommits) {
    const std::vector<std::string> held = unreadRecordLines();
    const QString path = settings.filePath("records.csv");
    const Outcome outcome = run("records download --commit --csv " + path);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::string expected = "Number,Date,Time,Card,Mode,Machine\n";
    for (const std::string& line : held) {
        expected += line + "\n";
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), expected);
    EXPECT_TRUE(unreadRecordLines().empty());
}

TEST_F(Kelvractl, ADownloadCutShortLeavesNoFileAndTheRecordsUnread) {
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 400;
    options.faults.delayMs = 2;
    start(options);
    const QString path = settings.filePath("records.csv");
    QProcess* process =
        launch({udp(), "--timeout", "300", "records", "download", "--commit", "--csv", path});
    ASSERT_TRUE(host->waitUntil([](const sim::HostStats& s) { return s.framesReceived >= 20; },
                                std::chrono::seconds(30)));
    host->stop();
    const Outcome outcome = finish(process);
    EXPECT_NE(outcome.status, 0);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(settings.path()).entryList({"records*"}, QDir::Files).isEmpty());
    EXPECT_EQ(unreadRecordLines().size(), 400u);
}

TEST_F(Kelvractl, CtrlCEndsAMonitorWithExtendedModeOff) {
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
