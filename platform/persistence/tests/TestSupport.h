// Small helpers the persistence tests share: bytes from text, and the error a failing call gives.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"

inline Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// Runs `call` with a fresh error out-parameter, expects it to fail, and gives its error
// (one no test expects, when it gave none).
template <typename Call>
NSErrorRef errorOf(Call call)
{
    NSErrorRef error;
    EXPECT_FALSE(call(&error)) << "the call succeeded";
    EXPECT_TRUE(error) << "the failure came without an error";
    return error ? error : NSError::errorWithDomain("none", -424242);
}
