// Access-control objects and shared web credentials, including their test-configured answers
// and the worker thread their completions run on.
#include "platform/security/SecAccessControl.h"
#include "platform/security/SecSharedWebCredential.h"
#include "platform/security/SecTestSeams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <regex>
#include <thread>

namespace {

// Waits (with a time-out) for a completion that runs on another thread.
template <typename T>
class Answer {
public:
    void set(T value)
    {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
        thread_ = std::this_thread::get_id();
        done_ = true;
        cv_.notify_all();
    }
    T wait()
    {
        std::unique_lock lock(mutex_);
        EXPECT_TRUE(cv_.wait_for(lock, std::chrono::seconds(10), [&] { return done_; }));
        return value_;
    }
    std::thread::id thread() const { return thread_; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    T value_ {};
    std::thread::id thread_;
};

struct Reply {
    Value credentials;
    NSErrorRef error;
};

Reply request(const Value& fqdn, const Value& account, std::thread::id* thread = nullptr)
{
    Answer<Reply> answer;
    SecRequestSharedWebCredential(fqdn, account, [&](Value c, NSErrorRef e) { answer.set({ std::move(c), e }); });
    Reply reply = answer.wait();
    if (thread)
        *thread = answer.thread();
    return reply;
}

NSErrorRef add(const std::string& fqdn, const std::string& account, const Value& password)
{
    Answer<NSErrorRef> answer;
    SecAddSharedWebCredential(fqdn, account, password, [&](NSErrorRef e) { answer.set(e); });
    return answer.wait();
}

class Seams : public ::testing::Test {
protected:
    void SetUp() override { security::resetTestSeams(); }
    void TearDown() override { security::resetTestSeams(); }
};

}

TEST_F(Seams, AccessControlIsMadeOrRefusedAsConfigured)
{
    NSErrorRef error;
    auto control = SecAccessControlCreateWithFlags(kSecAttrAccessibleAfterFirstUnlock, kSecAccessControlUserPresence, &error);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->protection(), kSecAttrAccessibleAfterFirstUnlock);
    EXPECT_EQ(control->flags(), kSecAccessControlUserPresence);
    EXPECT_FALSE(error);

    EXPECT_FALSE(SecAccessControlCreateWithFlags("sometimes", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), errSecParam);
    EXPECT_FALSE(SecAccessControlCreateWithFlags(kSecAttrAccessibleAlways, 1ull << 40, nullptr));

    security::setAccessControlFailure(NSError::errorWithDomain(NSOSStatusErrorDomain, -25293));
    error = nullptr;
    EXPECT_FALSE(SecAccessControlCreateWithFlags(kSecAttrAccessibleAlways, 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -25293);

    security::setAccessControlFailure(nullptr, true);
    error = nullptr;
    EXPECT_FALSE(SecAccessControlCreateWithFlags(kSecAttrAccessibleAlways, 0, &error));
    EXPECT_FALSE(error);
}

TEST_F(Seams, SharedCredentialsAreFoundAddedAndRemovedOnAWorkerThread)
{
    auto none = request(Value(), Value());
    EXPECT_EQ(none.credentials, Value::array());
    ASSERT_TRUE(none.error);
    EXPECT_EQ(none.error->code(), errSecItemNotFound);

    EXPECT_FALSE(add("example.org", "ann", "pw1"));
    EXPECT_FALSE(add("example.org", "bob", "pw2"));
    EXPECT_FALSE(add("example.org", "ann", "pw3")); // replaces ann's password

    std::thread::id worker;
    auto bob = request("example.org", "bob", &worker);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_FALSE(bob.error);
    ASSERT_EQ(bob.credentials.count(), 1u);
    EXPECT_EQ(bob.credentials[0][kSecSharedPassword], Value("pw2"));
    EXPECT_EQ(request("example.org", "ann").credentials[0][kSecSharedPassword], Value("pw3"));
    EXPECT_EQ(request("other.org", Value()).error->code(), errSecItemNotFound);

    EXPECT_FALSE(add("example.org", "ann", Value())); // removal
    EXPECT_EQ(request("example.org", "ann").error->code(), errSecItemNotFound);
    EXPECT_EQ(add("example.org", "ann", Value())->code(), errSecItemNotFound);
    EXPECT_EQ(add("", "ann", "pw")->code(), errSecParam);
    EXPECT_EQ(security::sharedWebCredentials().count(), 1u);

    security::failNextSharedWebCredentialCall(NSError::errorWithDomain(NSOSStatusErrorDomain, errSecUserCanceled));
    EXPECT_EQ(request("example.org", "bob").error->code(), errSecUserCanceled);
    EXPECT_FALSE(request("example.org", "bob").error); // only the next call
}

TEST_F(Seams, GeneratedPasswordsHaveTheSharedFormAndDiffer)
{
    std::regex form("[a-z0-9]{3}-[a-z0-9]{3}-[a-z0-9]{3}-[a-z0-9]{3}");
    auto a = SecCreateSharedWebCredentialPassword();
    auto b = SecCreateSharedWebCredentialPassword();
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_NE(a, b);
}
