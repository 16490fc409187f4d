// NKHTTPResponseSerializer (validation and the plain body), error chaining, and the compound
// serializer.
#include "net/NKURLResponseSerialization.h"

#include "net/NKCoding.h"
#include "net/NKLocalizedString.h"
#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"

namespace net {

NSErrorRef chainUnderlyingError(const NSErrorRef& error, const NSErrorRef& underlying)
{
    if (!error)
        return underlying;
    if (!underlying || error->userInfo().contains(NSUnderlyingErrorKey))
        return error;
    Value userInfo = error->userInfo();
    userInfo.set(NSUnderlyingErrorKey, Value(underlying));
    return NSError::errorWithDomain(error->domain(), error->code(), userInfo);
}

bool errorChainHasCode(const NSErrorRef& error, std::int64_t code, const std::string& domain)
{
    for (NSErrorRef e = error; e; e = e->underlyingError())
        if (e->code() == code && e->domain() == domain)
            return true;
    return false;
}

} // namespace net

namespace {

Value failureUserInfo(std::string description, const std::shared_ptr<NSHTTPURLResponse>& response, const Bytes* data)
{
    Value userInfo = Value::dictionary({ { NSLocalizedDescriptionKey, Value(std::move(description)) } });
    if (response->URL())
        userInfo.set(NSURLErrorFailingURLErrorKey, Value(response->URL()->absoluteString()));
    userInfo.set(NKNetworkingOperationFailingURLResponseErrorKey, Value(response));
    if (data && !data->empty())
        userInfo.set(NKNetworkingOperationFailingURLResponseDataErrorKey, Value(*data));
    return userInfo;
}

} // namespace

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPResponseSerializer::serializer()
{
    return std::make_shared<NKHTTPResponseSerializer>();
}

NKHTTPResponseSerializer::NKHTTPResponseSerializer()
{
    net::registerArchivableClasses();
    std::set<std::int64_t> codes;
    for (std::int64_t code = 200; code < 300; ++code)
        codes.insert(code);
    statusCodes_ = std::move(codes);
}

bool NKHTTPResponseSerializer::validateResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) const
{
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (!http)
        return true;
    bool valid = true;
    NSErrorRef validationError;
    const bool hasURL = http->URL().has_value();
    const auto& mimeType = http->MIMEType();
    if (contentTypes_ && (!mimeType || !contentTypes_->count(*mimeType))) {
        valid = false;
        // An empty reply has no content to refuse: a 204, or the answer to HEAD, fails only
        // on its status.
        if (data && !data->empty() && hasURL) {
            validationError = NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, NSURLErrorCannotDecodeContentData,
                failureUserInfo(NSString::stringWithFormat(net::localizedString("Request failed: unacceptable content-type: %@"),
                                    mimeType ? Value(*mimeType) : Value()),
                    http, data));
        }
    }
    if (statusCodes_ && !statusCodes_->count(http->statusCode()) && hasURL) {
        valid = false;
        Value userInfo = failureUserInfo(NSString::stringWithFormat(net::localizedString("Request failed: %@ (%ld)"),
                                             NSHTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                                             http->statusCode()),
            http, data);
        if (validationError)
            userInfo.set(NSUnderlyingErrorKey, Value(validationError));
        validationError = NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, NSURLErrorBadServerResponse, userInfo);
    }
    if (!valid && error)
        *error = validationError;
    return valid;
}

bool NKHTTPResponseSerializer::passesValidationGate(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) const
{
    if (validateResponse(response, data, error))
        return true;
    if (!error)
        return false;
    return !net::errorChainHasCode(*error, NSURLErrorCannotDecodeContentData, NKURLResponseSerializationErrorDomain);
}

Value NKHTTPResponseSerializer::responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    validateResponse(response, data, error);
    return data ? Value(*data) : Value();
}

void NKHTTPResponseSerializer::copyConfigurationTo(NKHTTPResponseSerializer& other) const
{
    other.stringEncoding_ = stringEncoding_;
    other.statusCodes_ = statusCodes_;
    other.contentTypes_ = contentTypes_;
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPResponseSerializer::copy() const
{
    auto other = std::make_shared<NKHTTPResponseSerializer>();
    copyConfigurationTo(*other);
    return other;
}

std::shared_ptr<NKCompoundResponseSerializer> NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers)
{
    auto compound = std::make_shared<NKCompoundResponseSerializer>();
    compound->serializers_ = std::move(serializers);
    return compound;
}

Value NKCompoundResponseSerializer::responseObjectForResponse(
    const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    for (const auto& serializer : serializers_) {
        if (!serializer)
            continue;
        NSErrorRef serializerError;
        Value object = serializer->responseObjectForResponse(response, data, &serializerError);
        if (object.isAbsent())
            continue;
        if (error)
            *error = net::chainUnderlyingError(serializerError, *error);
        return object;
    }
    return NKHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

std::shared_ptr<NKHTTPResponseSerializer> NKCompoundResponseSerializer::copy() const
{
    auto other = std::make_shared<NKCompoundResponseSerializer>();
    copyConfigurationTo(*other);
    other->serializers_ = serializers_;
    return other;
}
