// kelvractl: every terminal operation of the driver from the shell, one command per group.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/GlobalOptions.h"
#include "cli/Help.h"
#include "cli/Session.h"

#include <QCoreApplication>
#include <iostream>

namespace {

using namespace kelvra::cli;

struct Chosen {
    const CommandGroup* group = nullptr;
    const Subcommand* command = nullptr;
};

// The command the words name; a usage error for a word that names none. Without --help a
// group needs its command.
Chosen ChooseCommand(Arguments& arguments, bool help) {
    Chosen chosen;
    const std::optional<std::string> groupName = arguments.next();
    if (!groupName) {
        if (help) {
            return chosen;
        }
        throw UsageError("no command given");
    }
    chosen.group = FindGroup(*groupName);
    if (chosen.group == nullptr) {
        throw UsageError("unknown command \"" + *groupName + "\"");
    }
    if (chosen.group->subcommands.front().name.empty()) {
        chosen.command = &chosen.group->subcommands.front();
        return chosen;
    }
    const std::optional<std::string> name = arguments.next();
    if (!name) {
        if (help) {
            return chosen;
        }
        throw UsageError(std::string(chosen.group->name) + " needs a command");
    }
    chosen.command = FindSubcommand(*chosen.group, *name);
    if (chosen.command == nullptr) {
        throw UsageError("unknown command \"" + std::string(chosen.group->name) + " " + *name +
                         "\"");
    }
    return chosen;
}

int Fail(const std::string& message, int status) {
    std::cout.flush();
    std::cerr << "kelvractl: " << message << "\n";
    return status;
}

// Runs the command and turns its outcome into the exit status.
int Run(Session& session, const Chosen& chosen, Arguments& arguments) {
    try {
        chosen.command->run(session, arguments);
        session.finish();
        return kExitSuccess;
    } catch (...) {
        try {
            session.finish(); // log out also after a failure; its own failure adds nothing
        } catch (const std::exception&) {
        }
        throw;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Arguments arguments(std::vector<std::string>(argv + 1, argv + argc));
    Chosen chosen;
    GlobalOptions options;
    try {
        options = TakeGlobalOptions(arguments);
        chosen = ChooseCommand(arguments, options.help);
        if (options.help) {
            if (chosen.group == nullptr) {
                PrintProgramHelp(std::cout);
            } else if (chosen.command == nullptr) {
                PrintGroupHelp(std::cout, *chosen.group);
            } else {
                PrintCommandHelp(std::cout, *chosen.group, *chosen.command);
            }
            return kExitSuccess;
        }
        Session session(options, std::cout);
        return Run(session, chosen, arguments);
    } catch (const UsageError& error) {
        std::string topic;
        if (chosen.group != nullptr) {
            topic = std::string(chosen.group->name) + " ";
            if (chosen.command != nullptr && !chosen.command->name.empty()) {
                topic += std::string(chosen.command->name) + " ";
            }
        }
        return Fail(std::string(error.what()) + "\nTry 'kelvractl " + topic + "--help'.",
                    kExitUsage);
    } catch (const TerminalFailure& failure) {
        return Fail(failure.what(), ExitStatusForTerminal(failure.code()));
    } catch (const ModuleFailure& failure) {
        return Fail(failure.what(), ExitStatusForModule(failure.code()));
    } catch (const ReplyFailure& failure) {
        return Fail(failure.what(), kExitOtherCode);
    } catch (const Interrupted&) {
        return Fail("interrupted", kExitInterrupted);
    } catch (const std::exception& failure) {
        return Fail(failure.what(), kExitLocalFailure);
    }
}
