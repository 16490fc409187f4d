// The share library's key, its cipher key, the platform settings from the share server and the
// default share content.
#include "services/share/SHSocialData.h"

#include <cstdio>
#include <cstdlib>

#include "platform/foundation/NSLog.h"
#include "platform/network/NSURLConnection.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/persistence/NSJSONSerialization.h"
#include "platform/security/CommonDigest.h"
#include "platform/threading/NSOperation.h"
#include "services/share/SHSocialPlatforms.h"

namespace {

struct LibraryState {
    std::mutex mutex;
    std::string appKey;
    std::string cipherKey;
    Value settings = Value::dictionary();
    int requestsSent = 0;
    int repliesMerged = 0;
    std::shared_ptr<SHSocialData> defaultData;
};

LibraryState& library()
{
    static LibraryState* s = new LibraryState; // replies may land while the process ends
    return *s;
}

std::string md5Hex(const std::string& text)
{
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    CC_MD5(text.data(), static_cast<CC_LONG>(text.size()), digest);
    std::string hex;
    for (unsigned char byte : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
}

std::shared_ptr<NSOperationQueue> requestQueue()
{
    static auto* queue = new std::shared_ptr<NSOperationQueue>([] {
        auto q = NSOperationQueue::create();
        q->setMaxConcurrentOperationCount(2);
        return q;
    }());
    return *queue;
}

// Asks the share server, when there is one, for the app's platform settings.
void requestPlatformSettings(const std::string& appKey)
{
    const char* root = std::getenv("QUILLMARK_SHARE_ROOT");
    if (!root || !*root)
        return;
    auto url = NSURL::URLWithString(std::string(root) + "share/platforms.do");
    if (!url) {
        NSLog("SHSocial----the share server root %@ is not a URL", root);
        return;
    }
    auto request = NSMutableURLRequest::requestWithURL(url, NSURLRequestUseProtocolCachePolicy, 15);
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    std::string body = "ak=" + appKey;
    request->setHTTPBody(Bytes(body.begin(), body.end()));
    {
        std::lock_guard lock(library().mutex);
        ++library().requestsSent;
    }
    NSURLConnection::sendAsynchronousRequest(request, requestQueue(),
        [](std::shared_ptr<NSURLResponse> response, std::optional<Bytes> data, std::shared_ptr<NSError> error) {
            auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
            if (error || !data || !http || http->statusCode() != 200) {
                NSLog("SHSocial----platform settings not fetched: %@", error ? Value(error) : Value("bad reply"));
                return;
            }
            share::mergePlatformSettingsReply(*data);
        });
}

} // namespace

namespace share {

bool mergePlatformSettingsReply(const Bytes& body)
{
    Value reply = NSJSONSerialization::JSONObjectWithData(body);
    const Value& platforms = reply["platforms"];
    if (!platforms.isDictionary())
        return false;
    std::lock_guard lock(library().mutex);
    for (const auto& [name, settings] : platforms.asDictionary())
        library().settings.set(name, settings);
    ++library().repliesMerged;
    return true;
}

} // namespace share

void SHSocialData::setAppKey(const std::string& appKey)
{
    {
        std::lock_guard lock(library().mutex);
        library().appKey = appKey;
        library().cipherKey = appKey.empty() ? std::string() : md5Hex(appKey).substr(0, 16);
    }
    if (appKey.empty())
        return;
    requestPlatformSettings(appKey);
}

std::string SHSocialData::appKey()
{
    std::lock_guard lock(library().mutex);
    return library().appKey;
}

std::string SHSocialData::cipherKey()
{
    std::lock_guard lock(library().mutex);
    return library().cipherKey;
}

Value SHSocialData::platformSettings()
{
    std::lock_guard lock(library().mutex);
    return library().settings;
}

int SHSocialData::platformRequestsSent()
{
    std::lock_guard lock(library().mutex);
    return library().requestsSent;
}

int SHSocialData::platformRepliesMerged()
{
    std::lock_guard lock(library().mutex);
    return library().repliesMerged;
}

std::shared_ptr<SHSocialData> SHSocialData::defaultData()
{
    std::lock_guard lock(library().mutex);
    if (!library().defaultData)
        library().defaultData = create("SHSocialDefault");
    return library().defaultData;
}

std::shared_ptr<SHSocialData> SHSocialData::create(std::string identifier)
{
    return std::make_shared<SHSocialData>(std::move(identifier));
}

void SHSocialData::reset()
{
    {
        std::lock_guard lock(library().mutex);
        library().appKey.clear();
        library().cipherKey.clear();
        library().settings = Value::dictionary();
        library().requestsSent = 0;
        library().repliesMerged = 0;
        library().defaultData.reset();
    }
    share::resetPlatforms();
}
