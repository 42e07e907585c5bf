#include "cli/Session.h"

#include "cli/CliErrors.h"
#include "cli/TextConversion.h"

#include <iostream>
#include <ostream>

namespace kelvra::cli {

Session::Session(const GlobalOptions& options, std::ostream& out)
    : m_options(options), m_out(out), m_userSettings(QtSettingsStore::Scope::PerUser),
      m_serialSettings(m_userSettings, options.serialPort), m_qtLinks(m_serialSettings) {
    m_kv = std::make_unique<ucKelvra>(m_clock, m_clock, links());
    if (m_options.trace) {
        m_trace = m_kv->LinkTraffic.subscribe([this](const LinkChunk& chunk) {
            for (const std::string& line : m_traffic.decode(chunk)) {
                std::cerr << line << std::endl;
            }
        });
    }
    m_kv->SetWakeOnReply(!m_options.specTiming);
    m_kv->SetModulePort(m_options.modulePort);
    // An operator who presses Ctrl-C twice will not wait for the command under way.
    m_interrupts.onInsist = [this] { m_kv->Shutdown(); };
}

Session::~Session() = default;

void Session::print(const std::string& linkText) {
    m_out << LocalText(linkText) << "\n";
}

LinkFactory& Session::links() {
    return m_qtLinks;
}

ucKelvra& Session::kv() {
    if (!m_connected) {
        m_connected = true;
        ConnectLink(*m_kv, m_options);
        checkInterrupted();
        if (m_options.password) {
            const std::string password = LinkText(*m_options.password);
            run("login", [&](ucKelvra& kv) { kv.Login(source(), password); });
            m_loggedIn = true;
        }
    }
    return *m_kv;
}

std::int32_t Session::attempt(const std::function<void(ucKelvra&)>& operation, Repeat repeat) {
    ucKelvra& driver = kv();
    int repeatsLeft = repeat == Repeat::IfTimedOut ? m_options.retries : 0;
    for (;;) {
        operation(driver);
        checkInterrupted();
        if (driver.ErrCode() != KV_ERR_TIMEOUT || repeatsLeft-- <= 0) {
            return driver.ErrCode();
        }
    }
}

void Session::run(const char* what, const std::function<void(ucKelvra&)>& operation,
                  Repeat repeat) {
    const std::int32_t code = attempt(operation, repeat);
    if (code != KV_SUCCESS) {
        throw TerminalFailure(code, what);
    }
}

std::string Session::query(const char* what, const std::function<void(ucKelvra&)>& operation,
                           Repeat repeat) {
    run(what, operation, repeat);
    return data();
}

std::string Session::data() {
    std::string text;
    m_kv->GetData(text);
    return text;
}

void Session::checkInterrupted() const {
    if (m_interrupts.interrupted()) {
        throw Interrupted();
    }
}

void Session::finish() {
    if (!m_loggedIn) {
        return;
    }
    m_loggedIn = false;
    m_kv->Logout(source());
    if (m_kv->ErrCode() != KV_SUCCESS) {
        throw TerminalFailure(m_kv->ErrCode(), "logout");
    }
}

} // namespace kelvra::cli
