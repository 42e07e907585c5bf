#include "collector/TerminalWorker.h"

#include "cli/CliErrors.h"
#include "cli/GlobalOptions.h"
#include "cli/LinkSetup.h"
#include "driver/ucKelvra.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtLinkFactory.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace kelvra::collector {

namespace {

// How long a stopping worker may take to leave real-time mode before its driver gives up.
constexpr std::chrono::milliseconds kStopGrace{3000};

// The serial device of a terminal stands behind its port number; nothing else is stored.
class NoStoredSettings final : public SettingsStore {
public:
    std::string read(const std::string&, const std::string&, const std::string&,
                     const std::string& fallback) override {
        return fallback;
    }
    void write(const std::string&, const std::string&, const std::string&,
               const std::string&) override {}
    void createKey(const std::string&, const std::string&) override {}
};

cli::GlobalOptions LinkOptions(const TerminalSettings& settings) {
    cli::GlobalOptions options;
    switch (settings.link) {
    case TerminalLink::Udp:
        options.link = cli::LinkKind::Udp;
        break;
    case TerminalLink::Tcp:
        options.link = cli::LinkKind::Tcp;
        break;
    case TerminalLink::Serial:
        options.link = cli::LinkKind::Serial;
        options.serialPort = settings.device;
        break;
    }
    options.endpoint = {settings.host, settings.port};
    options.source = settings.source;
    options.timeoutMs = settings.timeoutMs;
    options.modulePort = settings.modulePort;
    return options;
}

} // namespace

std::string LinkDescription(const TerminalSettings& settings) {
    switch (settings.link) {
    case TerminalLink::Udp:
        return "udp " + settings.host + ":" + std::to_string(settings.port);
    case TerminalLink::Tcp:
        return "tcp " + settings.host + ":" + std::to_string(settings.port);
    case TerminalLink::Serial:
        return "serial " + settings.device;
    }
    return {};
}

std::chrono::seconds ReconnectPause(int attempt) {
    return std::chrono::seconds(attempt >= 6 ? 60 : 1 << attempt);
}

void TerminalWorker::Mailbox::wake() {
    if (dispatcher != nullptr) {
        dispatcher->wakeUp();
    }
}

TerminalWorker::TerminalWorker(TerminalSettings settings, PunchStore& store, FleetStatus& status)
    : m_settings(std::move(settings)), m_store(store), m_status(status) {}

TerminalWorker::~TerminalWorker() {
    stop();
}

void TerminalWorker::start() {
    m_status.addTerminal(m_settings.name, LinkDescription(m_settings));
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QString::fromStdString("terminal " + m_settings.name));
    m_thread->start();
}

void TerminalWorker::requestStop() {
    std::lock_guard lock(m_mailbox->mutex);
    if (!m_mailbox->stopping && m_mailbox->context != nullptr) {
        // The worker sees the request between commands. A connect to a terminal that is gone
        // can take half a minute, though: after a grace the driver is told to give up, on the
        // worker's own thread, from inside the wait it is in.
        QMetaObject::invokeMethod(
            m_mailbox->context,
            [this] {
                QTimer::singleShot(kStopGrace, m_mailbox->context, [this] {
                    if (m_kv != nullptr) {
                        m_kv->Shutdown();
                    }
                });
            },
            Qt::QueuedConnection);
    }
    m_mailbox->stopping = true;
    m_mailbox->wake();
}

void TerminalWorker::stop() {
    if (!m_thread) {
        return;
    }
    requestStop();
    m_thread->wait();
    m_thread.reset();
    m_status.removeTerminal(m_settings.name);
}

bool TerminalWorker::stopping() {
    std::lock_guard lock(m_mailbox->mutex);
    return m_mailbox->stopping;
}

bool TerminalWorker::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        const qint64 left = limit.count() - elapsed.elapsed();
        if (stopping() || left <= 0) {
            return false;
        }
        m_clock->waitForEvents(static_cast<int>(std::min<qint64>(left, 1000)));
    }
    return true;
}

void TerminalWorker::run(ucKelvra& kv, const char* what,
                         const std::function<void(ucKelvra&)>& command) {
    command(kv);
    if (kv.ErrCode() != KV_SUCCESS) {
        throw cli::TerminalFailure(kv.ErrCode(), what);
    }
}

void TerminalWorker::run() {
    QtClock clock;
    m_clock = &clock;
    QObject context;
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->dispatcher = QAbstractEventDispatcher::instance();
        m_mailbox->context = &context;
    }
    NoStoredSettings nothingStored;
    cli::SerialDeviceSettings serialSettings(nothingStored, m_settings.device);
    QtLinkFactory links(serialSettings);
    int failures = 0;
    while (!stopping()) {
        // A driver of its own for every connection: nothing of a failed one carries over.
        ucKelvra kv(clock, clock, links);
        m_kv = &kv;
        kv.SetWakeOnReply(true);
        const Subscription pushes = kv.KelvraDataArival.subscribe(
            [this](const std::string&, std::int16_t, const std::string& data,
                   std::int32_t errCode) { onPushedRecord(data, errCode); });
        try {
            connect(kv);
            failures = 0;
            serve(kv);
        } catch (const StopRequested&) {
            m_kv = nullptr;
            break;
        } catch (const std::exception& failure) {
            m_pushed.clear();
            m_arrivals.clear();
            m_status.countError(m_settings.name, failure.what());
            m_status.setState(m_settings.name, TerminalState::Offline, failure.what());
            kv.CloseConnection();
            waitUntil([] { return false; }, ReconnectPause(failures++));
            if (!stopping()) {
                m_status.countReconnect(m_settings.name);
            }
        }
        m_kv = nullptr;
    }
    m_status.setState(m_settings.name, TerminalState::Stopped);
    std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->dispatcher = nullptr;
    m_mailbox->context = nullptr;
}

void TerminalWorker::connect(ucKelvra& kv) {
    const cli::GlobalOptions options = LinkOptions(m_settings);
    kv.SetModulePort(options.modulePort);
    cli::ConnectLink(kv, options);
    if (m_settings.password && !m_settings.password->empty()) {
        run(kv, "login",
            [&](ucKelvra& driver) { driver.Login(m_settings.source, *m_settings.password); });
    }
}

// Catches up, then stays live or polls until the link fails (an exception) or the worker
// stops.
void TerminalWorker::serve(ucKelvra& kv) {
    catchUp(kv);
    if (m_settings.pollSeconds == 0) {
        goLive(kv);
        return;
    }
    m_status.setState(m_settings.name, TerminalState::Polling);
    for (;;) {
        waitUntil([] { return false; }, std::chrono::seconds(m_settings.pollSeconds));
        if (stopping()) {
            return;
        }
        catchUp(kv, CatchUp::Routine);
    }
}

} // namespace kelvra::collector
