#include "module_client/ReplyCollector.h"

#include <exception>

namespace kelvra {

ReplyCollector::ReplyCollector(LinkFactory& links) : m_wsk(links.createSocket()) {
    m_wsk->onDataArrival = [this] { OnDataArrival(); };
}

ReplyCollector::~ReplyCollector() {
    m_wsk->onDataArrival = nullptr;
    try {
        if (m_wsk->state() != SocketClosed) {
            m_wsk->close();
        }
    } catch (const std::exception&) {
        // The socket goes away all the same.
    }
}

std::string ReplyCollector::Data() {
    std::string data;
    data.swap(m_collected);
    return data;
}

void ReplyCollector::OnDataArrival() {
    // A datagram that cannot be read is lost; the waiting command sees no reply.
    try {
        std::string line = m_wsk->readAll();
        if (m_IsEchoCmd) {
            line += ':';
            line += m_wsk->remotePeerAddress();
            line += "\r\n";
        }
        if (m_collected.size() + line.size() <= kCollectedLimit) {
            m_collected += line;
        }
    } catch (const std::exception&) {
    }
}

} // namespace kelvra
