// The About screen: its entries, the device identifier and the agent check.
#include "app/JZAboutController.h"

#include "app/DVUUID.h"
#include "app/JZShouQuanController.h"
#include "app/RQAppSpeakController.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIScreen.h"

namespace {

constexpr const char* kAgentCheck = "client/isAgent.do";

std::shared_ptr<UILabel> entryLabel(CGRect frame, const std::string& text)
{
    auto label = UILabel::create(frame);
    label->setText(text);
    label->setFont(UIFont::systemFontOfSize(16));
    return label;
}

std::shared_ptr<RQAppSpeakController> webScreen(std::string url, std::string title)
{
    auto screen = RQAppSpeakController::create();
    screen->setUrlStr(std::move(url));
    screen->setTitleName(std::move(title));
    return screen;
}

} // namespace

void JZAboutController::buildLayout()
{
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    backView_ = UIView::create(CGRectMake(0, 0, screen.width, screen.height));
    backView_->addSubview(entryLabel(CGRectMake(15, 210, 55, 35), "设备号:"));

    auto disclaimer = entryLabel(CGRectMake(15, 260, screen.width - 30, 44), "免责声明");
    backView_->addSubview(disclaimer);
    mianZheLabel_ = disclaimer;

    auto certificate = UIView::create(CGRectMake(15, 310, screen.width - 30, 44));
    certificate->addSubview(entryLabel(CGRectMake(0, 0, screen.width - 30, 44), "代理授权查询"));
    backView_->addSubview(certificate);
    shouQuanView_ = certificate;

    auto videos = UIView::create(CGRectMake(15, 360, screen.width - 30, 44));
    videos->addSubview(entryLabel(CGRectMake(0, 0, screen.width - 30, 44), "功能视频"));
    backView_->addSubview(videos);
    shiPinView_ = videos;
}

void JZAboutController::viewDidLoad()
{
    buildLayout();
    DDYPPartentsController::viewDidLoad();
    myTitle()->setText("关于");
    view()->addSubview(backView_);

    CGSize screen = UIScreen::mainScreen()->bounds().size;
    backView_->setFrame(CGRectMake(0, -170, screen.width, screen.height));

    // The identifier ends 10 points short of the screen's edge and breaks between any two
    // characters, so that all of it shows (a wider label would run past the edge and cut it).
    deviceLabel_ = UICopyLabel::initWithFrame(CGRectMake(70, 210, screen.width - 80, 35));
    deviceLabel_->setTextColor(UIColor::grayColor());
    deviceLabel_->setTextAlignment(NSTextAlignmentLeft);
    deviceLabel_->setNumberOfLines(0);
    deviceLabel_->setLineBreakMode(NSLineBreakByCharWrapping);
    deviceLabel_->setFont(UIFont::systemFontOfSize(13));
    deviceLabel_->setText(DVUUID::uuidForDevice());
    backView_->addSubview(deviceLabel_);

    std::weak_ptr<JZAboutController> weak = sharedAs<JZAboutController>();
    std::shared_ptr<UIView> entries[] = { mianZheLabel(), shouQuanView(), shiPinView() };
    for (NSInteger tag = 0; tag < 3; ++tag) {
        const auto& entry = entries[tag];
        entry->setUserInteractionEnabled(true);
        entry->setTag(tag);
        entry->addGestureRecognizer(
            UITapGestureRecognizer::create([weak](const std::shared_ptr<UIGestureRecognizer>& tap) {
                if (auto self = weak.lock())
                    self->mianZhe(tap);
            }));
    }

    CGRect frame = backView_->frame();
    frame.size.width = screen.width;
    backView_->setFrame(frame);

    panDuanShiFouShiDaiLi();
}

void JZAboutController::mianZhe(const std::shared_ptr<UIGestureRecognizer>& recognizer)
{
    auto tapped = recognizer ? recognizer->view() : nullptr;
    auto navigation = navigationController();
    if (!tapped || !navigation)
        return;
    switch (tapped->tag()) {
    case 0:
        return navigation->pushViewController(webScreen(app::dataServerURL("client/regDeclare.do"), "免责声明"), true);
    case 1:
        return navigation->pushViewController(JZShouQuanController::create(), true);
    case 2:
        return navigation->pushViewController(
            webScreen(app::dataServerURL("data/qryLearn.do") + "?type=1", "功能视频"), true);
    default:
        return;
    }
}

void JZAboutController::panDuanShiFouShiDaiLi()
{
    Value params = Value::dictionary();
    params.set("clientId", DVUUID::uuidForDevice());
    NSLog("param:%@", params);
    auto self = sharedAs<JZAboutController>();
    ZHHttpTool::postWithURL(
        app::dataServerURL(kAgentCheck), params, [self](const Value& reply) { self->agentReplied(reply); },
        [](const NSErrorRef& error) { NSLog("%@", Value(error)); });
}

void JZAboutController::agentReplied(const Value& reply)
{
    NSLog("%@", reply);
    NSLog("%@", app::replyMessage(reply));
    if (app::replyStatus(reply) != 1)
        return;
    userDicc_ = app::replyInfo(reply);

    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(CGRectMake(0, 0, 80, 20));
    button->setTitle("个人资料", UIControlStateNormal);
    button->setTintColor(UIColor::whiteColor());
    button->titleLabel()->setFont(UIFont::systemFontOfSize(15));
    button->addTarget(sharedAs<JZAboutController>(), &JZAboutController::userMsg, UIControlEventTouchUpInside);
    navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithCustomView(button));
}
