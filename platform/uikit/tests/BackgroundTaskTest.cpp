// Background tasks: begun and ended from many threads at once, and their expiration handlers.
#include <set>
#include <thread>

#include "Fixture.h"

TEST_F(UIKitTest, BackgroundTasksBegunAndEndedOnManyThreadsLeaveNone)
{
    auto app = UIApplication::sharedApplication();
    constexpr std::size_t threads = 8, tasksPerThread = 400;
    std::vector<std::vector<UIBackgroundTaskIdentifier>> begun(threads);
    std::vector<std::thread> workers;
    for (auto& mine : begun) {
        workers.emplace_back([&app, &mine] {
            // A few tasks open at a time, as concurrent downloads keep them.
            for (std::size_t i = 0; i < tasksPerThread; ++i) {
                mine.push_back(app->beginBackgroundTaskWithExpirationHandler([] { }));
                for (std::size_t done = mine.size() - (i % 3 == 2 ? 3 : 0); done < mine.size(); ++done)
                    app->endBackgroundTask(mine[done]);
            }
            app->endBackgroundTask(mine.back());
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(app->backgroundTaskCount(), 0u);
    std::set<UIBackgroundTaskIdentifier> distinct;
    for (const auto& ids : begun)
        distinct.insert(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), threads * tasksPerThread) << "every task has its own identifier";
}

TEST_F(UIKitTest, ExpirationRunsTheHandlersOfTheTasksStillOpen)
{
    auto app = UIApplication::sharedApplication();
    std::vector<std::string> ran;
    UIBackgroundTaskIdentifier selfEnding = app->beginBackgroundTaskWithExpirationHandler([&] {
        ran.push_back("self-ending");
        app->endBackgroundTask(selfEnding);
    });
    app->endBackgroundTask(app->beginBackgroundTaskWithExpirationHandler([&] { ran.push_back("ended"); }));
    app->beginBackgroundTaskWithExpirationHandler([&] {
        ran.push_back("renewing");
        app->beginBackgroundTaskWithExpirationHandler([&] { ran.push_back("renewed"); });
    });
    EXPECT_EQ(app->backgroundTaskCount(), 2u);
    app->expireBackgroundTasks();
    EXPECT_EQ(ran, (std::vector<std::string> { "self-ending", "renewing" }));
    EXPECT_EQ(app->backgroundTaskCount(), 1u) << "the task begun while expiring stays";
}
