// NSURLResponse and NSHTTPURLResponse: what a load answered. The MIME type and text encoding
// come from Content-Type, the expected length from Content-Length (-1 when unknown).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/network/HeaderFields.h"

inline constexpr std::int64_t NSURLResponseUnknownLength = -1;

class NSURLResponse : public NSObject {
public:
    NSURLResponse(std::optional<NSURL> url, std::optional<std::string> mimeType, std::int64_t expectedContentLength,
        std::optional<std::string> textEncodingName);
    std::string className() const override { return "NSURLResponse"; }
    std::string description() const override;

    const std::optional<NSURL>& URL() const { return url_; }
    const std::optional<std::string>& MIMEType() const { return mimeType_; }
    std::int64_t expectedContentLength() const { return expectedLength_; }
    const std::optional<std::string>& textEncodingName() const { return textEncoding_; }
    // The file name from Content-Disposition, else the URL's last path component with an
    // extension for the MIME type, else "Unknown".
    virtual std::string suggestedFilename() const;

protected:
    std::optional<NSURL> url_;
    std::optional<std::string> mimeType_;
    std::int64_t expectedLength_;
    std::optional<std::string> textEncoding_;
};

class NSHTTPURLResponse : public NSURLResponse {
public:
    NSHTTPURLResponse(std::optional<NSURL> url, std::int64_t statusCode, std::string httpVersion, network::HeaderFields headers);
    static std::shared_ptr<NSHTTPURLResponse> create(
        const std::optional<NSURL>& url, std::int64_t statusCode, std::string httpVersion, const Value& headerFields);
    std::string className() const override { return "NSHTTPURLResponse"; }
    std::string description() const override;

    std::int64_t statusCode() const { return status_; }
    const std::string& HTTPVersion() const { return version_; }
    // A dictionary of strings; look names up through valueForHTTPHeaderField to ignore case.
    Value allHeaderFields() const { return headers_.dictionary(); }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const { return headers_.get(name); }
    const network::HeaderFields& headerFields() const { return headers_; }
    std::string suggestedFilename() const override;

    // "not found", "OK"... ; "server error" for unknown 5xx and so on by class.
    static std::string localizedStringForStatusCode(std::int64_t statusCode);

private:
    std::int64_t status_;
    std::string version_;
    network::HeaderFields headers_;
};

using NSURLResponseRef = std::shared_ptr<NSURLResponse>;

namespace network {

struct ContentType {
    std::optional<std::string> mimeType; // lower case
    std::optional<std::string> charset; // as given, unquoted
};
ContentType parseContentType(std::string_view value);
// The filename parameter of a Content-Disposition value.
std::optional<std::string> dispositionFilename(std::string_view value);

} // namespace network
