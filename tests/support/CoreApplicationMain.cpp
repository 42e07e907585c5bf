// The suites that run on the Qt platform without windows (the platform itself, the driver
// against the simulator, the programs as processes) run inside a QCoreApplication: its event
// dispatcher delivers the socket and serial notifications that the tests pump for.
#include <QCoreApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Default locations, should a test touch one, point into a test directory.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
