// The wallet app's return URLs: the order result's JSON memo (or the picked-apart text) and the
// authorisation result's pairs, delivered to the caller's block.
#include <gtest/gtest.h>

#include "platform/foundation/NSString.h"
#include "services/payment/WalletSDK.h"

namespace {

NSURL url(const std::string& text)
{
    auto parsed = NSURL::URLWithString(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(*NSURL::URLWithString("x://y"));
}

std::string escaped(const std::string& text)
{
    return NSString::stringByAddingPercentEncodingWithAllowedCharacters(
        text, NSCharacterSet::alphanumericCharacterSet());
}

TEST(WalletSDK, OneSharedService)
{
    EXPECT_EQ(WalletSDK::defaultService(), WalletSDK::defaultService());
    EXPECT_NE(WalletSDK::defaultService(), nullptr);
}

TEST(WalletSDK, OrderResultIsTheMemoWithResultStatusRenamed)
{
    std::string json
        = R"({"memo":{"ResultStatus":9000,"memo":"","result":"success=\"true\""},"requestType":"SafePay"})";
    Value got;
    int calls = 0;
    WalletSDK::defaultService()->processOrderWithPaymentResult(
        url("qm2088://walletpay/?" + escaped(json)), [&](const Value& result) {
            got = result;
            ++calls;
        });
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(got["resultStatus"].asString(), "9000") << "numbers become texts";
    EXPECT_FALSE(got.contains("ResultStatus"));
    EXPECT_EQ(got["result"].asString(), "success=\"true\"");
    EXPECT_EQ(got["memo"].asString(), "");
    EXPECT_TRUE(static_cast<bool>(WalletSDK::defaultService()->completion())) << "the block is kept";
}

TEST(WalletSDK, OrderResultThatIsNotJsonIsPickedApart)
{
    EXPECT_EQ(payment::orderResultFromQuery("ResultStatus={6001};memo={用户中途取消};result={}"),
        Value::dictionary({ { "resultStatus", "6001" }, { "memo", "用户中途取消" }, { "result", "" } }));
    EXPECT_EQ(payment::orderResultFromQuery("resultStatus={9000};result={a={b};c}"),
        Value::dictionary({ { "resultStatus", "9000" }, { "result", "a={b};c" } }))
        << "nested braces stay inside the value";
    EXPECT_EQ(payment::orderResultFromQuery("resultStatus={9000};memo={never closed"),
        Value::dictionary({ { "resultStatus", "9000" } }));
    EXPECT_EQ(payment::orderResultFromQuery(""), Value::dictionary());
    EXPECT_EQ(payment::orderResultFromQuery("[1,2]"), Value::dictionary()) << "JSON without a memo object";
    EXPECT_EQ(payment::orderResultFromQuery(R"({"memo":"text"})"), Value::dictionary());
}

TEST(WalletSDK, OnlyTheWalletpayHostIsProcessedAsAnOrder)
{
    int calls = 0;
    WalletSDK::defaultService()->processOrderWithPaymentResult(
        url("qm2088://walletapi/?x=1"), [&](const Value&) { ++calls; });
    WalletSDK::defaultService()->processOrderWithPaymentResult(url("qm2088://other"), [&](const Value&) { ++calls; });
    EXPECT_EQ(calls, 0);
    Value got;
    WalletSDK::defaultService()->processOrderWithPaymentResult(url("qm2088://walletpay/?%E4%B8"), [&](const Value& r) {
        got = r;
        ++calls;
    });
    EXPECT_EQ(calls, 1) << "escapes that are not UTF-8 still give a (empty) result";
    EXPECT_TRUE(got.isDictionary());
}

TEST(WalletSDK, AuthorisationResultKeepsPairsOfExactlyTwoPieces)
{
    Value got;
    WalletSDK::defaultService()->processAuthResult(
        url("qm2088://walletapi/?resultStatus=9000&auth_code=abc&broken&a=b=c&=empty&result_code=200"),
        [&](const Value& r) { got = r; });
    EXPECT_EQ(got,
        Value::dictionary(
            { { "resultStatus", "9000" }, { "auth_code", "abc" }, { "", "empty" }, { "result_code", "200" } }));
    WalletSDK::defaultService()->processAuthResult(url("qm2088://walletapi"), [&](const Value& r) { got = r; });
    EXPECT_EQ(got, Value::dictionary()) << "no query: an empty result";
}

} // namespace
