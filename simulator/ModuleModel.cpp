#include "ModuleModel.h"

#include "ModuleConfiguration.h"

namespace kelvra::sim {

ModuleModel::ModuleModel(std::string moduleAddress) {
    m_settings["VER"] = "1.0";
    m_settings["PW"] = kDefaultPassword;
    AddConfigurationCommands(*this);
    m_settings["IP"] = std::move(moduleAddress);
    addCommand("X", [](ModuleModel& module, std::string_view, const ModuleContext& context) {
        return ModuleOutcome{module.statusReply(context), false};
    });
    addCommand("E", [](ModuleModel&, std::string_view, const ModuleContext&) {
        return ModuleOutcome{std::nullopt, true};
    });
}

void ModuleModel::addCommand(std::string prefix, Handler handler) {
    m_commands[std::move(prefix)] = std::move(handler);
}

bool ModuleModel::IsConfigurationCommand(std::string_view datagram) {
    return !datagram.empty() && datagram.front() != 'X' && datagram.front() != 'E';
}

ModuleOutcome ModuleModel::Refusal(char status, std::string_view command) {
    return ModuleOutcome{status + std::string(command), false};
}

ModuleOutcome ModuleModel::handle(std::string_view datagram, const ModuleContext& context) {
    for (const auto& [prefix, handler] : m_commands) {
        if (datagram.substr(0, prefix.size()) != prefix) {
            continue;
        }
        if (context.forcedStatus != 0 && IsConfigurationCommand(datagram)) {
            return Refusal(context.forcedStatus, prefix);
        }
        return handler(*this, datagram.substr(prefix.size()), context);
    }
    if (context.forcedStatus != 0 && IsConfigurationCommand(datagram)) {
        return Refusal(context.forcedStatus, datagram.substr(0, 1));
    }
    return ModuleOutcome{std::string("C"), false};
}

std::string ModuleModel::statusReply(const ModuleContext& context) const {
    std::string peerPort = "BUSY";
    if (const std::size_t colon = context.streamPeer.rfind(':'); colon != std::string::npos) {
        peerPort = context.streamPeer.substr(colon + 1);
    }
    std::string reply = "A" + m_settings.at("DN");
    reply += "/" + m_settings.at("IP");
    reply += context.busy ? "/-CN-N-/" + peerPort : std::string("/-**-*-/**");
    reply += "/" + m_settings.at("VER") + "/";
    return reply;
}

} // namespace kelvra::sim
