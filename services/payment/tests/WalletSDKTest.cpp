// The wallet app's return URLs: the order result's JSON memo (or the picked-apart text) and the
// authorisation result's pairs, delivered to the caller's block.
#include <gtest/gtest.h>

#include <optional>

#include "services/payment/WalletSDK.h"

namespace {

using Dict = std::optional<Value>;

// What the service hands the block for the URL; nothing when the block is not called.
Dict delivered(const std::string& url, bool order)
{
    auto parsed = NSURL::URLWithString(url);
    if (!parsed)
        return Value("unparsable URL " + url);
    Dict got;
    auto block = [&](const Value& result) { got = result; };
    auto service = WalletSDK::defaultService();
    order ? service->processOrderWithPaymentResult(*parsed, block) : service->processAuthResult(*parsed, block);
    return got;
}

// An order's result with every byte of the text escaped into the query.
Dict order(const std::string& text)
{
    std::string query;
    for (unsigned char byte : text)
        query += "%" + std::string(1, "0123456789ABCDEF"[byte >> 4]) + "0123456789ABCDEF"[byte & 15];
    return delivered("qm2088://walletpay/?" + query, true);
}

TEST(WalletSDK, ReturnURLsGiveTheResultDictionary)
{
    auto dict
        = [](std::initializer_list<std::pair<const std::string, Value>> pairs) { return Value::dictionary(pairs); };
    const struct {
        const char* name;
        Dict got, want;
    } cases[] = {
        { "memo, status renamed, numbers become texts",
            order(R"({"memo":{"ResultStatus":9000,"memo":"","result":"success=\"true\""},"requestType":"SafePay"})"),
            dict({ { "resultStatus", "9000" }, { "memo", "" }, { "result", "success=\"true\"" } }) },
        { "JSON without a memo object", order("[1,2]"), dict({}) },
        { "a memo that is not an object", order(R"({"memo":"text"})"), dict({}) },
        { "text picked apart", order("ResultStatus={6001};memo={用户中途取消};result={}"),
            dict({ { "resultStatus", "6001" }, { "memo", "用户中途取消" }, { "result", "" } }) },
        { "nested braces stay inside the value", order("resultStatus={9000};result={a={b};c}"),
            dict({ { "resultStatus", "9000" }, { "result", "a={b};c" } }) },
        { "a value never closed is not taken", order("resultStatus={9000};memo={never closed"),
            dict({ { "resultStatus", "9000" } }) },
        { "an empty query", order(""), dict({}) },
        { "escapes that are not UTF-8 still give a result", delivered("qm2088://walletpay/?%E4%B8", true), dict({}) },
        { "another host is not an order", delivered("qm2088://walletapi/?x=1", true), std::nullopt },
        { "nor is a URL without that host", delivered("qm2088://other", true), std::nullopt },
        { "auth pairs of exactly two pieces",
            delivered("qm2088://walletapi/?resultStatus=9000&auth_code=abc&broken&a=b=c&=empty&result_code=200", false),
            dict({ { "resultStatus", "9000" }, { "auth_code", "abc" }, { "", "empty" }, { "result_code", "200" } }) },
        { "auth without a query", delivered("qm2088://walletapi", false), dict({}) },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.name;
}

} // namespace
