// The weekly bell table: 256 slots and the mode.
#include "TerminalModel.h"
#include "TerminalText.h"
#include "driver/ArgumentText.h"

namespace kelvra::sim {

std::string TerminalModel::cmdBellModeSet(std::string_view data, SteadyClock::time_point) {
    const auto mode = StrictInteger(data);
    if (!mode || *mode < 0 || *mode > 32767) {
        return kFail;
    }
    m_bellMode = static_cast<int>(*mode);
    return Ok();
}

std::string TerminalModel::cmdBellModeGet(std::string_view, SteadyClock::time_point) {
    return Ok(std::to_string(m_bellMode));
}

std::string TerminalModel::cmdBellClear(std::string_view, SteadyClock::time_point) {
    m_bells.fill(Bell{});
    return Ok();
}

std::string TerminalModel::cmdBellGet(std::string_view data, SteadyClock::time_point) {
    const auto slot = HexByte(data);
    if (!slot) {
        return kFail;
    }
    const Bell& entry = m_bells[static_cast<std::size_t>(*slot)];
    return Ok(entry.time + AtLeastDigits(entry.enabled, 2));
}

std::string TerminalModel::cmdBellSet(std::string_view data, SteadyClock::time_point) {
    const auto slot = HexByte(data.substr(0, 2));
    if (!slot || data.size() < 10 || !ParseTime(data.substr(2, 8))) {
        return kFail;
    }
    const auto enabled = StrictInteger(data.substr(10));
    if (!enabled || *enabled < 0 || *enabled > 99) {
        return kFail;
    }
    Bell& entry = m_bells[static_cast<std::size_t>(*slot)];
    entry.time = std::string(data.substr(2, 8));
    entry.enabled = static_cast<int>(*enabled);
    return Ok();
}

} // namespace kelvra::sim
