// The interface module's datagram commands: the status reply and its free marker, the exit
// command, the configuration commands with their login, values and refusals, and the command
// table they are built on.
#include "ModuleModel.h"

#include "driver/ModuleStatus.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::sim {
namespace {

TEST(ModuleModel, StatusReplyOfAFreeModuleCarriesTheFreeMarker) {
    ModuleModel module("127.0.0.2");
    const ModuleOutcome outcome = module.handle("X", ModuleContext{false, ""});
    ASSERT_TRUE(outcome.reply);
    EXPECT_EQ(*outcome.reply, "AKELVRA-SIM/127.0.0.2/-**-*-/**/1.0/");
    EXPECT_TRUE(ModuleIsFree(*outcome.reply));
    EXPECT_FALSE(outcome.dropStream);
}

TEST(ModuleModel, ThreeRepliesCollectedInOneTextStillReadFree) {
    // The driver sends "X" three times and keeps everything that arrives in one text.
    ModuleModel module;
    const std::string reply = *module.handle("X", ModuleContext{}).reply;
    EXPECT_TRUE(ModuleIsFree(reply + reply + reply));
}

TEST(ModuleModel, BusyModuleShowsNoFreeMarker) {
    ModuleModel module;
    const std::string reply = *module.handle("X", ModuleContext{true, "127.0.0.1:40000"}).reply;
    EXPECT_EQ(reply, "AKELVRA-SIM/127.0.0.1/-CN-N-/40000/1.0/");
    EXPECT_FALSE(ModuleIsFree(reply));
    EXPECT_FALSE(ModuleIsFree(*module.handle("X", ModuleContext{true, ""}).reply));
}

TEST(ModuleModel, ExitDropsTheStreamWithoutReply) {
    ModuleModel module;
    const ModuleOutcome outcome = module.handle("E", ModuleContext{true, "127.0.0.1:1"});
    EXPECT_TRUE(outcome.dropStream);
    EXPECT_FALSE(outcome.reply);
}

TEST(ModuleModel, UnknownCommandsAreAnsweredC) {
    ModuleModel module;
    for (const char* unknown : {"Q", "", "S", "G", "P", "SXX1", "GXX", "PXX", "PCT5", "PDN"}) {
        EXPECT_EQ(module.handle(unknown, {}).reply, "C") << unknown;
    }
}

TEST(ModuleModel, LongestRegisteredPrefixWins) {
    ModuleModel module;
    module.addCommand("G", [](ModuleModel&, std::string_view argument, const ModuleContext&) {
        return ModuleOutcome{"Fgeneric:" + std::string(argument), false};
    });
    module.addCommand("GDN", [](ModuleModel& m, std::string_view, const ModuleContext&) {
        return ModuleOutcome{"A" + m.settings().at("DN"), false};
    });
    module.addCommand("SDN", [](ModuleModel& m, std::string_view argument, const ModuleContext&) {
        m.settings()["DN"] = std::string(argument);
        return ModuleOutcome{"A", false};
    });
    EXPECT_EQ(module.handle("SDNLOBBY", {}).reply, "A");
    EXPECT_EQ(module.handle("GDN", {}).reply, "ALOBBY");
    EXPECT_EQ(module.handle("GZZ", {}).reply, "Fgeneric:ZZ");
    EXPECT_TRUE(ModuleIsFree(*module.handle("X", {}).reply)) << "built-ins stay";
}

} // namespace
} // namespace kelvra::sim
