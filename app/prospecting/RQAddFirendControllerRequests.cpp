// The lead import screen's requests: provinces, cities and number ranges with their pickers,
// the page of numbers with its checks and its reply, and paging.
#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/prospecting/Paging.h"
#include "app/prospecting/RQAddFirendController.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"
#include "ui/PGProgressHUD.h"

namespace {

constexpr const char* kDistricts = "district/listSubDistrict.do";
constexpr const char* kSections = "data/listSection.do";
constexpr const char* kPhones = "data/listPhone.do";

} // namespace

void RQAddFirendController::showMessage(const std::string& text) { PGProgressHUD::showSuccess(text, view()); }

std::int64_t RQAddFirendController::sizeValue() const
{
    return pageCounts_ ? NSString::integerValue(pageCounts_->text()) : 0;
}

void RQAddFirendController::requestList(const std::string& path, const Value& params,
    std::function<void(const Self&, const Value&)> use)
{
    NSLog("param:%@", params);
    auto self = sharedAs<RQAddFirendController>();
    auto success = [self, use = std::move(use)](const Value& reply) {
        NSLog("%@", reply);
        auto status = app::replyStatus(reply);
        if (status == 1) {
            const Value& info = app::replyInfo(reply);
            if (info.isArray())
                use(self, info);
            return;
        }
        if (status == 0)
            self->showMessage(app::refusalText(reply));
    };
    ZHHttpTool::postWithURL(app::dataServerURL(path), params, std::move(success), [self](const NSErrorRef&) {
        self->showMessage("出错");
    });
}

void RQAddFirendController::getAieraList()
{
    requestList(kDistricts, Value::dictionary(), [](const Self& self, const Value& info) { self->shengList_ = info; });
}

void RQAddFirendController::getHaoUdan()
{
    requestList(kSections, Value::dictionary(), [](const Self& self, const Value& info) { self->zhanShiHaoDuan(info); });
}

void RQAddFirendController::zhanShi(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    switch (sender->tag()) {
    case 0:
        if (shengList_)
            addShengLists(shengList_);
        return;
    case 1:
        if (!shengId_)
            return showMessage("获取数据失败");
        requestList(kDistricts, Value::dictionary({ { "parentId", *shengId_ } }),
            [](const Self& self, const Value& info) { self->zhanShiCity(info); });
        return;
    case 2:
        getHaoUdan();
        return;
    default:
        return;
    }
}

void RQAddFirendController::addShengLists(const Value& list) { showPicker(PickerKind::Province, list); }

void RQAddFirendController::zhanShiCity(const Value& list) { showPicker(PickerKind::City, list); }

void RQAddFirendController::zhanShiHaoDuan(const Value& list) { showPicker(PickerKind::Range, list); }

std::shared_ptr<YDMoreStytleView>& RQAddFirendController::pickerSlot(PickerKind kind)
{
    switch (kind) {
    case PickerKind::Province:
        return listShu_;
    case PickerKind::City:
        return listType_;
    case PickerKind::Range:
        break;
    }
    return haoduan_;
}

void RQAddFirendController::showPicker(PickerKind kind, const Value& list)
{
    auto& slot = pickerSlot(kind);
    if (slot)
        return;
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    std::string type = kind == PickerKind::Range ? "haoduan" : "leixing";
    auto picker = YDMoreStytleView::initWithFrame(CGRectMake(0, 0, screen.width, screen.height), list, list, type);
    picker->setType(type);
    std::weak_ptr<RQAddFirendController> weakSelf = sharedAs<RQAddFirendController>();
    std::weak_ptr<YDMoreStytleView> weakPicker = picker;
    picker->setTapActionBlock([weakSelf, weakPicker, kind](const std::string& title, const std::string& identifier) {
        if (auto self = weakSelf.lock())
            self->choose(kind, weakPicker.lock(), title, identifier);
    });
    view()->addSubview(picker);
    slot = picker;
}

void RQAddFirendController::choose(PickerKind kind, const std::shared_ptr<YDMoreStytleView>& picker,
    const std::string& title, const std::string& identifier)
{
    switch (kind) {
    case PickerKind::Province:
        if (shengBtn_)
            shengBtn_->setTitle(title, UIControlStateNormal);
        shengTitle_ = title;
        shengId_ = identifier;
        NSLog("%@ %@", title, identifier);
        break;
    case PickerKind::City:
        if (shiBtn_)
            shiBtn_->setTitle(title, UIControlStateNormal);
        shiTitle_ = title;
        shiId_ = identifier;
        NSLog("%@   %@", title, identifier);
        break;
    case PickerKind::Range:
        if (haoBtn_)
            haoBtn_->setTitle(title, UIControlStateNormal);
        haoTitle_ = title;
        haoDuanId_ = identifier;
        break;
    }
    auto& slot = pickerSlot(kind);
    if (slot && slot == picker) {
        slot->removeFromSuperview();
        slot.reset();
    }
}

void RQAddFirendController::huoQuShouJiLieBiao()
{
    getPhoneNumbers(page(), shiId_, shengId_, pageCounts_ ? pageCounts_->text() : std::string());
}

std::optional<std::string> RQAddFirendController::sizeRefusal(std::int64_t size) const
{
    if (size > 50)
        return "一次只能最多获取50个号码";
    return std::nullopt;
}

void RQAddFirendController::getPhoneNumbers(std::int32_t page, const Text& cityId, const Text& proviceId, const std::string& pageSize)
{
    if (auto refusal = sizeRefusal(NSString::integerValue(pageSize)))
        return showMessage(*refusal);
    if (!proviceId)
        return showMessage("未选择省");
    if (!cityId)
        return showMessage("未选择城市");
    requestPhones(Value::dictionary({
        { "cityId", *cityId },
        { "proviceId", *proviceId },
        { "pageSize", pageSize },
        { "page", NSString::stringWithFormat("%d", page) },
        { "clientId", DVUUID::uuidForDevice() },
    }));
}

void RQAddFirendController::requestPhones(const Value& params)
{
    NSLog("param:%@", params);
    auto self = sharedAs<RQAddFirendController>();
    ZHHttpTool::postWithURL(app::dataServerURL(kPhones), params, [self](const Value& reply) { self->phonesArrived(reply); },
        [self](const NSErrorRef&) { self->showMessage("出错"); });
}

void RQAddFirendController::phonesArrived(const Value& reply)
{
    NSLog("%@", reply);
    NSLog("%@", app::replyMessage(reply));
    auto status = app::replyStatus(reply);
    if (status == 0)
        return showMessage(app::refusalText(reply));
    if (status != 1)
        return;

    listArray_.clear();
    mytableView()->reloadData();
    const Value& info = app::replyInfo(reply);
    counts_ = prospecting::boundedTotal(info["pageSize"].integerValue());
    const Value& items = info["listItems"];
    if (!items.isArray())
        return mytableView()->reloadData();
    for (const auto& item : items.asArray())
        listArray_.push_back(RQPhoneModel::initWithDic(item));
    if (listArray_.empty())
        return showEmptyLabel();
    if (orderLabel_)
        orderLabel_->setAlpha(0);
    mytableView()->reloadData();
}

void RQAddFirendController::showEmptyLabel()
{
    if (!orderLabel_) {
        CGSize screen = UIScreen::mainScreen()->bounds().size;
        orderLabel_ = UILabel::create(CGRectMake(0, screen.height / 2 - 30, screen.width, 21));
        orderLabel_->setText("没有相关数据");
        orderLabel_->setFont(UIFont::systemFontOfSize(17));
        orderLabel_->setTextAlignment(NSTextAlignmentCenter);
        orderLabel_->setTextColor(UIColor::grayColor());
        view()->addSubview(orderLabel_);
    }
    orderLabel_->setAlpha(1);
}

void RQAddFirendController::operHeaderButton(const std::shared_ptr<UIButton>& sender)
{
    if (!sender)
        return;
    auto count = prospecting::pageCount(counts_, sizeValue());
    switch (sender->tag()) {
    case 0:
        setPage(0);
        return huoQuShouJiLieBiao();
    case 1:
        setPage(prospecting::steppedPage(page(), -1));
        if (page() >= 0)
            return huoQuShouJiLieBiao();
        return showMessage("已经第一页了");
    case 2:
        setPage(prospecting::steppedPage(page(), 1));
        if (page() <= count.pages)
            return huoQuShouJiLieBiao();
        return showMessage("已经最后一页了");
    case 3:
        setPage(prospecting::boundedPage(count.quotient));
        return huoQuShouJiLieBiao();
    default:
        return;
    }
}
