// NSError: a failure with a string domain, an integer code and a user-info dictionary.
// Errors are immutable and shared (std::shared_ptr<NSError>) so they can sit in a Value,
// as the underlying error of another error does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* NSOSStatusErrorDomain = "NSOSStatusErrorDomain";

inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* NSLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";
inline constexpr const char* NSUnderlyingErrorKey = "NSUnderlyingError";
inline constexpr const char* NSFilePathErrorKey = "NSFilePath";
inline constexpr const char* NSURLErrorKey = "NSURL";
inline constexpr const char* NSURLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
inline constexpr const char* NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
inline constexpr const char* NSDebugDescriptionErrorKey = "NSDebugDescription";

class NSError final : public NSObject {
public:
    static std::shared_ptr<NSError> errorWithDomain(std::string domain, std::int64_t code, Value userInfo = {});

    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }
    // Always a dictionary (empty when none was given).
    const Value& userInfo() const { return userInfo_; }
    // userInfo's NSLocalizedDescription, or "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    std::string localizedFailureReason() const { return userInfo_[NSLocalizedFailureReasonErrorKey].asString(); }
    // userInfo's NSUnderlyingError, or nullptr.
    std::shared_ptr<NSError> underlyingError() const;

    std::string description() const override;
    std::string className() const override { return "NSError"; }
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    NSError(std::string domain, std::int64_t code, Value userInfo);

private:
    std::string domain_;
    std::int64_t code_;
    Value userInfo_;
};

using NSErrorRef = std::shared_ptr<NSError>;
