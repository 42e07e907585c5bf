// The kelvra-sim program as a person starts it: endpoint lines on stdout, its options reaching
// the simulator, refusals of bad command lines, and a clean exit on SIGTERM.
#include "PosixIo.h"
#include "driver/FrameCodec.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kelvra::sim {
namespace {

struct Program {
    pid_t pid = -1;
    UniqueFd output; // stdout and stderr together
};

Program launch(std::vector<std::string> arguments) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    arguments.insert(arguments.begin(), KELVRA_SIM_PATH);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    Program program;
    EXPECT_EQ(::posix_spawn(&program.pid, KELVRA_SIM_PATH, &actions, nullptr, argv.data(), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    program.output.reset(pipeEnds[0]);
    return program;
}

// Reads the output until `lines` lines or end of output, at most two seconds.
std::string readLines(int fd, int lines) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::count(text.begin(), text.end(), '\n') < lines &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) != 1) {
            continue;
        }
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// Waits, bounded, for the program to end; its exit status, or nothing.
std::optional<int> waitForExit(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return std::nullopt;
}

// Sends one datagram from 127.0.0.1 and returns the reply, empty after two seconds.
std::string askUdp(const std::string& address, int port, const std::string& request) {
    UniqueFd client(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in server = MakeAddress(address, port);
    ::sendto(client.get(), request.data(), request.size(), 0,
             reinterpret_cast<const sockaddr*>(&server), sizeof server);
    pollfd p{client.get(), POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) {
        return {};
    }
    char reply[64];
    const ssize_t got = ::recv(client.get(), reply, sizeof reply, 0);
    return std::string(reply, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
}

TEST(Program, PrintsItsEndpointsAnswersAndStopsOnSigterm) {
    Program program =
        launch({"--udp-port", "0", "--tcp-port", "0", "--module-bind", "127.0.0.48",
                "--module-port", "0", "--module-discovery", "127.255.255.255", "--module-password",
                "9999", "--serial", "--fault", "delay=0", "--terminals", "0,207"});
    const std::string text = readLines(program.output.get(), 5);
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;
    ASSERT_EQ(text.rfind("udp 127.0.0.1:", 0), 0u) << text;
    EXPECT_NE(text.find("\ntcp 127.0.0.1:"), std::string::npos);
    EXPECT_NE(text.find("\nserial /dev/pts/"), std::string::npos);
    const std::size_t module = text.find("\nmodule 127.0.0.48:");
    ASSERT_NE(module, std::string::npos) << text;
    const int udpPort = std::stoi(text.substr(text.find(':') + 1));
    const int modulePort = std::stoi(text.substr(text.find(':', module) + 1));
    EXPECT_NE(text.find("\nmodule-discovery 127.255.255.255:" + std::to_string(modulePort) + "\n"),
              std::string::npos)
        << text;

    EXPECT_EQ(askUdp("127.0.0.1", udpPort, BuildRequestFrame("E", 207, "123")), "\x02\xff\xff"
                                                                                "A123D708\x03");
    EXPECT_EQ(askUdp("127.0.0.48", modulePort, "L9999"), "A") << "the module's own password";
    ::kill(program.pid, SIGTERM);
    EXPECT_EQ(waitForExit(program.pid), 0);
}

TEST(Program, RefusesBadCommandLines) {
    struct Row {
        std::vector<std::string> arguments;
        std::string message;
    };
    // Nothing is bound or sent: the program stops on reading its command line.
    const Row rows[] = {
        {{"--bind", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--module-bind", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--module-discovery", "192.0.2.255"}, "refusing to bind 192.0.2.255"},
        {{"--fault", "bogus"}, "unknown fault item 'bogus'"},
        {{"--serial", "--serial-baud", "fast"}, "--serial-baud: not a count: fast"},
        {{"--terminals", "0,208"}, "--terminals: numbers run from 0 to 207"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.front() + " " + row.arguments.back());
        Program program = launch(row.arguments);
        const std::string text = readLines(program.output.get(), 1);
        EXPECT_NE(text.find(row.message), std::string::npos) << text;
        EXPECT_EQ(waitForExit(program.pid), 2);
    }
}

} // namespace
} // namespace kelvra::sim
