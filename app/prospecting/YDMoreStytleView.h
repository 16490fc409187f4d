// YDMoreStytleView: the drop-down picker. It covers the screen with a dimmed backdrop and
// shows a rounded list of reply items in front of it; choosing a row takes the picker off the
// screen and reports the row's title and id through TapActionBlock. What a row shows and
// reports depends on the kind: "leixing" ("name", "id"), "haoduan" ("no", "no"), any other
// ("name" over "keyword"; "name", "areaId"). A tap on the backdrop reports " " and "".
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UITableView.h"

class YDMoreStytleView : public UIView, public UITableViewDataSource, public UITableViewDelegate {
public:
    using TapAction = std::function<void(const std::string& title, const std::string& identifier)>;

    static std::shared_ptr<YDMoreStytleView> initWithFrame(CGRect frame, const Value& data, const Value& imags,
        const std::string& type);
    explicit YDMoreStytleView(CGRect frame) : UIView(frame) { }
    std::string className() const override { return "YDMoreStytleView"; }

    // The backdrop's tap action.
    void removeMyOfView(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    // Builds the list for a picker of the given frame.
    void addTableView(CGRect frame);

    NSInteger tableViewNumberOfRowsInSection(const std::shared_ptr<UITableView>&, NSInteger) override;
    CGFloat tableViewHeightForRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath) override;
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
        const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(const std::shared_ptr<UITableView>&, NSIndexPath indexPath) override;

    const std::shared_ptr<UITableView>& mytableView() const { return mytableView_; }
    const Value& dataArray() const { return dataArray_; }
    void setDataArray(Value data) { dataArray_ = std::move(data); }
    const Value& imageArray() const { return imageArray_; }
    const std::string& type() const { return type_; }
    void setType(std::string type) { type_ = std::move(type); }
    const TapAction& TapActionBlock() const { return tapAction_; }
    void setTapActionBlock(TapAction block) { tapAction_ = std::move(block); }
    const std::shared_ptr<UIView>& backdrop() const { return backdrop_; }

private:
    bool isListKind() const { return type_ == "leixing" || type_ == "haoduan"; }
    std::string titleKey() const { return type_ == "haoduan" ? "no" : "name"; }
    std::string idKey() const;

    std::shared_ptr<UITableView> mytableView_;
    std::shared_ptr<UIView> backdrop_;
    Value dataArray_;
    Value imageArray_;
    std::string type_;
    TapAction tapAction_;
};
