// Send failures of the module client: ten repetitions, then -6 for error 10044 and -7 with a
// message box for any other number.
#include "ModuleClientRig.h"

#include <algorithm>
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
        int sendFailures;
        int hostFailures; // the socket refuses the address
        int number;
        std::int32_t outcome;
        std::vector<FakeDialogs::MessageBoxCall> boxes;
    };
    const Row rows[] = {
        {"the tenth repetition succeeds", 10, 0, 10065, VX_SUCCESS, {}},
        // Eleven attempts at most.
        {"unsupported socket type", 12, 0, 10044, VX_ERR_SOCKET_TYPE, {}},
        {"any other error",
         11,
         0,
         10065,
         VX_ERR_SEND_FAILED,
         {{"send failed", MessageButtons::Ok, MessageIcon::None, "10065"}}},
        {"an address the socket refuses",
         0,
         11,
         11001,
         VX_ERR_SEND_FAILED,
         {{"set remote host failed", MessageButtons::Ok, MessageIcon::None, "11001"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ModuleClientRig rig;
        rig.addModule(kModule, "APAYLOAD");
        rig.socket().sendFailures.failNext(row.sendFailures, row.number);
        rig.socket().setRemoteHostFailures.failNext(row.hostFailures, row.number);
        rig.vx.G_DeviceName(kModule);
        const bool sent = row.outcome == VX_SUCCESS;
        EXPECT_EQ(rig.vx.ErrCode(), row.outcome);
        EXPECT_EQ(rig.dialogs.messageBoxes, row.boxes);
        EXPECT_EQ(rig.socket().sendFailures.count, std::max(0, row.sendFailures - 11));
        EXPECT_EQ(rig.sent.size(), sent ? 1u : 0u);
        EXPECT_EQ(rig.data(), sent ? "PAYLOAD" : "");
        if (!sent) {
            EXPECT_EQ(rig.time.elapsedMs(), 0) << "no wait after a failed send";
        }
    }
}

TEST(ModuleSendFailure, ExitReportsSendFailuresThoughItNeverReportsARefusal) {
    for (const auto& [failures, outcome] :
         {std::pair<int, std::int32_t>{10, kUntouched}, {11, VX_ERR_SOCKET_TYPE}}) {
        SCOPED_TRACE(failures);
        ModuleClientRig rig;
        rig.socket().sendFailures.failNext(failures, 10044);
        rig.vx.SetErrCode(kUntouched);
        rig.vx.E_Exit(kModule);
        EXPECT_EQ(rig.vx.ErrCode(), outcome);
    }
}

TEST(ModuleSendFailure, AFailedDiscoveryStillEndsTheDiscoveryForm) {
    ModuleClientRig rig;
    rig.addModule(kModule, "AMODULE");
    rig.socket().sendFailures.failNext(11, 10051);
    rig.vx.B_Echo();
    EXPECT_EQ(rig.vx.ErrCode(), VX_ERR_SEND_FAILED);
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);

    rig.vx.V_FirmwareVersion(kModule);
    EXPECT_EQ(rig.data(), "MODULE");
}

} // namespace
} // namespace kelvra
