// kelvra-collector facing 100 simulated terminals, each on a loopback address of its own:
// under load (each pushes a record every 50 ms), idle, and catching up 1,000 unread records
// each. Prints records lost and duplicated, push-to-commit latency, processor time and
// resident memory of the collector. bench/collector_fleet.sh builds and runs it.
#include "SimulatorFleet.h"
#include "collector/PunchDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

using namespace kelvra;

constexpr int kTerminals = 100;
constexpr int kPort = 21001;
int g_seconds = 60;

// 127.A.B.1 from the process id, as the tests pick theirs, so two runs never share addresses.
std::string FirstAddress() {
    const int block = static_cast<int>(::getpid()) % (254 * 254);
    return "127." + std::to_string(1 + block / 254) + "." + std::to_string(1 + block % 254) + ".1";
}

void PumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string HttpGet(const QString& url) {
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(url))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return reply->readAll().toStdString();
}

// Processor seconds (user and system) a process has used so far.
double CpuSeconds(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status in megabytes ("VmRSS", "VmHWM").
double MemoryMb(qint64 pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stod(line.substr(key.size() + 1)) / 1024.0;
        }
    }
    return 0;
}

// The quantile of a Prometheus histogram in the metrics text, interpolated within its bucket.
double HistogramQuantile(const std::string& metrics, const std::string& name, double q) {
    std::vector<std::pair<double, double>> buckets; // upper bound, cumulative count
    const QRegularExpression line(QString::fromStdString(name) +
                                  "_bucket\\{le=\"([^\"]+)\"\\} ([0-9.e+]+)");
    for (auto it = line.globalMatch(QString::fromStdString(metrics)); it.hasNext();) {
        const auto match = it.next();
        const double bound = match.captured(1) == "+Inf" ? 1e9 : match.captured(1).toDouble();
        buckets.emplace_back(bound, match.captured(2).toDouble());
    }
    if (buckets.empty() || buckets.back().second == 0) {
        return 0;
    }
    const double rank = q * buckets.back().second;
    double lower = 0, below = 0;
    for (const auto& [bound, count] : buckets) {
        if (count >= rank) {
            return lower + (bound - lower) * (rank - below) / std::max(1.0, count - below);
        }
        lower = bound;
        below = count;
    }
    return lower;
}

std::size_t Unread(sim::SimulatorFleet& fleet) {
    std::size_t unread = 0;
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        unread += fleet.host(i).withTerminal(
            1, [](sim::TerminalModel& model) { return model.newRecords().size(); });
    }
    return unread;
}

class Run {
public:
    Run(const char* collectorPath, int records, int pushEveryMs) {
        sim::SimulatorOptions options;
        options.bindAddress = FirstAddress();
        options.udpPort = kPort;
        options.tcp = false;
        options.terminals = {1};
        options.terminal.initialRecords = records;
        options.terminal.pushEveryMs = pushEveryMs;
        fleet = std::make_unique<sim::SimulatorFleet>(kTerminals, options);
        fleet->start();
        url = "sqlite:" + m_dir.filePath("punches.sqlite").toStdString();
        QFile config(m_dir.filePath("collector.ini"));
        config.open(QIODevice::WriteOnly);
        config.write(("[database]\nurl=" + url + "\n").c_str());
        for (int i = 0; i < kTerminals; ++i) {
            config.write(("[terminal:t" + std::to_string(i) + "]\nlink=udp " +
                          fleet->host(static_cast<std::size_t>(i)).bindAddress() + ":" +
                          std::to_string(kPort) + "\n")
                             .c_str());
        }
        config.close();
        statusUrl = QString::fromStdString("http://" + FirstAddress() + ":9477");
        clock.start();
        collector.setStandardErrorFile(m_dir.filePath("collector.log"));
        collector.start(collectorPath, {"--config", config.fileName(), "--listen",
                                        QString::fromStdString(FirstAddress() + ":9477")});
        collector.waitForStarted();
    }
    ~Run() {
        collector.terminate();
        collector.waitForFinished(30000);
        fleet->stop();
    }
    qint64 pid() const { return collector.processId(); }
    bool waitUntil(const std::function<bool()>& done, int seconds) {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            if (waited.elapsed() > seconds * 1000) {
                return false;
            }
            PumpFor(100);
        }
        return true;
    }
    bool allLive() {
        const std::string status = HttpGet(statusUrl + "/status");
        std::size_t live = 0;
        for (std::size_t at = 0; (at = status.find("\"state\":\"live\"", at)) != std::string::npos;
             ++at) {
            ++live;
        }
        return live == kTerminals;
    }
    // Records the terminals made that the database lacks, and rows it holds beyond them.
    std::pair<std::size_t, std::size_t> lostAndDuplicated() {
        collector::PunchDatabase database(url);
        database.open();
        std::size_t lost = 0, duplicated = 0;
        for (int i = 0; i < kTerminals; ++i) {
            std::multiset<std::string> stored;
            database.forEachPunch(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                                  QDateTime(QDate(9999, 1, 1), QTime(0, 0)),
                                  "t" + std::to_string(i),
                                  [&](const std::string& raw) { stored.insert(raw); });
            fleet->host(static_cast<std::size_t>(i)).withTerminal(1, [&](sim::TerminalModel& m) {
                for (const auto* list : {&m.oldRecords(), &m.newRecords()}) {
                    for (const sim::PunchRecord& record : *list) {
                        const auto found = stored.find(m.recordText(record));
                        if (found == stored.end()) {
                            ++lost;
                        } else {
                            stored.erase(found);
                        }
                    }
                }
            });
            duplicated += stored.size();
        }
        return {lost, duplicated};
    }

    std::unique_ptr<sim::SimulatorFleet> fleet;
    std::string url;
    QString statusUrl;
    QProcess collector;
    QElapsedTimer clock;

private:
    QTemporaryDir m_dir;
};

void Load(const char* path) {
    Run run(path, 0, 50);
    if (!run.waitUntil([&] { return run.allLive(); }, 60)) {
        std::printf("load: not every terminal went live within 60 s\n");
        return;
    }
    const double cpuBefore = CpuSeconds(run.pid());
    QElapsedTimer measured;
    measured.start();
    PumpFor(g_seconds * 1000);
    const double cpu = CpuSeconds(run.pid()) - cpuBefore;
    const double seconds = static_cast<double>(measured.elapsed()) / 1000.0;
    const double rss = MemoryMb(run.pid(), "VmRSS"), peak = MemoryMb(run.pid(), "VmHWM");
    for (std::size_t i = 0; i < run.fleet->size(); ++i) {
        run.fleet->host(i).setPushEvery(0);
    }
    const bool drained = run.waitUntil([&] { return Unread(*run.fleet) == 0; }, 60);
    const std::string metrics = HttpGet(run.statusUrl + "/metrics");
    const auto [lost, duplicated] = run.lostAndDuplicated();
    std::size_t made = 0;
    for (std::size_t i = 0; i < run.fleet->size(); ++i) {
        made += run.fleet->host(i).withTerminal(
            1, [](sim::TerminalModel& m) { return m.oldRecords().size() + m.newRecords().size(); });
    }
    std::printf("load: %d terminals pushing every 50 ms for %.0f s: %zu records (%.0f/s)%s\n",
                kTerminals, seconds, made, static_cast<double>(made) / seconds,
                drained ? "" : ", NOT ALL COLLECTED");
    std::printf("  lost %zu, duplicated %zu\n", lost, duplicated);
    std::printf("  push-to-commit p50 %.1f ms, p99 %.1f ms (goal p99 <= 50 ms)\n",
                1000 * HistogramQuantile(metrics, "kelvra_collector_push_commit_seconds", 0.5),
                1000 * HistogramQuantile(metrics, "kelvra_collector_push_commit_seconds", 0.99));
    std::printf("  collector processor time %.1f %% of one core (goal <= 25 %%)\n",
                100 * cpu / seconds);
    std::printf("  collector resident memory %.1f MB, peak %.1f MB (goal <= 200 MB)\n", rss, peak);

    const double idleBefore = CpuSeconds(run.pid());
    measured.restart();
    PumpFor(30000);
    std::printf("idle: %d terminals, nothing pushed, 30 s: collector processor time %.2f %% of "
                "one core (goal < 1 %%)\n",
                kTerminals,
                100 * (CpuSeconds(run.pid()) - idleBefore) /
                    (static_cast<double>(measured.elapsed()) / 1000.0));
}

void CatchUp(const char* path) {
    Run run(path, 1000, 0);
    const bool done = run.waitUntil([&] { return Unread(*run.fleet) == 0; }, 120);
    const double seconds = static_cast<double>(run.clock.elapsed()) / 1000.0;
    const auto [lost, duplicated] = run.lostAndDuplicated();
    std::printf("catch-up: %d terminals holding 1,000 unread records each: %s in %.1f s from the "
                "collector's start (goal < 10 s); lost %zu, duplicated %zu\n",
                kTerminals, done ? "all stored and committed" : "NOT DONE", seconds, lost,
                duplicated);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: collector_fleet_bench KELVRA-COLLECTOR [SECONDS]\n");
        return 2;
    }
    if (argc > 2) {
        g_seconds = std::max(1, std::atoi(argv[2]));
    }
    Load(argv[1]);
    CatchUp(argv[1]);
    return 0;
}
