// JTJsonBase: what the JSON parser, the writer and their facade share: the trace of the errors
// of the last call, and the nesting depth with its limit. Every change of the trace is announced
// to key-value observers of "errorTrace".
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/threading/KeyValueObserving.h"

inline constexpr const char* JTJsonErrorDomain = "org.tellowick.JSON.ErrorDomain";

namespace net {

// The codes of JTJsonErrorDomain.
enum JsonErrorCode : std::int64_t {
    JsonErrorUnsupportedValue = 1, // a value the writer can't write
    JsonErrorBadNumber = 2,
    JsonErrorUnexpectedText = 3,
    JsonErrorNotContainer = 4, // a scalar where an object or array is required
    JsonErrorControlCharacter = 5, // raw control character inside a string
    JsonErrorBadUnicodeEscape = 6,
    JsonErrorTooDeep = 7,
    JsonErrorIllegalEscape = 8,
    JsonErrorTrailingComma = 9,
    JsonErrorGarbageAfterValue = 10,
    JsonErrorEndOfInput = 11,
    JsonErrorNoInput = 12,
};

} // namespace net

class JTJsonBase : public NSObject, public threading::KeyValueObservable {
public:
    // The nesting never goes beyond this, whatever maxDepth says (0 included): parsing, writing
    // and destroying values all recurse once per level, and deeper input must not be able to
    // exhaust the stack.
    static constexpr std::uint64_t hardDepthLimit = 1024;

    JTJsonBase() = default;
    ~JTJsonBase() override;

    std::string className() const override { return "JTJsonBase"; }
    // "errorTrace" gives the trace, for the "new" and "old" of change notifications.
    Value valueForKey(const std::string& key) const override;

    // The deepest nesting allowed; 0 means no limit of the caller's (hardDepthLimit still holds).
    std::uint64_t maxDepth() const { return maxDepth_; }
    void setMaxDepth(std::uint64_t maxDepth) { maxDepth_ = maxDepth; }

    // The errors of the last call, innermost first: absent after a success, else an array of
    // NSError objects, each holding the one before it as its underlying error. The last one
    // describes the failure from the outermost level.
    const Value& errorTrace() const { return errorTrace_; }

    // Appends an error of JTJsonErrorDomain whose underlying error is the trace's last one.
    void addErrorWithCode(std::int64_t code, std::string description);
    // Drops the trace: it becomes absent, not an empty array.
    void clearErrorTrace();

protected:
    // The trace's last error, or nullptr.
    NSErrorRef lastError() const;
    void setErrorTrace(Value trace);

    // Enters one more level of nesting; false (with error 7) when that goes too deep.
    bool enterLevel();
    void leaveLevel() { --depth_; }

    std::uint64_t depth_ = 0;

private:
    void dropErrorTrace();

    Value errorTrace_;
    std::uint64_t maxDepth_ = 512;
};
