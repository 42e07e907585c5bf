// The INI-backed settings stores, always in a temporary directory.
#include "platform/qt/QtSettingsStore.h"

#include "platform/PlatformError.h"
#include "platform/qt/QtLinkFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using Scope = QtSettingsStore::Scope;

std::string FileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

void WriteFile(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString userPath = dir.filePath("user/kelvra.ini");
    QString machinePath = dir.filePath("machine/kelvra.ini");
};

// Each scope in a file of its own, the value under title, section and key, as a person could
// write it by hand.
TEST_F(SettingsStoreTest, EachScopeKeepsItsValuesInItsOwnFileUnderTitleSectionAndKey) {
    ASSERT_TRUE(dir.isValid());
    QtSettingsStore user(Scope::PerUser, userPath);
    QtSettingsStore machine(Scope::MachineWide, machinePath);
    EXPECT_EQ(user.read("usKelvra", "Connection", "IP", "127.0.0.9"), "127.0.0.9");
    EXPECT_FALSE(QFileInfo::exists(userPath)) << "reading creates nothing";
    user.write("usKelvra", "Connection", "IP", "127.0.0.1");
    machine.write("usKelvra", "Properties", "Login", "1");
    EXPECT_EQ(machine.read("usKelvra", "Properties", "Login", "0"), "1");
    EXPECT_NE(FileText(userPath).find("[usKelvra]\nConnection\\IP=127.0.0.1\n"), std::string::npos);
    EXPECT_NE(FileText(machinePath).find("[Software]\nusKelvra\\Properties\\Login=1\n"),
              std::string::npos);
    // The value lives in the file, not in the object.
    QtSettingsStore again(Scope::PerUser, userPath);
    EXPECT_EQ(again.read("usKelvra", "Connection", "IP", ""), "127.0.0.1");
    EXPECT_EQ(again.read("usKelvra", "Connection", "Port", "1001"), "1001");
    EXPECT_EQ(again.read("usKelvra", "Other", "IP", "x"), "x");
    EXPECT_EQ(again.read("otherTitle", "Connection", "IP", "y"), "y");
    EXPECT_EQ(again.read("usKelvra", "Properties", "Login", "none"), "none");

    WriteFile(userPath, "[usKelvra/SerialPorts]\nCOM3=/dev/pts/5\n"
                        "[usKelvra]\nConnection\\IP=127.0.0.7\nSerialPorts\\COM4=/dev/ttyUSB0\n"
                        "Connection\\List=a,b\n");
    QtSettingsStore handWritten(Scope::PerUser, userPath);
    EXPECT_EQ(handWritten.read("usKelvra", "SerialPorts", "COM3", ""), "/dev/pts/5");
    EXPECT_EQ(handWritten.read("usKelvra", "SerialPorts", "COM4", ""), "/dev/ttyUSB0");
    EXPECT_EQ(handWritten.read("usKelvra", "Connection", "IP", ""), "127.0.0.7");
    EXPECT_EQ(handWritten.read("usKelvra", "Connection", "List", ""), "a,b");
}

TEST_F(SettingsStoreTest, AKeyIsCreatedEmptyOnceAndAKeyWithValuesIsLeftAlone) {
    QtSettingsStore machine(Scope::MachineWide, machinePath);
    machine.createKey("usKelvra", "Properties");
    EXPECT_NE(FileText(machinePath).find("usKelvra\\Properties="), std::string::npos);
    EXPECT_EQ(machine.read("usKelvra", "Properties", "Login", "0"), "0");
    machine.write("usKelvra", "Properties", "Login", "1");
    const std::string written = FileText(machinePath);
    machine.createKey("usKelvra", "Properties");
    EXPECT_EQ(FileText(machinePath), written);
    EXPECT_EQ(machine.read("usKelvra", "Properties", "Login", "0"), "1");
}

TEST_F(SettingsStoreTest, EveryByteButNulRoundTripsAndEmptyIsAValue) {
    QtSettingsStore store(Scope::MachineWide, machinePath);
    std::string everyByte;
    for (int code = 1; code < 256; ++code) {
        everyByte += static_cast<char>(code);
    }
    store.write("usKelvra", "Properties", "Bytes", everyByte);
    store.write("usKelvra", "Properties", "Empty", "");
    store.write("usKelvra", "Properties", "Commas", "a, b,c");
    EXPECT_EQ(store.read("usKelvra", "Properties", "Bytes", ""), everyByte);
    EXPECT_EQ(store.read("usKelvra", "Properties", "Empty", "fallback"), "");
    EXPECT_EQ(store.read("usKelvra", "Properties", "Commas", ""), "a, b,c") << "no list";
}

// An unreadable file gives the fallback, an unwritable one throws access denied.
TEST_F(SettingsStoreTest, UnreadableOrUnwritableFiles) {
    // A directory where the file should be: nothing can be read from it.
    QDir().mkpath(userPath);
    EXPECT_EQ(QtSettingsStore(Scope::PerUser, userPath).read("usKelvra", "Connection", "IP", "f"),
              "f");
    // A regular file where the directory should be: not even root can create the file.
    const QString blocker = dir.filePath("blocker");
    WriteFile(blocker, "x");
    QtSettingsStore store(Scope::MachineWide, blocker + "/kelvra.ini");
    try {
        store.write("usKelvra", "Properties", "Login", "1");
        FAIL() << "write should fail";
    } catch (const PlatformError& failure) {
        EXPECT_EQ(failure.number(), 5);
    }
    EXPECT_EQ(store.read("usKelvra", "Properties", "Login", "0"), "0");
}

// No other test of this process reads the two variables.
TEST_F(SettingsStoreTest, DefaultPathsFollowTheEnvironment) {
    qunsetenv(QtSettingsStore::kUserPathVariable);
    qunsetenv(QtSettingsStore::kMachinePathVariable);
    EXPECT_TRUE(QtSettingsStore::defaultPath(Scope::PerUser).endsWith("/kelvra/kelvra.ini"));
    EXPECT_EQ(QtSettingsStore::defaultPath(Scope::MachineWide), "/etc/xdg/kelvra/kelvra.ini");
    qputenv(QtSettingsStore::kUserPathVariable, userPath.toLocal8Bit());
    qputenv(QtSettingsStore::kMachinePathVariable, machinePath.toLocal8Bit());
    EXPECT_EQ(QtSettingsStore(Scope::PerUser).filePath(), userPath);
    EXPECT_EQ(QtSettingsStore(Scope::MachineWide).filePath(), machinePath);
    EXPECT_EQ(QtSettingsStore(Scope::MachineWide, dir.filePath("given.ini")).filePath(),
              dir.filePath("given.ini"));
    qunsetenv(QtSettingsStore::kUserPathVariable);
    qunsetenv(QtSettingsStore::kMachinePathVariable);
}

TEST_F(SettingsStoreTest, SerialPortMappingComesFromThePerUserStore) {
    QtSettingsStore user(Scope::PerUser, userPath);
    QtLinkFactory links(user);
    const SerialPortPathResolver resolve = links.portPathResolver();
    EXPECT_EQ(resolve(1), "/dev/ttyS0");
    EXPECT_EQ(resolve(16), "/dev/ttyS15");
    // COM3 mapped (the serial port test opens it) leaves COM4 alone.
    user.write("usKelvra", "SerialPorts", "COM3", "/dev/ttyUSB0");
    EXPECT_EQ(resolve(4), "/dev/ttyS3");
}

} // namespace
} // namespace kelvra
