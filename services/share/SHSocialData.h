// SHSocialData: the share library's application key and its share content objects. The shared
// default content ("SHSocialDefault") carries the per-platform settings (extConfig) and the URL
// resource that go with what the app shares.
//
// Setting the app key derives the library's request cipher key from it and, when a share
// server is configured (QUILLMARK_SHARE_ROOT, a root ending in "/"), asks it in the background
// for the app's platform settings, which are merged into platformSettings(). Without a server,
// or when it cannot be reached, the settings stay as they were.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "services/share/SHSocialExtConfig.h"

class SHSocialData final : public NSObject {
public:
    static void setAppKey(const std::string& appKey);
    static std::string appKey();
    // Sixteen lowercase hexadecimal digits derived from the app key ("" before one is set).
    static std::string cipherKey();
    // The settings merged from the share server's replies, by platform name.
    static Value platformSettings();
    // How many platform-settings requests went out and how many replies were merged.
    static int platformRequestsSent();
    static int platformRepliesMerged();

    static std::shared_ptr<SHSocialData> defaultData();
    static std::shared_ptr<SHSocialData> create(std::string identifier);
    // Forgets the key, the settings and the default content (tests).
    static void reset();

    std::string className() const override { return "SHSocialData"; }
    const std::string& identifier() const { return identifier_; }
    const std::shared_ptr<SHSocialExtConfig>& extConfig() const { return extConfig_; }
    std::shared_ptr<SHSocialUrlResource> urlResource() const { return urlResource_; }
    void setUrlResource(std::shared_ptr<SHSocialUrlResource> resource) { urlResource_ = std::move(resource); }

    explicit SHSocialData(std::string identifier)
        : identifier_(std::move(identifier))
    {
    }

private:
    std::string identifier_;
    std::shared_ptr<SHSocialExtConfig> extConfig_ = std::make_shared<SHSocialExtConfig>();
    std::shared_ptr<SHSocialUrlResource> urlResource_;
};

namespace share {
// Merges a share server's platform-settings reply ({"platforms": {name: settings}}); false, and
// nothing changes, for a body that is not such an object.
bool mergePlatformSettingsReply(const Bytes& body);
} // namespace share
