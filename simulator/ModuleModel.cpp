#include "ModuleModel.h"

namespace kelvra::sim {

ModuleModel::ModuleModel(std::string moduleAddress) {
    m_settings["DN"] = "KELVRA-SIM";
    m_settings["IP"] = std::move(moduleAddress);
    m_settings["VER"] = "1.0";
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

ModuleOutcome ModuleModel::handle(std::string_view datagram, const ModuleContext& context) {
    // In descending order, "GDN" comes before "GD" before "G": the first prefix that fits is
    // the longest.
    for (const auto& [prefix, handler] : m_commands) {
        if (datagram.substr(0, prefix.size()) == prefix) {
            return handler(*this, datagram.substr(prefix.size()), context);
        }
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
