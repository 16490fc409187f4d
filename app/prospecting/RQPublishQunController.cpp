// The QR-code forms' views: the twins' texts, the rows and their fields.
#include "app/prospecting/RQPublishQunController.h"

#include "app/UICopyLabel.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIScreen.h"

namespace {

CGSize screenSize() { return UIScreen::mainScreen()->bounds().size; }

UIColor grey(double alpha) { return UIColor::colorWithRed(114 / 255.0, 114 / 255.0, 114 / 255.0, alpha); }

double labelLength(const std::string& label) { return static_cast<double>(NSString::length(label)); }

constexpr const char* kNote = "温馨提示:每个用户一次只能上传一个聊天群，审核通过后再群时效过后方能重新申请，"
                              "如发现有非聊天群或涉黄信息将不予通过，情节严重的将对软件进行封号处理";

} // namespace

const RQPublishQunController::FormKind& RQPublishQunController::formKind() const
{
    static const FormKind kind { { "群标题:", "二维码:", "省:", "城市:", "群主聊天:", "个人聊天号" }, "群简介", "提交申请", "3", true };
    return kind;
}

const RQPublishQunController::FormKind& JQUpdateQunController::formKind() const
{
    static const FormKind kind { { "标题:", "二维码:", "省:", "城市:", "聊天号", "个人聊天号" }, "简介",
        "上传更新(一天只能更新一次)", "2", false };
    return kind;
}

void RQPublishQunController::viewDidLoad()
{
    QPAllController::viewDidLoad();
    CGSize screen = screenSize();
    view()->setBackgroundColor(UIColor::whiteColor());
    titleNameArray_ = formKind().rowLabels;
    myTitle()->setText("标题");

    mytableView()->setFrame(CGRectMake(0, 0, screen.width, screen.height - 64));
    mytableView()->setScrollEnabled(false);
    buildFields();

    submitButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    submitButton_->setFrame(CGRectMake(0, screen.height - 104, screen.width, 40));
    submitButton_->setTintColor(UIColor::whiteColor());
    submitButton_->setBackgroundColor(UIColor::colorWithRed(112 / 255.0, 188 / 255.0, 90 / 255.0, 1));
    submitButton_->setTitle(formKind().submitTitle, UIControlStateNormal);
    submitButton_->addTarget(sharedAs<RQPublishQunController>(), &RQPublishQunController::submitGoPlany, UIControlEventTouchUpInside);
    view()->addSubview(submitButton_);
}

// The fields are made once, so that what the user typed survives any new layout of the rows.
void RQPublishQunController::buildFields()
{
    double width = screenSize().width;
    auto self = sharedAs<RQPublishQunController>();
    auto field = [&](NSInteger row, const std::string& placeholder, double x) {
        double length = labelLength(titleNameArray_[static_cast<std::size_t>(row)]);
        auto made = UITextField::create(CGRectMake(x >= 0 ? x : length * 20, 8, width - length * 27, 30));
        made->setFont(UIFont::systemFontOfSize(15));
        made->setDelegate(std::static_pointer_cast<UITextFieldDelegate>(self));
        made->setTag(row);
        made->setReturnKeyType(UIReturnKeyDone);
        made->setPlaceholder(placeholder);
        return made;
    };
    titleFeild_ = field(0, "请输入", -1);
    pictureField_ = field(1, "点击上传", -1);
    pictureField_->setEnabled(false);
    erWeiMa_ = YZXPhontoImageView::initWithFrame(CGRectMake(pictureField_->frame().origin.x, 7.5, width, 30), self);
    qunType_ = field(2, "请选择", -1);
    qunType_->setEnabled(false);

    double cityLength = labelLength(titleNameArray_[3]);
    quYuLabel_ = UILabel::create(CGRectMake(cityLength * 27 - 15, 7, width - cityLength * 27, 30));
    quYuLabel_->setText("请选择");
    quYuLabel_->setFont(UIFont::systemFontOfSize(15));
    quYuLabel_->setTextColor(grey(0.3));

    quZhuLiaoTianFeild_ = field(4, "请输入", 15 + labelLength(titleNameArray_[4]) * 20);

    double descriptionLength = labelLength(formKind().descriptionLabel);
    jianJie_ = UITextView::create(CGRectMake(descriptionLength * 27 - 10, 10, width - 95, 80));
    jianJie_->setBackgroundColor(grey(0.1));
}

NSInteger RQPublishQunController::numberOfSectionsInTableView(const std::shared_ptr<UITableView>&)
{
    return formKind().noteRow ? 2 : 1;
}

NSInteger RQPublishQunController::tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger section)
{
    return formKind().noteRow && section == 0 ? 1 : 6;
}

NSInteger RQPublishQunController::fieldRow(NSIndexPath indexPath) const
{
    if (formKind().noteRow && indexPath.section == 0)
        return -1;
    return indexPath.row;
}

CGFloat RQPublishQunController::tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    NSInteger row = fieldRow(indexPath);
    return row == -1 || row == 5 ? 100 : 44;
}

std::shared_ptr<UITableViewCell> RQPublishQunController::noteCell() const
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    auto note = UICopyLabel::initWithFrame(CGRectMake(20, 10, screenSize().width - 40, 90));
    note->setText(kNote);
    note->setTextColor(UIColor::grayColor());
    note->setTextAlignment(NSTextAlignmentCenter);
    note->setNumberOfLines(0);
    note->setFont(UIFont::systemFontOfSize(13));
    cell->contentView()->addSubview(note);
    return cell;
}

std::shared_ptr<UITableViewCell> RQPublishQunController::tableViewCellForRowAtIndexPath(
    const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    NSInteger row = fieldRow(indexPath);
    if (row == -1)
        return noteCell();
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyleDefault, "QKSY1");
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    auto content = cell->contentView();
    if (row != 5 && row >= 0 && row < 6)
        cell->textLabel()->setText(titleNameArray_[static_cast<std::size_t>(row)]);
    switch (row) {
    case 0:
        content->addSubview(titleFeild_);
        break;
    case 1:
        content->addSubview(pictureField_);
        content->addSubview(erWeiMa_);
        break;
    case 2:
        content->addSubview(qunType_);
        break;
    case 3:
        content->addSubview(quYuLabel_);
        break;
    case 4:
        content->addSubview(quZhuLiaoTianFeild_);
        break;
    case 5: {
        auto label = UILabel::create(CGRectMake(15, 8, screenSize().width, 30));
        label->setText(formKind().descriptionLabel);
        content->addSubview(label);
        content->addSubview(jianJie_);
        break;
    }
    default:
        break;
    }
    return cell;
}

void RQPublishQunController::tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath)
{
    switch (indexPath.row) {
    case 1:
        titleFeild_->endEditing(true);
        return;
    case 2:
        getAleiaMsg();
        return;
    case 3:
        getTypeMsg();
        return;
    default:
        return;
    }
}
