// The module client on the Qt platform against simulated interface modules over loopback: each
// module on an address of its own, the loopback broadcast address standing in for the
// segment's. The modules listen on a port of this process's own, so that discoveries of suites
// run side by side do not hear each other's modules.
#include "FakeDialogs.h"
#include "LoopbackAddresses.h"
#include "ScopedVexa5Environment.h"
#include "SimulatorHost.h"
#include "module_client/CVexa5.h"
#include "platform/qt/QtPlatform.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kelvra::test {
namespace {

constexpr const char* kBroadcast = "127.255.255.255";
const int kModulePort = LoopbackBroadcastPort();

// An interface module alone, without terminal endpoints.
std::unique_ptr<sim::SimulatorHost> StartModule(const std::string& address,
                                                bool hearsDiscovery = false) {
    sim::SimulatorOptions options;
    options.moduleBindAddress = options.bindAddress = address;
    options.udp = options.tcp = false;
    options.modulePort = kModulePort;
    if (hearsDiscovery) {
        options.moduleDiscoveryAddress = kBroadcast;
    }
    auto host = std::make_unique<sim::SimulatorHost>(std::move(options));
    host->start();
    return host;
}

// The line a module on host `reported` of this process's block gives when discovered, heard
// from host `from`.
std::string DiscoveryLine(int reported, int from) {
    return "AKELVRA-SIM/" + LoopbackAddress(reported) + "/-**-*-/**/1.0/:" + LoopbackAddress(from);
}

// Lines of a discovery list, in order of their text (the modules answer in no set order).
std::vector<std::string> SortedLines(const std::string& list) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = list.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(list.substr(start)); // an unterminated rest shows as a line
            break;
        }
        lines.push_back(list.substr(start, end - start));
        start = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class ModuleClient : public ::testing::Test {
protected:
    QTemporaryDir settingsDir;
    QtPlatform platform{settingsDir.filePath("user.ini"), settingsDir.filePath("machine.ini")};
    FakeDialogs dialogs;
    ScopedVexa5Environment environment{
        platform.clock, platform.clock, platform.links, dialogs, {kBroadcast, kModulePort}};
    // After the environment: gone before it is reset.
    CVexa5 vx;

    std::string data() {
        std::string taken;
        vx.GetData(taken);
        return taken;
    }
    // Milliseconds that `command` took.
    qint64 timed(const std::function<void()>& command) {
        QElapsedTimer timer;
        timer.start();
        command();
        return timer.elapsed();
    }
};

TEST_F(ModuleClient, SettingsReadBackWhatWasSet) {
    const auto module = StartModule(LoopbackAddress(51));
    const std::string ip = LoopbackAddress(51);
    vx.SetTimeout(1000);
    vx.L_Login(ip, "1234");
    ASSERT_EQ(vx.ErrCode(), VX_SUCCESS);

    struct Row {
        const char* name;
        std::function<void()> set;
        std::function<void()> get;
        std::string value;
    };
    const Row rows[] = {
        {"device name", [&] { vx.S_DeviceName(ip, "LOBBY"); }, [&] { vx.G_DeviceName(ip); },
         "LOBBY"},
        {"owner name", [&] { vx.S_OwerName(ip, "ACME Ltd"); }, [&] { vx.G_OwerName(ip); },
         "ACME Ltd"},
        {"baud rate", [&] { vx.S_Baudrate(ip, 7); }, [&] { vx.G_Baudrate(ip); }, "7"},
        {"baud rate at once", [&] { vx.P_Baudrate(ip, 3); }, [&] { vx.G_Baudrate(ip); }, "3"},
        {"connection time-out", [&] { vx.S_ConnectionTimeout(ip, 300); },
         [&] { vx.G_ConnectionTimeout(ip); }, "300"},
        {"destination", [&] { vx.S_DestinationIP(ip, LoopbackAddress(59)); },
         [&] { vx.G_DestinationIP(ip); }, LoopbackAddress(59)},
        {"parity", [&] { vx.P_Parity(ip, 2); }, [&] { vx.G_Parity(ip); }, "2"},
        {"flow control", [&] { vx.S_FlowControl(ip, 1); }, [&] { vx.G_FlowControl(ip); }, "1"},
        {"I/O line 2", [&] { vx.P_IO_Status(ip, 2, 1); }, [&] { vx.G_IO_Status(ip, 2); }, "1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.set();
        EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
        row.get();
        EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
        EXPECT_EQ(data(), row.value);
    }

    vx.V_FirmwareVersion(ip);
    EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(data(), "1.0");
    EXPECT_TRUE(dialogs.messageBoxes.empty());
}

TEST_F(ModuleClient, ChangesNeedTheLoginAndBadValuesFail) {
    const auto module = StartModule(LoopbackAddress(52));
    const std::string ip = LoopbackAddress(52);
    vx.SetTimeout(1000);
    vx.S_DeviceName(ip, "LOBBY");
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_D);
    EXPECT_EQ(data(), "SDN") << "a refusal's data is kept";
    vx.L_Login(ip, "0000");
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_D);
    vx.L_Login(ip, "1234");
    EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);

    vx.S_Baudrate(ip, 115);
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_F);
    vx.G_IO_Status(ip, 12);
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_F);
    EXPECT_EQ(data(), "PG");
    vx.I_Initialize(ip);
    EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
    vx.S_DeviceName(ip, "HALL");
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_D) << "the restart ended the login";
}

TEST_F(ModuleClient, StatusLettersOnDemandGiveTheirOutcomes) {
    const auto module = StartModule(LoopbackAddress(53));
    const std::string ip = LoopbackAddress(53);
    vx.SetTimeout(1000);
    struct Row {
        const char* fault;
        std::int32_t outcome;
    };
    const Row rows[] = {
        {"module-status=A:1", VX_SUCCESS},          {"module-status=C:1", VX_ERR_STATUS_C},
        {"module-status=F:1", VX_ERR_STATUS_F},     {"module-status=D:1", VX_ERR_STATUS_D},
        {"module-status=Z:1", VX_ERR_STATUS_OTHER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        module->applyFaultSpec(row.fault);
        vx.G_DeviceName(ip);
        EXPECT_EQ(vx.ErrCode(), row.outcome);
        EXPECT_EQ(data(), "GDN");
        // The count is used up: the next command is answered as usual.
        vx.G_DeviceName(ip);
        EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
        EXPECT_EQ(data(), "KELVRA-SIM");
    }
}

TEST_F(ModuleClient, ExitDoesNotWaitAndKeepsTheOutcome) {
    const auto module = StartModule(LoopbackAddress(54));
    vx.SetTimeout(3000);
    vx.L_Login(LoopbackAddress(54), "0000");
    ASSERT_EQ(vx.ErrCode(), VX_ERR_STATUS_D);
    const qint64 took = timed([&] { vx.E_Exit(LoopbackAddress(54)); });
    EXPECT_LT(took, 500);
    EXPECT_EQ(vx.ErrCode(), VX_ERR_STATUS_D);
    EXPECT_TRUE(module->waitUntil([](const sim::HostStats& s) { return s.moduleExits == 1; },
                                  std::chrono::milliseconds(2000)));
}

TEST_F(ModuleClient, NoReplyEndsWithinTheTimeOut) {
    const auto silent = StartModule(LoopbackAddress(55));
    silent->applyFaultSpec("silent-module");
    vx.SetTimeout(300);
    // A module that ignores the request, and an address where nothing listens at all.
    for (const std::string& ip : {LoopbackAddress(55), LoopbackAddress(56)}) {
        SCOPED_TRACE(ip);
        const qint64 took = timed([&] { vx.G_DeviceName(ip); });
        EXPECT_EQ(vx.ErrCode(), VX_ERR_NO_REPLY);
        // 31 checks 10 ms apart, and the scheduler's slack.
        EXPECT_GE(took, 300);
        EXPECT_LT(took, 800);
    }
    EXPECT_EQ(silent->stats().moduleIgnored, 1u);
    EXPECT_TRUE(dialogs.messageBoxes.empty());
}

TEST_F(ModuleClient, DiscoveryListsEveryAnsweringModuleAndAssignReachesTheOneNamed) {
    const auto first = StartModule(LoopbackAddress(57), true);
    const auto second = StartModule(LoopbackAddress(58), true);
    const auto unlisted = StartModule(LoopbackAddress(59)); // not on the shared address
    vx.SetTimeout(300);

    vx.B_Echo();
    EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
    const std::string list = data();
    EXPECT_EQ(SortedLines(list), (std::vector<std::string>{
                                     DiscoveryLine(57, 57),
                                     DiscoveryLine(58, 58),
                                 }));
    EXPECT_EQ(list.substr(list.size() - 2), "\r\n");
    EXPECT_EQ(unlisted->stats().moduleDatagrams, 0u);

    vx.B_Assign(LoopbackAddress(58), LoopbackAddress(60), "1234");
    EXPECT_EQ(vx.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(data(), LoopbackAddress(60));
    // The other module heard the assignment and did not answer it.
    EXPECT_TRUE(first->waitUntil([](const sim::HostStats& s) { return s.moduleDatagrams == 2; },
                                 std::chrono::milliseconds(1000)));
    // The module keeps its socket; it reports the address it was given.
    vx.G_IP_Address(LoopbackAddress(58));
    EXPECT_EQ(data(), LoopbackAddress(60));
    vx.G_IP_Address(LoopbackAddress(57));
    EXPECT_EQ(data(), LoopbackAddress(57));

    // The discovery lines name the new address as the module reports it.
    vx.B_Echo();
    EXPECT_EQ(SortedLines(data()), (std::vector<std::string>{
                                       DiscoveryLine(57, 57),
                                       DiscoveryLine(60, 58),
                                   }));
    EXPECT_TRUE(dialogs.messageBoxes.empty());
}

} // namespace
} // namespace kelvra::test
