// Looking up a platform's share data by its name.
#include "services/share/SHSocialExtConfig.h"

std::shared_ptr<SHSocialPlatformShareData> SHSocialExtConfig::dataForPlatform(const std::string& name) const
{
    if (name == "mgsession")
        return messengerSession_;
    if (name == "mgtimeline")
        return messengerTimeline_;
    if (name == "buddy")
        return buddy_;
    if (name == "buddyzone")
        return buddyZone_;
    return nullptr;
}

std::shared_ptr<SHSocialUrlResource> SHSocialUrlResource::initWithSnsResourceType(
    int resourceType, const std::string& url)
{
    if (resourceType == SHSocialUrlResourceTypeDefault)
        return nullptr;
    return std::make_shared<SHSocialUrlResource>(resourceType, url);
}
