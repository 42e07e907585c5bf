#pragma once

#include <string>
#include <unistd.h>

namespace kelvra::test {

// Loopback addresses of this test process's own. ctest starts one process per case, and two
// checkouts' suites or the demo may run beside them: each process takes the 127.A.B.0/24 that
// its process id names (A and B in 1..254, so never the demo's 127.0.0.1), and binds the fixed
// ports (the module's 65535) only there. Two processes share a block only when their ids are
// 64,516 apart.
inline std::string LoopbackAddress(int host) {
    const int blocks = 254 * 254;
    const int block = static_cast<int>(::getpid()) % blocks;
    return "127." + std::to_string(1 + block / 254) + "." + std::to_string(1 + block % 254) + "." +
           std::to_string(host);
}

// A port of this process's own, for what every process hears alike: datagrams to the loopback
// broadcast address reach each socket bound to it on the port they name. Below the range the
// system hands out for port 0, so no socket bound to any free port can hold it.
inline int LoopbackBroadcastPort() {
    return 10000 + static_cast<int>(::getpid()) % 20000;
}

} // namespace kelvra::test
