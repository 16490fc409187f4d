// Multipart form-data bodies that are never assembled in memory: the builder
// (NKStreamingMultipartFormData) collects parts, the body stream (NKMultipartBodyStream) produces
// the body part after part while the connection pulls bytes, and the request's Content-Length
// is computed beforehand from the parts' sizes. Each part (NKHTTPBodyPart) is read in four
// phases: opening boundary, header block, body, closing boundary. A part yields exactly its
// declared length: a body that ends early or runs long fails the read instead of breaking the
// framing of the request.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/StringEncoding.h"
#include "platform/network/NSStream.h"
#include "platform/network/NSURLRequest.h"

// What a multipart body block receives.
class NKMultipartFormData {
public:
    virtual ~NKMultipartFormData() = default;
    // File name from the URL, MIME type from its extension.
    virtual bool appendPartWithFileURL(const NSURL& fileURL, const std::string& name, NSErrorRef* error) = 0;
    virtual bool appendPartWithFileURL(const NSURL& fileURL, const std::string& name, const std::string& fileName,
        const std::string& mimeType, NSErrorRef* error) = 0;
    virtual void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
        const std::string& fileName, std::uint64_t length, const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(
        const Bytes& data, const std::string& name, const std::string& fileName, const std::string& mimeType) = 0;
    virtual void appendPartWithFormData(const Bytes& data, const std::string& name) = 0;
    // Headers in the order given.
    virtual void appendPartWithHeaders(std::vector<std::pair<std::string, std::string>> headers, const Bytes& body) = 0;
    virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};

class NKHTTPBodyPart {
public:
    // The body: bytes, a file, or a stream of the caller's.
    struct Body {
        std::optional<Bytes> data;
        std::optional<NSURL> fileURL;
        std::shared_ptr<NSInputStream> stream;
    };

    NKHTTPBodyPart();
    ~NKHTTPBodyPart();
    NKHTTPBodyPart(const NKHTTPBodyPart&) = delete;
    NKHTTPBodyPart& operator=(const NKHTTPBodyPart&) = delete;

    NSStringEncoding stringEncoding = NSUTF8StringEncoding;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string boundary;
    Body body;
    std::uint64_t bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    // Opening boundary + header block + body + closing boundary (last part only), in bytes.
    std::uint64_t contentLength() const;
    bool hasBytesAvailable() const;
    // Reads on through the phases: the count, or -1 when the body stream failed or yielded
    // another length than declared (see streamError()).
    std::int64_t read(std::uint8_t* buffer, std::size_t length);
    std::string stringForHeaders() const;
    std::shared_ptr<NSInputStream> inputStream();
    NSErrorRef streamError() const { return error_; }
    // A fresh part in its first phase; nullptr when its body is a caller's stream, which can be
    // read only once.
    std::unique_ptr<NKHTTPBodyPart> copy() const;

private:
    enum Phase { BeforeInit = 0, EncapsulationBoundary = 1, Header = 2, BodyPhase = 3, FinalBoundary = 4 };
    std::string textForPhase(Phase phase) const;
    std::int64_t readText(Phase phase, std::uint8_t* buffer, std::size_t length);
    std::int64_t readBody(std::uint8_t* buffer, std::size_t length);
    // True when the stream has nothing after the declared length.
    bool bodyEndsHere(NSInputStream& stream);
    void transitionToNextPhase();
    void failWith(std::string reason);

    Phase phase_ = BeforeInit;
    std::uint64_t phaseReadOffset_ = 0;
    std::uint64_t bodyBytesRead_ = 0;
    bool finished_ = false;
    std::shared_ptr<NSInputStream> inputStream_;
    NSErrorRef error_;
};

class NKMultipartBodyStream final : public NSInputStream {
public:
    explicit NKMultipartBodyStream(NSStringEncoding encoding) : stringEncoding_(encoding) { }
    std::string className() const override { return "NKMultipartBodyStream"; }

    void open() override;
    void close() override;
    std::int64_t read(std::uint8_t* buffer, std::size_t length) override;
    bool hasBytesAvailable() const override;
    NSStreamStatus streamStatus() const override;
    std::shared_ptr<NSError> streamError() const override;
    // A fresh stream over copies of the parts (for a body sent again); nullptr when a part's
    // body is a caller's stream.
    std::shared_ptr<NSInputStream> copyStream() const override;

    void appendHTTPBodyPart(std::unique_ptr<NKHTTPBodyPart> part);
    void setInitialAndFinalBoundaries();
    std::uint64_t contentLength() const;
    bool isEmpty() const { return parts_.empty(); }
    std::size_t partCount() const { return parts_.size(); }

    std::uint64_t numberOfBytesInPacket = INT64_MAX;
    double delay = 0;

private:
    NSStringEncoding stringEncoding_;
    std::vector<std::unique_ptr<NKHTTPBodyPart>> parts_;
    std::size_t next_ = 0;
    NKHTTPBodyPart* current_ = nullptr;
    NSErrorRef partError_;
};

class NKStreamingMultipartFormData final : public NKMultipartFormData {
public:
    NKStreamingMultipartFormData(std::shared_ptr<NSMutableURLRequest> request, NSStringEncoding encoding);

    bool appendPartWithFileURL(const NSURL& fileURL, const std::string& name, NSErrorRef* error) override;
    bool appendPartWithFileURL(const NSURL& fileURL, const std::string& name, const std::string& fileName,
        const std::string& mimeType, NSErrorRef* error) override;
    void appendPartWithInputStream(const std::shared_ptr<NSInputStream>& inputStream, const std::string& name,
        const std::string& fileName, std::uint64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(
        const Bytes& data, const std::string& name, const std::string& fileName, const std::string& mimeType) override;
    void appendPartWithFormData(const Bytes& data, const std::string& name) override;
    void appendPartWithHeaders(std::vector<std::pair<std::string, std::string>> headers, const Bytes& body) override;
    void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

    // The request with the body stream, "Content-Type" and "Content-Length"; unchanged when no
    // part was appended; nullptr for a builder made without a request.
    std::shared_ptr<NSMutableURLRequest> requestByFinalizingMultipartFormData();
    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<NKMultipartBodyStream>& bodyStream() const { return bodyStream_; }

private:
    void appendPart(std::vector<std::pair<std::string, std::string>> headers, NKHTTPBodyPart::Body body,
        std::uint64_t length);

    std::shared_ptr<NSMutableURLRequest> request_;
    NSStringEncoding stringEncoding_;
    std::string boundary_;
    std::shared_ptr<NKMultipartBodyStream> bodyStream_;
};

namespace net {
// "Boundary+%08X%08X" of two random 32-bit numbers.
std::string makeMultipartBoundary();
// The MIME type for a file name extension; "application/octet-stream" when unknown.
std::string mimeTypeForPathExtension(const std::string& extension);
// A name or file name as it goes between the double quotes of Content-Disposition: '"', CR and
// LF become %22, %0D and %0A, so no name can end the quoted text or start a header or a part.
std::string quotedDispositionValue(const std::string& text);
} // namespace net
