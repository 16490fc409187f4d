// The home screen: device login, the category grid, address-book access and the tile taps.
#include "app/shell/RQMainController.h"

#include <atomic>

#include "app/BaseScreenLook.h"
#include "app/DVUUID.h"
#include "app/JZAboutController.h"
#include "app/RQWifiController.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/RQAddFirendController.h"
#include "app/prospecting/RQContryController.h"
#include "app/prospecting/RQHengYeControlller.h"
#include "app/prospecting/RQHuFenController.h"
#include "app/prospecting/RQJingZhunJiaFenController.h"
#include "app/prospecting/RQQunListController.h"
#include "image/UIImageView+WebCache.h"
#include "platform/addressbook/ABAddressBook.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/threading/Dispatch.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

void RQMainController::viewDidLoad()
{
    YZXNoBackControlller::viewDidLoad();
    loadApp();
    myTitle()->setText("首页");
    if (auto navigation = navigationController())
        navigation->navigationBar()->setBarTintColor(UIColor::colorWithRed(45 / 255.0, 119 / 255.0, 190 / 255.0, 1));
    std::weak_ptr<RQMainController> weak = sharedAs<RQMainController>();
    navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithTitle(
        "分享", UIBarButtonItemStylePlain, [weak](const std::shared_ptr<UIBarButtonItem>& item) {
            if (auto self = weak.lock())
                self->shareAction(item);
        }));
    listArray_.clear();
    customCollectionView();
    getFirsetMsg();
}

void RQMainController::loadApp()
{
    Value params = Value::dictionary({ { "clientId", DVUUID::uuidForDevice() } });
    NSLog("param:%@", params);
    ZHHttpTool::postWithURL(
        app::accountServerURL("client/login.do"), params,
        [](const Value& reply) {
            NSLog("%@", reply);
            NSLog("%@", app::replyMessage(reply));
            // A reply that is not an envelope says nothing about the login: only logged.
            if (!reply.isDictionary() || app::replyStatus(reply) == 1)
                return;
            auto alert = UIAlertView::initWithTitle(
                "提示", app::refusalText(reply), {}, "确定");
            alert->show();
        },
        [](const NSErrorRef& error) { NSLog("%@", Value(error)); });
}

void RQMainController::customCollectionView()
{
    CGRect screen = UIScreen::mainScreen()->bounds();
    auto layout = UICollectionViewFlowLayout::create();
    layout->setScrollDirection(UICollectionViewScrollDirectionVertical);
    collectionView_
        = UICollectionView::initWithFrame(CGRectMake(20, 0, screen.size.width - 40, screen.size.height), layout);
    collectionView_->setDataSource(sharedAs<RQMainController>());
    collectionView_->setDelegate(std::weak_ptr<UICollectionViewDelegate>(sharedAs<RQMainController>()));
    collectionView_->setShowsVerticalScrollIndicator(false);
    collectionView_->setShowsHorizontalScrollIndicator(false);
    collectionView_->setBackgroundColor(UIColor::clearColor());
    collectionView_->setAlwaysBounceVertical(true);
    collectionView_->setContentInset({ 150, 0, 0, 0 });
    collectionView_->registerClassForCellWithReuseIdentifier<RQClassCell>(kRQClassCellIdentifier);
    view()->addSubview(collectionView_);

    CGFloat gridWidth = collectionView_->frame().size.width;
    headImage_ = UIImageView::create(CGRectMake((gridWidth - 110) / 2, -130, 110, 110));
    headImage_->setImage(UIImage::imageNamed("toutou.png"));
    headImage_->layer()->setCornerRadius(3);
    headImage_->setClipsToBounds(true);
    collectionView_->addSubview(headImage_);
}

void RQMainController::getFirsetMsg()
{
    Value params = Value::dictionary();
    NSLog("param:%@", params);
    auto self = sharedAs<RQMainController>();
    ZHHttpTool::postWithURL(
        app::dataServerURL("home/index.do"), params, [self](const Value& reply) { self->categoriesArrived(reply); },
        [self](const NSErrorRef& error) {
            NSLog("%@", Value(error));
            PGProgressHUD::showSuccess("出错", self->view());
        });
}

void RQMainController::categoriesArrived(const Value& reply)
{
    NSLog("%@", reply);
    // A body that is not an envelope (not JSON, a bare array) is a failed request.
    if (!reply.isDictionary()) {
        PGProgressHUD::showSuccess("出错", view());
        return;
    }
    std::int64_t status = app::replyStatus(reply);
    if (status == 0) {
        PGProgressHUD::showSuccess(app::refusalText(reply), view());
        return;
    }
    if (status != 1)
        return;
    const Value& list = app::replyInfo(reply)["listCate"];
    if (!list.isArray()) {
        openRoot();
        collectionView_->reloadData();
        return;
    }
    for (auto& model : RQClassModel::listFrom(list))
        listArray_.push_back(std::move(model));
    if (!listArray_.empty()) {
        if (orderLabel_)
            orderLabel_->setAlpha(0);
        openRoot();
        collectionView_->reloadData();
        return;
    }
    if (!orderLabel_) {
        CGRect screen = UIScreen::mainScreen()->bounds();
        orderLabel_ = UILabel::create(CGRectMake(0, screen.size.height / 2 - 30, screen.size.width, 21));
        orderLabel_->setText("没有相关数据");
        orderLabel_->setFont(UIFont::systemFontOfSize(17));
        orderLabel_->setTextAlignment(NSTextAlignmentCenter);
        orderLabel_->setTextColor(UIColor::grayColor());
        view()->addSubview(orderLabel_);
    }
    orderLabel_->setAlpha(1);
}

void RQMainController::openRoot()
{
    auto addressBook = ABAddressBookCreate();
    // Before 6.0 the system has no access control for the address book: nothing to ask.
    if (UIDevice::currentDevice()->systemVersionNumber() < 6.0)
        return;
    ++accessRequests_;
    auto refused = std::make_shared<std::atomic<bool>>(false);
    auto semaphore = dispatch_semaphore_create(0);
    // The user answers the system's prompt on another thread; this (main) thread waits for it.
    ABAddressBookRequestAccessWithCompletion(addressBook, [refused, semaphore](bool granted, NSErrorRef) {
        if (!granted)
            refused->store(true);
        dispatch_semaphore_signal(semaphore);
    });
    dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    if (!refused->load())
        return;
    auto alert
        = UIAlertView::initWithTitle("温馨提示", "请您设置允许APP访问您的通讯录\nSettings>General>Privacy", {}, "确定");
    alert->show();
}

NSInteger RQMainController::collectionViewNumberOfItemsInSection(const std::shared_ptr<UICollectionView>&, NSInteger)
{
    auto n = static_cast<NSInteger>(listArray_.size());
    return n < 5 ? 0 : n - 4;
}

std::shared_ptr<UICollectionViewCell> RQMainController::collectionViewCellForItemAtIndexPath(
    const std::shared_ptr<UICollectionView>& collectionView, NSIndexPath indexPath)
{
    auto cell = std::dynamic_pointer_cast<RQClassCell>(
        collectionView->dequeueReusableCellWithReuseIdentifier(kRQClassCellIdentifier, indexPath));
    auto n = static_cast<NSInteger>(listArray_.size());
    NSLog("self.searchArr is %ld", static_cast<long>(n));
    if (!cell || indexPath.item() < 0 || indexPath.item() >= n)
        return cell;
    const auto& model = listArray_[static_cast<std::size_t>(indexPath.item())];
    wi_setImageWithURL(cell->tileImage(), NSURL::URLWithString(model->classIgUrl), UIImage::imageNamed("moren"));
    NSLog("%@", model->classNameStr);
    if (indexPath.item() == n - 5) {
        cell->tileLabel()->setText("图片");
        model->keyword = "图片";
        return cell;
    }
    cell->tileLabel()->setText(model->classNameStr);
    return cell;
}

CGSize RQMainController::collectionViewLayoutSizeForItemAtIndexPath(
    const std::shared_ptr<UICollectionView>& collectionView, const std::shared_ptr<UICollectionViewLayout>&,
    NSIndexPath)
{
    CGFloat w = (collectionView->frame().size.width - 10 - 20) / 4.2;
    return { w, w + 30 };
}

std::shared_ptr<UIViewController> RQMainController::screenForKeyword(const std::string& keyword)
{
    if (keyword == "2")
        return RQHuFenController::create();
    if (keyword == "1")
        return RQAddFirendController::create();
    if (keyword == "3")
        return RQQunListController::create();
    if (keyword == "4")
        return RQContryController::create();
    if (keyword == "5")
        return RQWifiController::create();
    if (keyword == "6")
        return RQHengYeControlller::create();
    if (keyword == "7")
        return RQJingZhunJiaFenController::create();
    if (keyword == "图片")
        return RQWifiController::create();
    if (keyword == "11")
        return JZAboutController::create();
    return nullptr;
}

void RQMainController::collectionViewDidSelectItemAtIndexPath(
    const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath)
{
    if (indexPath.item() < 0 || static_cast<std::size_t>(indexPath.item()) >= listArray_.size())
        return;
    const auto& model = listArray_[static_cast<std::size_t>(indexPath.item())];
    NSLog("%@", model->keyword);
    auto screen = screenForKeyword(model->keyword);
    auto navigation = navigationController();
    if (screen && navigation)
        navigation->pushViewController(screen, true);
}
