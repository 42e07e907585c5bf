#include "collector/StatusServer.h"

#include "collector/StatusViews.h"

#include <QHostAddress>
#include <QHttpServerResponse>
#include <stdexcept>

namespace kelvra::collector {

StatusServer::StatusServer(FleetStatus& status) : m_status(status) {
    m_server.route("/metrics", [this] {
        return QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8",
                                   MetricsText(m_status.terminals(), m_status.database()));
    });
    m_server.route("/status", [this] {
        return QHttpServerResponse(StatusJson(m_status.terminals(), m_status.database()));
    });
    m_server.route("/", [this] {
        return QHttpServerResponse(
            "text/html; charset=utf-8",
            StatusPage(StatusJson(m_status.terminals(), m_status.database())));
    });
}

int StatusServer::listen(const std::string& host, int port) {
    const QHostAddress address(QString::fromStdString(host));
    const quint16 bound =
        address.isNull() ? 0 : m_server.listen(address, static_cast<quint16>(port));
    if (bound == 0 || (port != 0 && bound != port)) {
        throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port));
    }
    return bound;
}

} // namespace kelvra::collector
