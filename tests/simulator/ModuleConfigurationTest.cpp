// The module's configuration commands: each table is one conversation with a module, request
// by request, in order.
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

struct Exchange {
    std::string request;
    std::optional<std::string> reply; // nothing: the module stays silent
};

void Converse(ModuleModel& module, const std::vector<Exchange>& exchanges,
              const ModuleContext& context = {}) {
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE("request \"" + exchange.request + "\"");
        EXPECT_EQ(module.handle(exchange.request, context).reply, exchange.reply);
    }
}

TEST(ModuleConfiguration, FactorySettingsReadWithoutLogin) {
    ModuleModel module(kAddress);
    Converse(module, {
                         {"GCT", "A0"},
                         {"GDN", "AKELVRA-SIM"},
                         {"GON", "AUNNAMED"},
                         {"GRM", "A0"},
                         {"GTP", "A1"},
                         {"GIP", "A127.0.0.41"},
                         {"GDI", "A0.0.0.0"},
                         {"GBR", "A5"},
                         {"GRC", "A0"},
                         {"GPR", "A0"},
                         {"GBB", "A8"},
                         {"GFC", "A0"},
                         {"V", "A1.0"},
                         {"PG1", "A0"},
                         {"PG4", "A0"},
                     });
    EXPECT_FALSE(module.loggedIn());
}

TEST(ModuleConfiguration, ChangesAreDeniedUntilTheRightPassword) {
    ModuleModel module(kAddress);
    Converse(module, {
                         {"SDNLOBBY", "DSDN"},
                         {"PBR3", "DPBR"},
                         {"PS21", "DPS"},
                         {"I", "DI"},
                         {"L0000", "DL"},
                         {"SDNLOBBY", "DSDN"},
                         {"GDN", "AKELVRA-SIM"},
                         {"L1234", "A"},
                         {"SDNLOBBY", "A"},
                         {"GDN", "ALOBBY"},
                         // A wrong password ends the login.
                         {"L12345", "DL"},
                         {"SDNHALL", "DSDN"},
                         {"GDN", "ALOBBY"},
                     });
}

TEST(ModuleConfiguration, EverySettingReadsBackWhatWasSet) {
    struct Row {
        const char* code;
        std::string sent;
        std::string stored;
    };
    const Row rows[] = {
        {"CT", "120", "120"},
        {"CT", "007", "7"},
        {"CT", "32767", "32767"},
        {"DN", "LOBBY", "LOBBY"},
        {"DN", "Gate 7 - North", "Gate 7 - North"},
        {"ON", "ACME Ltd", "ACME Ltd"},
        {"RM", "2", "2"},
        {"TP", "0", "0"},
        {"IP", "127.0.0.50", "127.0.0.50"},
        {"DI", "127.0.0.51", "127.0.0.51"},
        {"BR", "7", "7"},
        {"BR", "0", "0"},
        {"RC", "1", "1"},
        {"PR", "4", "4"},
        {"BB", "5", "5"},
        {"FC", "2", "2"},
    };
    for (const Row& row : rows) {
        ModuleModel module(kAddress);
        module.setLoggedIn(true);
        Converse(module, {
                             {"S"s + row.code + row.sent, "A"},
                             {"G"s + row.code, "A" + row.stored},
                         });
    }
}

TEST(ModuleConfiguration, ValuesTheModuleCannotTakeFailAndChangeNothing) {
    const std::vector<Exchange> refused = {
        {"SCT-1", "FSCT"},
        {"SCT32768", "FSCT"},
        {"SCT", "FSCT"},
        {"SCTabc", "FSCT"},
        {"SCT12x", "FSCT"},
        {"SCT 5", "FSCT"},
        {"SRM3", "FSRM"},
        {"STP2", "FSTP"},
        {"SBR8", "FSBR"},
        {"SBR-1", "FSBR"},
        {"PBR9", "FPBR"},
        {"SRC2", "FSRC"},
        {"SPR5", "FSPR"},
        {"SBB4", "FSBB"},
        {"PBB9", "FPBB"},
        {"SFC3", "FSFC"},
        {"SDN", "FSDN"},
        {"SDN12345678901234567", "FSDN"}, // 17 characters
        {"SDNA/B", "FSDN"},               // would split the status reply's name field
        {"SON\x01", "FSON"},
        {"SON\xe9t\xe9", "FSON"},
        {"SIP1.2.3", "FSIP"},
        {"SIP1.2.3.4.5", "FSIP"},
        {"SIP1.2.3.256", "FSIP"},
        {"SIPlocalhost", "FSIP"},
        {"SIP127.0.0.1\0x"s, "FSIP"},
        {"SDI", "FSDI"},
    };
    ModuleModel module(kAddress);
    module.setLoggedIn(true);
    const auto before = module.settings();
    Converse(module, refused);
    EXPECT_EQ(module.settings(), before);
    EXPECT_TRUE(module.loggedIn());
}

TEST(ModuleConfiguration, PutSetsTheLineAtOnceSetWaitsForTheRestart) {
    ModuleModel module(kAddress);
    module.setLoggedIn(true);
    auto& settings = module.settings();
    Converse(module, {{"SBR3", "A"}, {"GBR", "A3"}});
    EXPECT_EQ(settings.at("line.BR"), "5");
    Converse(module, {{"PBR6", "A"}, {"GBR", "A6"}});
    EXPECT_EQ(settings.at("line.BR"), "6");
    Converse(module, {{"SPR2", "A"}, {"SBB7", "A"}, {"SFC1", "A"}});
    EXPECT_EQ(settings.at("line.PR"), "0");
    // The restart takes up the stored serial settings and ends the login.
    Converse(module, {{"I", "A"}, {"GPR", "A2"}, {"SPR1", "DSPR"}});
    EXPECT_EQ(settings.at("line.PR"), "2");
    EXPECT_EQ(settings.at("line.BB"), "7");
    EXPECT_EQ(settings.at("line.FC"), "1");
    EXPECT_FALSE(module.loggedIn());
}

TEST(ModuleConfiguration, IoLinesReadFreelyAndSetAfterLogin) {
    ModuleModel module(kAddress);
    Converse(module, {
                         {"PG2", "A0"},
                         {"PS21", "DPS"},
                         {"L1234", "A"},
                         {"PS21", "A"},
                         {"PG2", "A1"},
                         {"PG1", "A0"},
                         {"PS41", "A"},
                         {"PS20", "A"},
                         {"PG2", "A0"},
                         {"PG4", "A1"},
                     });
    // The state is the last digit, the line number everything before it.
    Converse(module, {
                         {"PG0", "FPG"},
                         {"PG5", "FPG"},
                         {"PG-1", "FPG"},
                         {"PG", "FPG"},
                         {"PGx", "FPG"},
                         {"PG12", "FPG"},
                         {"PS", "FPS"},
                         {"PS2", "FPS"},
                         {"PS22", "FPS"},
                         {"PS51", "FPS"},
                         {"PS01", "FPS"},
                         {"PS-11", "FPS"},
                         {"PS121", "FPS"},
                         {"PG4", "A1"},
                     });
}

TEST(ModuleConfiguration, AssignIsAnsweredOnlyByTheModuleItNames) {
    ModuleModel module(kAddress);
    Converse(module, {
                         {"A127.0.0.42/1234/127.0.0.50", std::nullopt},
                         {"A127.0.0.4/1234/127.0.0.50", std::nullopt},
                         {"A127.0.0.41/1234", std::nullopt},
                         {"A", std::nullopt},
                         {"A127.0.0.41/0000/127.0.0.50", "DA"},
                         {"A127.0.0.41/1234/127.0.0", "FA"},
                         {"A127.0.0.41/1234/", "FA"},
                         {"GIP", "A127.0.0.41"},
                         {"A127.0.0.41/1234/127.0.0.50", "A127.0.0.50"},
                         {"GIP", "A127.0.0.50"},
                         // The module now goes by its new address.
                         {"A127.0.0.41/1234/127.0.0.51", std::nullopt},
                     });
    EXPECT_EQ(*module.handle("X", {}).reply, "AKELVRA-SIM/127.0.0.50/-**-*-/**/1.0/");
    EXPECT_FALSE(module.loggedIn()) << "assign carries its own password";

    // A password may hold the separator itself: the addresses cannot.
    module.settings()["PW"] = "a/b";
    Converse(module, {{"A127.0.0.50/a/b/127.0.0.52", "A127.0.0.52"}});
}

TEST(ModuleConfiguration, ForcedStatusStandsInForEveryConfigurationCommand) {
    ModuleModel module(kAddress);
    const ModuleContext refusing{false, "", 'F'};
    Converse(module,
             {
                 {"SDNLOBBY", "FSDN"},
                 {"GBR", "FGBR"},
                 {"V", "FV"},
                 {"L1234", "FL"},
                 {"PG2", "FPG"},
                 {"A127.0.0.41/1234/127.0.0.50", "FA"},
                 {"Q", "FQ"},
             },
             refusing);
    EXPECT_FALSE(module.loggedIn()) << "a forced reply carries nothing out";
    EXPECT_EQ(module.settings().at("IP"), kAddress);

    // Any letter, even one the client does not know.
    Converse(module, {{"GDN", "ZGDN"}}, ModuleContext{false, "", 'Z'});

    // The driver's free check and exit are left alone.
    const ModuleOutcome status = module.handle("X", refusing);
    ASSERT_TRUE(status.reply);
    EXPECT_TRUE(ModuleIsFree(*status.reply));
    EXPECT_TRUE(module.handle("E", refusing).dropStream);
    EXPECT_EQ(module.handle("", refusing).reply, "C");
}

TEST(ModuleConfiguration, AnyDatagramGetsABoundedReplyOrNone) {
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte += static_cast<char>(byte);
    }
    const std::string huge(100000, 'S');
    std::vector<std::string> datagrams = {"",
                                          std::string(1, '\0'),
                                          everyByte,
                                          huge,
                                          "SDN" + huge,
                                          "A" + huge,
                                          "A" + std::string(5000, '/'),
                                          "L" + everyByte,
                                          "PS" + huge,
                                          "PG" + std::string(300, '9'),
                                          "SCT" + std::string(300, '9')};
    for (const char* prefix : {"S", "G", "P", "V", "I", "A", "L", "X", "E", "PG", "PS"}) {
        datagrams.push_back(prefix + everyByte);
    }
    ModuleModel module(kAddress);
    for (const bool loggedIn : {false, true}) {
        for (const std::string& datagram : datagrams) {
            module.setLoggedIn(loggedIn);
            ModuleOutcome outcome;
            ASSERT_NO_THROW(outcome = module.handle(datagram, {}));
            if (outcome.reply) {
                // Never an echo of what came in: a status letter and a short value at most.
                EXPECT_LE(outcome.reply->size(), 64u);
                EXPECT_FALSE(outcome.reply->empty());
            }
        }
    }
    // Still answering, and the names still fit the status reply.
    EXPECT_EQ(module.handle("V", {}).reply, "A1.0");
    EXPECT_TRUE(ModuleIsFree(*module.handle("X", {}).reply));
}

} // namespace
} // namespace kelvra::sim
