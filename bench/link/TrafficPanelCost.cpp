// traffic_panel_bench: what the console's traffic panel costs the link. The real-time run over
// UDP (records pushed and confirmed as fast as the link goes) alternates between the panel
// closed and the panel open on the same driver setup, and the medians are compared.
#include "LinkBenchmarks.h"
#include "console/TrafficPanel.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace {

const char* const kUsage = R"(usage: traffic_panel_bench [options]
  --records N   records pushed over UDP in each run (default 10000)
  --rounds N    runs with the panel closed and with it open, alternating (default 3)
)";

// Its own loopback address, away from those of link_bench and the tests.
constexpr const char* kAddress = "127.0.12.2";

} // namespace

int main(int argc, char** argv) {
    using namespace kelvra;
    using namespace kelvra::bench;
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    int records = 10000, rounds = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        int* target = option == "--records" ? &records : option == "--rounds" ? &rounds : nullptr;
        if (target == nullptr || i + 1 >= argc || std::atoi(argv[i + 1]) <= 0) {
            std::fputs(kUsage, option == "--help" ? stdout : stderr);
            return option == "--help" ? 0 : 2;
        }
        *target = std::atoi(argv[++i]);
    }

    QtDialogs dialogs;
    const DriverWatch openPanel = [&dialogs](ucKelvra& kv) {
        auto panel = std::make_shared<TrafficPanel>(kv, dialogs);
        panel->resize(700, 400);
        panel->show();
        // Opened and painted before the records come, as the operator opens it.
        QApplication::processEvents();
        panel->grab();
        return std::shared_ptr<void>(panel);
    };
    // Records per second of each run, and the process's processor time (simulator included)
    // per record, which the machine's other load disturbs less.
    std::vector<double> closed, open, closedCpu, openCpu;
    std::size_t shownLines = 0;
    auto measure = [&](const DriverWatch& watch, const char* setting, std::vector<double>& rates,
                       std::vector<double>& cpu) {
        const std::clock_t start = std::clock();
        const auto rate = MeasureRealTime(Link::Udp, kAddress, records, 0, watch, setting);
        cpu.push_back(1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / records);
        if (rate) {
            rates.push_back(*rate);
        }
        return rate.has_value();
    };
    for (int round = 0; round < rounds; ++round) {
        std::shared_ptr<void> kept;
        if (!measure({}, "panel closed", closed, closedCpu) ||
            !measure([&](ucKelvra& kv) { return kept = openPanel(kv); }, "panel open", open,
                     openCpu)) {
            return 1;
        }
        const std::string lines = static_cast<TrafficPanel*>(kept.get())->Lines();
        shownLines = static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n'));
    }
    const double closedMedian = Median(closed);
    const double openMedian = Median(open);
    const double change = 100.0 * (openMedian - closedMedian) / closedMedian;
    std::printf("traffic panel: median %.0f records/s closed, %.0f open (%+.1f%%), %s 10%%; "
                "processor time %.1f us a record closed, %.1f open; the panel held %zu lines "
                "after the last run\n",
                closedMedian, openMedian, change, change >= -10.0 ? "within" : "NOT within",
                Median(closedCpu), Median(openCpu), shownLines);
    return 0;
}
