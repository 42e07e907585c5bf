#pragma once

#include "collector/FleetStatus.h"

#include <QHttpServer>
#include <string>

namespace kelvra::collector {

// Serves the fleet's status over HTTP with Qt's HTTP server: "/metrics" in the Prometheus
// text format, "/status" as JSON, "/" as a page for a person.
class StatusServer {
public:
    explicit StatusServer(FleetStatus& status);
    // Returns the port (port 0: any free one). Throws std::runtime_error when the address
    // cannot be listened on.
    int listen(const std::string& host, int port);

private:
    FleetStatus& m_status;
    QHttpServer m_server;
};

} // namespace kelvra::collector
