// Access-control objects and shared web credentials, including their test-configured answers
// and the worker thread their completions run on.
#include "platform/security/SecAccessControl.h"
#include "platform/security/SecSharedWebCredential.h"
#include "platform/security/SecTestSeams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

namespace {

// Waits (with a time-out) for a completion that runs on another thread, and names that thread.
template <typename T>
std::pair<T, std::thread::id> wait(std::future<std::pair<T, std::thread::id>> answer)
{
    if (answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return answer.get();
    ADD_FAILURE() << "the completion never ran";
    return {};
}

struct Reply {
    Value credentials;
    NSErrorRef error;
};

Reply request(const Value& fqdn, const Value& account, std::thread::id* thread = nullptr)
{
    std::promise<std::pair<Reply, std::thread::id>> answer;
    SecRequestSharedWebCredential(fqdn, account, [&](Value c, NSErrorRef e) {
        answer.set_value({ Reply { std::move(c), e }, std::this_thread::get_id() });
    });
    auto [reply, on] = wait(answer.get_future());
    if (thread)
        *thread = on;
    return reply;
}

NSErrorRef add(const std::string& fqdn, const std::string& account, const Value& password)
{
    std::promise<std::pair<NSErrorRef, std::thread::id>> answer;
    SecAddSharedWebCredential(fqdn, account, password, [&](NSErrorRef e) { answer.set_value({ e, std::this_thread::get_id() }); });
    return wait(answer.get_future()).first;
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
