// NSException: the platform's exception, thrown as a C++ exception. Only code that the platform
// itself would raise from throws it; everything else reports NSError values.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/foundation/Value.h"

inline constexpr const char* NSInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* NSRangeException = "NSRangeException";
inline constexpr const char* NSInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* NSGenericException = "NSGenericException";

class NSException : public std::runtime_error {
public:
    NSException(std::string name, std::string reason, Value userInfo = {})
        : std::runtime_error(name + ": " + reason)
        , name_(std::move(name))
        , reason_(std::move(reason))
        , userInfo_(std::move(userInfo))
    {
    }

    [[noreturn]] static void raise(std::string name, std::string reason, Value userInfo = {})
    {
        throw NSException(std::move(name), std::move(reason), std::move(userInfo));
    }

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const Value& userInfo() const { return userInfo_; }

private:
    std::string name_;
    std::string reason_;
    Value userInfo_;
};
