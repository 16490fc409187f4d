// Tags/alias callbacks given as a method of an application object: which ones are refused, with
// which alert, and that an accepted one is called on its object with the answer.
#include "ServiceTestSupport.h"
#include "testing/push/CapturingLogger.h"

namespace {

using service_tests::Answering;

class Unrelated : public NSObject { };

class TagAliasCallback : public ::testing::Test {
protected:
    void SetUp() override { PUSHLog::addLogger(logger); }
    void TearDown() override { PUSHLog::removeAllLoggers(), PUSHLog::flushLog(); }
    std::shared_ptr<push_test_support::CapturingLogger> logger = std::make_shared<push_test_support::CapturingLogger>();
};

TEST_F(TagAliasCallback, MethodsThatCannotBeCalledWithTheAnswerAreRefusedWithTheirAlert)
{
    using push_service::tagAliasCallbackMethod;
    const std::string invalid = "setTagsAlias callback selector invalid (refers to example in sdk.zip to get "
                                "standard callback selector implementation)";
    const std::string notFound
        = "setTagsAlias callback selector NOT found (callback selector not implemented for target object)";
    auto answering = std::make_shared<Answering>();
    // (name, method, target, alert (empty: none), invoked)
    const std::tuple<const char*, std::optional<push_service::TagAliasCallbackMethod>, NSObjectRef, std::string, bool> cases[] = {
        { "standard", tagAliasCallbackMethod(&Answering::standard), answering, "", true },
        { "arguments it can take", tagAliasCallbackMethod(&Answering::byValue), answering, "", true },
        { "two arguments", tagAliasCallbackMethod(&Answering::twoArguments), answering, invalid, false },
        { "reordered", tagAliasCallbackMethod(&Answering::reordered), answering, invalid, false },
        { "another class's object", tagAliasCallbackMethod(&Answering::standard), std::make_shared<Unrelated>(),
            notFound, false },
        { "no object", tagAliasCallbackMethod(&Answering::standard), nullptr,
            "setTagsAlias callback will NOT be invoked due to nil target", false },
        { "no method", std::nullopt, answering,
            "setTagsAlias callback will NOT be invoked due to nil callback selector", false },
        { "neither", std::nullopt, nullptr, "", false },
    };
    for (const auto& [name, method, target, alert, invoked] : cases) {
        SCOPED_TRACE(name);
        logger->clear(), answering->answer.clear();
        auto invocation = push_service::getTagAliasInvocationWithCallback(method, target);
        EXPECT_EQ(static_cast<bool>(invocation), invoked);
        EXPECT_EQ(logger->lines(), alert.empty() ? std::vector<std::string> {} : std::vector { "Push Warning\n" + alert });
        if (!invocation)
            continue;
        invocation(0, Value::array({ Value("vip"), Value("北京") }), Value("alias_1"));
        EXPECT_EQ(answering->answer, "0|2|alias_1");
        invocation(6002, Value(), Value());
        EXPECT_EQ(answering->answer, "6002|99|");
    }
}

} // namespace
