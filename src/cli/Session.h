#pragma once

#include "cli/GlobalOptions.h"
#include "cli/InterruptWatch.h"
#include "cli/LinkSetup.h"
#include "driver/TrafficDecoder.h"
#include "driver/ucKelvra.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtLinkFactory.h"
#include "platform/qt/QtSettingsStore.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace kelvra::cli {

// Whether a command that timed out may be sent again under --retries: only where a second
// attempt cannot change what the first may already have done (a read, an absolute setting).
enum class Repeat { IfTimedOut, Never };

// What one run of the program works with: the Qt platform, the link components, the driver,
// connected on first use, with its traffic decoded on standard error under --trace, and the
// interrupt watch. Needs a QCoreApplication.
class Session {
public:
    Session(const GlobalOptions& options, std::ostream& out);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const GlobalOptions& options() const { return m_options; }
    std::ostream& out() { return m_out; }
    // One line of link text on standard output, in the locale's encoding.
    void print(const std::string& linkText);
    std::int16_t source() const { return m_options.source; }

    QtClock& clock() { return m_clock; }
    LinkFactory& links();

    // The driver with its link set up, connected (and logged in for --password) at the first
    // call. Throws UsageError without a link, TerminalFailure when connecting failed.
    ucKelvra& kv();

    // Runs one driver operation; throws TerminalFailure (naming `what`) unless it succeeded.
    void run(const char* what, const std::function<void(ucKelvra&)>& operation,
             Repeat repeat = Repeat::Never);
    // The same, handing back the reply data.
    std::string query(const char* what, const std::function<void(ucKelvra&)>& operation,
                      Repeat repeat = Repeat::IfTimedOut);
    // Runs one operation and returns its ErrCode whatever it is; repeats as run() does.
    std::int32_t attempt(const std::function<void(ucKelvra&)>& operation,
                         Repeat repeat = Repeat::Never);
    // The reply data of the last command.
    std::string data();

    // Throws Interrupted once SIGINT or SIGTERM has arrived.
    void checkInterrupted() const;
    InterruptWatch& interrupts() { return m_interrupts; }

    // Logs out after --password; called once the command is done, also after a failure.
    // Throws TerminalFailure when the logout itself failed.
    void finish();

private:
    GlobalOptions m_options;
    std::ostream& m_out;
    QtClock m_clock;
    QtSettingsStore m_userSettings;
    SerialDeviceSettings m_serialSettings;
    QtLinkFactory m_qtLinks;
    InterruptWatch m_interrupts;
    std::unique_ptr<ucKelvra> m_kv;
    TrafficDecoder m_traffic;
    Subscription m_trace;
    bool m_connected = false;
    bool m_loggedIn = false;
};

} // namespace kelvra::cli
