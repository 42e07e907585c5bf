#pragma once

#include "platform/LinkFactory.h"
#include "platform/Socket.h"

#include <cstddef>
#include <memory>
#include <string>

namespace kelvra {

// The hidden collector of module replies (frmVexa5): it owns the one datagram socket that every
// CVexa5 sends on, and appends each datagram that arrives on it to the collected text, which
// the waiting command takes. While a discovery runs (IsEchoCmd), each datagram is collected as
// a line naming its sender: "text:sender-address" CR LF.
class ReplyCollector {
public:
    // Far above a discovery answered by hundreds of modules. Once the collected text holds this
    // much, further datagrams are dropped until a command takes it, so a flood of stray
    // datagrams between two commands cannot exhaust memory.
    static constexpr std::size_t kCollectedLimit = 64 * 1024;

    explicit ReplyCollector(LinkFactory& links);
    ~ReplyCollector();
    ReplyCollector(const ReplyCollector&) = delete;
    ReplyCollector& operator=(const ReplyCollector&) = delete;

    Socket& wsk() { return *m_wsk; }

    // Hands over the collected text and empties it.
    std::string Data();
    void SetIsEchoCmd(bool value) { m_IsEchoCmd = value; }
    bool IsEchoCmd() const { return m_IsEchoCmd; }

private:
    void OnDataArrival();

    std::unique_ptr<Socket> m_wsk;
    std::string m_collected;
    bool m_IsEchoCmd = false;
};

} // namespace kelvra
