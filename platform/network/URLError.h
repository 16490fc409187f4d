// Errors of the URL loading system: the codes of the URL error domain and the error they make,
// with the failing URL in the user info.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"

enum NSURLErrorCode : std::int64_t {
    NSURLErrorUnknown = -1,
    NSURLErrorCancelled = -999,
    NSURLErrorBadURL = -1000,
    NSURLErrorTimedOut = -1001,
    NSURLErrorUnsupportedURL = -1002,
    NSURLErrorCannotFindHost = -1003,
    NSURLErrorCannotConnectToHost = -1004,
    NSURLErrorNetworkConnectionLost = -1005,
    NSURLErrorDNSLookupFailed = -1006,
    NSURLErrorHTTPTooManyRedirects = -1007,
    NSURLErrorResourceUnavailable = -1008,
    NSURLErrorNotConnectedToInternet = -1009,
    NSURLErrorRedirectToNonExistentLocation = -1010,
    NSURLErrorBadServerResponse = -1011,
    NSURLErrorUserCancelledAuthentication = -1012,
    NSURLErrorUserAuthenticationRequired = -1013,
    NSURLErrorZeroByteResource = -1014,
    NSURLErrorCannotDecodeRawData = -1015,
    NSURLErrorCannotDecodeContentData = -1016,
    NSURLErrorCannotParseResponse = -1017,
    NSURLErrorRequestBodyStreamExhausted = -1021,
    NSURLErrorDataLengthExceedsMaximum = -1103,
    NSURLErrorCannotCreateFile = -3000,
    NSURLErrorCannotWriteToFile = -3003,
    NSURLErrorSecureConnectionFailed = -1200,
    NSURLErrorServerCertificateHasBadDate = -1201,
    NSURLErrorServerCertificateUntrusted = -1202,
    NSURLErrorServerCertificateHasUnknownRoot = -1203,
    NSURLErrorServerCertificateNotYetValid = -1204,
};

namespace network {

// The system's description of a code ("cancelled", "The request timed out."...).
std::string describeURLError(std::int64_t code);
// An error of the URL error domain with its description and, when given, the failing URL
// (under both the URL key and the string key).
std::shared_ptr<NSError> urlError(std::int64_t code, const std::optional<NSURL>& failingURL, std::string detail = {});
// `info` with the failing URL added under both the URL key and the string key, when there is one.
Value withFailingURL(Value info, const std::optional<NSURL>& failingURL);

} // namespace network
