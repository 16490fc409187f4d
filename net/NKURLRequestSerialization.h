// The request serializers: NKHTTPRequestSerializer turns a method, a URL string and parameters
// into a ready request with the stack's default headers (Accept-Language, User-Agent, optional
// Authorization) and form-encoded parameters, in the body or, for GET, HEAD and DELETE, in the
// query string. NKJSONRequestSerializer and NKPropertyListRequestSerializer send the body as
// JSON or as a property list instead. Multipart bodies: NKMultipartFormData.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Value.h"
#include "platform/network/NSURLRequest.h"
#include "platform/persistence/NSCoder.h"

inline constexpr const char* NKURLRequestSerializationErrorDomain = "com.pendrasil.error.serialization.request";

class NKMultipartFormData;

// What every request serializer does: apply its encoding of `parameters` to `request`.
class NKURLRequestSerialization {
public:
    virtual ~NKURLRequestSerialization() = default;
    // nullptr when the request cannot be built; *error then says why (when given). An error may
    // also be set beside a request: callers treat a set error as a failure.
    virtual std::shared_ptr<NSMutableURLRequest> requestBySerializingRequest(
        const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error) = 0;
};

// One field and value of a flattened parameter list.
class NKQueryStringPair {
public:
    NKQueryStringPair(Value field, Value value) : field_(std::move(field)), value_(std::move(value)) { }
    const Value& field() const { return field_; }
    const Value& value() const { return value_; }
    // "field=value", both escaped; the bare field when the value is nil or null.
    std::string URLEncodedStringValue() const;

private:
    Value field_;
    Value value_;
};

namespace net {
// The failure of a manager asked to build a request without a request serializer.
NSErrorRef missingRequestSerializerError(const std::string& URLString);
// Parameters as (field, value) pairs: dictionary keys sorted, nested keys as "outer[inner]",
// array elements as "outer[]" in their order.
std::vector<NKQueryStringPair> flattenParameters(const Value& key, const Value& value);
// Every character but ASCII letters, digits and "-._~/?" as %XX of its UTF-8 bytes.
std::string escapeQueryComponent(const std::string& text);
// The pairs of `parameters` joined with "&".
std::string queryStringFromParameters(const Value& parameters);
} // namespace net

enum NKHTTPRequestQueryStringSerializationStyle : std::uint64_t {
    NKHTTPRequestQueryStringDefaultStyle = 0,
};

// Archivable with secure coding (the default headers and the query-string style; the JSON and
// property-list serializers add their options); net::registerArchivableClasses() registers them.
class NKHTTPRequestSerializer : public NSObject, public NKURLRequestSerialization, public NSCoding {
public:
    using QueryStringSerialization
        = std::function<std::optional<std::string>(const std::shared_ptr<NSURLRequest>&, const Value&, NSErrorRef*)>;
    using MultipartBodyBlock = std::function<void(NKMultipartFormData&)>;

    static std::shared_ptr<NKHTTPRequestSerializer> serializer();
    NKHTTPRequestSerializer();
    std::string className() const override { return "NKHTTPRequestSerializer"; }
    static constexpr bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    std::shared_ptr<NSMutableURLRequest> requestWithMethod(
        const std::string& method, const std::string& URLString, const Value& parameters, NSErrorRef* error = nullptr);
    std::shared_ptr<NSMutableURLRequest> requestBySerializingRequest(
        const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error) override;

    // Multipart: parameters become plain fields, then the block appends its parts.
    std::shared_ptr<NSMutableURLRequest> multipartFormRequestWithMethod(const std::string& method,
        const std::string& URLString, const Value& parameters, const MultipartBodyBlock& block,
        NSErrorRef* error = nullptr);
    // Writes the multipart body of `request` into the file in the background (the completion
    // runs on the main queue with nil or the first stream error) and returns at once a copy
    // of the request without its body stream.
    std::shared_ptr<NSMutableURLRequest> requestWithMultipartFormRequest(const std::shared_ptr<NSURLRequest>& request,
        const NSURL& fileURL, std::function<void(NSErrorRef)> completionHandler);

    // Default headers; names compare without regard to case.
    void setValueForHTTPHeaderField(std::optional<std::string> value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    Value HTTPRequestHeaders() const;
    void setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password);
    void setAuthorizationHeaderFieldWithToken(const std::string& token);
    void clearAuthorizationHeader();

    // Query strings.
    void setQueryStringSerializationWithStyle(NKHTTPRequestQueryStringSerializationStyle style);
    void setQueryStringSerializationWithBlock(QueryStringSerialization block);
    NKHTTPRequestQueryStringSerializationStyle queryStringSerializationStyle() const { return style_; }

    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    const std::set<std::string>& HTTPMethodsEncodingParametersInURI() const { return methodsInURI_; }
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods) { methodsInURI_ = std::move(methods); }

    // The six request properties: applied to requests only once set (even to the value they have).
    bool allowsCellularAccess() const { return cellular_; }
    void setAllowsCellularAccess(bool allows);
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(NSURLRequestCachePolicy policy);
    bool HTTPShouldHandleCookies() const { return cookies_; }
    void setHTTPShouldHandleCookies(bool handle);
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining);
    NSURLRequestNetworkServiceType networkServiceType() const { return serviceType_; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type);
    NSTimeInterval timeoutInterval() const { return timeout_; }
    void setTimeoutInterval(NSTimeInterval seconds);
    // The property names set so far, in the fixed order of the six.
    std::vector<std::string> changedRequestProperties() const;

    // A new serializer of the same class with the same configuration.
    virtual std::shared_ptr<NKHTTPRequestSerializer> copy() const;

protected:
    // Form encoding: headers, then the query in the URL or the body.
    std::shared_ptr<NSMutableURLRequest> formSerializeRequest(
        const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error);
    // A mutable copy of `request` with every default header it lacks.
    std::shared_ptr<NSMutableURLRequest> copyWithDefaultHeaders(const std::shared_ptr<NSURLRequest>& request) const;
    bool encodesParametersInURI(const std::string& method) const;
    void copyConfigurationTo(NKHTTPRequestSerializer& other) const;

private:
    void markChanged(const char* keyPath);
    void applyChangedProperties(NSMutableURLRequest& request) const;

    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    bool cellular_ = false;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool cookies_ = false;
    bool pipelining_ = false;
    NSURLRequestNetworkServiceType serviceType_ = NSURLNetworkServiceTypeDefault;
    NSTimeInterval timeout_ = 0;
    std::set<std::string> methodsInURI_ { "GET", "HEAD", "DELETE" };
    std::set<std::string> changedKeyPaths_;
    network::HeaderFields headers_;
    NKHTTPRequestQueryStringSerializationStyle style_ = NKHTTPRequestQueryStringDefaultStyle;
    QueryStringSerialization queryBlock_;
};

// Parameters as a JSON document in the body ("application/json").
class NKJSONRequestSerializer : public NKHTTPRequestSerializer {
public:
    static std::shared_ptr<NKJSONRequestSerializer> serializer() { return serializerWithWritingOptions(0); }
    static std::shared_ptr<NKJSONRequestSerializer> serializerWithWritingOptions(std::uint64_t options);
    std::string className() const override { return "NKJSONRequestSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    std::shared_ptr<NSMutableURLRequest> requestBySerializingRequest(
        const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error) override;
    std::uint64_t writingOptions() const { return writingOptions_; }
    void setWritingOptions(std::uint64_t options) { writingOptions_ = options; }
    std::shared_ptr<NKHTTPRequestSerializer> copy() const override;

private:
    std::uint64_t writingOptions_ = 0;
};

// Parameters as a property list in the body ("application/x-plist"), XML by default.
class NKPropertyListRequestSerializer : public NKHTTPRequestSerializer {
public:
    static std::shared_ptr<NKPropertyListRequestSerializer> serializer() { return serializerWithFormat(100, 0); }
    static std::shared_ptr<NKPropertyListRequestSerializer> serializerWithFormat(std::uint64_t format, std::uint64_t writeOptions);
    std::string className() const override { return "NKPropertyListRequestSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    std::shared_ptr<NSMutableURLRequest> requestBySerializingRequest(
        const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error) override;
    std::uint64_t format() const { return format_; }
    void setFormat(std::uint64_t format) { format_ = format; }
    std::uint64_t writeOptions() const { return writeOptions_; }
    void setWriteOptions(std::uint64_t options) { writeOptions_ = options; }
    std::shared_ptr<NKHTTPRequestSerializer> copy() const override;

private:
    std::uint64_t format_ = 100;
    std::uint64_t writeOptions_ = 0;
};
