// The tick counter, sleeps, wall-clock time and event pumping on Qt.
#include "platform/qt/QtClock.h"

#include "Waiting.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <gtest/gtest.h>
#include <string>

namespace kelvra {
namespace {

// A clock whose counter reads `before` milliseconds short of the wrap.
QtClock ClockShortOfWrap(std::uint32_t before) {
    QtClock probe;
    const std::uint32_t raw = probe.tickCount();
    return QtClock(static_cast<std::uint32_t>(0u - raw - before));
}

TEST(QtClock, TickCountFollowsSleepsAcrossTheWrapAndASleepOfZeroOrLessReturnsAtOnce) {
    QtClock clock = ClockShortOfWrap(30);
    const std::uint32_t before = clock.tickCount();
    EXPECT_GE(before, 0xFFFFFFFFu - 60u);
    clock.sleep(80);
    const std::uint32_t after = clock.tickCount();
    EXPECT_LT(after, 1000u) << "the counter wrapped";
    // Unsigned difference still measures the time across the wrap, in whole milliseconds of
    // a finer clock.
    EXPECT_GE(after - before, 79u);
    EXPECT_LT(after - before, 1000u);
    QElapsedTimer timer;
    timer.start();
    clock.sleep(0);
    clock.sleep(-5);
    EXPECT_LT(timer.elapsed(), 20);
}

TEST(QtClock, NowIsLocalWallClockTimeToTheSecond) {
    QtClock clock;
    const QDateTime before = QDateTime::currentDateTime();
    const DateTime now = clock.now();
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime reading(QDate(now.year(), now.month(), now.day()),
                            QTime(now.hour(), now.minute(), now.second()));
    EXPECT_GE(reading, before.addMSecs(-before.time().msec()));
    EXPECT_LE(reading, after);
}

TEST(QtClock, ProcessEventsMayBeCalledNested) {
    // A notification that pumps events while it runs, as a command started from a handler does.
    QtClock clock;
    QObject context;
    std::string order;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            order += "outer(";
            QMetaObject::invokeMethod(
                &context, [&] { order += "inner"; }, Qt::QueuedConnection);
            for (int pass = 0; pass < 100 && order.find("inner") == std::string::npos; ++pass) {
                clock.processEvents();
                clock.sleep(1);
            }
            order += ")";
        },
        Qt::QueuedConnection);
    EXPECT_TRUE(test::WaitUntil([&] { return order.find(')') != std::string::npos; }));
    EXPECT_EQ(order, "outer(inner)");
}

} // namespace
} // namespace kelvra
