// The agent-certificate lookup screen.
#include "app/JZShouQuanController.h"

#include "app/SNAppSpeakController.h"
#include "app/ServerRoots.h"
#include "platform/foundation/NSCharacterSet.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace app {

std::string agentCertificateURL(const std::string& account)
{
    // The unreserved characters stand for themselves; everything else is escaped.
    static const NSCharacterSet unreserved = NSCharacterSet::characterSetWithCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    return NSString::stringWithFormat("%@%@?agentNo=%@", dataServerRoot(), std::string("data/qryAgent.do"),
        NSString::stringByAddingPercentEncodingWithAllowedCharacters(account, unreserved));
}

} // namespace app

void JZShouQuanController::buildLayout()
{
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    backView_ = UIView::create(CGRectMake(0, 0, screen.width, screen.height));

    auto field = UITextField::create(CGRectMake(20, 30, screen.width - 40, 40));
    field->setPlaceholder("代理聊天号");
    backView_->addSubview(field);
    dlLiaoTianHao_ = field;

    lookButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    lookButton_->setFrame(CGRectMake(20, 90, screen.width - 40, 40));
    lookButton_->setTitle("查询", UIControlStateNormal);
    lookButton_->addTarget(
        sharedAs<JZShouQuanController>(), &JZShouQuanController::lookAction, UIControlEventTouchUpInside);
    backView_->addSubview(lookButton_);
}

void JZShouQuanController::viewDidLoad()
{
    buildLayout();
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText("授权");
    view()->addSubview(backView_);
}

void JZShouQuanController::lookShouQuan()
{
    auto field = dlLiaoTianHao();
    std::string account = field ? field->text() : std::string();
    if (account.empty())
        return PGProgressHUD::showSuccess("请填写代理聊天号", view());

    auto page = SNAppSpeakController::create();
    page->setUrlStr(app::agentCertificateURL(account));
    page->setTitleName("授权证书");
    if (auto navigation = navigationController())
        navigation->pushViewController(page, true);
}
