// The collector's promise: every record a terminal makes is in the database exactly once and
// no terminal is left holding one, whatever happens meanwhile. Three terminals push a record
// every 30 ms while pushes and replies are corrupted, split, dropped and doubled at random;
// one terminal is silenced and brought back, one is restarted, the database stops taking
// writes for a while, and the collector is killed with SIGKILL at random moments and started
// again.
#include "CollectorRig.h"
#include "collector/PunchDatabase.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <random>
#include <regex>
#include <set>

namespace kelvra::test {
namespace {

enum class Database { Sqlite, Postgresql };

// About one push tick in ten arms a fault: a push corrupted or split, a reply dropped or
// doubled.
const sim::FaultSettings kRandomFaults =
    sim::ParseFaultList("corrupt-push=1@0.025,split@0.025,drop=1@0.025,double@0.025");

// The database refuses writes for a while: SQLite held locked by another connection,
// PostgreSQL shut down.
class Outage {
public:
    Outage(Database kind, const std::string& sqlitePath, PostgresServer* server)
        : m_kind(kind), m_server(server), m_name(QUuid::createUuid().toString()) {
        if (m_kind == Database::Sqlite) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
            db.setDatabaseName(QString::fromStdString(sqlitePath));
            EXPECT_TRUE(db.open());
            EXPECT_TRUE(QSqlQuery(db).exec("BEGIN EXCLUSIVE"));
        } else {
            EXPECT_TRUE(m_server->stop());
        }
    }
    ~Outage() {
        if (m_kind == Database::Sqlite) {
            {
                QSqlDatabase db = QSqlDatabase::database(m_name);
                QSqlQuery(db).exec("ROLLBACK");
                db.close();
            }
            QSqlDatabase::removeDatabase(m_name);
        } else {
            EXPECT_TRUE(m_server->start());
        }
    }

private:
    Database m_kind;
    PostgresServer* m_server;
    QString m_name;
};

class ExactlyOnce : public ::testing::TestWithParam<Database> {};

TEST_P(ExactlyOnce, EveryRecordIsStoredOnceAndNoTerminalKeepsOne) {
    std::unique_ptr<PostgresServer> postgres;
    QTemporaryDir dir;
    std::string url = "sqlite:" + dir.filePath("punches.sqlite").toStdString();
    if (GetParam() == Database::Postgresql) {
        postgres = std::make_unique<PostgresServer>();
        ASSERT_TRUE(postgres->ready());
        url = postgres->url();
    }
    std::vector<FleetTerminal> fleet;
    for (const char* link : {"udp", "tcp", "udp"}) {
        const int index = static_cast<int>(fleet.size());
        fleet.push_back({"t" + std::to_string(index), link,
                         SimulatedTerminalAt(LoopbackAddress(60 + index), 25, 30)});
    }
    QFile config(dir.filePath("collector.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(("[database]\nurl=" + url + "\n").c_str());
    for (const FleetTerminal& terminal : fleet) {
        config.write(("[terminal:" + terminal.name + "]\nlink=" + terminal.link + " " +
                      terminal.host->bindAddress() + ":" + std::to_string(kTerminalPort) +
                      "\nmodule-port=" + std::to_string(kModulePort) +
                      "\ntimeout=400\nidle-check=1\n")
                         .c_str());
    }
    config.close();

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto at = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    CollectorProcess collector(config.fileName());
    collector.start();

    // What happens when, in 50 ms ticks: two kills at random moments, the silence of t2, the
    // restart of t1, and the database outage.
    const int firstKill = at(20, 60), secondKill = at(195, 225);
    const int silenceFrom = 70, silenceTo = 110, restartAt = 120, outageFrom = 130, outageTo = 190;
    const int ticks = 240;
    std::unique_ptr<Outage> outage;
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0; tick < ticks; ++tick) {
        if (tick == firstKill || tick == secondKill) {
            collector.kill();
            collector.start();
        }
        if (tick == restartAt) {
            fleet[1].host->stop();
            PumpFor(300);
            fleet[1].host->start();
        }
        if (tick == outageFrom) {
            outage = std::make_unique<Outage>(GetParam(), url.substr(7), postgres.get());
        }
        if (tick == outageTo) {
            outage.reset();
        }
        if (tick == 0 || tick == silenceFrom || tick == silenceTo) {
            for (std::size_t i = 0; i < fleet.size(); ++i) {
                sim::FaultSettings faults = kRandomFaults;
                faults.silentTerminal = i == 2 && tick == silenceFrom;
                fleet[i].host->setFaults(faults);
            }
        }
        PumpFor(std::max<int>(1, static_cast<int>((tick + 1) * 50 - clock.elapsed())));
    }
    for (FleetTerminal& terminal : fleet) {
        terminal.host->setPushEvery(0);
        terminal.host->setFaults({});
    }

    // The silent terminal's reconnects wait up to 8 s by then; the others need a moment.
    auto unread = [&] {
        std::size_t total = 0;
        for (FleetTerminal& terminal : fleet) {
            total += terminal.host->withTerminal(
                1, [](sim::TerminalModel& model) { return model.newRecords().size(); });
        }
        return total;
    };
    for (int wait = 0; wait < 300 && unread() > 0; ++wait) {
        PumpFor(100);
    }
    EXPECT_EQ(unread(), 0u);
    // A last idle check may still be catching a terminal up.
    std::string metrics;
    for (int wait = 0; wait < 50; ++wait) {
        metrics = HttpGet(collector.statusUrl() + "/metrics");
        if (std::count_if(fleet.begin(), fleet.end(), [&](const FleetTerminal& terminal) {
                return metrics.find("{terminal=\"" + terminal.name + "\",state=\"live\"} 1") !=
                       std::string::npos;
            }) == static_cast<long>(fleet.size())) {
            break;
        }
        PumpFor(200);
    }
    EXPECT_TRUE(std::regex_search(
        CollectorCommand({"status", "--listen", CollectorProcess::listenAddress()}),
        std::regex("\nt1 +tcp [0-9.]+:21001 +live +")));
    EXPECT_TRUE(collector.stop()) << collector.log();
    const QString csv = dir.filePath("all.csv");
    CollectorCommand(
        {"export", "--config", config.fileName(), "--since", "2000-01-01", "--csv", csv});
    QFile exported(csv);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = exported.readAll().split('\n');
    EXPECT_EQ(lines.front(), "Number,Date,Time,Card,Mode,Machine");
    const auto exportedRecords = static_cast<std::size_t>(lines.size()) - 2; // header, last LF
    std::size_t totalMade = 0;

    collector::PunchDatabase database(url);
    database.open();
    for (FleetTerminal& terminal : fleet) {
        SCOPED_TRACE(terminal.name);
        std::multiset<std::string> stored;
        database.forEachPunch(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                              QDateTime(QDate(9999, 1, 1), QTime(0, 0)), terminal.name,
                              [&](const std::string& raw) { stored.insert(raw); });
        const std::multiset<std::string> made =
            terminal.host->withTerminal(1, [](sim::TerminalModel& model) {
                std::multiset<std::string> texts;
                for (const sim::PunchRecord& record : model.oldRecords()) {
                    texts.insert(model.recordText(record));
                }
                return texts;
            });
        EXPECT_GT(made.size(), 100u);
        totalMade += made.size();
        std::vector<std::string> missing, extra;
        std::set_difference(made.begin(), made.end(), stored.begin(), stored.end(),
                            std::back_inserter(missing));
        std::set_difference(stored.begin(), stored.end(), made.begin(), made.end(),
                            std::back_inserter(extra));
        EXPECT_EQ(missing, std::vector<std::string>{});
        EXPECT_EQ(extra, std::vector<std::string>{});
        EXPECT_NE(metrics.find("kelvra_collector_terminal_state{terminal=\"" + terminal.name +
                               "\",state=\"live\"} 1"),
                  std::string::npos)
            << metrics;
    }
    EXPECT_EQ(exportedRecords, totalMade);
    const std::string& log = collector.log();
    EXPECT_TRUE(std::regex_search(log, std::regex("\nt2: offline: .*KV_ERR_TIMEOUT\n"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("\ndatabase .*: down: "))) << log;
}

INSTANTIATE_TEST_SUITE_P(Databases, ExactlyOnce,
                         ::testing::Values(Database::Sqlite, Database::Postgresql),
                         [](const auto& info) {
                             return info.param == Database::Sqlite ? "sqlite" : "postgresql";
                         });

} // namespace
} // namespace kelvra::test
