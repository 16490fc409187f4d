// The share sheet over an action sheet, and the share a chosen platform makes.
#include "services/share/SHSocialSnsService.h"

#include <mutex>

#include "platform/foundation/NSLog.h"
#include "services/share/SHSocialData.h"
#include "services/share/SHSocialPlatforms.h"

namespace {

struct ServiceState {
    std::mutex mutex;
    int uses = 0;
    std::optional<SHSocialShare> last;
};

ServiceState& service()
{
    static ServiceState s;
    return s;
}

// One presented sheet: the content and the platforms behind its buttons.
class ShareSheet final : public NSObject, public UIActionSheetDelegate {
public:
    std::string className() const override { return "SHSocialShareSheet"; }
    void actionSheetClickedButtonAtIndex(const std::shared_ptr<UIActionSheet>& sheet, NSInteger index) override
    {
        auto self = sharedAs<ShareSheet>(); // the sheet holds us only weakly
        keepAlive.reset();
        auto delegate = this->delegate.lock();
        if (index == sheet->cancelButtonIndex() || index < 0 || static_cast<std::size_t>(index) >= platforms.size()) {
            if (delegate)
                delegate->didCloseShareSheet();
            return;
        }
        share.platformName = platforms[static_cast<std::size_t>(index)];
        if (auto data = SHSocialData::defaultData()->extConfig()->dataForPlatform(share.platformName)) {
            share.title = data->title();
            share.url = data->url();
        }
        NSLog("SHSocial----share to %@: %@", share.platformName, share.url);
        {
            std::lock_guard lock(service().mutex);
            service().last = share;
        }
        if (delegate)
            delegate->didFinishShare(share);
    }
    void actionSheetCancel(const std::shared_ptr<UIActionSheet>&) override { keepAlive.reset(); }

    std::vector<std::string> platforms;
    SHSocialShare share;
    std::weak_ptr<SHSocialUIDelegate> delegate;
    std::shared_ptr<ShareSheet> keepAlive; // until the sheet is answered
};

} // namespace

void SHSocialSnsService::presentSnsIconSheetView(const std::shared_ptr<UIViewController>& controller,
    const std::string& appKey, const std::string& shareText, const UIImageRef& shareImage,
    const std::vector<std::string>& shareToSnsNames, const std::shared_ptr<SHSocialUIDelegate>& delegate)
{
    {
        std::lock_guard lock(service().mutex);
        ++service().uses;
    }
    auto sheet = std::make_shared<ShareSheet>();
    sheet->keepAlive = sheet;
    sheet->delegate = delegate;
    sheet->share.appKey = appKey;
    sheet->share.text = shareText;
    sheet->share.hasImage = shareImage != nullptr;
    std::vector<std::string> titles;
    for (const auto& name : shareToSnsNames) {
        auto platform = share::platformNamed(name);
        if (!platform)
            continue;
        sheet->platforms.push_back(name);
        titles.push_back(platform->displayName);
    }
    auto actionSheet = UIActionSheet::initWithTitle("分享到", sheet, "取消", "", titles);
    actionSheet->showInView(controller ? controller->view() : nullptr);
}

int SHSocialSnsService::sheetUseCount()
{
    std::lock_guard lock(service().mutex);
    return service().uses;
}

std::optional<SHSocialShare> SHSocialSnsService::lastShare()
{
    std::lock_guard lock(service().mutex);
    return service().last;
}

void SHSocialSnsService::reset()
{
    std::lock_guard lock(service().mutex);
    service().uses = 0;
    service().last.reset();
}
