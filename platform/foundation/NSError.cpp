// NSError: construction, descriptions and equality.
#include "platform/foundation/NSError.h"

NSError::NSError(std::string domain, std::int64_t code, Value userInfo)
    : domain_(std::move(domain))
    , code_(code)
    , userInfo_(userInfo.isDictionary() ? std::move(userInfo) : Value::dictionary())
{
}

std::shared_ptr<NSError> NSError::errorWithDomain(std::string domain, std::int64_t code, Value userInfo)
{
    return std::make_shared<NSError>(std::move(domain), code, std::move(userInfo));
}

std::string NSError::localizedDescription() const
{
    const Value& text = userInfo_[NSLocalizedDescriptionKey];
    if (text.isString())
        return text.asString();
    return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::shared_ptr<NSError> NSError::underlyingError() const
{
    return userInfo_[NSUnderlyingErrorKey].asObject<NSError>();
}

std::string NSError::description() const
{
    return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription()
        + "\" UserInfo=" + userInfo_.description();
}

bool NSError::isEqual(const NSObject& other) const
{
    auto e = dynamic_cast<const NSError*>(&other);
    return e && e->domain_ == domain_ && e->code_ == code_ && e->userInfo_ == userInfo_;
}

std::size_t NSError::hash() const
{
    return std::hash<std::string> {}(domain_) ^ static_cast<std::size_t>(code_);
}
