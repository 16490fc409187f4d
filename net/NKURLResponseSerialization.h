// Response serializers: each checks an HTTP response (status code and content type) and turns
// its body into an object: the bytes themselves, a JSON value, an XML parser, a property list
// or an image; a compound serializer tries several in turn. A serializer may return an object
// and set an error at once; callers report a failure whenever the error is set.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Value.h"
#include "platform/network/NSURLResponse.h"
#include "platform/persistence/NSCoder.h"

inline constexpr const char* NKURLResponseSerializationErrorDomain = "com.pendrasil.error.serialization.response";
inline constexpr const char* NKNetworkingOperationFailingURLResponseErrorKey
    = "com.pendrasil.serialization.response.error.response";
inline constexpr const char* NKNetworkingOperationFailingURLResponseDataErrorKey
    = "com.pendrasil.serialization.response.error.data";

class NKURLResponseSerialization {
public:
    virtual ~NKURLResponseSerialization() = default;
    // `data` is nullptr when there is no body.
    virtual Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) = 0;
};

namespace net {
// The error with `underlying` under NSUnderlyingErrorKey, unless it already has one; the
// underlying error alone when there is no error.
NSErrorRef chainUnderlyingError(const NSErrorRef& error, const NSErrorRef& underlying);
// Whether the error or any error under it has that domain and code.
bool errorChainHasCode(const NSErrorRef& error, std::int64_t code, const std::string& domain);
} // namespace net

// Archivable with secure coding (the status codes and content types; subclasses add their own
// fields); net::registerArchivableClasses() registers every serializer.
class NKHTTPResponseSerializer : public NSObject, public NKURLResponseSerialization, public NSCoding {
public:
    static std::shared_ptr<NKHTTPResponseSerializer> serializer();
    NKHTTPResponseSerializer();
    std::string className() const override { return "NKHTTPResponseSerializer"; }
    static constexpr bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // False for an HTTP response whose status or content type is not acceptable; *error then
    // says why, except for an unacceptable content type with an empty body, which fails
    // without an error (so an empty reply with an acceptable status succeeds with no object).
    // A response without a URL is judged on its content type alone, and never with an error.
    bool validateResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) const;
    // The body bytes, valid or not (absent without a body).
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;

    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    // nullopt: any.
    const std::optional<std::set<std::int64_t>>& acceptableStatusCodes() const { return statusCodes_; }
    void setAcceptableStatusCodes(std::optional<std::set<std::int64_t>> codes) { statusCodes_ = std::move(codes); }
    const std::optional<std::set<std::string>>& acceptableContentTypes() const { return contentTypes_; }
    void setAcceptableContentTypes(std::optional<std::set<std::string>> types) { contentTypes_ = std::move(types); }

    // A new serializer of the same class with the same configuration.
    virtual std::shared_ptr<NKHTTPResponseSerializer> copy() const;

protected:
    // Validation as the parsing serializers use it: false when parsing must not go on (a
    // content-type failure, or any failure when the caller wants no error).
    bool passesValidationGate(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) const;
    void copyConfigurationTo(NKHTTPResponseSerializer& other) const;

private:
    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    std::optional<std::set<std::int64_t>> statusCodes_;
    std::optional<std::set<std::string>> contentTypes_;
};

class NKJSONResponseSerializer : public NKHTTPResponseSerializer {
public:
    static std::shared_ptr<NKJSONResponseSerializer> serializer() { return serializerWithReadingOptions(0); }
    static std::shared_ptr<NKJSONResponseSerializer> serializerWithReadingOptions(std::uint64_t options);
    NKJSONResponseSerializer();
    std::string className() const override { return "NKJSONResponseSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

    std::uint64_t readingOptions() const { return readingOptions_; }
    void setReadingOptions(std::uint64_t options) { readingOptions_ = options; }
    bool removesKeysWithNullValues() const { return removesNulls_; }
    void setRemovesKeysWithNullValues(bool removes) { removesNulls_ = removes; }

private:
    std::uint64_t readingOptions_ = 0;
    bool removesNulls_ = false;
};

namespace net {
// Dictionaries without their null-valued keys, at every depth; null array elements stay.
Value stripNullValuedKeys(const Value& value);
} // namespace net

// The body as an NSXMLParser (an object Value); parsing is left to the caller.
class NKXMLParserResponseSerializer : public NKHTTPResponseSerializer {
public:
    static std::shared_ptr<NKXMLParserResponseSerializer> serializer();
    NKXMLParserResponseSerializer();
    std::string className() const override { return "NKXMLParserResponseSerializer"; }
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;
};

class NKPropertyListResponseSerializer : public NKHTTPResponseSerializer {
public:
    static std::shared_ptr<NKPropertyListResponseSerializer> serializer() { return serializerWithFormat(100, 0); }
    static std::shared_ptr<NKPropertyListResponseSerializer> serializerWithFormat(std::uint64_t format, std::uint64_t readOptions);
    NKPropertyListResponseSerializer();
    std::string className() const override { return "NKPropertyListResponseSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

    std::uint64_t format() const { return format_; }
    void setFormat(std::uint64_t format) { format_ = format; }
    std::uint64_t readOptions() const { return readOptions_; }
    void setReadOptions(std::uint64_t options) { readOptions_ = options; }

private:
    std::uint64_t format_ = 100;
    std::uint64_t readOptions_ = 0;
};

// The body as a UIImage (an object Value), redrawn into a bitmap once ("inflated") when asked.
class NKImageResponseSerializer : public NKHTTPResponseSerializer {
public:
    static std::shared_ptr<NKImageResponseSerializer> serializer();
    NKImageResponseSerializer();
    std::string className() const override { return "NKImageResponseSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }
    bool automaticallyInflatesResponseImage() const { return inflates_; }
    void setAutomaticallyInflatesResponseImage(bool inflates) { inflates_ = inflates; }

private:
    double imageScale_;
    bool inflates_ = true;
};

// Tries each serializer in order; the first object wins. Without one: the plain body.
class NKCompoundResponseSerializer : public NKHTTPResponseSerializer {
public:
    static std::shared_ptr<NKCompoundResponseSerializer> compoundSerializerWithResponseSerializers(
        std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers);
    std::string className() const override { return "NKCompoundResponseSerializer"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    Value responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;
    const std::vector<std::shared_ptr<NKHTTPResponseSerializer>>& responseSerializers() const { return serializers_; }

private:
    std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers_;
};
