// JTJsonBase: building the error trace and guarding the nesting depth.
#include "net/JTJsonBase.h"

#include <algorithm>

JTJsonBase::~JTJsonBase()
{
    dropErrorTrace(); // nobody can observe an object being destroyed
}

namespace {
const std::string kErrorTraceKey = "errorTrace";
}

Value JTJsonBase::valueForKey(const std::string& key) const
{
    return key == kErrorTraceKey ? errorTrace_ : Value();
}

void JTJsonBase::addErrorWithCode(std::int64_t code, std::string description)
{
    Value userInfo = Value::dictionary({ { NSLocalizedDescriptionKey, Value(std::move(description)) } });
    if (NSErrorRef previous = lastError())
        userInfo.set(NSUnderlyingErrorKey, Value(previous));
    Value error(NSError::errorWithDomain(JTJsonErrorDomain, code, std::move(userInfo)));
    willChangeValueForKey(kErrorTraceKey);
    errorTrace_.append(std::move(error));
    didChangeValueForKey(kErrorTraceKey);
}

void JTJsonBase::setErrorTrace(Value trace)
{
    willChangeValueForKey(kErrorTraceKey);
    errorTrace_ = std::move(trace);
    didChangeValueForKey(kErrorTraceKey);
}

void JTJsonBase::clearErrorTrace()
{
    willChangeValueForKey(kErrorTraceKey);
    dropErrorTrace();
    didChangeValueForKey(kErrorTraceKey);
}

void JTJsonBase::dropErrorTrace()
{
    // Each error holds the one before it, so releasing the trace front to back would free the
    // whole chain in one nested cascade from its last error. Back to front, every error still has
    // its predecessor held by the trace when it goes, and nothing nests.
    if (Value::Array* trace = errorTrace_.mutableArray()) {
        while (!trace->empty())
            trace->pop_back();
    }
    errorTrace_ = Value();
}

NSErrorRef JTJsonBase::lastError() const
{
    const Value::Array& trace = errorTrace_.asArray();
    return trace.empty() ? nullptr : trace.back().asObject<NSError>();
}

bool JTJsonBase::enterLevel()
{
    ++depth_;
    std::uint64_t limit = maxDepth_ == 0 ? hardDepthLimit : std::min(maxDepth_, hardDepthLimit);
    if (depth_ <= limit)
        return true;
    addErrorWithCode(net::JsonErrorTooDeep, "Nested too deep");
    return false;
}
