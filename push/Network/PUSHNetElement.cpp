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

void PUSHNetElement::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeInt64(static_cast<std::int64_t>(uid_), kPUSHNetElementUidKey);
    coder.encodeInt64(static_cast<std::int64_t>(rid_), kPUSHNetElementRidKey);
    coder.encodeInt32(version_, kPUSHNetElementVersionKey);
    coder.encodeInt32(protocolType_, kPUSHNetElementProtocolTypeKey);
}

bool PUSHNetElement::initWithCoder(NSCoder& coder)
{
    uid_ = static_cast<std::uint64_t>(coder.decodeInt64ForKey(kPUSHNetElementUidKey));
    rid_ = static_cast<std::uint64_t>(coder.decodeInt64ForKey(kPUSHNetElementRidKey));
    version_ = static_cast<std::uint8_t>(coder.decodeInt32ForKey(kPUSHNetElementVersionKey));
    protocolType_ = static_cast<std::uint8_t>(coder.decodeInt32ForKey(kPUSHNetElementProtocolTypeKey));
    return true;
}

void PUSHNetElement::copyElementFrom(const PUSHNetElement& other)
{
    version_ = other.version_;
    protocolType_ = other.protocolType_;
    rid_ = other.rid_;
    uid_ = other.uid_;
}
