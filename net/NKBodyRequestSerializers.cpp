// NKJSONRequestSerializer and NKPropertyListRequestSerializer: parameters as a JSON document or
// a property list in the body; methods that carry parameters in the URL stay form-encoded.
#include "net/NKURLRequestSerialization.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "platform/persistence/NSPropertyListSerialization.h"

std::shared_ptr<NKJSONRequestSerializer> NKJSONRequestSerializer::serializerWithWritingOptions(std::uint64_t options)
{
    auto serializer = std::make_shared<NKJSONRequestSerializer>();
    serializer->writingOptions_ = options;
    return serializer;
}

std::shared_ptr<NSMutableURLRequest> NKJSONRequestSerializer::requestBySerializingRequest(
    const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error)
{
    if (encodesParametersInURI(request->HTTPMethod()))
        return formSerializeRequest(request, parameters, error);
    auto copy = copyWithDefaultHeaders(request);
    if (parameters.isAbsent())
        return copy;
    if (!copy->valueForHTTPHeaderField("Content-Type"))
        copy->setValueForHTTPHeaderField(std::string("application/json"), "Content-Type");
    copy->setHTTPBody(NSJSONSerialization::dataWithJSONObject(parameters, writingOptions_, error));
    return copy;
}

std::shared_ptr<NKHTTPRequestSerializer> NKJSONRequestSerializer::copy() const
{
    auto other = std::make_shared<NKJSONRequestSerializer>();
    copyConfigurationTo(*other);
    other->writingOptions_ = writingOptions_;
    return other;
}

std::shared_ptr<NKPropertyListRequestSerializer> NKPropertyListRequestSerializer::serializerWithFormat(
    std::uint64_t format, std::uint64_t writeOptions)
{
    auto serializer = std::make_shared<NKPropertyListRequestSerializer>();
    serializer->format_ = format;
    serializer->writeOptions_ = writeOptions;
    return serializer;
}

std::shared_ptr<NSMutableURLRequest> NKPropertyListRequestSerializer::requestBySerializingRequest(
    const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error)
{
    if (encodesParametersInURI(request->HTTPMethod()))
        return formSerializeRequest(request, parameters, error);
    auto copy = copyWithDefaultHeaders(request);
    if (parameters.isAbsent())
        return copy;
    if (!copy->valueForHTTPHeaderField("Content-Type"))
        copy->setValueForHTTPHeaderField(std::string("application/x-plist"), "Content-Type");
    copy->setHTTPBody(NSPropertyListSerialization::dataWithPropertyList(
        parameters, static_cast<NSPropertyListFormat>(format_), writeOptions_, error));
    return copy;
}

std::shared_ptr<NKHTTPRequestSerializer> NKPropertyListRequestSerializer::copy() const
{
    auto other = std::make_shared<NKPropertyListRequestSerializer>();
    copyConfigurationTo(*other);
    other->format_ = format_;
    other->writeOptions_ = writeOptions_;
    return other;
}
