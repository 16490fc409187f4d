// Shared pieces of the two managers' tests: what a manager's blocks received, and a fixture
// that makes managers of either kind (session managers are let go of at tear-down) and sends
// any verb through them.
#pragma once

#include <deque>

#include "net/NKHTTPRequestOperationManager.h"
#include "net/tests/SessionTestSupport.h"

namespace net::test {

constexpr bool isSession(const NKHTTPSessionManager*) { return true; }
constexpr bool isSession(const NKHTTPRequestOperationManager*) { return false; }

// What a manager's blocks received; Ref is the operation or the task they are given.
template <class M>
struct Result {
    using Ref = std::conditional_t<isSession(static_cast<M*>(nullptr)), NKHTTPSessionManager::DataTaskRef,
        NKHTTPRequestOperationManager::OperationRef>;
    int successes = 0;
    int failures = 0;
    bool onMain = true;
    Ref ref;
    Value object;
    NSErrorRef error;
    typename M::Success success()
    {
        return [this](const Ref& r, const Value& o) {
            note(r);
            ++successes;
            object = o;
        };
    }
    typename M::HeadSuccess head()
    {
        return [this](const Ref& r) {
            note(r);
            ++successes;
        };
    }
    typename M::Failure failure()
    {
        return [this](const Ref& r, const NSErrorRef& e) {
            note(r);
            ++failures;
            error = e;
        };
    }
    int calls() const { return successes + failures; }

private:
    void note(const Ref& r)
    {
        onMain = onMain && NSThread::isMainThread();
        ref = r;
    }
};

template <class M>
class ManagerTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        server.setDefault([](const httpserver::Request& r) { return httpserver::Reply::json("{\"method\":\"" + r.method + "\"}"); });
    }
    std::shared_ptr<M> make(const std::string& base = "")
    {
        auto manager = base.empty() ? M::manager() : M::initWithBaseURL(NSURL::URLWithString(base));
        if constexpr (isSession(static_cast<M*>(nullptr)))
            keep(manager);
        return manager;
    }
    // A recorder that outlives the test body, so a task cancelled at tear-down still has it.
    Result<M>& record() { return results_.emplace_back(); }
    void finish(const Result<M>& result) { ASSERT_TRUE(waitFor([&] { return result.calls() == 1; })); }
    typename Result<M>::Ref send(M& manager, const std::string& verb, const std::string& url, const Value& parameters, Result<M>& r)
    {
        if (verb == "GET")
            return manager.GET(url, parameters, r.success(), r.failure());
        if (verb == "HEAD")
            return manager.HEAD(url, parameters, r.head(), r.failure());
        if (verb == "POST")
            return manager.POST(url, parameters, r.success(), r.failure());
        if (verb == "PUT")
            return manager.PUT(url, parameters, r.success(), r.failure());
        if (verb == "PATCH")
            return manager.PATCH(url, parameters, r.success(), r.failure());
        return manager.DELETE(url, parameters, r.success(), r.failure());
    }

private:
    std::deque<Result<M>> results_;
};

// The two kinds, for typed tests.
using ManagerKinds = ::testing::Types<NKHTTPRequestOperationManager, NKHTTPSessionManager>;

} // namespace net::test
