// Tags/alias callbacks, methods or callables, by the type that takes the result code: only int is
// accepted, the rest are refused as invalid and the request goes out without them. The class
// operation checks a callback only when both it and its object are given.
#include "ServiceTestSupport.h"
#include "testing/push/CapturingLogger.h"

namespace {

using push_service::TagAliasAnswerTags;

const std::string kInvalid = "Push Warning\nsetTagsAlias callback selector invalid (refers to example in sdk.zip to "
                             "get standard callback selector implementation)";

// Keeps the result code each method was given, whatever type took it.
class CodeKeeping : public NSObject {
public:
    void asChar(char code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asBool(bool code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asShort(short code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asUnsigned(unsigned code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asFloat(float code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asInt(int code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asLongLong(long long code, const TagAliasAnswerTags&, const std::string&) { keep(static_cast<double>(code)); }
    void asDouble(double code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void asConstRef(const int& code, const TagAliasAnswerTags&, const std::string&) const { keep(code); }
    void asRvalue(int&& code, const TagAliasAnswerTags&, const std::string&) { keep(code); }
    void keep(double code) const { codes.push_back(code); }
    mutable std::vector<double> codes;
};

// The block form takes int only, and says so where the handler is written.
template <class Handler>
concept BlockFormTakes = requires(Handler handler) {
    PUSHService::setTagsFetchCompletionHandle(std::nullopt, std::nullopt, handler);
};
static_assert(BlockFormTakes<PUSHService::TagsAliasCallback> && BlockFormTakes<std::nullptr_t>);
static_assert(BlockFormTakes<void (*)(const int&, const TagAliasAnswerTags&, const std::string&)>);
static_assert(!BlockFormTakes<std::function<void(char, const TagAliasAnswerTags&, const std::string&)>>);
static_assert(!BlockFormTakes<void (*)(long, const TagAliasAnswerTags&, const std::string&)>);
static_assert(!BlockFormTakes<void (*)(int&&, const TagAliasAnswerTags&, const std::string&)>);

class TagAliasCallbackCode : public service_tests::ServiceTest {
protected:
    void SetUp() override { ServiceTest::SetUp(), PUSHLog::addLogger(logger); }
    void TearDown() override { PUSHLog::removeLogger(logger), ServiceTest::TearDown(); }
    std::shared_ptr<push_test_support::CapturingLogger> logger = std::make_shared<push_test_support::CapturingLogger>();
};

TEST(TagAliasCallbackCodeType, OnlyIntTakesTheResultCode)
{
    auto logger = std::make_shared<push_test_support::CapturingLogger>();
    PUSHLog::addLogger(logger);
    auto keeping = std::make_shared<CodeKeeping>();
    using push_service::tagAliasCallbackMethod;
    const std::pair<const char*, push_service::TagAliasCallbackMethod> refused[] = {
        { "char", tagAliasCallbackMethod(&CodeKeeping::asChar) },
        { "bool", tagAliasCallbackMethod(&CodeKeeping::asBool) },
        { "short", tagAliasCallbackMethod(&CodeKeeping::asShort) },
        { "unsigned", tagAliasCallbackMethod(&CodeKeeping::asUnsigned) },
        { "float", tagAliasCallbackMethod(&CodeKeeping::asFloat) },
        { "long long", tagAliasCallbackMethod(&CodeKeeping::asLongLong) },
        { "double", tagAliasCallbackMethod(&CodeKeeping::asDouble) },
        { "int&&", tagAliasCallbackMethod(&CodeKeeping::asRvalue) },
        { "int&& callable",
            *push_service::tagAliasCallbackFunction([](int&&, const TagAliasAnswerTags&, const std::string&) { }) },
    };
    for (const auto& [name, method] : refused) {
        SCOPED_TRACE(name);
        logger->clear();
        EXPECT_FALSE(push_service::getTagAliasInvocationWithCallback(method, keeping));
        EXPECT_EQ(logger->lines(), std::vector { kInvalid });
    }
    const std::pair<const char*, push_service::TagAliasCallbackMethod> accepted[] = {
        { "int", tagAliasCallbackMethod(&CodeKeeping::asInt) },
        { "const int&", tagAliasCallbackMethod(&CodeKeeping::asConstRef) },
    };
    for (const auto& [name, method] : accepted) {
        SCOPED_TRACE(name);
        keeping->codes.clear();
        auto invocation = push_service::getTagAliasInvocationWithCallback(method, keeping);
        ASSERT_TRUE(invocation);
        invocation(6002, Value(), Value());
        invocation(-2147483647 - 1, Value(), Value());
        EXPECT_EQ(keeping->codes, (std::vector<double> { 6002, -2147483648.0 }));
    }
    PUSHLog::removeLogger(logger);
}

TEST_F(TagAliasCallbackCode, RefusedOrIncompleteCallbacksLeaveTheRequestToGoOutWithoutOne)
{
    launch();
    ASSERT_TRUE(waitForLogin());
    auto keeping = std::make_shared<CodeKeeping>();
    int blockCalls = 0;
    const auto block = [&](int, const TagAliasAnswerTags&, const std::string&) { ++blockCalls; };
    // A queued request replaces the one queued before it: each waits until it has gone out.
    std::size_t frames = framesOf(10);
    const auto sent = [&] { return testing_support::runUntil([&] { return framesOf(10) == frames + 1; }) && ++frames; };
    logger->clear();

    PUSHService::setTags(std::nullopt, "lossy", &CodeKeeping::asChar, keeping);
    ASSERT_TRUE(sent());
    EXPECT_EQ(logger->count("Push Warning"), 1u) << "a method that would cut the code is invalid";
    PUSHService::setTags(std::nullopt, "lossyblock", [&](char code, const auto&, const auto&) { keeping->keep(code); }, keeping);
    ASSERT_TRUE(sent());
    EXPECT_EQ(logger->count(kInvalid), 2u) << "so is a callable that would";
    // With only the callback or only its object the class operation says nothing.
    PUSHService::setTags(std::nullopt, "noobject", &CodeKeeping::asLongLong, nullptr);
    ASSERT_TRUE(sent());
    PUSHService::setTags(std::nullopt, "noobject", block, nullptr);
    ASSERT_TRUE(sent());
    PUSHService::setTags(std::nullopt, "nomethod", static_cast<decltype(&CodeKeeping::asDouble)>(nullptr), keeping);
    ASSERT_TRUE(sent());
    PUSHService::setAlias("noblock", nullptr, keeping);
    ASSERT_TRUE(sent());
    EXPECT_EQ(logger->count("Push Warning"), 2u);

    // Only the complete, valid callback is answered.
    PUSHService::setTags(std::nullopt, "valid", &CodeKeeping::asInt, keeping);
    ASSERT_TRUE(testing_support::runUntil([&] { return !keeping->codes.empty(); }));
    testing_support::runUntil([] { return true; });
    EXPECT_EQ(std::tuple(keeping->codes, blockCalls), std::tuple(std::vector<double> { 0 }, 0));
}

} // namespace
