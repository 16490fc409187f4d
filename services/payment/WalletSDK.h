// WalletSDK: the payment library's one service object. When the wallet app returns to this app
// after paying an order ("walletpay") or after an authorisation ("walletapi"), the app hands the
// URL here and gets the result as a dictionary of texts in its callback.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"

class WalletSDK final : public NSObject {
public:
    using CompletionBlock = std::function<void(const Value& resultDic)>;

    static std::shared_ptr<WalletSDK> defaultService();
    std::string className() const override { return "WalletSDK"; }

    // An order's result: only a URL whose host is "walletpay" is processed; the result is the
    // "memo" object of the JSON in the (percent-decoded) query, with "ResultStatus" renamed
    // "resultStatus". A query that is not JSON is read as "key={value}" pairs instead.
    void processOrderWithPaymentResult(const NSURL& resultUrl, CompletionBlock completionBlock);
    // An authorisation's result: the query's "key=value" pairs.
    void processAuthResult(const NSURL& resultUrl, CompletionBlock completionBlock);

    // The block kept from the last call.
    const CompletionBlock& completion() const { return completion_; }

private:
    CompletionBlock completion_;
};

namespace payment {

// The result dictionary of an order's result query (percent escapes already removed).
Value orderResultFromQuery(const std::string& decodedQuery);
// The pairs of an authorisation's result query, split at "&" and "=": only pieces of exactly
// two parts count.
Value authResultFromQuery(const std::string& query);

} // namespace payment
