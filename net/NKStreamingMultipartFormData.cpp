// NKStreamingMultipartFormData: the builder a multipart body block appends its parts to.
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "net/NKLocalizedString.h"
#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"

namespace net {

std::string makeMultipartBoundary()
{
    return NSString::stringWithFormat("Boundary+%08X%08X", arc4random(), arc4random());
}

std::string quotedDispositionValue(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

} // namespace net

namespace {

NSErrorRef fileURLError(const std::string& reason)
{
    return NSError::errorWithDomain(NKURLRequestSerializationErrorDomain, NSURLErrorBadURL,
        Value::dictionary({ { NSLocalizedFailureReasonErrorKey, Value(net::localizedString(reason)) } }));
}

std::vector<std::pair<std::string, std::string>> fileHeaders(
    const std::string& name, const std::string& fileName, const std::string& mimeType)
{
    return {
        { "Content-Disposition",
            NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"", net::quotedDispositionValue(name),
                net::quotedDispositionValue(fileName)) },
        { "Content-Type", mimeType },
    };
}

} // namespace

NKStreamingMultipartFormData::NKStreamingMultipartFormData(
    std::shared_ptr<NSMutableURLRequest> request, NSStringEncoding encoding)
    : request_(request ? request->mutableCopy() : nullptr)
    , stringEncoding_(encoding)
    , boundary_(net::makeMultipartBoundary())
    , bodyStream_(std::make_shared<NKMultipartBodyStream>(encoding))
{
}

void NKStreamingMultipartFormData::appendPart(
    std::vector<std::pair<std::string, std::string>> headers, NKHTTPBodyPart::Body body, std::uint64_t length)
{
    auto part = std::make_unique<NKHTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->headers = std::move(headers);
    part->boundary = boundary_;
    part->body = std::move(body);
    part->bodyContentLength = length;
    bodyStream_->appendHTTPBodyPart(std::move(part));
}

bool NKStreamingMultipartFormData::appendPartWithFileURL(const NSURL& fileURL, const std::string& name, NSErrorRef* error)
{
    std::string fileName = fileURL.lastPathComponent();
    std::string mimeType = net::mimeTypeForPathExtension(fileURL.pathExtension());
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

bool NKStreamingMultipartFormData::appendPartWithFileURL(const NSURL& fileURL, const std::string& name,
    const std::string& fileName, const std::string& mimeType, NSErrorRef* error)
{
    if (!fileURL.isFileURL()) {
        if (error)
            *error = fileURLError("Expected URL to be a file URL");
        return false;
    }
    std::error_code code;
    std::filesystem::path path = fileURL.path();
    if (!std::filesystem::exists(path, code)) {
        if (error)
            *error = fileURLError("File URL not reachable.");
        return false;
    }
    auto size = std::filesystem::file_size(path, code);
    if (code) {
        if (error)
            *error = NSError::errorWithDomain(NSPOSIXErrorDomain, code.value(),
                Value::dictionary({ { NSFilePathErrorKey, Value(path.string()) },
                    { NSLocalizedDescriptionKey, Value(code.message()) } }));
        return false;
    }
    NKHTTPBodyPart::Body body;
    body.fileURL = fileURL;
    appendPart(fileHeaders(name, fileName, mimeType), std::move(body), size);
    return true;
}

void NKStreamingMultipartFormData::appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream,
    const std::string& name, const std::string& fileName, std::uint64_t length, const std::string& mimeType)
{
    NKHTTPBodyPart::Body body;
    body.stream = inputStream;
    appendPart(fileHeaders(name, fileName, mimeType), std::move(body), length);
}

void NKStreamingMultipartFormData::appendPartWithFileData(
    const Bytes& data, const std::string& name, const std::string& fileName, const std::string& mimeType)
{
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), data);
}

void NKStreamingMultipartFormData::appendPartWithFormData(const Bytes& data, const std::string& name)
{
    appendPartWithHeaders({ { "Content-Disposition",
                              NSString::stringWithFormat("form-data; name=\"%@\"", net::quotedDispositionValue(name)) } },
        data);
}

void NKStreamingMultipartFormData::appendPartWithHeaders(
    std::vector<std::pair<std::string, std::string>> headers, const Bytes& body)
{
    NKHTTPBodyPart::Body partBody;
    partBody.data = body;
    appendPart(std::move(headers), std::move(partBody), body.size());
}

void NKStreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay)
{
    bodyStream_->numberOfBytesInPacket = numberOfBytes;
    bodyStream_->delay = delay;
}

std::shared_ptr<NSMutableURLRequest> NKStreamingMultipartFormData::requestByFinalizingMultipartFormData()
{
    if (bodyStream_->isEmpty() || !request_)
        return request_; // a builder without a request finishes none
    bodyStream_->setInitialAndFinalBoundaries();
    request_->setHTTPBodyStream(bodyStream_);
    request_->setValueForHTTPHeaderField(
        NSString::stringWithFormat("multipart/form-data; boundary=%@", boundary_), "Content-Type");
    request_->setValueForHTTPHeaderField(
        NSString::stringWithFormat("%llu", bodyStream_->contentLength()), "Content-Length");
    return request_;
}
