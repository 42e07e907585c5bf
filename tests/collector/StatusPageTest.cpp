// The status page as a person sees it, in headless Chromium, while a terminal goes offline
// and a re-read configuration (SIGHUP) removes one terminal and adds another.
#include "CollectorRig.h"

#include <QRegularExpression>

namespace kelvra::test {
namespace {

// The page's text as Chromium renders it. No name is looked up: Chromium reaches nothing but
// the collector's loopback address.
QString RenderedPage(const std::string& url, const std::string& address) {
    // A profile of its own: a Chromium already running on the machine would otherwise be
    // handed the page and this one end without it.
    const QTemporaryDir profile;
    QProcess chromium;
    chromium.start("chromium",
                   {"--headless=new", "--no-sandbox", "--disable-gpu",
                    "--user-data-dir=" + profile.path(), "--disable-background-networking",
                    "--disable-component-update", "--no-first-run",
                    QString::fromStdString("--host-resolver-rules=MAP * ~NOTFOUND, "
                                           "EXCLUDE " +
                                           address),
                    "--dump-dom", QString::fromStdString(url)});
    if (!chromium.waitForFinished(60000)) {
        chromium.kill();
        chromium.waitForFinished();
    }
    // The cells' text, one row a line, tags gone.
    return QString::fromUtf8(chromium.readAllStandardOutput())
        .replace(
            QRegularExpression("<style>.*</style>", QRegularExpression::DotMatchesEverythingOption),
            "")
        .replace(QRegularExpression("</td>"), " | ")
        .replace(QRegularExpression("<[^>]*>"), "");
}

void WriteConfig(const QString& path, const std::vector<FleetTerminal>& fleet,
                 const std::string& url) {
    QFile config(path);
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(("[database]\nurl=" + url + "\n").c_str());
    for (const FleetTerminal& terminal : fleet) {
        if (terminal.host) {
            config.write(("[terminal:" + terminal.name + "]\nlink=udp " +
                          terminal.host->bindAddress() + ":" + std::to_string(kTerminalPort) +
                          "\ntimeout=300\nidle-check=1\n")
                             .c_str());
        }
    }
}

TEST(StatusPage, ShowsEachTerminalsStateAndFollowsAReload) {
    if (QProcess::execute("chromium", {"--version"}) != 0) {
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    }
    QTemporaryDir dir;
    const std::string url = "sqlite:" + dir.filePath("punches.sqlite").toStdString();
    std::vector<FleetTerminal> fleet;
    for (const char* name : {"gate", "canteen", "door"}) {
        const int index = static_cast<int>(fleet.size());
        fleet.push_back({name, "udp", SimulatedTerminalAt(LoopbackAddress(80 + index), 2, 0)});
    }
    std::unique_ptr<sim::SimulatorHost> door = std::move(fleet[2].host);
    const QString configPath = dir.filePath("collector.ini");
    WriteConfig(configPath, fleet, url);
    CollectorProcess collector(configPath);
    collector.start();
    auto pageShows = [&](const QString& pattern) {
        QString page;
        for (int attempt = 0; attempt < 20; ++attempt) {
            page = RenderedPage(collector.statusUrl() + "/", LoopbackAddress(1));
            if (page.contains(QRegularExpression(pattern))) {
                return true;
            }
            PumpFor(500);
        }
        ADD_FAILURE() << "no " << pattern.toStdString() << " in\n" << page.toStdString();
        return false;
    };
    EXPECT_TRUE(pageShows("gate \\| udp [0-9.]+:21001 \\| live since [0-9:]{8} \\| "
                          "[0-9:]{8} \\| 2 \\| none"));

    sim::FaultSettings silent;
    silent.silentTerminal = true;
    fleet[1].host->setFaults(silent);
    EXPECT_TRUE(pageShows("canteen \\| udp [0-9.]+:21001 \\| offline since [0-9:]{8} \\| "
                          "[0-9:]{8} \\| 2 \\| records [a-z]+: Error Code: -101, KV_ERR_TIMEOUT"));

    fleet[0].host.reset();
    fleet[2].host = std::move(door);
    WriteConfig(configPath, fleet, url);
    collector.signal(SIGHUP);
    EXPECT_TRUE(pageShows("door \\| udp [0-9.]+:21001 \\| live since "));
    EXPECT_FALSE(RenderedPage(collector.statusUrl() + "/", LoopbackAddress(1)).contains("gate"));
    EXPECT_TRUE(collector.stop()) << collector.log();
}

} // namespace
} // namespace kelvra::test
