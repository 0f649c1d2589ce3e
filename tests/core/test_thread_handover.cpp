// The hand-over of work from worker threads to the event-loop thread: order, thread,
// re-entrancy, failures and teardown.

#include "core/thread_handover.h"
#include "tests/support/wait_util.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(ThreadHandover, WorkFromManyThreadsRunsOnTheOwnerInEachPostersOrder)
{
    TThreadHandover handover;
    ASSERT_TRUE(handover.Valid());
    constexpr std::size_t kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::vector<int>> seen(kThreads);  // owner thread only
    std::atomic<bool> insidePost{false};
    bool ranInsidePost = false, ranElsewhere = false;
    QThread* owner = QThread::currentThread();
    std::vector<std::thread> posters;
    for (std::size_t t = 0; t < kThreads; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                handover.Post([&, t, i] {
                    ranElsewhere = ranElsewhere || QThread::currentThread() != owner;
                    ranInsidePost = ranInsidePost || insidePost;
                    seen[t].push_back(i);
                });
        });
    // The owner posts too, and its own work waits for the event loop.
    insidePost = true;
    handover.Post([&] { seen[0].push_back(-1); });
    insidePost = false;
    for (std::thread& p : posters)
        p.join();
    ASSERT_TRUE(waitFor([&] {
        std::size_t n = 0;
        for (const auto& s : seen)
            n += s.size();
        return n == kThreads * std::size_t{kEach} + 1;
    }, 20000));
    EXPECT_FALSE(ranElsewhere);
    EXPECT_FALSE(ranInsidePost);
    for (std::size_t t = 0; t < kThreads; ++t) {
        std::vector<int> mine;
        for (int v : seen[t])
            if (v >= 0)
                mine.push_back(v);
        ASSERT_EQ(mine.size(), std::size_t{kEach});
        for (std::size_t i = 0; i < mine.size(); ++i)
            ASSERT_EQ(mine[i], static_cast<int>(i)) << "poster " << t;
    }
}

TEST(ThreadHandover, WorkThatRunsTheEventLoopIsNotOvertaken)
{
    TThreadHandover handover;
    std::vector<std::string> order;
    std::atomic<bool> secondPosted{false};
    handover.Post([&] {
        order.push_back("first begins");
        std::thread([&] {
            handover.Post([&] { order.push_back("second"); });
            secondPosted = true;
        }).join();
        // A message box would run the loop here; the second piece must still wait.
        int turns = 0;
        waitFor([&] { return secondPosted && ++turns > 20; });
        order.push_back("first ends");
    });
    ASSERT_TRUE(waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"first begins", "first ends", "second"}));
}

TEST(ThreadHandover, RunInOrderRunsAtOnceOnlyWithNothingQueued)
{
    TThreadHandover handover;
    std::vector<int> order;
    handover.RunInOrder([&] { order.push_back(1); });
    EXPECT_EQ(order, std::vector<int>{1});  // nothing was queued: it ran inside the call

    std::thread([&] { handover.Post([&] { order.push_back(2); }); }).join();
    handover.RunInOrder([&] { order.push_back(3); });
    EXPECT_EQ(order, std::vector<int>{1});  // behind the posted piece
    ASSERT_TRUE(waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // From another thread it is a post.
    std::thread([&] { handover.RunInOrder([&] { order.push_back(4); }); }).join();
    EXPECT_EQ(order.size(), 3u);
    ASSERT_TRUE(waitFor([&] { return order.size() == 4; }));
}

TEST(ThreadHandover, WorkThatThrowsLeavesTheRestToRunWithoutAnotherPost)
{
    TThreadHandover handover;
    bool after = false;
    handover.Post([] { throw std::runtime_error("handler failed"); });
    handover.Post([&] { after = true; });
    EXPECT_THROW(handover.Dispatch(), std::runtime_error);
    EXPECT_FALSE(after);
    EXPECT_TRUE(waitFor([&] { return after; }));
}

TEST(ThreadHandover, QueuedWorkIsDroppedWithTheHandover)
{
    auto ran = std::make_shared<std::atomic<int>>(0);
    {
        TThreadHandover handover;
        std::thread([&] {
            for (int i = 0; i < 10; ++i)
                handover.Post([ran] { ++*ran; });
        }).join();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(*ran, 0);
    EXPECT_EQ(ran.use_count(), 1);  // the dropped pieces released what they held
}
