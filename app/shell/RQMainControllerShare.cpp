// The home screen's share action: the app's link for each platform, the share image, the sheet.
#include "app/shell/RQMainController.h"

#include "app/ServerRoots.h"
#include "app/shell/AppDelegate.h"
#include "platform/network/NSURLConnection.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/NSURLResponse.h"
#include "platform/uikit/UIApplication.h"
#include "services/share/SHSocialData.h"
#include "ui/PGProgressHUD.h"

namespace {

// The share image waits on the main thread; a stalled server must not hold it for ever.
constexpr double kShareImageTimeout = 10;

UIImageRef fetchShareImage(const std::string& address)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(address));
    if (!request->URL())
        return nullptr;
    request->setTimeoutInterval(kShareImageTimeout);
    std::shared_ptr<NSURLResponse> response;
    std::shared_ptr<NSError> error;
    auto data = NSURLConnection::sendSynchronousRequest(request, &response, &error);
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (!data || error || (http && http->statusCode() != 200))
        return nullptr;
    return UIImage::imageWithData(*data);
}

} // namespace

void RQMainController::shareAction(const NSObjectRef& sender)
{
    shareBtnClicked(sender);
}

void RQMainController::shareBtnClicked(const NSObjectRef&)
{
    auto delegate = std::dynamic_pointer_cast<AppDelegate>(UIApplication::sharedApplication()->delegate());
    if (!delegate || !delegate->shAppKey) {
        PGProgressHUD::showSuccess("分享升级中...", view());
        return;
    }
    std::string link = app::dataServerURL("share.do");
    std::string imageAddress = app::dataServerURL("app/ic_launcher.png");
    auto config = SHSocialData::defaultData()->extConfig();
    for (const auto& data : { config->messengerSessionData(), config->messengerTimelineData(), config->buddyData(),
             config->buddyZoneData() }) {
        data->setUrl(link);
        data->setTitle("Quillmark升级版");
    }
    config->microblogData()->setUrlResource(
        SHSocialUrlResource::initWithSnsResourceType(SHSocialUrlResourceTypeImage, link));

    auto image = fetchShareImage(imageAddress);
    SHSocialSnsService::presentSnsIconSheetView(sharedAs<RQMainController>(), *delegate->shAppKey, "", image,
        { "mgsession", "mgtimeline", "buddyzone", "buddy" }, sharedAs<RQMainController>());
}
