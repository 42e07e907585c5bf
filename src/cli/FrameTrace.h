#pragma once

#include "platform/LinkFactory.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kelvra::cli {

enum class TraceDirection { Sent, Received };

// Where traced bytes go: the direction, the link ("udp 127.0.0.7:1001", "serial COM1") and
// the bytes exactly as they crossed it.
using FrameTraceSink =
    std::function<void(TraceDirection direction, const std::string& link, std::string_view bytes)>;

// How traced bytes are shown: printable characters as they are, control characters by name
// (<STX>, <ETX>, <CR>, <TAB>) and every other byte as \xNN. The one place that says how a
// frame reads on the trace.
std::string DescribeBytes(std::string_view bytes);

// A sink printing one line per crossing to standard error: "> udp 127.0.0.7:1001 <STX>11E...".
FrameTraceSink StandardErrorTrace();

// Wraps the link components another factory makes, so that every send and every read also
// goes to the sink. Notifications and failures pass through unchanged.
class TracingLinkFactory final : public LinkFactory {
public:
    TracingLinkFactory(LinkFactory& inner, FrameTraceSink sink);

    std::unique_ptr<SerialPort> createSerialPort() override;
    std::unique_ptr<Socket> createSocket() override;

private:
    LinkFactory& m_inner;
    FrameTraceSink m_sink;
};

} // namespace kelvra::cli
