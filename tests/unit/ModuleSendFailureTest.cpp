// Send failures of the module client: ten repetitions, then -6 for error 10044 and -7 with a
// message box for any other number.
#include "ModuleClientRig.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace kelvra {
namespace {

using test::FakeDialogs;
using test::ModuleClientRig;

constexpr const char* kModule = "127.0.0.2";
constexpr std::int32_t kUntouched = -99;

TEST(ModuleSendFailure, TenRepetitionsThenTheOutcomeOfTheErrorNumber) {
    struct Row {
        const char* label;
        int failures;
        int number;
        std::int32_t outcome;
        std::vector<FakeDialogs::MessageBoxCall> boxes;
    };
    const Row rows[] = {
        {"the tenth repetition succeeds", 10, 10065, VX_SUCCESS, {}},
        {"unsupported socket type", 11, 10044, VX_ERR_SOCKET_TYPE, {}},
        {"any other error",
         11,
         10065,
         VX_ERR_SEND_FAILED,
         {{"send failed", MessageButtons::Ok, MessageIcon::None, "10065"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ModuleClientRig rig;
        rig.addModule(kModule, "APAYLOAD");
        rig.socket().sendFailures.failNext(row.failures, row.number);
        rig.vx.G_DeviceName(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.dialogs.messageBoxes, row.boxes);
        EXPECT_EQ(rig.socket().sendFailures.count, 0);
        EXPECT_EQ(rig.socket().sent.size(), row.outcome == VX_SUCCESS ? 1u : 0u);
        EXPECT_EQ(rig.data(), row.outcome == VX_SUCCESS ? "PAYLOAD" : "");
    }
}

TEST(ModuleSendFailure, ElevenAttemptsAtMostAndNoWaitAfterwards) {
    ModuleClientRig rig;
    rig.socket().sendFailures.failNext(12, 10044);
    rig.vx.G_Baudrate(kModule);
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_SOCKET_TYPE);
    EXPECT_EQ(rig.socket().sendFailures.count, 1);
    EXPECT_EQ(rig.time.elapsedMs(), 0);
}

TEST(ModuleSendFailure, ExitReportsSendFailuresThoughItNeverReportsARefusal) {
    struct Row {
        int failures;
        std::int32_t outcome;
    };
    for (const Row& row : {Row{0, kUntouched}, Row{10, kUntouched}, Row{11, VX_ERR_SOCKET_TYPE}}) {
        SCOPED_TRACE(row.failures);
        ModuleClientRig rig;
        rig.socket().sendFailures.failNext(row.failures, 10044);
        rig.vx.SetErrCode(kUntouched);
        rig.vx.E_Exit(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
    }
}

TEST(ModuleSendFailure, AFailedDiscoveryStillEndsTheDiscoveryForm) {
    ModuleClientRig rig;
    rig.addModule(kModule, "AMODULE");
    rig.socket().sendFailures.failNext(11, 10051);
    rig.vx.B_Echo();
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_SEND_FAILED);
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.messageBoxes[0].title, "10051");

    rig.vx.V_FirmwareVersion(kModule);
    EXPECT_EQ(rig.data(), "MODULE");
}

TEST(ModuleSendFailure, AnAddressTheSocketRefusesEndsTheCommandLikeASendFailure) {
    ModuleClientRig rig;
    rig.socket().setRemoteHostFailures.failNext(11, 11001);
    rig.vx.G_DeviceName("127.0.0.250");
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_SEND_FAILED);
    EXPECT_TRUE(rig.socket().sent.empty());
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.messageBoxes[0].title, "11001");
}

} // namespace
} // namespace kelvra
