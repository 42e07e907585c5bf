#pragma once

// The collector as a process against simulated terminals of this test process's own: each
// terminal on a loopback address of its own, the collector's status port on another, and for
// PostgreSQL a server the test starts in a temporary directory.
#include "LoopbackAddresses.h"
#include "SimulatorHost.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvra::test {

// Fixed ports on addresses no other process uses, so that a terminal restarted comes back
// where the collector looks for it.
inline constexpr int kTerminalPort = 21001;
inline constexpr int kModulePort = 21002;
inline constexpr int kStatusPort = 9477;

struct FleetTerminal {
    std::string name;
    std::string link; // "udp" or "tcp"
    std::unique_ptr<sim::SimulatorHost> host;
};

inline std::unique_ptr<sim::SimulatorHost> SimulatedTerminalAt(const std::string& address,
                                                               int records, int pushEveryMs) {
    sim::SimulatorOptions options;
    options.bindAddress = address;
    options.udpPort = kTerminalPort;
    options.tcpPort = kTerminalPort;
    options.modulePort = kModulePort;
    options.terminals = {1};
    options.terminal.initialRecords = records;
    options.terminal.pushEveryMs = pushEveryMs;
    auto host = std::make_unique<sim::SimulatorHost>(options);
    host->start();
    return host;
}

// Runs the event loop for `ms` milliseconds.
inline void PumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline std::string HttpGet(const std::string& url) {
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(
        network.get(QNetworkRequest(QUrl(QString::fromStdString(url)))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return reply->readAll().toStdString();
}

// Runs one of the program's short commands (status, export); its standard output.
inline std::string CollectorCommand(const QStringList& arguments) {
    QProcess command;
    command.start(KELVRA_COLLECTOR_PATH, arguments);
    EXPECT_TRUE(command.waitForFinished(30000));
    EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();
    return command.readAllStandardOutput().toStdString();
}

class CollectorProcess {
public:
    explicit CollectorProcess(QString configPath) : m_config(std::move(configPath)) {}
    ~CollectorProcess() { kill(); }

    static QString listenAddress() {
        return QString::fromStdString(LoopbackAddress(1)) + ":" + QString::number(kStatusPort);
    }
    std::string statusUrl() const { return "http://" + listenAddress().toStdString(); }
    void start() {
        m_process = std::make_unique<QProcess>();
        m_process->start(KELVRA_COLLECTOR_PATH, {"--config", m_config, "--listen",
                                                 QString::fromStdString(LoopbackAddress(1)) + ":" +
                                                     QString::number(kStatusPort)});
        ASSERT_TRUE(m_process->waitForStarted(5000));
    }
    void signal(int number) {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_process->processId()), number);
        }
    }
    void kill() {
        signal(SIGKILL);
        finish();
    }
    // SIGTERM; true when it stopped cleanly.
    bool stop() {
        signal(SIGTERM);
        return finish() && m_process->exitStatus() == QProcess::NormalExit &&
               m_process->exitCode() == 0;
    }
    // Everything it wrote on standard error, over every start.
    const std::string& log() {
        if (m_process) {
            m_log += m_process->readAllStandardError().toStdString();
        }
        return m_log;
    }

private:
    bool finish() {
        if (!m_process) {
            return false;
        }
        const bool finished = m_process->waitForFinished(20000);
        log();
        return finished;
    }
    QString m_config;
    std::unique_ptr<QProcess> m_process;
    std::string m_log;
};

// A PostgreSQL server of the test's own: a cluster in a temporary directory, on a loopback
// address and a socket directory of this process, trusting local connections. As root, the
// server runs as the postgres user (it refuses to run as root).
class PostgresServer {
public:
    PostgresServer() {
        m_address = LoopbackAddress(70);
        if (::getuid() == 0) {
            m_asUser = {"runuser", "-u", "postgres", "--"};
            QProcess::execute("chown", {"postgres", m_dir.path()});
        }
        m_ready =
            run("initdb", {"-D", data(), "-U", "kelvra", "--auth=trust", "-E", "UTF8"}) && start();
    }
    ~PostgresServer() { stop(); }
    bool ready() const { return m_ready; }
    std::string url() const {
        return "postgresql://kelvra@" + m_address + ":" + std::to_string(kPort) + "/postgres";
    }
    bool start() {
        return run("pg_ctl", {"-D", data(), "-l", m_dir.filePath("server.log"), "-w", "-o",
                              QStringLiteral("-c listen_addresses=%1 -p %2 -k %3 -c fsync=off")
                                  .arg(QString::fromStdString(m_address))
                                  .arg(kPort)
                                  .arg(m_dir.path()),
                              "start"});
    }
    bool stop() { return run("pg_ctl", {"-D", data(), "-m", "fast", "-w", "stop"}); }

private:
    static constexpr int kPort = 25432;
    QString data() const { return m_dir.filePath("data"); }
    bool run(const QString& program, const QStringList& arguments) {
        QStringList command = m_asUser;
        command << "/usr/lib/postgresql/15/bin/" + program << arguments;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(command.takeFirst(), command);
        const bool done = process.waitForFinished(60000) && process.exitCode() == 0;
        if (!done) {
            ADD_FAILURE() << program.toStdString() << ": " << process.readAll().toStdString();
        }
        return done;
    }
    QTemporaryDir m_dir;
    std::string m_address;
    QStringList m_asUser;
    bool m_ready = false;
};

} // namespace kelvra::test
