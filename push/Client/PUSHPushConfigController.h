// The push client's configuration: the application key (kept in lower case), the channel and
// the push environment the application asks for, read from its "PushConfig" property list or
// given in code. Errors are reported as "Push ERROR" alerts in the log.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

enum PUSHApsEnvironment : std::int32_t {
    PUSHApsEnvironmentUnset = 0,
    PUSHApsEnvironmentDevelopment = 1,
    PUSHApsEnvironmentProduction = 2,
};

class PUSHPushConfigController : public NSObject {
public:
    // The channel when none is given: the single character U+0010.
    static constexpr const char* kNoChannel = "\x10";

    static std::shared_ptr<PUSHPushConfigController> create() { return std::make_shared<PUSHPushConfigController>(); }

    // Reads the property list at `path` (none: no file); false after reporting what is wrong.
    bool loadWithUrl(const std::optional<std::string>& path);
    // The same checks on a configuration dictionary ("APP_KEY", "CHANNEL", "APS_FOR_PRODUCTION").
    bool loadWithDictionary(const Value& configuration);
    bool setAppKey(const Value& appKey, const Value& channel, bool apsProduction);

    // A string of ASCII letters and digits only (the empty string passes).
    static bool isValidAppKey(const Value& appKey);
    static std::string lowerCase(const std::string& text);

    std::int32_t configApsEnvironment() const { return configApsEnvironment_; }
    const std::string& applicationKey() const { return applicationKey_; }
    const std::string& pushChanel() const { return pushChanel_; }

    std::string className() const override { return "PUSHPushConfigController"; }

private:
    bool takeAppKey(const Value& appKey);
    void takeChannel(const Value& channel);

    std::int32_t configApsEnvironment_ = PUSHApsEnvironmentUnset;
    std::string applicationKey_;
    std::string pushChanel_;
};
