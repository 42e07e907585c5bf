// Extended mode and its pushed records; the display, the relays and the punch times.
#include "SimFrames.h"
#include "TerminalModel.h"
#include "TerminalText.h"

#include <algorithm>
#include <cstdio>

namespace kelvra::sim {

std::optional<std::size_t> TerminalModel::pushCandidate() const {
    // Records fetched in an open read transaction are left to it.
    const std::size_t first = m_readOpen ? m_readCursor : 0;
    return first < m_new.size() ? std::optional<std::size_t>(first) : std::nullopt;
}

std::optional<PunchRecord> TerminalModel::awaitingConfirmation() const {
    if (!m_awaiting) {
        return std::nullopt;
    }
    for (const PunchRecord& record : m_new) {
        if (record.number == *m_awaiting) {
            return record;
        }
    }
    return std::nullopt;
}

std::string TerminalModel::cmdExtendedOn(std::string_view, SteadyClock::time_point now) {
    m_extended = true;
    m_awaiting.reset();
    m_repushAt.reset();
    m_pushNotBefore = now + std::chrono::milliseconds(m_config.pushAfterLogonMs);
    if (m_config.pushEveryMs > 0) {
        m_generateAt = now + std::chrono::milliseconds(m_config.pushEveryMs);
    }
    return Ok();
}

std::string TerminalModel::cmdExtendedOff(std::string_view, SteadyClock::time_point) {
    m_extended = false;
    m_awaiting.reset();
    m_repushAt.reset();
    m_generateAt.reset();
    return Ok();
}

std::string TerminalModel::cmdResend(std::string_view, SteadyClock::time_point now) {
    ++m_counters.resendRequests;
    if (m_lastPushed.empty()) {
        return kNotApplicable;
    }
    if (m_awaiting && m_extended && m_config.repushAfterResendMs >= 0) {
        m_repushAt = now + std::chrono::milliseconds(m_config.repushAfterResendMs);
    }
    return "XN" + m_lastPushed;
}

void TerminalModel::confirmPushed(SteadyClock::time_point now) {
    if (!m_awaiting) {
        return;
    }
    ++m_counters.confirmations;
    auto record = std::find_if(m_new.begin(), m_new.end(),
                               [&](const PunchRecord& r) { return r.number == *m_awaiting; });
    if (record != m_new.end()) {
        const auto position = static_cast<std::size_t>(record - m_new.begin());
        m_old.push_back(*record);
        m_new.erase(record);
        if (m_readOpen && position < m_readCursor) {
            --m_readCursor;
        }
    }
    m_awaiting.reset();
    m_repushAt.reset();
    m_pushNotBefore = now;
}

void TerminalModel::setPushEvery(int ms, SteadyClock::time_point now) {
    m_config.pushEveryMs = ms;
    if (ms > 0 && m_extended) {
        m_generateAt = now + std::chrono::milliseconds(ms);
    } else {
        m_generateAt.reset();
    }
}

std::vector<Outgoing> TerminalModel::poll(SteadyClock::time_point now) {
    std::vector<Outgoing> out;
    if (!m_extended) {
        return out;
    }
    if (m_generateAt && now >= *m_generateAt) {
        addPunchRecord();
        const auto every = std::chrono::milliseconds(m_config.pushEveryMs);
        *m_generateAt += every;
        if (*m_generateAt <= now) {
            *m_generateAt = now + every; // fell behind: no burst of catch-up records
        }
    }
    if (m_awaiting) {
        if (m_repushAt && now >= *m_repushAt) {
            m_repushAt.reset();
            ++m_counters.pushes;
            ++m_counters.repushes;
            out.push_back({ReplyFrame(m_config.number, "XN" + m_lastPushed), FrameKind::Push});
        }
        return out;
    }
    if (now < m_pushNotBefore) {
        return out;
    }
    if (const auto candidate = pushCandidate()) {
        const PunchRecord& record = m_new[*candidate];
        m_awaiting = record.number;
        m_lastPushed = recordText(record);
        ++m_counters.pushes;
        out.push_back({ReplyFrame(m_config.number, "XN" + m_lastPushed), FrameKind::Push});
    }
    return out;
}

std::optional<SteadyClock::time_point> TerminalModel::nextWakeup() const {
    if (!m_extended) {
        return std::nullopt;
    }
    std::optional<SteadyClock::time_point> wake = m_generateAt;
    auto earliest = [&](SteadyClock::time_point t) {
        if (!wake || t < *wake) {
            wake = t;
        }
    };
    if (m_awaiting) {
        if (m_repushAt) {
            earliest(*m_repushAt);
        }
    } else if (pushCandidate()) {
        earliest(m_pushNotBefore);
    }
    return wake;
}

namespace {

// The at-least-2 number in front of a display text: two characters, three with a sign.
std::optional<long> leadingDuration(std::string_view& data) {
    const std::size_t width = !data.empty() && data.front() == '-' ? 3 : 2;
    const auto value = StrictInteger(data.substr(0, width));
    if (!value || data.size() < width) {
        return std::nullopt;
    }
    data.remove_prefix(width);
    return value;
}

} // namespace

std::string TerminalModel::cmdShowText(std::string_view data, SteadyClock::time_point) {
    const auto duration = leadingDuration(data);
    if (!duration) {
        return kFail;
    }
    m_displayDuration = static_cast<int>(*duration);
    m_displayText = std::string(data);
    return Ok();
}

std::string TerminalModel::cmdBell(std::string_view data, SteadyClock::time_point) {
    const auto duration = StrictInteger(data);
    if (!duration) {
        return kFail;
    }
    ++m_counters.bellActivations;
    m_lastBellDuration = static_cast<int>(*duration);
    return Ok();
}

std::string TerminalModel::cmdLock(std::string_view data, SteadyClock::time_point) {
    const auto duration = StrictInteger(data);
    if (!duration) {
        return kFail;
    }
    ++m_counters.lockActivations;
    m_lastLockDuration = static_cast<int>(*duration);
    return Ok();
}

std::string TerminalModel::cmdPunchTimesSet(std::string_view data, SteadyClock::time_point) {
    const auto value = HexByte(data);
    if (!value) {
        return kFail;
    }
    m_punchTimes = *value;
    return Ok();
}

std::string TerminalModel::cmdPunchTimesGet(std::string_view, SteadyClock::time_point) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", m_punchTimes & 0xFF);
    return Ok(text);
}

} // namespace kelvra::sim
