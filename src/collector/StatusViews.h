#pragma once

#include "collector/FleetStatus.h"

#include <QByteArray>
#include <QJsonObject>

namespace kelvra::collector {

// The three views of the fleet's status that the HTTP port serves.
QByteArray MetricsText(const std::vector<TerminalStatus>& terminals,
                       const DatabaseStatus& database);
QJsonObject StatusJson(const std::vector<TerminalStatus>& terminals,
                       const DatabaseStatus& database);
// The status page: one row per terminal, refreshed every few seconds, laid out for a phone
// as well as a desk.
QByteArray StatusPage(const QJsonObject& status);

} // namespace kelvra::collector
