// kelvra-collector: every punch of a fleet of terminals into one database, exactly once.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "collector/CollectorCommands.h"

#include <QCoreApplication>
#include <iostream>

namespace {

const char* const kUsage = R"(usage: kelvra-collector [run] [--config FILE] [--listen HOST:PORT]
       kelvra-collector status [--listen HOST:PORT]
       kelvra-collector export --since DATE [--until DATE] [--terminal NAME] --csv FILE
                               [--config FILE]
  run        collect from the terminals of the configuration (the default); SIGHUP re-reads
             it, SIGTERM or SIGINT stop
  status     print the state of each terminal of the collector listening at --listen
  export     write the stored punches from DATE (YYYY-MM-DD) through the --until day in
             kelvractl's CSV layout, whole or not at all
  --config FILE       the configuration (default /etc/kelvra/collector.ini)
  --listen HOST:PORT  the status port (default 127.0.0.1:9477)
  --help              this text
)";

} // namespace

int main(int argc, char** argv) {
    using namespace kelvra;
    // Every terminal's thread runs an event loop that wakes for each record: the plain Unix
    // event dispatcher costs less per wake-up than the GLib one, and nothing here needs GLib.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication application(argc, argv);
    // The command, when there is one, comes first: options take values the words after them
    // would be confused with.
    const bool named = argc > 1 && argv[1][0] != '-';
    const std::string command = named ? argv[1] : "run";
    cli::Arguments arguments(std::vector<std::string>(argv + (named ? 2 : 1), argv + argc));
    try {
        if (arguments.takeFlag("--help")) {
            std::cout << kUsage;
            return cli::kExitSuccess;
        }
        if (command == "run") {
            return collector::RunCollector(arguments);
        }
        if (command == "status") {
            return collector::PrintStatus(arguments, std::cout);
        }
        if (command == "export") {
            return collector::ExportPunches(arguments);
        }
        throw cli::UsageError("unknown command \"" + command + "\"");
    } catch (const cli::UsageError& error) {
        std::cerr << "kelvra-collector: " << error.what() << "\n" << kUsage;
        return cli::kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "kelvra-collector: " << error.what() << "\n";
        return cli::kExitLocalFailure;
    }
}
