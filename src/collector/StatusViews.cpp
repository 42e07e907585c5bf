#include "collector/StatusViews.h"

#include <QJsonArray>
#include <iterator>
#include <string>

namespace kelvra::collector {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Time(const QDateTime& time) {
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

// A label value in the exposition format: backslash, quote and line feed escaped.
std::string Label(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return escaped;
}

class Exposition {
public:
    void family(const char* name, const char* type, const char* help) {
        m_text +=
            std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void sample(const std::string& name, const std::string& labels, double value) {
        m_text += name + (labels.empty() ? "" : "{" + labels + "}") + " " + Number(value) + "\n";
    }
    void histogram(const char* name, const char* help, const std::vector<std::uint64_t>& buckets,
                   std::uint64_t count, double sum) {
        family(name, "histogram", help);
        const std::string base = name;
        for (std::size_t i = 0; i < std::size(kLatencyBuckets); ++i) {
            sample(base + "_bucket",
                   "le=\"" + QByteArray::number(kLatencyBuckets[i]).toStdString() + "\"",
                   static_cast<double>(buckets[i]));
        }
        sample(base + "_bucket", "le=\"+Inf\"", static_cast<double>(count));
        sample(base + "_sum", "", sum);
        sample(base + "_count", "", static_cast<double>(count));
    }
    QByteArray bytes() const { return QByteArray::fromStdString(m_text); }

private:
    static std::string Number(double value) {
        return QByteArray::number(value, 'g', 15).toStdString();
    }
    std::string m_text;
};

struct TerminalCounter {
    const char* name;
    const char* type;
    const char* help;
    double (*value)(const TerminalStatus&);
};

constexpr TerminalCounter kTerminalCounters[] = {
    {"kelvra_collector_records_stored_total", "counter",
     "Records this collector stored that were new to the database.",
     [](const TerminalStatus& t) { return static_cast<double>(t.stored); }},
    {"kelvra_collector_records_duplicate_total", "counter",
     "Records received again that the database held already.",
     [](const TerminalStatus& t) { return static_cast<double>(t.duplicates); }},
    {"kelvra_collector_records_flagged_total", "counter",
     "Records stored with fields that did not read.",
     [](const TerminalStatus& t) { return static_cast<double>(t.flagged); }},
    {"kelvra_collector_last_record_timestamp_seconds", "gauge",
     "When the last new record was stored (Unix time; 0 for none).",
     [](const TerminalStatus& t) {
         return t.lastRecord.isValid() ? static_cast<double>(t.lastRecord.toSecsSinceEpoch()) : 0.0;
     }},
    {"kelvra_collector_reconnects_total", "counter", "Connection attempts after a failure.",
     [](const TerminalStatus& t) { return static_cast<double>(t.reconnects); }},
    {"kelvra_collector_errors_total", "counter", "Failures of the terminal's link or commands.",
     [](const TerminalStatus& t) { return static_cast<double>(t.errors); }},
};

} // namespace

QByteArray MetricsText(const std::vector<TerminalStatus>& terminals,
                       const DatabaseStatus& database) {
    Exposition out;
    out.family("kelvra_collector_terminal_state", "gauge",
               "1 for the state the terminal is in, 0 for the others.");
    for (const TerminalStatus& terminal : terminals) {
        for (const TerminalState state : kAllStates) {
            out.sample("kelvra_collector_terminal_state",
                       "terminal=\"" + Label(terminal.name) + "\",state=\"" + StateName(state) +
                           "\"",
                       terminal.state == state ? 1 : 0);
        }
    }
    for (const TerminalCounter& counter : kTerminalCounters) {
        out.family(counter.name, counter.type, counter.help);
        for (const TerminalStatus& terminal : terminals) {
            out.sample(counter.name, "terminal=\"" + Label(terminal.name) + "\"",
                       counter.value(terminal));
        }
    }
    out.family("kelvra_collector_database_up", "gauge",
               "1 while the last attempt to write the database succeeded.");
    out.sample("kelvra_collector_database_up", "", database.up ? 1 : 0);
    out.family("kelvra_collector_database_failures_total", "counter",
               "Failed attempts to write the database.");
    out.sample("kelvra_collector_database_failures_total", "",
               static_cast<double>(database.failures));
    out.histogram("kelvra_collector_commit_duration_seconds",
                  "How long the database took to commit a batch of records.",
                  database.commitBuckets, database.commits, database.commitSecondsSum);
    out.histogram("kelvra_collector_push_commit_seconds",
                  "From a pushed record's arrival to the commit that stored it.",
                  database.pushBuckets, database.pushes, database.pushSecondsSum);
    return out.bytes();
}

QJsonObject StatusJson(const std::vector<TerminalStatus>& terminals,
                       const DatabaseStatus& database) {
    QJsonArray list;
    for (const TerminalStatus& t : terminals) {
        list.append(QJsonObject{
            {"name", Text(t.name)},
            {"link", Text(t.link)},
            {"state", StateName(t.state)},
            {"since", Time(t.since)},
            {"lastRecord", Time(t.lastRecord)},
            {"stored", static_cast<qint64>(t.stored)},
            {"storedToday", static_cast<qint64>(t.storedToday)},
            {"duplicates", static_cast<qint64>(t.duplicates)},
            {"flagged", static_cast<qint64>(t.flagged)},
            {"reconnects", static_cast<qint64>(t.reconnects)},
            {"errors", static_cast<qint64>(t.errors)},
            {"lastError", Text(t.lastError)},
        });
    }
    return QJsonObject{
        {"database", QJsonObject{{"url", Text(database.description)},
                                 {"up", database.up},
                                 {"lastError", Text(database.lastError)},
                                 {"commits", static_cast<qint64>(database.commits)}}},
        {"terminals", list},
    };
}

} // namespace kelvra::collector
