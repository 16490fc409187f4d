// The request operation manager's queue outlives the manager: operations queued by a manager
// that its caller let go of at once still reach the server, report and are freed afterwards.
#include "net/tests/ManagerTestSupport.h"

using namespace net::test;

namespace {

using RequestOperationManager = ManagerTest<NKHTTPRequestOperationManager>;

TEST_F(RequestOperationManager, OperationsOfAManagerLetGoOfRunReportAndAreFreed)
{
    auto successes = std::make_shared<std::atomic<int>>(0);
    auto failures = std::make_shared<std::atomic<int>>(0);
    std::vector<std::weak_ptr<NKHTTPRequestOperation>> operations;
    {
        auto manager = NKHTTPRequestOperationManager::manager();
        manager->operationQueue()->setMaxConcurrentOperationCount(1); // two of three wait in the queue
        for (const char* path : { "/a", "/b", "/c" }) {
            auto operation = manager->GET(
                server.url(path), Value(),
                [successes](const auto&, const Value& object) { *successes += object["method"] == Value("GET"); },
                [failures](const auto&, const NSErrorRef&) { ++*failures; });
            ASSERT_TRUE(operation);
            operations.push_back(operation);
        }
    }
    ASSERT_TRUE(waitFor([&] { return *successes + *failures == 3; }));
    EXPECT_EQ(successes->load(), 3);
    for (const char* path : { "/a", "/b", "/c" })
        EXPECT_EQ(server.requestCount(path), 1u) << path;
    EXPECT_TRUE(waitFor([&] {
        for (const auto& operation : operations)
            if (!operation.expired())
                return false;
        return true;
    }));
}

} // namespace
