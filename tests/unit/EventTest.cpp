#include "driver/Event.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kelvra {
namespace {

TEST(Event, EverySubscriberHearsEachRaiseInOrder) {
    Event<const std::string&, int> event;
    std::vector<std::string> heard;
    Subscription console = event.subscribe(
        [&](const std::string& s, int n) { heard.push_back("console " + s + std::to_string(n)); });
    Subscription cards = event.subscribe(
        [&](const std::string& s, int n) { heard.push_back("cards " + s + std::to_string(n)); });
    event.raise("r", 1);
    EXPECT_EQ(heard, (std::vector<std::string>{"console r1", "cards r1"}));
}

TEST(Event, ASubscriptionEndsWhenItsOwnerGoesAway) {
    Event<int> event;
    int calls = 0;
    {
        Subscription window = event.subscribe([&](int) { ++calls; });
        event.raise(1);
    }
    event.raise(2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(event.subscriberCount(), 0u);
}

TEST(Event, AWindowClosedByAnEarlierHandlerIsNotCalled) {
    Event<int> event;
    auto cardWindow = std::make_unique<Subscription>();
    int cardCalls = 0;
    Subscription console = event.subscribe([&](int) { cardWindow.reset(); });
    *cardWindow = event.subscribe([&](int) { ++cardCalls; });
    event.raise(1);
    EXPECT_EQ(cardCalls, 0);
}

TEST(Event, ASubscriptionMayOutliveItsEvent) {
    Subscription survivor;
    {
        Event<int> event;
        survivor = event.subscribe([](int) {});
    }
    survivor.reset(); // must not touch the destroyed event
    SUCCEED();
}

} // namespace
} // namespace kelvra
