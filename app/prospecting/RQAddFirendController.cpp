// The lead import screen's views: the top bar, the picker row and the number list.
#include "app/prospecting/RQAddFirendController.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"

namespace {

CGSize screenSize() { return UIScreen::mainScreen()->bounds().size; }

UIColor green() { return UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1); }

UIColor boxGrey(double alpha) { return UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, alpha); }

std::shared_ptr<UIButton> systemButton(CGRect frame, const std::string& title, const UIColor& background, CGFloat radius)
{
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->setBackgroundColor(background);
    button->setTintColor(UIColor::whiteColor());
    button->layer()->setCornerRadius(radius);
    button->setClipsToBounds(true);
    return button;
}

} // namespace

void RQAddFirendController::viewDidLoad()
{
    QPAllController::viewDidLoad();
    setPage(0);
    listArray_.clear();
    myTitle()->setText(screenTitle());
    buildTopBar();

    CGRect frame = mytableView()->frame();
    mytableView()->setFrame(CGRectMake(0, 60, frame.size.width, frame.size.height - 60));
    getAieraList();
}

void RQAddFirendController::buildTopBar()
{
    double width = screenSize().width;
    auto bar = UIView::create(CGRectMake(0, 0, width, 60));
    bar->setBackgroundColor(UIColor::colorWithRed(225 / 255.0, 225 / 255.0, 225 / 255.0, 1));
    view()->addSubview(bar);

    double buttonWidth = (width - 60) / 2;
    auto import = systemButton(CGRectMake(20, 10, buttonWidth, 40), "导入号码", green(), 3);
    auto clear = systemButton(CGRectMake(20 + buttonWidth + 20, 10, buttonWidth, 40), "清空电话本", green(), 3);
    buttonArray_.clear();
    for (const auto& [button, tag] : { std::pair { import, 0 }, std::pair { clear, 1 } }) {
        button->setTag(tag);
        button->addTarget(sharedAs<RQAddFirendController>(), &RQAddFirendController::daoRuAndRemove, UIControlEventTouchUpInside);
        bar->addSubview(button);
        buttonArray_.push_back(button);
    }
}

double RQAddFirendController::boxWidth() { return (screenSize().width - 60) / 2; }

CGRect RQAddFirendController::boxFrame(int column, int line)
{
    double w = boxWidth();
    return CGRectMake(20 + column * (w + 20), 10 + line * 50, w, 40);
}

std::shared_ptr<UIButton> RQAddFirendController::pickerBox(
    CGRect frame, const std::string& title, NSInteger tag, const Text& chosen)
{
    auto box = systemButton(frame, chosen.value_or(title), boxGrey(0.5), 3);
    box->setTag(tag);
    box->addTarget(sharedAs<RQAddFirendController>(), &RQAddFirendController::zhanShi, UIControlEventTouchUpInside);
    return box;
}

std::shared_ptr<UIButton> RQAddFirendController::sizeBox(CGRect frame)
{
    auto box = pickerBox(frame, "", 3);
    pageCounts_ = UITextField::create(CGRectMake(0, 0, frame.size.width, frame.size.height));
    pageCounts_->setTextColor(UIColor::whiteColor());
    pageCounts_->setTextAlignment(NSTextAlignmentCenter);
    pageCounts_->setText("20");
    box->addSubview(pageCounts_);
    return box;
}

void RQAddFirendController::addPickerBoxes(const std::shared_ptr<UIView>& content)
{
    shengBtn_ = pickerBox(boxFrame(0, 0), "省", 0, shengTitle_);
    shiBtn_ = pickerBox(boxFrame(1, 0), "市", 1, shiTitle_);
    haoBtn_ = pickerBox(boxFrame(0, 1), "号段", 2, haoTitle_);
    for (const auto& box : { shengBtn_, shiBtn_, haoBtn_, sizeBox(boxFrame(1, 1)) })
        content->addSubview(box);
}

std::shared_ptr<UITableViewCell> RQAddFirendController::pickerRowCell()
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    auto content = cell->contentView();
    addPickerBoxes(content);
    fetchBtn_ = systemButton(CGRectMake(20, 115, screenSize().width - 40, 40), "获取号码", green(), 3);
    fetchBtn_->addTarget(sharedAs<RQAddFirendController>(), &RQAddFirendController::huoQuShouJiLieBiao, UIControlEventTouchUpInside);
    content->addSubview(fetchBtn_);
    return cell;
}

std::shared_ptr<UIView> RQAddFirendController::numberHeader()
{
    double width = screenSize().width;
    auto header = UIView::create(CGRectMake(0, 0, width, 60));
    header->setBackgroundColor(boxGrey(0.2));
    struct Arrow {
        const char* image;
        double x;
    };
    const Arrow arrows[] = { { "zuodi", 30 }, { "zuo", 90 }, { "youdi", width - 70 }, { "you", width - 130 } };
    pagingButtons_.clear();
    for (int tag = 0; tag < 4; ++tag) {
        auto button = systemButton(CGRectMake(arrows[tag].x, 10, 40, 40), "", boxGrey(0.5), 20);
        button->setImage(UIImage::imageNamed(arrows[tag].image), UIControlStateNormal);
        button->setTag(tag);
        button->addTarget(sharedAs<RQAddFirendController>(), &RQAddFirendController::operHeaderButton, UIControlEventTouchUpInside);
        header->addSubview(button);
        pagingButtons_.push_back(button);
    }
    return header;
}

NSInteger RQAddFirendController::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger section)
{
    return section == 0 ? 1 : static_cast<NSInteger>(listArray_.size());
}

CGFloat RQAddFirendController::tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    return indexPath.section == 0 ? 170 : 44;
}

CGFloat RQAddFirendController::tableViewHeightForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger section)
{
    return section == 0 ? 0 : 60;
}

std::shared_ptr<UIView> RQAddFirendController::tableViewViewForHeaderInSection(const std::shared_ptr<UITableView>&, NSInteger section)
{
    if (section == 0)
        return nullptr;
    return numberHeader();
}

std::shared_ptr<UITableViewCell> RQAddFirendController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    if (indexPath.section == 0)
        return pickerRowCell();
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    auto row = static_cast<std::size_t>(indexPath.row);
    if (row < listArray_.size())
        cell->textLabel()->setText(prospecting::displayText(listArray_[row]->phoneName()));
    return cell;
}
