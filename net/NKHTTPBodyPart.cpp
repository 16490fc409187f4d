// NKHTTPBodyPart: one part of a multipart body, read phase by phase (opening boundary, header
// block, body, closing boundary). The body yields exactly its declared length or fails.
#include <cstring>

#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"

namespace {
constexpr const char* kCRLF = "\r\n";
// The URL error code of a request body stream that ran out (or ran over).
constexpr std::int64_t kRequestBodyStreamExhausted = -1021;
}

NKHTTPBodyPart::NKHTTPBodyPart() { transitionToNextPhase(); }

NKHTTPBodyPart::~NKHTTPBodyPart()
{
    if (inputStream_)
        inputStream_->close();
}

std::string NKHTTPBodyPart::stringForHeaders() const
{
    std::string text;
    for (const auto& [name, value] : headers)
        text += NSString::stringWithFormat("%@: %@%@", name, value, kCRLF);
    return text + kCRLF;
}

std::string NKHTTPBodyPart::textForPhase(Phase phase) const
{
    switch (phase) {
    case EncapsulationBoundary:
        return hasInitialBoundary ? NSString::stringWithFormat("--%@%@", boundary, kCRLF)
                                  : NSString::stringWithFormat("%@--%@%@", kCRLF, boundary, kCRLF);
    case Header:
        return stringForHeaders();
    case FinalBoundary:
        return hasFinalBoundary ? NSString::stringWithFormat("%@--%@--%@", kCRLF, boundary, kCRLF) : std::string();
    default:
        return {};
    }
}

std::uint64_t NKHTTPBodyPart::contentLength() const
{
    auto encodedLength = [&](Phase phase) -> std::uint64_t {
        return NSString::dataUsingEncoding(textForPhase(phase), stringEncoding).value_or(Bytes {}).size();
    };
    return encodedLength(EncapsulationBoundary) + encodedLength(Header) + bodyContentLength + encodedLength(FinalBoundary);
}

bool NKHTTPBodyPart::hasBytesAvailable() const { return !finished_; }

std::shared_ptr<NSInputStream> NKHTTPBodyPart::inputStream()
{
    if (inputStream_)
        return inputStream_;
    if (body.data)
        inputStream_ = NSInputStream::inputStreamWithData(*body.data);
    else if (body.fileURL)
        inputStream_ = NSInputStream::inputStreamWithFileAtPath(body.fileURL->path());
    else if (body.stream)
        inputStream_ = body.stream;
    else
        inputStream_ = NSInputStream::inputStreamWithData({});
    return inputStream_;
}

void NKHTTPBodyPart::transitionToNextPhase()
{
    switch (phase_) {
    case BeforeInit:
        phase_ = EncapsulationBoundary;
        break;
    case FinalBoundary:
        phase_ = EncapsulationBoundary;
        finished_ = true;
        break;
    case EncapsulationBoundary:
        phase_ = Header;
        break;
    case Header:
        // The body stream is opened by the thread that reads the body.
        inputStream()->open();
        phase_ = BodyPhase;
        break;
    case BodyPhase:
        inputStream()->close();
        phase_ = FinalBoundary;
        break;
    }
    phaseReadOffset_ = 0;
}

void NKHTTPBodyPart::failWith(std::string reason)
{
    error_ = NSError::errorWithDomain(NKURLRequestSerializationErrorDomain, kRequestBodyStreamExhausted,
        Value::dictionary({ { NSLocalizedDescriptionKey, Value("Multipart body part does not match its declared length") },
            { NSLocalizedFailureReasonErrorKey, Value(std::move(reason)) } }));
}

std::int64_t NKHTTPBodyPart::readText(Phase phase, std::uint8_t* buffer, std::size_t length)
{
    Bytes text = NSString::dataUsingEncoding(textForPhase(phase), stringEncoding).value_or(Bytes {});
    std::uint64_t left = text.size() - std::min<std::uint64_t>(phaseReadOffset_, text.size());
    std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, length));
    if (count > 0)
        std::memcpy(buffer, text.data() + phaseReadOffset_, count);
    phaseReadOffset_ += count;
    if (phaseReadOffset_ >= text.size())
        transitionToNextPhase();
    return static_cast<std::int64_t>(count);
}

bool NKHTTPBodyPart::bodyEndsHere(NSInputStream& stream)
{
    std::uint8_t probe;
    std::int64_t got = stream.read(&probe, 1);
    if (got > 0) {
        failWith(NSString::stringWithFormat("The part's body is longer than its %llu bytes", bodyContentLength));
        return false;
    }
    if (got < 0) {
        error_ = stream.streamError();
        if (!error_)
            failWith("The part's stream failed");
        return false;
    }
    return true;
}

std::int64_t NKHTTPBodyPart::readBody(std::uint8_t* buffer, std::size_t length)
{
    auto stream = inputStream();
    std::uint64_t remaining = bodyContentLength - bodyBytesRead_;
    std::int64_t got = 0;
    if (remaining > 0) {
        if (length == 0)
            return 0;
        got = stream->read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(remaining, length)));
        if (got < 0) {
            error_ = stream->streamError();
            if (!error_)
                failWith("The part's stream failed");
            return -1;
        }
        if (got == 0) {
            failWith(NSString::stringWithFormat(
                "The part's body ended after %llu of %llu bytes", bodyBytesRead_, bodyContentLength));
            return -1;
        }
        bodyBytesRead_ += static_cast<std::uint64_t>(got);
        if (bodyBytesRead_ < bodyContentLength)
            return got;
    }
    if (!bodyEndsHere(*stream))
        return -1;
    transitionToNextPhase();
    return got;
}

std::int64_t NKHTTPBodyPart::read(std::uint8_t* buffer, std::size_t length)
{
    std::size_t total = 0;
    if (phase_ == EncapsulationBoundary)
        total += static_cast<std::size_t>(readText(EncapsulationBoundary, buffer + total, length - total));
    if (phase_ == Header)
        total += static_cast<std::size_t>(readText(Header, buffer + total, length - total));
    if (phase_ == BodyPhase) {
        std::int64_t got = readBody(buffer + total, length - total);
        if (got < 0)
            return -1;
        total += static_cast<std::size_t>(got);
    }
    if (phase_ == FinalBoundary)
        total += static_cast<std::size_t>(readText(FinalBoundary, buffer + total, length - total));
    return static_cast<std::int64_t>(total);
}

std::unique_ptr<NKHTTPBodyPart> NKHTTPBodyPart::copy() const
{
    if (body.stream)
        return nullptr;
    auto part = std::make_unique<NKHTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->headers = headers;
    part->bodyContentLength = bodyContentLength;
    part->body = body;
    part->boundary = boundary;
    return part;
}
