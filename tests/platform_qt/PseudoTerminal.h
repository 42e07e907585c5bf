#pragma once

#include <string>

namespace kelvra::test {

// A pseudo-terminal pair: the test holds the master side, the port under test opens the
// slave's path as if it were a serial device.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool valid() const { return m_master >= 0; }
    const std::string& slavePath() const { return m_slavePath; }

    // Writes every byte to the master side.
    bool write(const std::string& bytes);
    // Reads from the master side until `count` bytes have come or `timeoutMs` have passed.
    std::string read(std::size_t count, int timeoutMs = 3000);
    // Closes the master side: the far end of the line goes away.
    void closeMaster();

private:
    std::string readAvailable();

    int m_master = -1;
    std::string m_slavePath;
};

} // namespace kelvra::test
