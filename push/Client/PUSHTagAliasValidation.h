// Checks of the tags and alias an application gives: which characters are allowed, how long
// each may be and how many there may be, with the result codes the application receives.
// Tags are an array of distinct strings (the set the application gave); anything else is
// refused as not a set.
#pragma once

#include <string>

#include "platform/foundation/Value.h"

enum PUSHTagAliasResultCode : int {
    PUSHTagAliasSucceeded = 0,
    PUSHTagAliasNothingGiven = 6001,
    PUSHTagAliasTimedOut = 6002,
    PUSHTagAliasInvalidAlias = 6003,
    PUSHTagAliasAliasTooLong = 6004,
    PUSHTagAliasInvalidTags = 6005,
    PUSHTagAliasTagTooLong = 6006,
    PUSHTagAliasTooManyTags = 6007,
    PUSHTagAliasTagsTooLong = 6008,
};

class PUSHTagAliasValidation {
public:
    static constexpr std::size_t kMaxBytes = 40;
    static constexpr std::size_t kMaxTags = 100;
    static constexpr std::size_t kMaxTotalBytes = 1000;

    PUSHTagAliasValidation() = delete;

    // First failure wins; absent tags or alias are not checked; both absent gives 6001.
    static int validateTagsAlias(const Value& tags, const Value& alias);
    static int validateTags(const Value& tags);
    static int validateAlias(const Value& alias);
    // The valid tags, in order, at most 100 and at most 1000 UTF-8 bytes together; absent for
    // anything but a set.
    static Value filterValidTags(const Value& tags);
};

namespace push_client {

// Every UTF-16 unit is 0-9, A-Z, a-z, "_" or U+4E00...U+9FFF; the empty string passes and text
// that is not UTF-8 fails.
bool isValidTagAlias(const std::string& text);

} // namespace push_client
