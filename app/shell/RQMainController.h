// RQMainController: the home screen, root of the navigation stack. It logs the device in at the
// account server, fetches the category grid ("home/index.do") and shows it as tiles, asks once
// for address-book access when categories arrived (from system 6.0 on), and opens a feature
// screen when a tile is tapped, chosen by the category's keyword. A "分享" bar button presents the
// share sheet with a link to the app.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/YZXNoBackControlller.h"
#include "app/shell/RQClassCell.h"
#include "app/shell/RQClassModel.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UILabel.h"
#include "services/share/SHSocialSnsService.h"

class RQMainController : public YZXNoBackControlller,
                         public UICollectionViewDataSource,
                         public UICollectionViewDelegateFlowLayout,
                         public SHSocialUIDelegate {
public:
    static std::shared_ptr<RQMainController> create() { return std::make_shared<RQMainController>(); }
    std::string className() const override { return "RQMainController"; }

    void viewDidLoad() override;

    // Collection data source and delegate.
    NSInteger numberOfSectionsInCollectionView(const std::shared_ptr<UICollectionView>&) override { return 1; }
    NSInteger collectionViewNumberOfItemsInSection(
        const std::shared_ptr<UICollectionView>&, NSInteger section) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        const std::shared_ptr<UICollectionView>& collectionView, NSIndexPath indexPath) override;
    CGSize collectionViewLayoutSizeForItemAtIndexPath(const std::shared_ptr<UICollectionView>& collectionView,
        const std::shared_ptr<UICollectionViewLayout>&, NSIndexPath) override;
    UIEdgeInsets collectionViewLayoutInsetForSectionAtIndex(
        const std::shared_ptr<UICollectionView>&, const std::shared_ptr<UICollectionViewLayout>&, NSInteger) override
    {
        return { 0, 0, 0, 0 };
    }
    bool collectionViewShouldSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath) override
    {
        return true;
    }
    void collectionViewDidSelectItemAtIndexPath(
        const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath) override;

    // The share action (the sender is ignored).
    void shareAction(const NSObjectRef& sender);
    void shareBtnClicked(const NSObjectRef& sender);

    const std::shared_ptr<UICollectionView>& collectionView() const { return collectionView_; }
    const std::vector<std::shared_ptr<RQClassModel>>& listArray() const { return listArray_; }
    const std::shared_ptr<UILabel>& orderLabel() const { return orderLabel_; }
    const std::shared_ptr<UIImageView>& headImage() const { return headImage_; }
    // Address-book access was asked for this many times (once per categories reply with tiles,
    // from system 6.0 on).
    int accessRequests() const { return accessRequests_; }

    // The screen a keyword opens (null for none), as a tap would push it.
    static std::shared_ptr<UIViewController> screenForKeyword(const std::string& keyword);

private:
    void loadApp();
    void customCollectionView();
    void getFirsetMsg();
    void categoriesArrived(const Value& reply);
    void openRoot();

    std::shared_ptr<UICollectionView> collectionView_;
    std::vector<std::shared_ptr<RQClassModel>> listArray_;
    std::shared_ptr<UILabel> orderLabel_;
    std::shared_ptr<UIImageView> headImage_;
    int accessRequests_ = 0;
};
