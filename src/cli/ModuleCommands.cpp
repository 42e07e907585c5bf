// The Ethernet interface module's configuration, through the module client.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"
#include "module_client/CVexa5.h"

#include <array>
#include <iostream>

namespace kelvra::cli {

namespace {

// The module client's message boxes (a send that keeps failing) become lines on standard
// error; nothing waits for an answer.
class ErrorStreamDialogs final : public Dialogs {
public:
    MessageAnswer messageBox(const std::string& text, MessageButtons, MessageIcon,
                             const std::string& title) override {
        std::cerr << "kelvractl: " << (title.empty() ? "" : title + ": ") << LocalText(text)
                  << "\n";
        return MessageAnswer::Ok;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> saveFileName(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void showModal(ModalWindow& window) override { window.runModal(); }
    void setBusy(bool) override {}
};

// The module client installed for this run, with the endpoints of the command line only: a
// command that broadcasts needs --broadcast, and no other address is ever made up here.
class ModuleClient {
public:
    ModuleClient(Session& session, const std::optional<std::string>& broadcast)
        : m_address(session.options().moduleAddress.value_or(session.options().endpoint.host)) {
        if (!broadcast && m_address.empty()) {
            throw UsageError("module commands need --module ADDR (or the host of --udp/--tcp)");
        }
        Vexa5Endpoints endpoints;
        endpoints.broadcastAddress = broadcast.value_or(m_address);
        endpoints.modulePort = session.options().modulePort;
        Vexa5Environment::install(session.clock(), session.clock(), session.links(), m_dialogs,
                                  endpoints);
        m_client.emplace();
        if (session.options().timeoutMs) {
            m_client->SetTimeout(*session.options().timeoutMs);
        }
        if (session.options().password && !broadcast) {
            const std::string password = LinkText(*session.options().password);
            run("module login", [&](CVexa5& client) { client.L_Login(m_address, password); });
        }
    }
    ~ModuleClient() {
        m_client.reset();
        Vexa5Environment::reset();
    }
    ModuleClient(const ModuleClient&) = delete;
    ModuleClient& operator=(const ModuleClient&) = delete;

    const std::string& address() const { return m_address; }

    // Runs one command; throws ModuleFailure unless the module accepted it.
    template <class Command> void run(const char* what, Command&& command) {
        m_client->SetErrCode(VX_SUCCESS);
        command(*m_client);
        if (m_client->ErrCode() != VX_SUCCESS) {
            throw ModuleFailure(m_client->ErrCode(), what);
        }
    }
    template <class Command> std::string query(const char* what, Command&& command) {
        run(what, std::forward<Command>(command));
        std::string data;
        m_client->GetData(data);
        return data;
    }

private:
    ErrorStreamDialogs m_dialogs;
    std::string m_address;
    std::optional<CVexa5> m_client;
};

// A setting of the module: how to read it, write it, and (for the serial line) set it at once.
struct ModuleSetting {
    std::string_view name;
    void (*get)(CVexa5&, const std::string& address);
    void (*set)(CVexa5&, const std::string& address, const std::string& value);
    void (*put)(CVexa5&, const std::string& address, const std::string& value);
};

std::int16_t Number(const std::string& value) {
    return ParseInt16(value, "the setting's value");
}

const std::array<ModuleSetting, 12> kSettings{{
    {"device-name", [](CVexa5& m, const std::string& a) { m.G_DeviceName(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_DeviceName(a, v); }, nullptr},
    {"owner-name", [](CVexa5& m, const std::string& a) { m.G_OwerName(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_OwerName(a, v); }, nullptr},
    {"ip", [](CVexa5& m, const std::string& a) { m.G_IP_Address(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_IP_Address(a, v); }, nullptr},
    {"destination-ip", [](CVexa5& m, const std::string& a) { m.G_DestinationIP(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_DestinationIP(a, v); },
     nullptr},
    {"routing-mode", [](CVexa5& m, const std::string& a) { m.G_RoutingMode(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_RoutingMode(a, Number(v)); },
     nullptr},
    {"protocol", [](CVexa5& m, const std::string& a) { m.G_Protocol(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_Protocol(a, Number(v)); },
     nullptr},
    {"connection-timeout", [](CVexa5& m, const std::string& a) { m.G_ConnectionTimeout(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) {
         m.S_ConnectionTimeout(a, Number(v));
     },
     nullptr},
    {"on-the-fly", [](CVexa5& m, const std::string& a) { m.G_OnTheFly(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_OnTheFly(a, Number(v)); },
     nullptr},
    {"baudrate", [](CVexa5& m, const std::string& a) { m.G_Baudrate(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_Baudrate(a, Number(v)); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.P_Baudrate(a, Number(v)); }},
    {"parity", [](CVexa5& m, const std::string& a) { m.G_Parity(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_Parity(a, Number(v)); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.P_Parity(a, Number(v)); }},
    {"bits", [](CVexa5& m, const std::string& a) { m.G_Bits(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_Bits(a, Number(v)); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.P_Bits(a, Number(v)); }},
    {"flow-control", [](CVexa5& m, const std::string& a) { m.G_FlowControl(a); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.S_FlowControl(a, Number(v)); },
     [](CVexa5& m, const std::string& a, const std::string& v) { m.P_FlowControl(a, Number(v)); }},
}};

const ModuleSetting& TakeSetting(Arguments& arguments) {
    const std::string name = arguments.require("setting");
    for (const ModuleSetting& setting : kSettings) {
        if (setting.name == name) {
            return setting;
        }
    }
    std::string known;
    for (const ModuleSetting& setting : kSettings) {
        known += (known.empty() ? "" : ", ") + std::string(setting.name);
    }
    throw UsageError("unknown module setting \"" + name + "\" (known: " + known + ")");
}

void Discover(Session& session, Arguments& arguments) {
    const std::optional<std::string> broadcast = arguments.takeValue("--broadcast");
    arguments.finish();
    if (!broadcast) {
        throw UsageError("module discover needs --broadcast ADDR");
    }
    ModuleClient module(session, broadcast);
    // One "reply:address" line per module, each ended by CR LF.
    std::string list = module.query("module discover", [](CVexa5& client) { client.B_Echo(); });
    for (std::size_t at = list.find('\r'); at != std::string::npos; at = list.find('\r', at)) {
        list.erase(at, 1);
    }
    session.out() << LocalText(list);
}

void Assign(Session& session, Arguments& arguments) {
    const std::optional<std::string> broadcast = arguments.takeValue("--broadcast");
    const std::string oldAddress = arguments.require("the module's address");
    const std::string newAddress = arguments.require("its new address");
    arguments.finish();
    if (!broadcast || !session.options().password) {
        throw UsageError("module assign needs --broadcast ADDR and --password TEXT");
    }
    ModuleClient module(session, broadcast);
    const std::string password = LinkText(*session.options().password);
    session.print(module.query("module assign", [&](CVexa5& client) {
        client.B_Assign(oldAddress, newAddress, password);
    }));
}

void Get(Session& session, Arguments& arguments) {
    const ModuleSetting& setting = TakeSetting(arguments);
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    session.print(
        module.query("module get", [&](CVexa5& client) { setting.get(client, module.address()); }));
}

void Set(Session& session, Arguments& arguments) {
    const ModuleSetting& setting = TakeSetting(arguments);
    const std::string value = LinkText(arguments.require("value"));
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    module.run("module set", [&](CVexa5& client) { setting.set(client, module.address(), value); });
}

void Put(Session& session, Arguments& arguments) {
    const ModuleSetting& setting = TakeSetting(arguments);
    const std::string value = LinkText(arguments.require("value"));
    arguments.finish();
    if (setting.put == nullptr) {
        throw UsageError("module put takes baudrate, parity, bits or flow-control");
    }
    ModuleClient module(session, std::nullopt);
    module.run("module put", [&](CVexa5& client) { setting.put(client, module.address(), value); });
}

void IoGet(Session& session, Arguments& arguments) {
    const std::int16_t line = ParseInt16(arguments.require("I/O line"), "I/O line");
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    session.print(module.query(
        "module io-get", [&](CVexa5& client) { client.G_IO_Status(module.address(), line); }));
}

void IoSet(Session& session, Arguments& arguments) {
    const std::int16_t line = ParseInt16(arguments.require("I/O line"), "I/O line");
    const std::int16_t state = ParseInt16(arguments.require("state"), "state");
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    module.run("module io-set",
               [&](CVexa5& client) { client.P_IO_Status(module.address(), line, state); });
}

void Firmware(Session& session, Arguments& arguments) {
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    session.print(module.query(
        "module firmware", [&](CVexa5& client) { client.V_FirmwareVersion(module.address()); }));
}

void Initialize(Session& session, Arguments& arguments) {
    const bool confirmed = arguments.takeFlag("--yes");
    arguments.finish();
    if (!confirmed) {
        throw UsageError("module initialize restarts the module: add --yes to go ahead");
    }
    ModuleClient module(session, std::nullopt);
    module.run("module initialize", [&](CVexa5& client) { client.I_Initialize(module.address()); });
}

void Exit(Session& session, Arguments& arguments) {
    arguments.finish();
    ModuleClient module(session, std::nullopt);
    module.run("module exit", [&](CVexa5& client) { client.E_Exit(module.address()); });
}

constexpr Subcommand kModule[] = {
    {"discover", "--broadcast ADDR", "list the modules that answer on ADDR", Discover},
    {"assign", "--broadcast ADDR --password TEXT OLD NEW", "give the module at OLD the address NEW",
     Assign},
    {"get", "SETTING", "print a setting of the module", Get},
    {"set", "SETTING VALUE", "store a setting (--password logs in first)", Set},
    {"put", "SETTING VALUE",
     "store a serial line setting and apply it at once (baudrate, parity, bits, flow-control)",
     Put},
    {"io-get", "LINE", "print the state of an I/O line", IoGet},
    {"io-set", "LINE STATE", "set an I/O line", IoSet},
    {"firmware", "", "print the module's firmware version", Firmware},
    {"initialize", "--yes", "restart the module with its stored settings", Initialize},
    {"exit", "", "tell the module to drop its stream connection", Exit},
};

constexpr std::array kGroups{
    CommandGroup{"module", "the Ethernet interface module", kModule, false}};

} // namespace

std::span<const CommandGroup> ModuleCommands() {
    return kGroups;
}

} // namespace kelvra::cli
