#include "collector/CollectorCommands.h"

#include "cli/CliErrors.h"
#include "cli/CsvFiles.h"
#include "cli/TextTable.h"
#include "collector/Collector.h"
#include "collector/PunchDatabase.h"
#include "collector/SignalWatch.h"
#include "collector/StatusServer.h"
#include "collector/StatusViews.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <algorithm>
#include <iostream>

namespace kelvra::collector {

namespace {

std::string ConfigPath(cli::Arguments& arguments) {
    return arguments.takeValue("--config").value_or(kDefaultConfigPath);
}

cli::HostPort ListenAddress(cli::Arguments& arguments) {
    return cli::ParseHostPort(arguments.takeValue("--listen").value_or(kDefaultListen), "--listen");
}

QDate Day(const std::string& text, const char* option) {
    const QDate day = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
    if (!day.isValid()) {
        throw cli::UsageError(std::string(option) + " takes a date YYYY-MM-DD, not \"" + text +
                              "\"");
    }
    return day;
}

} // namespace

int RunCollector(cli::Arguments& arguments) {
    const std::string configPath = ConfigPath(arguments);
    const cli::HostPort listen = ListenAddress(arguments);
    arguments.finish();
    // Before any thread starts, so that every thread leaves the signals to the watch.
    SignalWatch signalWatch;
    FleetStatus status;
    Collector collector(ReadCollectorConfig(configPath), status);
    StatusServer server(status);
    server.listen(listen.host, listen.port);
    signalWatch.onStop = [] { QCoreApplication::quit(); };
    signalWatch.onReload = [&] {
        try {
            LogLine("re-reading " + configPath);
            collector.reload(ReadCollectorConfig(configPath));
        } catch (const ConfigError& error) {
            LogLine(std::string(error.what()) + "; the configuration in use is kept");
        }
    };
    collector.start();
    QCoreApplication::exec();
    LogLine("stopping");
    collector.stop();
    return cli::kExitSuccess;
}

int PrintStatus(cli::Arguments& arguments, std::ostream& out) {
    const cli::HostPort listen = ListenAddress(arguments);
    arguments.finish();
    QNetworkAccessManager network;
    const QUrl url(QStringLiteral("http://%1:%2/status")
                       .arg(QString::fromStdString(listen.host))
                       .arg(listen.port));
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    if (!reply->isFinished() || reply->error() != QNetworkReply::NoError) {
        throw std::runtime_error("no collector answers at " + url.toString().toStdString() + ": " +
                                 reply->errorString().toStdString());
    }
    const QJsonObject status = QJsonDocument::fromJson(reply->readAll()).object();
    const QJsonObject database = status.value("database").toObject();
    out << "database " << database.value("url").toString().toStdString() << ": "
        << (database.value("up").toBool()
                ? std::string("writing")
                : "not writable: " + database.value("lastError").toString().toStdString())
        << "\n";
    cli::TextTable table(
        {"TERMINAL", "LINK", "STATE", "SINCE", "LAST RECORD", "TODAY", "LAST ERROR"});
    for (const QJsonValue& value : status.value("terminals").toArray()) {
        const QJsonObject t = value.toObject();
        auto text = [&](const char* key) { return t.value(key).toString().toStdString(); };
        table.addRow({text("name"), text("link"), text("state"), text("since"),
                      text("lastRecord").empty() ? "never" : text("lastRecord"),
                      std::to_string(t.value("storedToday").toInteger()), text("lastError")});
    }
    table.print(out);
    return cli::kExitSuccess;
}

int ExportPunches(cli::Arguments& arguments) {
    const std::string configPath = ConfigPath(arguments);
    const std::optional<std::string> since = arguments.takeValue("--since");
    const std::optional<std::string> until = arguments.takeValue("--until");
    const std::string terminal = arguments.takeValue("--terminal").value_or("");
    const std::optional<std::string> csvPath = arguments.takeValue("--csv");
    arguments.finish();
    if (!since || !csvPath) {
        throw cli::UsageError("export needs --since DATE and --csv FILE");
    }
    const QDateTime from(Day(*since, "--since"), QTime(0, 0));
    // --until names the last day exported, whole.
    const QDateTime to = until ? QDateTime(Day(*until, "--until").addDays(1), QTime(0, 0))
                               : QDateTime(QDate(9999, 12, 31), QTime(0, 0));
    cli::AtomicCsvFile file(*csvPath); // a directory that is not there fails first
    PunchDatabase database(ReadCollectorConfig(configPath).databaseUrl);
    database.open();
    std::vector<std::vector<std::string>> records;
    database.forEachPunch(from, to, terminal, [&](const std::string& raw) {
        records.push_back(cli::RecordFields(raw));
    });
    std::size_t columns = cli::kRecordColumnCount;
    for (const auto& record : records) {
        columns = std::max(columns, record.size());
    }
    file.writeLine(cli::RecordHeader(columns));
    for (const auto& record : records) {
        file.writeLine(record);
    }
    file.commit();
    std::cerr << records.size() << " punches written to " << *csvPath << "\n";
    return cli::kExitSuccess;
}

} // namespace kelvra::collector
