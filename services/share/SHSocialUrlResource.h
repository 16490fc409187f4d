// SHSocialUrlResource: a resource that goes with shared content by its URL (an image, a video
// or music), of one of the share library's resource kinds.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"

enum SHSocialUrlResourceType : int {
    SHSocialUrlResourceTypeDefault = 0,
    SHSocialUrlResourceTypeImage = 1,
    SHSocialUrlResourceTypeVideo = 2,
    SHSocialUrlResourceTypeMusic = 3,
};

class SHSocialUrlResource final : public NSObject {
public:
    // Nothing when the type is 0.
    static std::shared_ptr<SHSocialUrlResource> initWithSnsResourceType(int resourceType, const std::string& url);
    std::string className() const override { return "SHSocialUrlResource"; }

    int resourceType() const { return resourceType_; }
    const std::string& url() const { return url_; }

    SHSocialUrlResource(int resourceType, std::string url)
        : resourceType_(resourceType)
        , url_(std::move(url))
    {
    }

private:
    int resourceType_;
    std::string url_;
};
