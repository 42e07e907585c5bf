#include "platform/qt/HostLookup.h"

#include "platform/qt/QtErrors.h"

#include <algorithm>
#include <future>
#include <memory>
#include <netdb.h>
#include <string_view>
#include <sys/socket.h>
#include <thread>

namespace kelvra {

using namespace platform_error;

namespace {

// Longest host name and label that the name system allows.
constexpr std::size_t kNameLimit = 253;
constexpr std::size_t kLabelLimit = 63;

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// Letters, digits and inner hyphens in dot-separated labels, the last of which is not all
// digits: a text of digits and dots is a malformed address, never a name worth asking about.
bool CouldBeHostName(std::string_view text) {
    if (!text.empty() && text.back() == '.') {
        text.remove_suffix(1); // the root of a fully qualified name
    }
    if (text.empty() || text.size() > kNameLimit) {
        return false;
    }
    std::string_view last;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('.', start), text.size());
        const std::string_view label = text.substr(start, end - start);
        if (label.empty() || label.size() > kLabelLimit || label.front() == '-' ||
            label.back() == '-' || !std::ranges::all_of(label, IsNameCharacter)) {
            return false;
        }
        last = label;
        start = end + 1;
    }
    return !std::ranges::all_of(last, [](char c) { return c >= '0' && c <= '9'; });
}

HostLookup NotFound(const std::string& text) {
    return {QHostAddress(), kSocketHostNotFound, text};
}

} // namespace

std::optional<QHostAddress> SystemResolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    std::optional<QHostAddress> first;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const QHostAddress address(entry->ai_addr);
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            first = address;
            break;
        }
        if (!first && !address.isNull()) {
            first = address;
        }
    }
    freeaddrinfo(found);
    return first;
}

HostLookup LookUpHost(const std::string& host, std::chrono::milliseconds limit,
                      const NameResolver& resolve) {
    if (host.empty()) {
        return {QHostAddress(), kSocketDestinationRequired, "Destination address required"};
    }
    QHostAddress literal;
    if (literal.setAddress(QString::fromStdString(host))) {
        return {literal, 0, {}};
    }
    if (!CouldBeHostName(host)) {
        return NotFound("Host not found: \"" + host + "\" is no address or host name");
    }
    // The resolver cannot be interrupted; a thread of its own lets the caller stop waiting.
    // It keeps the promise alive until it answers, whenever that is.
    auto answer = std::make_shared<std::promise<std::optional<QHostAddress>>>();
    std::future<std::optional<QHostAddress>> answered = answer->get_future();
    std::thread([answer, resolve, host] {
        std::optional<QHostAddress> address;
        try {
            address = resolve(host);
        } catch (...) {
        }
        answer->set_value(std::move(address));
    }).detach();
    if (answered.wait_for(limit) != std::future_status::ready) {
        return NotFound("Host not found: no answer for " + host + " within " +
                        std::to_string(limit.count()) + " ms");
    }
    const std::optional<QHostAddress> address = answered.get();
    if (!address || address->isNull()) {
        return NotFound("Host not found: " + host);
    }
    return {*address, 0, {}};
}

} // namespace kelvra
