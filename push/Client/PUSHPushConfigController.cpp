// Reading and checking the push configuration.
#include "push/Client/PUSHPushConfigController.h"

#include <cstdio>

#include "platform/foundation/Format.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

constexpr const char* kGuide = "https://docs.push.brovik.org/guide/client/sdk-integration";
constexpr const char* kErrorTitle = "Push ERROR";

void reportError(const std::string& text)
{
    PUSHAlert(kErrorTitle, text + kGuide);
}

std::string noFileText()
{
    return "配置文件不存在。\n（有关配置文件的说明请参考开发文档“SDK集成步骤”第5条。";
}
std::string badFileText()
{
    return "配置文件错误。\n（有关配置文件的说明请参考开发文档“SDK集成步骤”第5条。";
}
std::string emptyKeyText()
{
    return "APP_KEY不能为空。\n（有关APP_KEY的说明请参考开发文档“SDK集成步骤”第5条。";
}
std::string invalidKeyText(const Value& key)
{
    return NSString::stringWithFormat(
        "“%@”不是合法的APP_KEY。\n（有关APP_KEY的说明请参考开发文档“SDK集成步骤”第5条。", key);
}

} // namespace

bool PUSHPushConfigController::isValidAppKey(const Value& appKey)
{
    if (!appKey.isString())
        return false;
    for (unsigned char c : appKey.asString()) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum)
            return false;
    }
    return true;
}

std::string PUSHPushConfigController::lowerCase(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool PUSHPushConfigController::takeAppKey(const Value& appKey)
{
    if (appKey.isNil() || (appKey.isString() && appKey.asString().empty())) {
        reportError(emptyKeyText());
        return false;
    }
    if (!isValidAppKey(appKey)) {
        reportError(invalidKeyText(appKey));
        return false;
    }
    applicationKey_ = lowerCase(appKey.asString());
    return true;
}

void PUSHPushConfigController::takeChannel(const Value& channel)
{
    const bool given = channel.isString() && !channel.asString().empty();
    pushChanel_ = given ? channel.asString() : std::string(kNoChannel);
}

bool PUSHPushConfigController::loadWithUrl(const std::optional<std::string>& path)
{
    if (!path) {
        reportError(noFileText());
        return false;
    }
    auto data = persistence::dataWithContentsOfFile(*path);
    return loadWithDictionary(data ? NSPropertyListSerialization::propertyListWithData(*data) : Value());
}

bool PUSHPushConfigController::loadWithDictionary(const Value& configuration)
{
    if (!configuration.isDictionary() || configuration.count() == 0) {
        reportError(badFileText());
        return false;
    }
    if (!takeAppKey(configuration["APP_KEY"]))
        return false;
    takeChannel(configuration["CHANNEL"]);

    const Value& production = configuration["APS_FOR_PRODUCTION"];
    configApsEnvironment_ = PUSHApsEnvironmentDevelopment;
    if (production.isString()) {
        const std::string& text = production.asString();
        if (text == "1")
            configApsEnvironment_ = PUSHApsEnvironmentProduction;
        else if (text != "0")
            PUSHAlert(
                NSString::stringWithFormat("Push WARNING\n Unkown string value for APS_FOR_PRODUCTION %@, default "
                                           "set to development aps evironment",
                    production),
                text);
    } else if (production.isNumber() || production.isBool()) {
        configApsEnvironment_ = production.boolValue() ? PUSHApsEnvironmentProduction : PUSHApsEnvironmentDevelopment;
    } else {
        std::fprintf(stderr, "%s\n",
            NSString::stringWithFormat(
                "Push WARNING\n Unkown value for APS_FOR_PRODUCTION %@, default set to development aps evironment",
                production)
                .c_str());
    }
    return true;
}

bool PUSHPushConfigController::setAppKey(const Value& appKey, const Value& channel, bool apsProduction)
{
    if (!takeAppKey(appKey))
        return false;
    takeChannel(channel);
    configApsEnvironment_ = apsProduction ? PUSHApsEnvironmentProduction : PUSHApsEnvironmentDevelopment;
    return true;
}
