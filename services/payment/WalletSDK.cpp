// The wallet app's results turned into the caller's dictionaries.
#include "services/payment/WalletSDK.h"

#include "platform/foundation/NSString.h"
#include "platform/persistence/NSJSONSerialization.h"

namespace payment {
namespace {

// Values of the result are texts; numbers and other kinds are written out with "%@".
Value asText(const Value& value)
{
    if (value.isString() || value.isDictionary() || value.isArray())
        return value;
    return Value(value.description());
}

Value renamedStatus(const Value& memo)
{
    Value result = Value::dictionary();
    for (const auto& [key, value] : memo.asDictionary())
        result.set(key == "ResultStatus" ? "resultStatus" : key, asText(value));
    return result;
}

// "resultStatus={9000};memo={};result={partner=..}": each name before "={" up to the
// matching "}" (nested braces kept in the value).
Value pickedApart(const std::string& text)
{
    Value result = Value::dictionary();
    std::size_t at = 0;
    while (at < text.size()) {
        auto open = text.find("={", at);
        if (open == std::string::npos)
            break;
        auto nameStart = text.rfind(';', open);
        nameStart = nameStart == std::string::npos || nameStart < at ? at : nameStart + 1;
        std::string name = text.substr(nameStart, open - nameStart);
        int depth = 1;
        std::size_t end = open + 2;
        for (; end < text.size() && depth > 0; ++end) {
            if (text[end] == '{')
                ++depth;
            if (text[end] == '}')
                --depth;
        }
        if (depth > 0)
            break; // the last value never closes: it is not taken
        std::string value = text.substr(open + 2, end - 1 - (open + 2));
        if (!name.empty())
            result.set(name == "ResultStatus" ? "resultStatus" : name, value);
        at = end;
    }
    return result;
}

} // namespace

Value orderResultFromQuery(const std::string& decodedQuery)
{
    Value json = NSJSONSerialization::JSONObjectWithData(decodedQuery);
    if (json.isDictionary()) {
        const Value& memo = json["memo"];
        return memo.isDictionary() ? renamedStatus(memo) : Value::dictionary();
    }
    return pickedApart(decodedQuery);
}

Value authResultFromQuery(const std::string& query)
{
    Value result = Value::dictionary();
    for (const auto& pair : NSString::componentsSeparatedByString(query, "&")) {
        auto parts = NSString::componentsSeparatedByString(pair, "=");
        if (parts.size() == 2)
            result.set(parts[0], parts[1]);
    }
    return result;
}

} // namespace payment

std::shared_ptr<WalletSDK> WalletSDK::defaultService()
{
    static auto* service = new std::shared_ptr<WalletSDK>(std::make_shared<WalletSDK>());
    return *service;
}

void WalletSDK::processOrderWithPaymentResult(const NSURL& resultUrl, CompletionBlock completionBlock)
{
    if (resultUrl.host() != "walletpay")
        return;
    completion_ = std::move(completionBlock);
    std::string query = resultUrl.query().value_or("");
    std::string decoded = NSString::stringByRemovingPercentEncoding(query).value_or(query);
    Value result = payment::orderResultFromQuery(decoded);
    if (completion_)
        completion_(result);
}

void WalletSDK::processAuthResult(const NSURL& resultUrl, CompletionBlock completionBlock)
{
    completion_ = std::move(completionBlock);
    Value result = payment::authResultFromQuery(resultUrl.query().value_or(""));
    if (completion_)
        completion_(result);
}
