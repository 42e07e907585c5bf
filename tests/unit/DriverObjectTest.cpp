// The driver object: initial state, properties with their side effects, tables, names, and
// the event through which it reports.
#include "DriverProbe.h"
#include "driver/Event.h"
#include "driver/ucKelvra.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;

TEST(DriverObject, StartsUnconnectedWithAThreeSecondTimeoutAndEmptyTables) {
    DriverRig rig;
    const ucKelvra& kv = rig.kv;
    EXPECT_EQ(kv.Timeout(), 3000);
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(kv.ErrorCount(), 0);
    EXPECT_EQ(kv.UDP_Port(), 0);
    EXPECT_EQ(kv.Address(), "");
    EXPECT_EQ(kv.DateFormat(), 0);
    EXPECT_FALSE(kv.Connected());
    EXPECT_EQ(rig.serial().receiveThreshold, 1);
    EXPECT_EQ(rig.socket().protocol(), SocketProtocol::Datagram);
    EXPECT_EQ(rig.socket().remotePort, 1001);

    EXPECT_EQ(kv.LastPunch(200), DateTime::fromParts(2000, 1, 1));
    EXPECT_EQ(kv.LoadDateTime(0), DateTime::fromParts(2026, 12, 6, 8, 0, 0));
    EXPECT_EQ(kv.PunchCount(200), 0);
    EXPECT_EQ(kv.BytesReceived(0), 0);
    DateTime connectTime = DateTime::fromParts(2026, 1, 1);
    kv.GetConnectTime(100, connectTime);
    EXPECT_EQ(connectTime, DateTime{});
    // A time-out of zero or less is ignored.
    rig.kv.SetTimeout(0);
    rig.kv.SetTimeout(-5);
    EXPECT_EQ(kv.Timeout(), 3000);
    rig.kv.SetTimeout(1);
    EXPECT_EQ(kv.Timeout(), 1);
}

// Punch tables hold terminals 0 to 200, the sequence and connect tables 0 to 100.
TEST(DriverObject, TableIndicesOutsideTheirRangeThrowAndStoreNothing) {
    DriverRig rig;
    ucKelvra& kv = rig.kv;
    EXPECT_THROW(kv.LastPunch(201), std::out_of_range);
    EXPECT_THROW(kv.PunchCount(-1), std::out_of_range);
    EXPECT_THROW(kv.BytesReceived(201), std::out_of_range);
    EXPECT_THROW(kv.LoadDateTime(-1), std::out_of_range);
    EXPECT_THROW(kv.GetSeqState(101), std::out_of_range);
    EXPECT_THROW(kv.SetSeqState(-1, 5), std::out_of_range);
    DateTime out;
    EXPECT_THROW(kv.GetConnectTime(101, out), std::out_of_range);
    EXPECT_THROW(kv.SetConnectTime(-1, DateTime::fromParts(2026, 1, 1)), std::out_of_range);

    kv.SetSeqState(100, 7);
    kv.SetConnectTime(0, DateTime::fromParts(2026, 5, 4, 3, 2, 1));
    kv.GetConnectTime(0, out);
    EXPECT_EQ(kv.GetSeqState(100), 7);
    EXPECT_EQ(kv.GetSeqState(99), 0);
    EXPECT_EQ(out, DateTime::fromParts(2026, 5, 4, 3, 2, 1));
}

TEST(DriverObject, ComportOutsideOneToSixteenOnlyRewritesAddress) {
    DriverRig rig;
    rig.kv.SetComport(2);
    rig.serial().open();
    rig.kv.SetComport(20);
    EXPECT_EQ(rig.kv.Address(), "COM20");
    EXPECT_EQ(rig.kv.Comport(), 2);
    EXPECT_TRUE(rig.serial().isOpen());
    // A valid number closes the open port and selects the new one.
    rig.kv.SetComport(3);
    EXPECT_EQ(rig.kv.Address(), "COM3");
    EXPECT_EQ(rig.kv.Comport(), 3);
    EXPECT_FALSE(rig.serial().isOpen());
}

TEST(DriverObject, IpClosesTheSocketResetsErrCodeAndBecomesTheAddress) {
    DriverRig rig;
    rig.connectUdp();
    rig.socket().send("x"); // the datagram socket is now bound
    ASSERT_NE(rig.kv.WinsockState(), SocketClosed);
    rig.kv.SetErrCode(KV_ERR_TIMEOUT);
    rig.kv.SetIP("127.0.0.5");
    EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
    EXPECT_EQ(rig.socket().remoteHost, "127.0.0.5");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.kv.Address(), "127.0.0.5");

    rig.socket().send("x");
    rig.kv.SetUDP_Port(4001);
    EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
    EXPECT_EQ(rig.socket().remotePort, 4001);
    EXPECT_EQ(rig.kv.UDP_Port(), 4001);

    // The link kind is stored unchecked, and clears the outcome too.
    rig.kv.SetErrCode(KV_ERR_BUSY);
    rig.kv.SetCommunicationType(9);
    EXPECT_EQ(rig.kv.CommunicationType(), 9);
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
}

TEST(DriverObject, TheTwoNameFunctionsDiffer) {
    struct Row {
        std::int32_t code;
        const char* errorMessage;
        const char* errMessage;
    };
    const Row rows[] = {
        {0, "KV_SUCCESS", "KV_ERR_UNKNOWN_MESSAGE"},
        {-101, "KV_ERR_TIMEOUT", "KV_ERR_TIMEOUT"},
        {-105, "KV_ERR_CHECKSUM", "KV_ERR_CHECKSUM"},
        {-111, "KV_ERR_UKNOWN", "KV_ERR_UKNOWN"},
        {-115, "KV_ERR_WINSOCK_ERROR", "KV_ERR_WINSOCK_ERROR"},
        {-117, "KV_ERR_TCP_CONNECTION_FAILED", "KV_ERR_TCP_CONNECTION_FAILED"},
        {-116, "KV_ERR_VEXA5_ECHO_NOT_REPLY", "KV_ERR_UNKNOWN_MESSAGE"},
        {-100, "KV_ERR_UKNOWN", "KV_ERR_UNKNOWN_MESSAGE"},
        {1, "KV_ERR_UKNOWN", "KV_ERR_UNKNOWN_MESSAGE"},
    };
    DriverRig rig;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        rig.kv.SetErrCode(row.code);
        EXPECT_EQ(ucKelvra::ErrorMessage(row.code), row.errorMessage);
        EXPECT_EQ(rig.kv.ErrMessage(), row.errMessage);
    }
    // Every failure code has a name of its own, and the two agree on all but one.
    for (std::int32_t code = -117; code <= -101; ++code) {
        rig.kv.SetErrCode(code);
        EXPECT_EQ(ucKelvra::ErrorMessage(code) == "KV_ERR_UKNOWN", code == -111) << code;
        EXPECT_EQ(rig.kv.ErrMessage() == ucKelvra::ErrorMessage(code), code != -116) << code;
    }
}

TEST(DriverObject, DestructionClosesTheLink) {
    test::VirtualTime time;
    test::FakeLinkFactory links(time);
    auto kv = std::make_unique<ucKelvra>(time, time, links);
    kv->SetCommunicationType(6);
    kv->Connect();
    links.sockets.at(0)->send("x");
    ASSERT_TRUE(links.serialPorts.at(0)->isOpen());
    links.journal.clear();
    kv.reset();
    EXPECT_EQ(links.journal, (std::vector<std::string>{"close serial", "close socket 0"}));
}

// Every subscriber hears each raise in order; a subscription ends with its owner, also one
// closed by an earlier handler of the same raise, and may outlive its event.
TEST(Event, SubscribersHearEachRaiseInOrderWhileTheirSubscriptionLives) {
    Subscription survivor;
    {
        Event<const std::string&, int> event;
        std::vector<std::string> heard;
        auto cards = std::make_unique<Subscription>();
        Subscription console = event.subscribe([&](const std::string& s, int n) {
            heard.push_back("console " + s + std::to_string(n));
            if (n == 2) {
                cards.reset(); // the card window closes before its turn
            }
        });
        *cards = event.subscribe([&](const std::string& s, int n) {
            heard.push_back("cards " + s + std::to_string(n));
        });
        event.raise("r", 1);
        event.raise("r", 2);
        event.raise("r", 3);
        EXPECT_EQ(heard,
                  (std::vector<std::string>{"console r1", "cards r1", "console r2", "console r3"}));
        EXPECT_EQ(event.subscriberCount(), 1u);
        survivor = std::move(console);
    }
    survivor.reset(); // must not touch the destroyed event
}

} // namespace
} // namespace kelvra
