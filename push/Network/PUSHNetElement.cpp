// Header fields shared by requests and received packets.
#include "push/Network/PUSHNetElement.h"

#include "platform/foundation/Format.h"

Value PUSHNetElement::valueForKey(const std::string& key) const
{
    if (key == "rid")
        return Value(rid_);
    if (key == "uid")
        return Value(uid_);
    if (key == "version")
        return Value(static_cast<unsigned>(version_));
    if (key == "protocolType")
        return Value(static_cast<unsigned>(protocolType_));
    return {};
}

std::string PUSHNetElement::description() const
{
    return NSString::stringWithFormat("[PUSHNetElement] - version:%u, command:%u, rid:%llu, juid:%llu",
        static_cast<unsigned>(version_), static_cast<unsigned>(protocolType_), rid_, uid_);
}

void PUSHNetElement::copyElementFrom(const PUSHNetElement& other)
{
    version_ = other.version_;
    protocolType_ = other.protocolType_;
    rid_ = other.rid_;
    uid_ = other.uid_;
}
