// SHSocialExtConfig: per-platform settings of one share content: for the messenger's chat and
// timeline, Buddy and BuddyZone a title and a link that replace the content's defaults there,
// and for the microblog a URL resource.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "services/share/SHSocialUrlResource.h"

// The title and link one platform shares.
class SHSocialPlatformShareData final : public NSObject {
public:
    std::string className() const override { return "SHSocialPlatformShareData"; }
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }

private:
    std::string title_;
    std::string url_;
};

class SHSocialMicroblogData final : public NSObject {
public:
    std::string className() const override { return "SHSocialMicroblogData"; }
    const std::shared_ptr<SHSocialUrlResource>& urlResource() const { return urlResource_; }
    void setUrlResource(std::shared_ptr<SHSocialUrlResource> resource) { urlResource_ = std::move(resource); }

private:
    std::shared_ptr<SHSocialUrlResource> urlResource_;
};

class SHSocialExtConfig final : public NSObject {
public:
    std::string className() const override { return "SHSocialExtConfig"; }
    const std::shared_ptr<SHSocialPlatformShareData>& messengerSessionData() const { return messengerSession_; }
    const std::shared_ptr<SHSocialPlatformShareData>& messengerTimelineData() const { return messengerTimeline_; }
    const std::shared_ptr<SHSocialPlatformShareData>& buddyData() const { return buddy_; }
    const std::shared_ptr<SHSocialPlatformShareData>& buddyZoneData() const { return buddyZone_; }
    const std::shared_ptr<SHSocialMicroblogData>& microblogData() const { return microblog_; }
    // The data of a platform by its name ("mgsession", "mgtimeline", "buddy", "buddyzone");
    // null for any other.
    std::shared_ptr<SHSocialPlatformShareData> dataForPlatform(const std::string& name) const;

private:
    std::shared_ptr<SHSocialPlatformShareData> messengerSession_ = std::make_shared<SHSocialPlatformShareData>();
    std::shared_ptr<SHSocialPlatformShareData> messengerTimeline_ = std::make_shared<SHSocialPlatformShareData>();
    std::shared_ptr<SHSocialPlatformShareData> buddy_ = std::make_shared<SHSocialPlatformShareData>();
    std::shared_ptr<SHSocialPlatformShareData> buddyZone_ = std::make_shared<SHSocialPlatformShareData>();
    std::shared_ptr<SHSocialMicroblogData> microblog_ = std::make_shared<SHSocialMicroblogData>();
};
