#include "collector/PunchDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>

namespace kelvra::collector {

namespace {

QString Text(const std::string& linkText) {
    return QString::fromLatin1(linkText.data(), static_cast<qsizetype>(linkText.size()));
}

QVariant Optional(const auto& value) {
    return value ? QVariant(*value) : QVariant();
}

// The schema of version 1, in each dialect. received_at and punched_at are local times; on
// PostgreSQL they carry their offset.
struct Dialect {
    const char* key;
    const char* timestamp;
};
constexpr Dialect kSqlite{"INTEGER PRIMARY KEY AUTOINCREMENT", "TEXT"};
constexpr Dialect kPostgres{"BIGSERIAL PRIMARY KEY", "TIMESTAMPTZ"};

// The advisory lock under which a collector creates the schema ("KELV").
constexpr long long kSchemaLock = 0x4b454c56;

QString PunchesTable(const Dialect& dialect) {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS punches ("
                          "id %1, "
                          "terminal TEXT NOT NULL, "
                          "raw TEXT NOT NULL, "
                          "record_number BIGINT, "
                          "punched_at %2, "
                          "card TEXT, "
                          "mode INTEGER, "
                          "machine INTEGER, "
                          "flagged INTEGER NOT NULL DEFAULT 0, "
                          "received_at %2 NOT NULL, "
                          "UNIQUE (terminal, raw))")
        .arg(QLatin1String(dialect.key), QLatin1String(dialect.timestamp));
}

} // namespace

PunchDatabase::PunchDatabase(const std::string& url)
    : m_connectionName(QUuid::createUuid().toString()) {
    const QString text = QString::fromStdString(url);
    if (text.startsWith(QLatin1String("sqlite:"))) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(text.mid(7));
        // A writer that finds the file locked waits this long before the batch is retried.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        m_description = url;
        return;
    }
    const QUrl parsed(text);
    if (parsed.scheme() != QLatin1String("postgresql") || parsed.path().size() < 2) {
        throw DatabaseError("not a database url: " + url);
    }
    m_postgres = true;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    const QUrlQuery query(parsed);
    // A socket directory in ?host= (as libpq takes it) stands for the host.
    db.setHostName(query.hasQueryItem(QStringLiteral("host"))
                       ? query.queryItemValue(QStringLiteral("host"))
                       : parsed.host());
    if (parsed.port() > 0) {
        db.setPort(parsed.port());
    }
    db.setUserName(parsed.userName());
    db.setPassword(parsed.password());
    db.setDatabaseName(parsed.path().mid(1));
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    QUrl shown = parsed;
    shown.setPassword({});
    m_description = shown.toString().toStdString();
}

PunchDatabase::~PunchDatabase() {
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void PunchDatabase::fail(const std::string& what, const QString& reason) {
    throw DatabaseError(what + ": " + reason.trimmed().toStdString());
}

void PunchDatabase::execute(const QString& statement) {
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(statement)) {
        fail(statement.section(QLatin1Char(' '), 0, 3).toStdString(), query.lastError().text());
    }
}

bool PunchDatabase::isOpen() const {
    return QSqlDatabase::database(m_connectionName, false).isOpen();
}

void PunchDatabase::close() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (db.isOpen()) {
        db.close();
    }
}

void PunchDatabase::open() {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen() && !db.open()) {
        fail("cannot open " + m_description, db.lastError().text());
    }
    try {
        if (!m_postgres) {
            // Every commit is on disk before a terminal is told; readers never block the writer.
            execute(QStringLiteral("PRAGMA journal_mode=WAL"));
            execute(QStringLiteral("PRAGMA synchronous=FULL"));
        } else {
            // The notices of "IF NOT EXISTS" are no news in the journal.
            execute(QStringLiteral("SET client_min_messages TO warning"));
        }
        // Collectors that start together against one PostgreSQL database create the schema one
        // after the other: PostgreSQL's IF NOT EXISTS does not keep two of them apart.
        if (!db.transaction()) {
            fail("cannot begin a transaction", db.lastError().text());
        }
        if (m_postgres) {
            execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock));
        }
        execute(
            QStringLiteral("CREATE TABLE IF NOT EXISTS kelvra_schema (version INTEGER NOT NULL)"));
        execute(PunchesTable(m_postgres ? kPostgres : kSqlite));
        execute(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS punches_punched_at ON punches (punched_at)"));
        QSqlQuery version(db);
        if (!version.exec(QStringLiteral("SELECT MAX(version) FROM kelvra_schema"))) {
            fail("reading the schema version", version.lastError().text());
        }
        const int found =
            version.next() && !version.value(0).isNull() ? version.value(0).toInt() : 0;
        if (found > kSchemaVersion) {
            throw DatabaseError("the database has schema version " + std::to_string(found) +
                                ", newer than this collector's " + std::to_string(kSchemaVersion));
        }
        if (found == 0) {
            execute(QStringLiteral("INSERT INTO kelvra_schema (version) VALUES (%1)")
                        .arg(kSchemaVersion));
        }
        if (!db.commit()) {
            fail("cannot commit the schema", db.lastError().text());
        }
    } catch (...) {
        db.rollback();
        close();
        throw;
    }
}

std::vector<bool> PunchDatabase::store(const std::vector<Punch>& punches) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        open();
    }
    if (!db.transaction()) {
        fail("cannot begin a transaction", db.lastError().text());
    }
    std::vector<bool> added;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO punches (terminal, raw, record_number, punched_at, card, mode, machine, "
        "flagged, received_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (terminal, raw) DO NOTHING"));
    for (const Punch& punch : punches) {
        insert.bindValue(0, Text(punch.terminal));
        insert.bindValue(1, Text(punch.raw));
        insert.bindValue(2, Optional(punch.number));
        insert.bindValue(3, punch.punchedAt.isValid() ? QVariant(punch.punchedAt) : QVariant());
        insert.bindValue(4, punch.flagged && punch.card.empty() ? QVariant() : Text(punch.card));
        insert.bindValue(5, Optional(punch.mode));
        insert.bindValue(6, Optional(punch.machine));
        insert.bindValue(7, punch.flagged ? 1 : 0);
        insert.bindValue(8, punch.receivedAt);
        if (!insert.exec()) {
            const QString reason = insert.lastError().text();
            db.rollback();
            fail("cannot store a punch", reason);
        }
        added.push_back(insert.numRowsAffected() > 0);
    }
    if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        fail("cannot commit", reason);
    }
    return added;
}

void PunchDatabase::forEachPunch(const QDateTime& since, const QDateTime& until,
                                 const std::string& terminal,
                                 const std::function<void(const std::string&)>& take) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        open();
    }
    QSqlQuery select(db);
    select.setForwardOnly(true);
    select.prepare(
        QStringLiteral("SELECT raw FROM punches WHERE COALESCE(punched_at, received_at) >= ? AND "
                       "COALESCE(punched_at, received_at) < ? AND (? = '' OR terminal = ?) "
                       "ORDER BY COALESCE(punched_at, received_at), id"));
    select.bindValue(0, since);
    select.bindValue(1, until);
    select.bindValue(2, Text(terminal));
    select.bindValue(3, Text(terminal));
    if (!select.exec()) {
        fail("cannot read the punches", select.lastError().text());
    }
    while (select.next()) {
        take(select.value(0).toString().toLatin1().toStdString());
    }
}

std::vector<std::pair<std::string, long long>> PunchDatabase::countsSince(const QDateTime& since) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        open();
    }
    QSqlQuery select(db);
    select.prepare(QStringLiteral(
        "SELECT terminal, COUNT(*) FROM punches WHERE received_at >= ? GROUP BY terminal"));
    select.bindValue(0, since);
    if (!select.exec()) {
        fail("cannot count the punches", select.lastError().text());
    }
    std::vector<std::pair<std::string, long long>> counts;
    while (select.next()) {
        counts.emplace_back(select.value(0).toString().toLatin1().toStdString(),
                            select.value(1).toLongLong());
    }
    return counts;
}

} // namespace kelvra::collector
