// The shared web page screen: its web view, spinner, loads and reloads.
#include "app/WebPageScreen.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "platform/network/NSURLRequest.h"
#include "platform/network/URLError.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace app {

void WebPageScreen::viewDidLoad()
{
    beforeBaseSetUp();
    DDYPPartentsController::viewDidLoad();
    showTitle();

    CGRect screen = UIScreen::mainScreen()->bounds();
    CGFloat height = view()->frame().size.height - 20 + 5;
    bunessWeb_ = UIWebView::initWithFrame(CGRectMake(0, 0, screen.size.width, height));
    bunessWeb_->setContentMode(UIViewContentModeScaleAspectFit);
    bunessWeb_->setDelegate(sharedAs<WebPageScreen>());
    view()->addSubview(bunessWeb_);

    activity_ = UIActivityIndicatorView::initWithActivityIndicatorStyle(UIActivityIndicatorViewStyleGray);
    activity_->setFrame(CGRectMake(screen.size.width / 2, screen.size.height / 2, 10, 10));
    bunessWeb_->addSubview(activity_);

    NSLog("%@", urlStr_);
    bunessWeb_->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(urlStr_)));
    afterLoadRequest();
}

void WebPageScreen::showTitle()
{
    myTitle()->setText(titleName_);
}

void WebPageScreen::viewWillAppear(bool animated)
{
    DDYPPartentsController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
    // No tab bar controller holds these screens, so there is no tab bar to hide.
    if (bunessWeb_)
        bunessWeb_->reload();
}

void WebPageScreen::webViewDidStartLoad(const std::shared_ptr<UIWebView>&)
{
    activity_->startAnimating();
}

void WebPageScreen::webViewDidFinishLoad(const std::shared_ptr<UIWebView>&)
{
    activity_->stopAnimating();
}

void WebPageScreen::webViewDidFailLoadWithError(const std::shared_ptr<UIWebView>&, const NSErrorRef& error)
{
    activity_->stopAnimating();
    if (error && error->code() == NSURLErrorCancelled)
        return;
    PGProgressHUD::showSuccess("出错", view());
}

} // namespace app
