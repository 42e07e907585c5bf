#include "module_client/Vexa5Environment.h"

#include <stdexcept>

namespace kelvra {

namespace {

std::unique_ptr<Vexa5Environment>& installation() {
    static std::unique_ptr<Vexa5Environment> environment;
    return environment;
}

} // namespace

Vexa5Environment::Vexa5Environment(Clock& clock, EventPump& pump, LinkFactory& links,
                                   Dialogs& dialogs, Vexa5Endpoints endpoints)
    : m_clock(clock), m_pump(pump), m_links(links), m_dialogs(dialogs),
      m_endpoints(std::move(endpoints)) {}

void Vexa5Environment::requireNoClients(const char* operation) {
    if (installation() && installation()->m_clients > 0) {
        throw std::logic_error(std::string(operation) + ": a module client is still alive");
    }
}

void Vexa5Environment::install(Clock& clock, EventPump& pump, LinkFactory& links, Dialogs& dialogs,
                               Vexa5Endpoints endpoints) {
    requireNoClients("Vexa5Environment::install");
    installation() =
        std::make_unique<Vexa5Environment>(clock, pump, links, dialogs, std::move(endpoints));
}

void Vexa5Environment::reset() {
    requireNoClients("Vexa5Environment::reset");
    installation().reset();
}

Vexa5Environment& Vexa5Environment::current() {
    if (!installation()) {
        throw std::logic_error("the module client's environment is not installed");
    }
    return *installation();
}

ReplyCollector& Vexa5Environment::collector() {
    if (!m_collector) {
        m_collector = std::make_unique<ReplyCollector>(m_links);
    }
    return *m_collector;
}

} // namespace kelvra
