// The records of one terminal: the catch-up download, real-time mode and the hand-over to the
// store. A record is confirmed to the terminal (the read's commit, "XA" for a pushed one) only
// after the store has committed it: whatever happens in between, the terminal still holds it
// and it is collected again, and the database keeps one copy.
#include "cli/CliErrors.h"
#include "cli/ReadTransaction.h"
#include "collector/TerminalWorker.h"
#include "driver/ucKelvra.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>

namespace kelvra::collector {

namespace {

// Pushed records confirmed lately. A record that arrives again (pushed twice, re-sent) is
// stored again, harmlessly, but never confirmed again: a second "XA" would confirm the next
// record, which the database does not have yet.
constexpr std::size_t kRememberedConfirmations = 64;

} // namespace

bool TerminalWorker::storeAndWait(std::vector<Punch> punches) {
    const std::uint64_t ticket = ++m_submitted;
    std::weak_ptr<Mailbox> mailbox = m_mailbox;
    m_store.submit(std::move(punches), [mailbox] {
        if (const auto box = mailbox.lock()) {
            std::lock_guard lock(box->mutex);
            ++box->committed;
            box->wake();
        }
    });
    // However long the database takes: the records wait on the terminal meanwhile.
    return waitUntil(
        [&] {
            std::lock_guard lock(m_mailbox->mutex);
            return m_mailbox->committed >= ticket;
        },
        std::chrono::milliseconds::max());
}

void TerminalWorker::catchUp(ucKelvra& kv, CatchUp kind) {
    const std::int16_t source = m_settings.source;
    std::vector<Punch> punches;
    // A read left open by a collector killed in the middle of one is aborted first.
    kv.AbortReadTransation(source);
    if (!cli::AbortLeftNoReadOpen(kv.ErrCode())) {
        throw cli::TerminalFailure(kv.ErrCode(), "records abort");
    }
    // Only now has the terminal answered: an unreachable one stays offline meanwhile.
    if (kind == CatchUp::Announced) {
        m_status.setState(m_settings.name, TerminalState::CatchingUp);
    }
    try {
        for (;;) {
            kv.GetRecord(source);
            const std::int32_t code = kv.ErrCode();
            std::string data;
            kv.GetData(data);
            if (code == KV_ERR_END) {
                break;
            }
            if (code != KV_SUCCESS) {
                throw cli::TerminalFailure(code, "record " + std::to_string(punches.size() + 1));
            }
            punches.push_back(ReadPunch(m_settings.name, data, QDateTime::currentDateTime()));
            run(kv, "record confirm", [&](ucKelvra& driver) { driver.ConfirmRecord(source); });
            if (stopping()) {
                throw StopRequested();
            }
        }
        if (!punches.empty() && !storeAndWait(std::move(punches))) {
            throw StopRequested();
        }
    } catch (...) {
        // Best effort: a link that failed may not carry the abort, and the terminal then keeps
        // the records unread all the same.
        kv.AbortReadTransation(source);
        throw;
    }
    run(kv, "records commit", [&](ucKelvra& driver) { driver.CommitReadTransation(source); });
}

void TerminalWorker::onPushedRecord(const std::string& data, std::int32_t errCode) {
    // A record that did not verify is not confirmed: the terminal keeps it, and the idle check
    // collects it by download if it is never pushed again.
    if (errCode == KV_SUCCESS) {
        m_pushed.push_back(data);
        m_arrivals.push_back(std::chrono::steady_clock::now());
    }
}

void TerminalWorker::confirmStored(ucKelvra& kv, const std::vector<std::string>& raws) {
    for (const std::string& raw : raws) {
        if (std::find(m_recentlyConfirmed.begin(), m_recentlyConfirmed.end(), raw) !=
            m_recentlyConfirmed.end()) {
            continue;
        }
        m_recentlyConfirmed.push_back(raw);
        if (m_recentlyConfirmed.size() > kRememberedConfirmations) {
            m_recentlyConfirmed.pop_front();
        }
        run(kv, "record confirm",
            [&](ucKelvra& driver) { driver.X_ConfirmRecord(m_settings.source); });
    }
}

void TerminalWorker::logOn(ucKelvra& kv) {
    // "XO" starts the terminal's pushes afresh with its first unread record; whatever it
    // pushed before is either committed by the catch-up just done or pushed again, and
    // confirming it now would confirm that first record instead.
    m_pushed.clear();
    m_arrivals.clear();
    run(kv, "extended mode on", [&](ucKelvra& driver) { driver.X_LogOn(m_settings.source); });
}

void TerminalWorker::goLive(ucKelvra& kv) {
    const std::int16_t source = m_settings.source;
    logOn(kv);
    m_status.setState(m_settings.name, TerminalState::Live);
    const auto idleCheck = std::chrono::seconds(m_settings.idleCheckSeconds);
    while (!stopping()) {
        if (waitUntil([&] { return !m_pushed.empty(); }, idleCheck)) {
            std::vector<std::string> raws;
            std::vector<std::chrono::steady_clock::time_point> arrivals;
            raws.swap(m_pushed);
            arrivals.swap(m_arrivals);
            std::vector<Punch> punches;
            const QDateTime now = QDateTime::currentDateTime();
            for (const std::string& raw : raws) {
                punches.push_back(ReadPunch(m_settings.name, raw, now));
            }
            if (!storeAndWait(std::move(punches))) {
                break;
            }
            const auto committed = std::chrono::steady_clock::now();
            for (const auto arrived : arrivals) {
                m_status.pushCommitted(std::chrono::duration<double>(committed - arrived).count());
            }
            confirmStored(kv, raws);
            continue;
        }
        if (stopping()) {
            break;
        }
        // Silent for a while: the link must still answer, and a terminal that counts unread
        // records has a stalled stream (a push lost, a confirmation lost) and is caught up.
        kv.RecordCount(source);
        std::string count;
        kv.GetData(count);
        if (kv.ErrCode() != KV_SUCCESS) {
            throw cli::TerminalFailure(kv.ErrCode(), "records count");
        }
        if (std::atoi(count.c_str()) > 0 && m_pushed.empty()) {
            kv.X_LogOff(source);
            catchUp(kv);
            logOn(kv);
            m_status.setState(m_settings.name, TerminalState::Live);
        }
    }
    kv.X_LogOff(source); // best effort: the terminal falls back by itself otherwise
}

} // namespace kelvra::collector
