// The errors of the URL loading system.
#include "platform/network/URLError.h"

namespace network {

std::string describeURLError(std::int64_t code)
{
    switch (code) {
    case NSURLErrorCancelled: return "cancelled";
    case NSURLErrorRequestBodyStreamExhausted:
        return "The request body was already sent and cannot be sent again (after a redirect or an authentication "
               "challenge).";
    case NSURLErrorBadURL: return "unsupported URL";
    case NSURLErrorTimedOut: return "The request timed out.";
    case NSURLErrorUnsupportedURL: return "unsupported URL";
    case NSURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case NSURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case NSURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case NSURLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case NSURLErrorResourceUnavailable: return "resource unavailable";
    case NSURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case NSURLErrorBadServerResponse: return "The server returned a bad response.";
    case NSURLErrorUserCancelledAuthentication: return "The operation couldn’t be completed. (NSURLErrorDomain error -1012.)";
    case NSURLErrorCannotDecodeContentData: return "cannot decode raw data";
    case NSURLErrorCannotParseResponse: return "cannot parse response";
    case NSURLErrorDataLengthExceedsMaximum: return "resource exceeds maximum size";
    case NSURLErrorCannotCreateFile: return "cannot create file";
    case NSURLErrorCannotWriteToFile: return "cannot write to file";
    case NSURLErrorSecureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case NSURLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid. You might be connecting to a server that is pretending to be "
               "the server, which could put your confidential information at risk.";
    default: return "unknown error";
    }
}

std::shared_ptr<NSError> urlError(std::int64_t code, const std::optional<NSURL>& failingURL, std::string detail)
{
    Value userInfo = Value::dictionary();
    userInfo.set(NSLocalizedDescriptionKey, describeURLError(code));
    if (!detail.empty())
        userInfo.set(NSDebugDescriptionErrorKey, std::move(detail));
    return NSError::errorWithDomain(NSURLErrorDomain, code, withFailingURL(std::move(userInfo), failingURL));
}

Value withFailingURL(Value info, const std::optional<NSURL>& failingURL)
{
    if (failingURL) {
        info.set(NSURLErrorFailingURLErrorKey, failingURL->absoluteString());
        info.set(NSURLErrorFailingURLStringErrorKey, failingURL->absoluteString());
    }
    return info;
}

} // namespace network
