#include "TerminalModel.h"

#include "SimFrames.h"
#include "TerminalText.h"

#include <ctime>

namespace kelvra::sim {

namespace {

DateTime localNow() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
}

} // namespace

const std::array<TerminalModel::CommandEntry, 41> TerminalModel::kCommands = {{
    {"E", false, &TerminalModel::cmdEcho},
    {"BW", false, &TerminalModel::cmdPolling},
    {"LI", false, &TerminalModel::cmdLogin},
    {"LO", false, &TerminalModel::cmdLogout},
    {"LS", false, &TerminalModel::cmdLoginStatus},
    {"RN", false, &TerminalModel::cmdRecordCount},
    {"RG", false, &TerminalModel::cmdGetRecord},
    {"RH", false, &TerminalModel::cmdConfirmRecord},
    {"RA", false, &TerminalModel::cmdAbortRead},
    {"RC", false, &TerminalModel::cmdCommitRead},
    {"RO", true, &TerminalModel::cmdDeleteOld},
    {"RR", true, &TerminalModel::cmdResetOld},
    {"RI", true, &TerminalModel::cmdInitialize},
    {"RM", true, &TerminalModel::cmdRecover},
    {"IC", false, &TerminalModel::cmdItemCount},
    {"IU", false, &TerminalModel::cmdItemUpdate},
    {"IL", false, &TerminalModel::cmdItemByName},
    {"I?", false, &TerminalModel::cmdItemInfo},
    {"IG", false, &TerminalModel::cmdGetItem},
    {"IS", false, &TerminalModel::cmdSetItem},
    {"ID", false, &TerminalModel::cmdItemDefault},
    {"I*", false, &TerminalModel::cmdFieldInfo},
    {"IF", false, &TerminalModel::cmdTableFetch},
    {"IH", false, &TerminalModel::cmdTableConfirm},
    {"IT", false, &TerminalModel::cmdTableTop},
    {"IA", false, &TerminalModel::cmdTableAdd},
    {"IE", false, &TerminalModel::cmdTableEdit},
    {"IR", false, &TerminalModel::cmdTableRemove},
    {"XO", false, &TerminalModel::cmdExtendedOn},
    {"XF", false, &TerminalModel::cmdExtendedOff},
    {"XR", false, &TerminalModel::cmdResend},
    {"XT", false, &TerminalModel::cmdShowText},
    {"XB", false, &TerminalModel::cmdBell},
    {"XL", false, &TerminalModel::cmdLock},
    {"XP", false, &TerminalModel::cmdPunchTimesSet},
    {"XU", false, &TerminalModel::cmdPunchTimesGet},
    {"WE", true, &TerminalModel::cmdBellModeSet},
    {"WS", false, &TerminalModel::cmdBellModeGet},
    {"WC", true, &TerminalModel::cmdBellClear},
    {"WG", false, &TerminalModel::cmdBellGet},
    {"WT", true, &TerminalModel::cmdBellSet},
}};

TerminalModel::TerminalModel(TerminalConfig config) : m_config(std::move(config)) {
    buildCatalogue();
    addGeneratedItems();
    denyItem();
    for (int i = 0; i < m_config.initialRecords; ++i) {
        addPunchRecord();
    }
    // Initial records look as if punched over the last minutes.
    for (std::size_t i = 0; i < m_new.size(); ++i) {
        m_new[i].when =
            m_new[i].when.plusSeconds(-60 * static_cast<std::int64_t>(m_new.size() - i));
    }
}

DateTime TerminalModel::wallNow() const {
    return m_config.wallClock ? m_config.wallClock() : localNow();
}

DateTime TerminalModel::terminalTime() const {
    return wallNow().plusSeconds(m_clockOffsetSeconds);
}

std::vector<Outgoing> TerminalModel::handleFrame(std::string_view frame,
                                                 SteadyClock::time_point now) {
    const Request request = ParseRequest(frame);
    switch (request.check) {
    case RequestCheck::Malformed:
        ++m_counters.ignoredFrames;
        return {};
    case RequestCheck::BadLength:
    case RequestCheck::BadChecksum:
        ++m_counters.badRequests;
        return {{ReplyFrame(m_config.number, "C"), FrameKind::Reply}};
    case RequestCheck::Ok:
        break;
    }
    std::optional<std::string> reply = handleCommand(request.body, now);
    if (!reply) {
        return {};
    }
    return {{ReplyFrame(m_config.number, *reply), FrameKind::Reply}};
}

std::optional<std::string> TerminalModel::handleCommand(std::string_view body,
                                                        SteadyClock::time_point now) {
    ++m_counters.requests;
    // "E" is the only one-letter command, and no two-letter command starts with "E".
    const std::size_t letters = !body.empty() && body.front() == 'E' ? 1 : 2;
    if (body.size() < letters) {
        ++m_counters.unknownCommands;
        return "I";
    }
    const std::string_view command = body.substr(0, letters);
    const std::string_view data = body.substr(letters);
    if (command == "XA") {
        confirmPushed(now);
        return std::nullopt;
    }
    for (const CommandEntry& entry : kCommands) {
        if (entry.letters == command) {
            if (entry.needsLogin && !m_loggedIn) {
                ++m_counters.loginRefusals;
                return kDenied;
            }
            std::string reply = (this->*entry.handler)(data, now);
            if (reply == kDenied) {
                ++m_counters.loginRefusals;
            }
            return reply;
        }
    }
    ++m_counters.unknownCommands;
    return "I";
}

std::string TerminalModel::cmdEcho(std::string_view data, SteadyClock::time_point) {
    return Ok(data);
}

std::string TerminalModel::cmdPolling(std::string_view data, SteadyClock::time_point) {
    if (!StrictInteger(data)) {
        return kFail;
    }
    return Ok(std::to_string(m_new.size()));
}

std::string TerminalModel::cmdLogin(std::string_view data, SteadyClock::time_point) {
    const std::string& password =
        m_items[static_cast<std::size_t>(itemIndex("LOGINPWD"))].values[0];
    if (data != password) {
        m_loggedIn = false;
        return kDenied;
    }
    m_loggedIn = true;
    return Ok();
}

std::string TerminalModel::cmdLogout(std::string_view, SteadyClock::time_point) {
    m_loggedIn = false;
    return Ok();
}

std::string TerminalModel::cmdLoginStatus(std::string_view, SteadyClock::time_point) {
    if (m_extended) {
        return Ok("XI");
    }
    return Ok(m_loggedIn ? "I" : "O");
}

} // namespace kelvra::sim
