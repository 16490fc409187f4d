// Background tasks: begun and ended from many threads at once, and their expiration handlers.
#include <set>
#include <thread>

#include "Fixture.h"

TEST_F(UIKitTest, BackgroundTasksBegunAndEndedOnManyThreadsLeaveNone)
{
    auto app = UIApplication::sharedApplication();
    constexpr int threads = 8;
    constexpr int tasksPerThread = 400;
    std::vector<std::vector<UIBackgroundTaskIdentifier>> begun(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&app, &mine = begun[t]] {
            // Each worker keeps a few tasks open at a time, as concurrent downloads do.
            std::vector<UIBackgroundTaskIdentifier> open;
            for (int i = 0; i < tasksPerThread; ++i) {
                open.push_back(app->beginBackgroundTaskWithExpirationHandler([] { }));
                mine.push_back(open.back());
                if (open.size() < 3)
                    continue;
                for (auto id : open)
                    app->endBackgroundTask(id);
                open.clear();
                app->backgroundTaskCount();
            }
            for (auto id : open)
                app->endBackgroundTask(id);
        });
    }
    for (auto& worker : workers)
        worker.join();

    EXPECT_EQ(app->backgroundTaskCount(), 0u);
    std::set<UIBackgroundTaskIdentifier> distinct;
    for (const auto& ids : begun)
        distinct.insert(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), std::size_t(threads * tasksPerThread)) << "every task has its own identifier";
    EXPECT_FALSE(distinct.contains(UIBackgroundTaskInvalid));
}

TEST_F(UIKitTest, ExpirationRunsTheHandlersOfTheTasksStillOpen)
{
    auto app = UIApplication::sharedApplication();
    std::vector<std::string> ran;
    UIBackgroundTaskIdentifier selfEnding = UIBackgroundTaskInvalid;
    selfEnding = app->beginBackgroundTaskWithExpirationHandler([&] {
        ran.push_back("self-ending");
        app->endBackgroundTask(selfEnding);
    });
    auto ended = app->beginBackgroundTaskWithExpirationHandler([&] { ran.push_back("ended"); });
    app->beginBackgroundTaskWithExpirationHandler([&] {
        ran.push_back("renewing");
        app->beginBackgroundTaskWithExpirationHandler([&] { ran.push_back("renewed"); });
    });
    app->beginBackgroundTaskWithExpirationHandler(nullptr);
    app->endBackgroundTask(ended);
    app->endBackgroundTask(ended); // a second end changes nothing
    EXPECT_EQ(app->backgroundTaskCount(), 3u);

    app->expireBackgroundTasks();
    EXPECT_EQ(ran, (std::vector<std::string> { "self-ending", "renewing" }));
    EXPECT_EQ(app->backgroundTaskCount(), 1u) << "the task begun while expiring stays";
    app->expireBackgroundTasks();
    EXPECT_EQ(ran.back(), "renewed");
    EXPECT_EQ(app->backgroundTaskCount(), 0u);
}
