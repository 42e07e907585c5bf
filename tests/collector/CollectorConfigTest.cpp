// What the collector reads before it touches a terminal: its configuration file, refused
// whole with the line at fault, and the records' fields, kept raw and flagged when they do
// not read.
#include "collector/CollectorConfig.h"

#include "collector/Punch.h"
#include "collector/PunchDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvra::collector {
namespace {

TEST(CollectorConfig, ReadsEveryKeyOfTheExample) {
    const CollectorSettings settings = ParseCollectorConfig(R"(; punches of the plant
[database]
url = postgresql://kelvra@db.example/punches

[terminal:gate-1]
link=udp 127.0.1.3:1001
source=1
password=
mode=push

[terminal:canteen]
# the module listens on another port here
link=tcp 127.0.1.4:1001
source=7
password=4321
mode=poll 300
timeout=500
module-port=65000
idle-check=30

[terminal:door_3]
link=serial /dev/ttyUSB0
)",
                                                            "collector.ini");
    EXPECT_EQ(settings.databaseUrl, "postgresql://kelvra@db.example/punches");
    ASSERT_EQ(settings.terminals.size(), 3u);
    const TerminalSettings& gate = settings.terminals[0];
    EXPECT_EQ(gate.name, "gate-1");
    EXPECT_EQ(gate.link, TerminalLink::Udp);
    EXPECT_EQ(gate.host, "127.0.1.3");
    EXPECT_EQ(gate.port, 1001);
    EXPECT_EQ(gate.password, "");
    EXPECT_EQ(gate.pollSeconds, 0);
    const TerminalSettings& canteen = settings.terminals[1];
    EXPECT_EQ(canteen.link, TerminalLink::Tcp);
    EXPECT_EQ(canteen.source, 7);
    EXPECT_EQ(canteen.password, "4321");
    EXPECT_EQ(canteen.pollSeconds, 300);
    EXPECT_EQ(canteen.timeoutMs, 500);
    EXPECT_EQ(canteen.modulePort, 65000);
    EXPECT_EQ(canteen.idleCheckSeconds, 30);
    EXPECT_EQ(settings.terminals[2].link, TerminalLink::Serial);
    EXPECT_EQ(settings.terminals[2].device, "/dev/ttyUSB0");
    EXPECT_FALSE(settings.terminals[2].password.has_value());
}

TEST(CollectorConfig, RefusesABadFileWithItsLineAndReason) {
    const std::pair<const char*, const char*> rows[] = {
        {"[terminal:a]\nlink=udp 127.0.0.1:1001\nsorce=1\n",
         "c.ini:3: unknown key \"sorce\" in [terminal:a]"},
        {"[terminal:a]\nsource=1\n", "c.ini:1: [terminal:a] has no link"},
        {"[terminal:a]\nlink=udp 127.0.0.1\n", "c.ini:2: "},
        {"[terminal:a]\nlink=ftp 127.0.0.1:21\n", "c.ini:2: link must be"},
        {"[terminal:a]\nlink=udp 127.0.0.1:1\nmode=poll\n",
         "c.ini:3: mode must be \"push\" or \"poll SECONDS\""},
        {"[terminal:a]\nlink=udp 127.0.0.1:1\nmode=poll 0\n",
         "c.ini:3: poll must be a whole number from 1 to 86400"},
        {"[terminal:a]\nlink=udp 127.0.0.1:1\nsource=201\n", "c.ini:3: source must be"},
        {"[terminal:a]\nlink=udp 127.0.0.1:1\nlink=udp 127.0.0.1:2\n",
         "c.ini:3: \"link\" is given twice"},
        {"[terminal:a]\nlink=udp 127.0.0.1:1\n[terminal:a]\n",
         "c.ini:3: [terminal:a] is given twice"},
        {"[terminal:a b]\n", "c.ini:1: a terminal's name is"},
        {"[terminals]\n", "c.ini:1: unknown section [terminals]"},
        {"url=sqlite:/x\n", "c.ini:1: \"url\" stands before any section"},
        {"[database]\nurl=mysql://x/y\n", "c.ini:2: url must be sqlite:PATH or postgresql://"},
        {"[database\n", "c.ini:1: a section header ends with \"]\""},
        {"[database]\njust words\n", "c.ini:2: expected KEY=VALUE"},
    };
    for (const auto& [text, reason] : rows) {
        SCOPED_TRACE(text);
        try {
            ParseCollectorConfig(text, "c.ini");
            ADD_FAILURE() << "accepted";
        } catch (const ConfigError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(reason, 0), 0u) << error.what();
        }
    }
}

TEST(Punch, ReadsTheFieldsOrFlagsTheRecordKeepingItsRawText) {
    const QDateTime received(QDate(2026, 12, 7), QTime(9, 0));
    const Punch good = ReadPunch("gate-1", "17\t07-12-2026\t08:59:30\tC10000017\t2\t1", received);
    EXPECT_FALSE(good.flagged);
    EXPECT_EQ(good.number, 17);
    EXPECT_EQ(good.punchedAt, QDateTime(QDate(2026, 12, 7), QTime(8, 59, 30)));
    EXPECT_EQ(good.card, "C10000017");
    EXPECT_EQ(good.mode, 2);
    EXPECT_EQ(good.machine, 1);
    const char* const unreadable[] = {
        "17\t31-02-2026\t08:59:30\tC1\t0\t1",  // no such day
        "17\t07-12-2026\t25:00:00\tC1\t0\t1",  // no such hour
        "x\t07-12-2026\t08:59:30\tC1\t0\t1",   // no number
        "17\t07-12-2026\t08:59:30\tC1\tin\t1", // no mode
        "17\t07-12-2026\t08:59:30\tC1\t0",     // a field short
        "17\t07-12-2026\t08:59:30\tC1\t0\t1\textra", "\xe9\xff garbage",
    };
    for (const char* raw : unreadable) {
        SCOPED_TRACE(raw);
        const Punch punch = ReadPunch("gate-1", raw, received);
        EXPECT_TRUE(punch.flagged);
        EXPECT_EQ(punch.raw, raw);
        EXPECT_FALSE(punch.punchedAt.isValid());
    }
}

// A record received again (after a crash between the two commits, or pushed twice) adds no
// row, a flagged one is kept with its empty fields, and a database of a later schema is left
// alone.
TEST(PunchDatabase, StoresEachRecordOnceFlaggedOnesTooAndRefusesANewerSchema) {
    QTemporaryDir dir;
    const std::string url = "sqlite:" + dir.filePath("p.sqlite").toStdString();
    const QDateTime received(QDate(2026, 12, 7), QTime(9, 0));
    const Punch good = ReadPunch("gate", "1\t07-12-2026\t08:00:00\tC1\t0\t1", received);
    const Punch flagged = ReadPunch("gate", "garbage", received);
    const Punch elsewhere = ReadPunch("door", good.raw, received);
    {
        PunchDatabase database(url);
        database.open();
        EXPECT_EQ(database.store({good, flagged}), (std::vector<bool>{true, true}));
        EXPECT_EQ(database.store({flagged, elsewhere, good}),
                  (std::vector<bool>{false, true, false}));
        std::vector<std::string> exported;
        database.forEachPunch(received.addDays(-1), received.addDays(1), "gate",
                              [&](const std::string& raw) { exported.push_back(raw); });
        EXPECT_EQ(exported, (std::vector<std::string>{good.raw, flagged.raw}));
    }
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "schema");
        raw.setDatabaseName(dir.filePath("p.sqlite"));
        ASSERT_TRUE(raw.open());
        EXPECT_TRUE(QSqlQuery(raw).exec("UPDATE kelvra_schema SET version = 2"));
        raw.close();
    }
    QSqlDatabase::removeDatabase("schema");
    PunchDatabase database(url);
    EXPECT_THROW(database.open(), DatabaseError);
}

} // namespace
} // namespace kelvra::collector
