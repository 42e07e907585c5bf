#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kelvra {

// Ends a subscription when it goes away, so a window that subscribes and then closes is never
// called again. It may outlive the event it came from.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : m_cancel(std::exchange(other.m_cancel, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_cancel = std::exchange(other.m_cancel, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (m_cancel) {
            std::exchange(m_cancel, {})();
        }
    }

private:
    std::function<void()> m_cancel;
};

// An event delivered synchronously to every subscriber, in the order they subscribed.
// Subscribers may subscribe or unsubscribe, themselves or others, while it is being raised;
// one that is gone before its turn is not called.
template <typename... Args> class Event {
public:
    using Handler = std::function<void(Args...)>;

    [[nodiscard]] Subscription subscribe(Handler handler) {
        auto slot = std::make_shared<Slot>(Slot{std::move(handler), true});
        m_slots->push_back(slot);
        std::weak_ptr<Slots> weakSlots = m_slots;
        std::weak_ptr<Slot> weakSlot = slot;
        return Subscription([weakSlots, weakSlot] {
            auto list = weakSlots.lock();
            auto target = weakSlot.lock();
            if (!list || !target) {
                return;
            }
            target->alive = false;
            std::erase(*list, target);
        });
    }

    void raise(Args... args) const {
        const Slots snapshot = *m_slots;
        for (const auto& slot : snapshot) {
            if (slot->alive) {
                slot->handler(args...);
            }
        }
    }

    std::size_t subscriberCount() const { return m_slots->size(); }

private:
    struct Slot {
        Handler handler;
        bool alive;
    };
    using Slots = std::vector<std::shared_ptr<Slot>>;
    std::shared_ptr<Slots> m_slots = std::make_shared<Slots>();
};

} // namespace kelvra
