// NKJSONResponseSerializer: JSON bodies in the response's text encoding; the XML-parser and
// property-list serializers.
#include "net/NKLocalizedString.h"
#include "net/NKURLResponseSerialization.h"
#include "net/NSXMLParser.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Utf8.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "platform/persistence/NSPropertyListSerialization.h"

namespace net {

Value stripNullValuedKeys(const Value& value)
{
    if (value.isArray()) {
        Value::Array items;
        for (const Value& item : value.elements())
            items.push_back(stripNullValuedKeys(item));
        return Value(std::move(items));
    }
    if (!value.isDictionary())
        return value;
    Value result = Value::dictionary();
    for (auto [key, item] : value.entries()) {
        if (item.isNil())
            continue;
        result.set(std::string(key), stripNullValuedKeys(item));
    }
    return result;
}

} // namespace net

std::shared_ptr<NKJSONResponseSerializer> NKJSONResponseSerializer::serializerWithReadingOptions(std::uint64_t options)
{
    auto serializer = std::make_shared<NKJSONResponseSerializer>();
    serializer->readingOptions_ = options;
    return serializer;
}

NKJSONResponseSerializer::NKJSONResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/json", "text/json", "text/javascript", "text/html", "text/plain" });
}

namespace {

NSErrorRef decodingError(std::string description, std::string reason)
{
    return NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, NSURLErrorCannotDecodeContentData,
        Value::dictionary({ { NSLocalizedDescriptionKey, Value(std::move(description)) },
            { NSLocalizedFailureReasonErrorKey, Value(std::move(reason)) } }));
}

// The body in `encoding` as UTF-8 text, which is what the JSON reader takes; an error when it
// does not decode.
std::optional<std::string> decodeBody(const Bytes& data, NSStringEncoding encoding, const std::optional<std::string>& charset,
    NSErrorRef& error)
{
    std::optional<std::string> text = NSString::initWithData(data, encoding);
    if (!text) {
        error = decodingError(net::localizedString("Data failed decoding in the response's text encoding"),
            NSString::stringWithFormat(net::localizedString("Could not decode data in text encoding %@"),
                charset ? Value(*charset) : Value(static_cast<std::uint64_t>(encoding))));
        return std::nullopt;
    }
    // Decoding from UTF-8 has checked the text already; other encodings are converted to it.
    if (encoding != NSUTF8StringEncoding && !foundation::utf8::isValid(*text)) {
        error = decodingError(net::localizedString("Data failed decoding as a UTF-8 string"),
            NSString::stringWithFormat(net::localizedString("Could not decode string: %@"), *text));
        return std::nullopt;
    }
    return text;
}

bool isBlank(std::string_view text)
{
    if (text.starts_with(foundation::utf8::kByteOrderMark))
        text.remove_prefix(foundation::utf8::kByteOrderMark.size());
    return text.empty() || text == " ";
}

} // namespace

Value NKJSONResponseSerializer::responseObjectForResponse(const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    if (!passesValidationGate(response, data, error))
        return {};
    NSStringEncoding encoding = stringEncoding();
    std::optional<std::string> charset;
    if (response && response->textEncodingName()) {
        CFStringEncoding named = CFStringConvertIANACharSetNameToEncoding(*response->textEncodingName());
        if (named != kCFStringEncodingInvalidId) {
            encoding = CFStringConvertEncodingToNSStringEncoding(named);
            charset = response->textEncodingName();
        }
    }
    if (!data)
        return {};
    Value object;
    NSErrorRef serializationError;
    std::optional<std::string> text = decodeBody(*data, encoding, charset, serializationError);
    // A single space or no text at all (say, only a byte-order mark, which decoding from UTF-8
    // keeps and from UTF-16 drops) holds no JSON, and no error.
    if (text && isBlank(*text))
        return {};
    if (text)
        object = NSJSONSerialization::JSONObjectWithData(*text, readingOptions_, &serializationError);
    if (removesNulls_ && !object.isAbsent())
        object = net::stripNullValuedKeys(object);
    if (error)
        *error = net::chainUnderlyingError(serializationError, *error);
    return object;
}

std::shared_ptr<NKHTTPResponseSerializer> NKJSONResponseSerializer::copy() const
{
    auto other = std::make_shared<NKJSONResponseSerializer>();
    copyConfigurationTo(*other);
    other->readingOptions_ = readingOptions_;
    other->removesNulls_ = removesNulls_;
    return other;
}

std::shared_ptr<NKXMLParserResponseSerializer> NKXMLParserResponseSerializer::serializer()
{
    return std::make_shared<NKXMLParserResponseSerializer>();
}

NKXMLParserResponseSerializer::NKXMLParserResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/xml", "text/xml" });
}

Value NKXMLParserResponseSerializer::responseObjectForResponse(
    const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    if (!passesValidationGate(response, data, error))
        return {};
    return Value(NSXMLParser::initWithData(data ? *data : Bytes {}));
}

std::shared_ptr<NKHTTPResponseSerializer> NKXMLParserResponseSerializer::copy() const
{
    auto other = std::make_shared<NKXMLParserResponseSerializer>();
    copyConfigurationTo(*other);
    return other;
}

std::shared_ptr<NKPropertyListResponseSerializer> NKPropertyListResponseSerializer::serializerWithFormat(
    std::uint64_t format, std::uint64_t readOptions)
{
    auto serializer = std::make_shared<NKPropertyListResponseSerializer>();
    serializer->format_ = format;
    serializer->readOptions_ = readOptions;
    return serializer;
}

NKPropertyListResponseSerializer::NKPropertyListResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/x-plist" });
}

Value NKPropertyListResponseSerializer::responseObjectForResponse(
    const NSURLResponseRef& response, const Bytes* data, NSErrorRef* error)
{
    if (!passesValidationGate(response, data, error))
        return {};
    if (!data || data->empty()) // an empty reply has no property list to read
        return {};
    NSErrorRef readError;
    Value object = NSPropertyListSerialization::propertyListWithData(*data, readOptions_, nullptr, &readError);
    if (error)
        *error = net::chainUnderlyingError(readError, *error);
    return object;
}

std::shared_ptr<NKHTTPResponseSerializer> NKPropertyListResponseSerializer::copy() const
{
    auto other = std::make_shared<NKPropertyListResponseSerializer>();
    copyConfigurationTo(*other);
    other->format_ = format_;
    other->readOptions_ = readOptions_;
    return other;
}
