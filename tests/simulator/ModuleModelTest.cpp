// The interface module's datagram commands: the busy status reply (the free one and the exit
// command are the loopback test's), the configuration commands with their login, values and
// refusals, and the command table they are built on. Each conversation is request by request.
#include "ModuleModel.h"

#include "driver/ModuleStatus.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::sim {
namespace {

using namespace std::string_literals;

constexpr const char* kAddress = "127.0.0.41";

// Each exchange is "request -> reply"; nothing after the arrow: the module stays silent.
void Converse(ModuleModel& module, const std::vector<std::string>& exchanges,
              const ModuleContext& context = {}) {
    for (const std::string& exchange : exchanges) {
        SCOPED_TRACE("\"" + exchange + "\"");
        const std::size_t arrow = exchange.find(" -> ");
        ASSERT_NE(arrow, std::string::npos);
        const std::string reply = exchange.substr(arrow + 4);
        EXPECT_EQ(module.handle(exchange.substr(0, arrow), context).reply,
                  reply.empty() ? std::nullopt : std::optional(reply));
    }
}

ModuleModel LoggedIn() {
    ModuleModel module(kAddress);
    module.setLoggedIn(true);
    return module;
}

TEST(ModuleModel, BusyStatusReplyNamesThePeerHoldingTheStream) {
    ModuleModel module(kAddress);
    Converse(module, {"X -> AKELVRA-SIM/127.0.0.41/-CN-N-/40000/1.0/"},
             ModuleContext{true, "127.0.0.1:40000"});
}

TEST(ModuleModel, FactorySettingsUnknownCommandsAndTheLogin) {
    ModuleModel module(kAddress);
    Converse(module, {// Factory settings, read without login.
                      "GCT -> A0", "GDN -> AKELVRA-SIM", "GON -> AUNNAMED", "GRM -> A0",
                      "GTP -> A1", "GIP -> A127.0.0.41", "GDI -> A0.0.0.0", "GBR -> A5",
                      "GRC -> A0", "GPR -> A0", "GBB -> A8", "GFC -> A0", "V -> A1.0", "PG1 -> A0",
                      // Unknown commands.
                      "Q -> C", " -> C", "S -> C", "G -> C", "P -> C", "SXX1 -> C", "GXX -> C",
                      "PXX -> C", "PCT5 -> C", "PDN -> C",
                      // Changes are denied until the right password.
                      "SDNLOBBY -> DSDN", "PBR3 -> DPBR", "PS21 -> DPS", "I -> DI", "L0000 -> DL",
                      "GDN -> AKELVRA-SIM", "L1234 -> A", "SDNLOBBY -> A", "GDN -> ALOBBY",
                      // A wrong password ends the login.
                      "L12345 -> DL", "SDNHALL -> DSDN", "GDN -> ALOBBY"});
}

TEST(ModuleModel, EverySettingReadsBackWhatWasSet) {
    ModuleModel module = LoggedIn();
    Converse(module, {"SCT32767 -> A",      "GCT -> A32767",      "SBR0 -> A",
                      "GBR -> A0",          "SCT007 -> A",        "SDNGate 7 - North -> A",
                      "SONACME Ltd -> A",   "SRM2 -> A",          "STP0 -> A",
                      "SIP127.0.0.50 -> A", "SDI127.0.0.51 -> A", "SBR7 -> A",
                      "SRC1 -> A",          "SPR4 -> A",          "SBB5 -> A",
                      "SFC2 -> A",          "GCT -> A7",          "GDN -> AGate 7 - North",
                      "GON -> AACME Ltd",   "GRM -> A2",          "GTP -> A0",
                      "GIP -> A127.0.0.50", "GDI -> A127.0.0.51", "GBR -> A7",
                      "GRC -> A1",          "GPR -> A4",          "GBB -> A5",
                      "GFC -> A2"});
}

TEST(ModuleModel, ValuesTheModuleCannotTakeFailAndChangeNothing) {
    ModuleModel module = LoggedIn();
    const auto before = module.settings();
    Converse(module, {"SCT-1 -> FSCT", "SCT32768 -> FSCT", "SCT -> FSCT", "SCTabc -> FSCT",
                      "SCT12x -> FSCT", "SCT 5 -> FSCT", "SRM3 -> FSRM", "STP2 -> FSTP",
                      "SBR8 -> FSBR", "SBR-1 -> FSBR", "PBR9 -> FPBR", "SRC2 -> FSRC",
                      "SPR5 -> FSPR", "SBB4 -> FSBB", "PBB9 -> FPBB", "SFC3 -> FSFC", "SDN -> FSDN",
                      "SDN12345678901234567 -> FSDN", // 17 characters
                      "SDNA/B -> FSDN",               // would split the status reply's name field
                      "SON\x01 -> FSON", "SON\xe9t\xe9 -> FSON", "SIP1.2.3 -> FSIP",
                      "SIP1.2.3.4.5 -> FSIP", "SIP1.2.3.256 -> FSIP", "SIPlocalhost -> FSIP",
                      "SIP127.0.0.1\0x -> FSIP"s, "SDI -> FSDI",
                      // I/O lines: the state is the last digit, the line everything before.
                      "PG0 -> FPG", "PG5 -> FPG", "PG-1 -> FPG", "PG -> FPG", "PGx -> FPG",
                      "PG12 -> FPG", "PS -> FPS", "PS2 -> FPS", "PS22 -> FPS", "PS51 -> FPS",
                      "PS01 -> FPS", "PS-11 -> FPS", "PS121 -> FPS"});
    EXPECT_EQ(module.settings(), before);
    EXPECT_TRUE(module.loggedIn());
}

TEST(ModuleModel, PutActsAtOnceSetWaitsForTheRestart) {
    ModuleModel module = LoggedIn();
    auto& settings = module.settings();
    Converse(module, {"SBR3 -> A", "GBR -> A3"});
    EXPECT_EQ(settings.at("line.BR"), "5");
    Converse(module, {"PBR6 -> A", "GBR -> A6", "PS21 -> A", "PG2 -> A1", "PS41 -> A", "PS20 -> A",
                      "PG2 -> A0", "PG4 -> A1"});
    EXPECT_EQ(settings.at("line.BR"), "6");
    Converse(module, {"SPR2 -> A", "SBB7 -> A", "SFC1 -> A"});
    EXPECT_EQ(settings.at("line.PR"), "0");
    // The restart takes up the stored serial settings and ends the login.
    Converse(module, {"I -> A", "GPR -> A2", "SPR1 -> DSPR"});
    EXPECT_EQ(settings.at("line.PR"), "2");
    EXPECT_EQ(settings.at("line.BB"), "7");
    EXPECT_EQ(settings.at("line.FC"), "1");
    EXPECT_FALSE(module.loggedIn());
}

TEST(ModuleModel, AssignIsAnsweredOnlyByTheModuleItNames) {
    ModuleModel module(kAddress);
    Converse(module,
             {"A127.0.0.42/1234/127.0.0.50 -> ", "A127.0.0.4/1234/127.0.0.50 -> ",
              "A127.0.0.41/1234 -> ", "A -> ", "A127.0.0.41/0000/127.0.0.50 -> DA",
              "A127.0.0.41/1234/127.0.0 -> FA", "A127.0.0.41/1234/ -> FA",
              "A127.0.0.41/1234/127.0.0.50 -> A127.0.0.50", "GIP -> A127.0.0.50",
              // The module now goes by its new address.
              "A127.0.0.41/1234/127.0.0.51 -> ", "X -> AKELVRA-SIM/127.0.0.50/-**-*-/**/1.0/"});
    EXPECT_FALSE(module.loggedIn()) << "assign carries its own password";

    // A password may hold the separator itself: the addresses cannot.
    module.settings()["PW"] = "a/b";
    Converse(module, {"A127.0.0.50/a/b/127.0.0.52 -> A127.0.0.52"});
}

TEST(ModuleModel, ForcedStatusStandsInForEveryConfigurationCommand) {
    ModuleModel module(kAddress);
    const ModuleContext refusing{false, "", 'F'};
    Converse(module,
             {"SDNLOBBY -> FSDN", "GBR -> FGBR", "V -> FV", "L1234 -> FL", "PG2 -> FPG",
              "A127.0.0.41/1234/127.0.0.50 -> FA", "Q -> FQ", " -> C"},
             refusing);
    EXPECT_FALSE(module.loggedIn()) << "a forced reply carries nothing out";
    EXPECT_EQ(module.settings().at("IP"), kAddress);
    // Any letter, even one the client does not know.
    Converse(module, {"GDN -> ZGDN"}, ModuleContext{false, "", 'Z'});
    // The driver's free check and exit are left alone.
    EXPECT_TRUE(ModuleIsFree(module.handle("X", refusing).reply.value_or("")));
    EXPECT_TRUE(module.handle("E", refusing).dropStream);
}

} // namespace
} // namespace kelvra::sim
