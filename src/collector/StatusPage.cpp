#include "collector/StatusViews.h"

#include <QJsonArray>

namespace kelvra::collector {

namespace {

const char* const kStyle = R"(
body { font-family: system-ui, sans-serif; margin: 0; padding: 1rem; color: #1d2330;
       background: #f4f5f7; }
h1 { font-size: 1.3rem; margin: 0 0 .25rem; }
p.database { margin: 0 0 1rem; color: #4a5568; }
table { border-collapse: collapse; width: 100%; background: #fff; }
th, td { text-align: left; padding: .5rem .75rem; border-bottom: 1px solid #e2e5ea; }
th { background: #e9ecf1; font-weight: 600; }
td.state { font-weight: 600; white-space: nowrap; }
tr.live td.state, tr.polling td.state { color: #17693a; }
tr.catching-up td.state, tr.connecting td.state { color: #8a5a00; }
tr.offline td.state, tr.stopped td.state { color: #b3261e; }
span.bad { color: #b3261e; font-weight: 600; }
@media (max-width: 40rem) {
  thead { display: none; }
  table, tbody, tr, td { display: block; width: auto; }
  tr { margin-bottom: .75rem; border: 1px solid #d5d9e0; border-radius: .4rem; }
  td { border: none; padding: .3rem .75rem; }
  td::before { content: attr(data-label) ": "; color: #4a5568; font-weight: 400; }
}
)";

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString Shown(const QJsonValue& time) {
    const QDateTime when = QDateTime::fromString(time.toString(), Qt::ISODate);
    if (!when.isValid()) {
        return QStringLiteral("never");
    }
    const QString format = when.date() == QDate::currentDate() ? QStringLiteral("HH:mm:ss")
                                                               : QStringLiteral("yyyy-MM-dd HH:mm");
    return when.toString(format);
}

QString Cell(const char* label, const QString& text, const char* cellClass = nullptr) {
    return QStringLiteral("<td data-label=\"%1\"%2>%3</td>")
        .arg(QLatin1String(label),
             cellClass ? QStringLiteral(" class=\"%1\"").arg(QLatin1String(cellClass)) : QString(),
             text);
}

} // namespace

QByteArray StatusPage(const QJsonObject& status) {
    const QJsonObject database = status.value("database").toObject();
    QString rows;
    for (const QJsonValue& value : status.value("terminals").toArray()) {
        const QJsonObject t = value.toObject();
        const QString state = t.value("state").toString();
        rows += QStringLiteral("<tr class=\"%1\">").arg(QString(state).replace(' ', '-'));
        rows += Cell("Terminal", Escaped(t.value("name").toString()));
        rows += Cell("Link", Escaped(t.value("link").toString()));
        rows += Cell("State", Escaped(state) + QStringLiteral(" since ") + Shown(t.value("since")),
                     "state");
        rows += Cell("Last record", Shown(t.value("lastRecord")));
        rows += Cell("Today", QString::number(t.value("storedToday").toInteger()));
        const QString error = t.value("lastError").toString();
        rows += Cell("Last error", error.isEmpty() ? QStringLiteral("none") : Escaped(error));
        rows += QStringLiteral("</tr>\n");
    }
    const QString databaseLine =
        database.value("up").toBool()
            ? QStringLiteral("Database %1: writing").arg(Escaped(database.value("url").toString()))
            : QStringLiteral("Database %1: <span class=\"bad\">not writable: %2</span> (records "
                             "wait on the terminals)")
                  .arg(Escaped(database.value("url").toString()),
                       Escaped(database.value("lastError").toString()));
    const QString page =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<meta http-equiv=\"refresh\" content=\"5\">"
                       "<title>Kelvra collector</title><style>%1</style></head><body>"
                       "<h1>Terminals</h1><p class=\"database\">%2 &middot; as of %3</p>"
                       "<table><thead><tr><th>Terminal</th><th>Link</th><th>State</th>"
                       "<th>Last record</th><th>Today</th><th>Last error</th></tr></thead>"
                       "<tbody>\n%4</tbody></table></body></html>\n")
            .arg(QLatin1String(kStyle), databaseLine,
                 QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), rows);
    return page.toUtf8();
}

} // namespace kelvra::collector
