// Shared pieces of the session managers' tests: a completion recorder, a notification recorder
// and a fixture that invalidates every manager it made and waits until its session let go.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "net/NKHTTPSessionManager.h"
#include "net/NKURLSessionManager.h"
#include "net/tests/NetTestSupport.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

namespace net::test {

// What one completion handler received.
struct Outcome {
    int calls = 0;
    bool onMain = false;
    std::shared_ptr<NSURLResponse> response;
    Value object;
    NSErrorRef error;

    NKURLSessionManager::CompletionHandler handler()
    {
        return [this](const std::shared_ptr<NSURLResponse>& r, const Value& o, const NSErrorRef& e) {
            ++calls;
            onMain = NSThread::isMainThread();
            response = r;
            object = o;
            error = e;
        };
    }
};

// Records the notifications of the given names, in order, with their thread.
class NotificationLog {
public:
    explicit NotificationLog(std::vector<std::string> names)
    {
        auto center = NSNotificationCenter::defaultCenter();
        for (const auto& name : names) {
            tokens_.push_back(center->addObserverForName(name, nullptr, nullptr, [this](const auto& notification) {
                std::lock_guard lock(mutex_);
                seen_.push_back({ notification, NSThread::isMainThread() });
            }));
        }
    }
    ~NotificationLog()
    {
        for (const auto& token : tokens_)
            NSNotificationCenter::defaultCenter()->removeObserver(token.get());
    }
    struct Seen {
        std::shared_ptr<NSNotification> notification;
        bool onMain;
    };
    std::vector<Seen> seen() const
    {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::size_t count(const std::string& name, const NSObject* object = nullptr) const
    {
        std::size_t n = 0;
        for (const auto& s : seen())
            n += s.notification->name() == name && (!object || s.notification->object().get() == object);
        return n;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> all;
        for (const auto& s : seen())
            all.push_back(s.notification->name());
        return all;
    }
    std::shared_ptr<NSNotification> last(const std::string& name) const
    {
        auto all = seen();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->notification->name() == name)
                return it->notification;
        return nullptr;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
    std::vector<NSObjectRef> tokens_;
};

class SessionTest : public NetTest {
protected:
    void TearDown() override
    {
        for (const auto& manager : made_) {
            // A test that stopped early must not have its blocks called on its dead locals.
            manager->setTaskDidCompleteBlock(nullptr);
            manager->setSessionDidBecomeInvalidBlock(nullptr);
            manager->setDataTaskDidReceiveDataBlock(nullptr);
            manager->setTaskDidSendBodyDataBlock(nullptr);
            manager->setDownloadTaskDidWriteDataBlock(nullptr);
            manager->setDownloadTaskDidFinishDownloadingBlock(nullptr);
            auto session = manager->session();
            manager->invalidateSessionCancelingTasks(true);
            EXPECT_TRUE(waitFor([&] { return !session->delegate(); }));
        }
        made_.clear();
        NetTest::TearDown();
    }
    template <class T>
    std::shared_ptr<T> keep(std::shared_ptr<T> manager)
    {
        made_.push_back(manager);
        return manager;
    }
    std::shared_ptr<NSMutableURLRequest> request(const std::string& path, const std::string& method = "GET")
    {
        auto r = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url(path)));
        r->setHTTPMethod(method);
        return r;
    }
    bool waitFor(const std::function<bool()>& predicate) { return NetTest::waitFor(predicate); }
    // A recorder that outlives the test body, so a task cancelled at tear-down still has it.
    Outcome& recorder() { return outcomes_.emplace_back(); }
    // Waits until every callback queued so far on the manager's delegate queue has run.
    void drainDelegateQueue(const std::shared_ptr<NKURLSessionManager>& manager)
    {
        auto done = std::make_shared<std::atomic<bool>>(false);
        manager->operationQueue()->addOperationWithBlock([done] { *done = true; });
        ASSERT_TRUE(waitFor([&] { return done->load(); }));
    }

    testing_support::TempHome home;
    httpserver::TestServer server;

private:
    std::vector<std::shared_ptr<NKURLSessionManager>> made_;
    std::deque<Outcome> outcomes_;
};

} // namespace net::test
