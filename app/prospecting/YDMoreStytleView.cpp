// The drop-down picker: overlay, list and choice.
#include "app/prospecting/YDMoreStytleView.h"

#include "app/prospecting/RQPhoneModel.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"

namespace {

UIColor pickerGrey(double alpha) { return UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, alpha); }

std::shared_ptr<UILabel> rowLabel(CGRect frame, const std::string& text, double fontSize, const UIColor& color)
{
    auto label = UILabel::create(frame);
    label->setFont(UIFont::systemFontOfSize(fontSize));
    label->setTextColor(color);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setText(text);
    return label;
}

} // namespace

std::shared_ptr<YDMoreStytleView> YDMoreStytleView::initWithFrame(CGRect frame, const Value& data, const Value& imags,
    const std::string& type)
{
    auto picker = std::make_shared<YDMoreStytleView>(frame);
    picker->type_ = type;
    picker->imageArray_ = imags;
    picker->dataArray_ = data;

    CGSize screen = UIScreen::mainScreen()->bounds().size;
    picker->backdrop_ = UIView::create(CGRectMake(0, 0, screen.width, screen.height));
    picker->backdrop_->setBackgroundColor(pickerGrey(0.5));
    picker->backdrop_->setUserInteractionEnabled(true);
    picker->setUserInteractionEnabled(true);
    std::weak_ptr<YDMoreStytleView> weak = picker;
    picker->backdrop_->addGestureRecognizer(UITapGestureRecognizer::create([weak](const auto& recognizer) {
        if (auto strong = weak.lock())
            strong->removeMyOfView(recognizer);
    }));
    picker->addSubview(picker->backdrop_);

    auto arrow = UIImageView::withImage(UIImage::imageNamed("sanjiao"));
    arrow->setFrame(CGRectMake(frame.size.width - 36, 0, 15, 15));
    picker->addSubview(arrow);

    picker->addTableView(frame);
    return picker;
}

void YDMoreStytleView::addTableView(CGRect frame)
{
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    mytableView_ = UITableView::initWithFrame(CGRectMake(40, 40, screen.width - 80, frame.size.height - 120));
    mytableView_->setSeparatorColor(pickerGrey(0.2));
    mytableView_->setTableFooterView(UIView::create());
    mytableView_->layer()->setCornerRadius(3);
    mytableView_->setClipsToBounds(true);
    auto self = sharedAs<YDMoreStytleView>();
    mytableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    mytableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    addSubview(mytableView_);
}

std::string YDMoreStytleView::idKey() const
{
    if (type_ == "leixing")
        return "id";
    if (type_ == "haoduan")
        return "no";
    return "areaId";
}

void YDMoreStytleView::removeMyOfView(const std::shared_ptr<UIGestureRecognizer>&)
{
    if (tapAction_)
        tapAction_(" ", "");
}

NSInteger YDMoreStytleView::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger)
{
    return static_cast<NSInteger>(dataArray_.isArray() ? dataArray_.count() : 0);
}

CGFloat YDMoreStytleView::tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath)
{
    return isListKind() ? 44 : 88;
}

std::shared_ptr<UITableViewCell> YDMoreStytleView::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath)
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setTag(indexPath.row);
    const Value& item = dataArray_[static_cast<std::size_t>(indexPath.row)];
    double width = tableView->bounds().size.width - 20;
    auto content = cell->contentView();
    content->addSubview(rowLabel(CGRectMake(14, 0, width, 44), prospecting::textOf(item[titleKey()]), 17, UIColor::blackColor()));
    if (!isListKind())
        content->addSubview(rowLabel(CGRectMake(14, 44, width, 44), prospecting::textOf(item["keyword"]), 15, UIColor::grayColor()));
    return cell;
}

void YDMoreStytleView::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    auto self = sharedAs<YDMoreStytleView>(); // the owner may let go of the picker in its block
    removeFromSuperview();
    if (!tapAction_)
        return;
    const Value& item = dataArray_[static_cast<std::size_t>(indexPath.row)];
    auto action = tapAction_;
    action(prospecting::textOf(item[titleKey()]), prospecting::textOf(item[idKey()]));
}
