#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "Observation.h"
#include "RebindCompletion.h"

namespace vorn {
namespace {

enum class Field {
    a,
    b
};

TEST(ObservationTests, SubscriptionsEndWithTheirToken) {
    ObservationRegistry<Field> registry;
    std::vector<std::string> heard;
    Subscription first =
        registry.observe([&](Field f) { heard.push_back("1:" + std::to_string(int(f))); });
    {
        Subscription second = registry.observe([&](Field) { heard.emplace_back("2"); });
        registry.notify(Field::b);
    }
    registry.notify(Field::a);
    Subscription moved = std::move(first);
    EXPECT_FALSE(first.active());
    registry.notify(Field::a);
    moved.reset();
    registry.notify(Field::a);
    EXPECT_EQ(heard, (std::vector<std::string>{"1:1", "2", "1:0", "1:0"}));
    EXPECT_EQ(registry.observerCount(), 0u);
}

TEST(ObservationTests, ObserversMayChangeTheListWhileBeingTold) {
    ObservationRegistry<Field> registry;
    std::vector<std::string> heard;
    Subscription later;
    Subscription added;
    Subscription self = registry.observe([&](Field) {
        heard.emplace_back("self");
        later.reset();  // not called in this round any more
        self.reset();
        added = registry.observe([&](Field) { heard.emplace_back("added"); });
    });
    later = registry.observe([&](Field) { heard.emplace_back("later"); });
    registry.notify(Field::a);
    registry.notify(Field::a);
    EXPECT_EQ(heard, (std::vector<std::string>{"self", "added"}));
}

TEST(ObservationTests, ATokenMayOutliveItsRegistry) {
    Subscription token;
    {
        ObservationRegistry<Field> registry;
        token = registry.observe([](Field) {});
    }
    token.reset();
    EXPECT_FALSE(token.active());
}

TEST(RebindCompletionTests, AnswersOnceAndCancelsWhenDroppedUnanswered) {
    std::vector<RebindChoice> answers;
    const auto record = [&](RebindChoice choice) { answers.push_back(choice); };
    {
        RebindCompletion completion(record);
        RebindCompletion copy = completion;
        copy(RebindChoice::pick(WindowID(7)));
        completion(RebindChoice::openNew());
        EXPECT_FALSE(completion.pending());
    }
    { RebindCompletion dropped(record); }
    {
        // Copies share one answer: the cancel comes with the last copy.
        auto first = std::make_unique<RebindCompletion>(record);
        RebindCompletion second = *first;
        first.reset();
        EXPECT_EQ(answers.size(), 2u);
    }
    EXPECT_EQ(answers, (std::vector<RebindChoice>{RebindChoice::pick(WindowID(7)),
                                                  RebindChoice::cancel(), RebindChoice::cancel()}));
}

TEST(RebindCompletionTests, AnAnswerMayDropTheLastCopy) {
    int calls = 0;
    auto holder = std::make_unique<RebindCompletion>();
    *holder = RebindCompletion([&](RebindChoice) {
        ++calls;
        holder.reset();
    });
    (*holder)(RebindChoice::openNew());
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vorn
