// WICycleScrollView: a banner view showing a row of images (resource names, image URLs or
// images) one page at a time in a horizontal paging collection view. It advances by itself at
// a fixed interval, repeats the row so that scrolling never ends, shows an optional caption
// per page and a page indicator, and reports taps and page changes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/graphics/Text.h"
#include "platform/threading/NSTimer.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"

class WICycleScrollView;
class WICollectionViewCell;

// A page's source: a text (an "http" URL or a resource image name) or an image.
using WICycleSource = std::variant<std::string, UIImageRef>;

class WICycleScrollViewDelegate {
public:
    virtual ~WICycleScrollViewDelegate() = default;
    virtual void cycleScrollViewDidSelectItemAtIndex(const std::shared_ptr<WICycleScrollView>&, NSInteger) { }
    virtual void cycleScrollViewDidScrollToIndex(const std::shared_ptr<WICycleScrollView>&, NSInteger) { }
};

enum WICycleScrollViewPageControlStyle : int {
    WICycleScrollViewPageControlStyleClassic = 0,
    WICycleScrollViewPageControlStyleAnimated = 1,
    WICycleScrollViewPageControlStyleNone = 2,
};

enum WICycleScrollViewPageControlAliment : int {
    WICycleScrollViewPageControlAlimentRight = 0,
    WICycleScrollViewPageControlAlimentCenter = 1,
};

class WICycleScrollView : public UIView, public UICollectionViewDataSource, public UICollectionViewDelegate {
public:
    // How URL pages get their images: load a URL into an image view (showing the placeholder
    // meanwhile), and cancel the view's running load. Defaults to the image view extension.
    struct ImageLoader {
        std::function<void(const std::shared_ptr<UIImageView>&, const std::string& url, const UIImageRef& placeholder)> load;
        std::function<void(const std::shared_ptr<UIImageView>&)> cancel;
    };
    static ImageLoader defaultImageLoader();

    // Use create or the class constructors: the view becomes its collection view's data source.
    explicit WICycleScrollView(CGRect frame);
    ~WICycleScrollView() override;
    static std::shared_ptr<WICycleScrollView> create(CGRect frame);
    static std::shared_ptr<WICycleScrollView> cycleScrollViewWithFrame(CGRect frame, const std::vector<WICycleSource>& imageNamesGroup);
    static std::shared_ptr<WICycleScrollView> cycleScrollViewWithFrame(
        CGRect frame, bool shouldInfiniteLoop, const std::vector<WICycleSource>& imageNamesGroup);
    static std::shared_ptr<WICycleScrollView> cycleScrollViewWithFrameImageURLStringsGroup(
        CGRect frame, const std::vector<Value>& imageURLStringsGroup);
    static std::shared_ptr<WICycleScrollView> cycleScrollViewWithFrame(CGRect frame,
        std::weak_ptr<WICycleScrollViewDelegate> delegate, const UIImageRef& placeholderImage);
    // Empties the disk cache of the shared image manager.
    static void clearCache();
    static void clearImagesCache() { clearCache(); }
    std::string className() const override { return "WICycleScrollView"; }
    // For views made from an interface file: the defaults and the collection view.
    void awakeFromNib();

    // Sources.
    const std::vector<WICycleSource>& localizationImageNamesGroup() const { return localNames_; }
    void setLocalizationImageNamesGroup(const std::vector<WICycleSource>& names);
    // Banner records (their "imgurl") or URL strings.
    const std::vector<std::string>& imageURLStringsGroup() const { return urlStrings_; }
    void setImageURLStringsGroup(const std::vector<Value>& group);
    const std::vector<std::string>& titlesGroup() const { return titles_; }
    void setTitlesGroup(std::vector<std::string> titles);
    const std::vector<WICycleSource>& imagePathsGroup() const { return paths_; }
    void setImagePathsGroup(std::vector<WICycleSource> paths);
    NSInteger totalItemsCount() const { return totalItems_; }
    // Kept for screens that set it; loading does not read it.
    std::int64_t networkFailedRetryCount() const { return networkFailedRetryCount_; }
    void setNetworkFailedRetryCount(std::int64_t count) { networkFailedRetryCount_ = count; }

    // Scrolling.
    double autoScrollTimeInterval() const { return interval_; }
    void setAutoScrollTimeInterval(double seconds);
    bool infiniteLoop() const { return infiniteLoop_; }
    void setInfiniteLoop(bool infinite);
    bool autoScroll() const { return autoScroll_; }
    void setAutoScroll(bool autoScroll);
    // One step of the auto-scroll timer.
    void automaticScroll();

    // Reports.
    std::shared_ptr<WICycleScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WICycleScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }
    using ClickBlock = std::function<void(NSInteger index)>;
    void setClickItemOperationBlock(ClickBlock block) { clickBlock_ = std::move(block); }

    // Pages.
    NSInteger bannerImageViewContentMode() const { return contentMode_; }
    void setBannerImageViewContentMode(NSInteger mode) { contentMode_ = mode; }
    const UIImageRef& placeholderImage() const { return placeholder_; }
    void setPlaceholderImage(const UIImageRef& image);
    void setImageLoader(ImageLoader loader) { loader_ = std::move(loader); }

    // Page indicator.
    bool showPageControl() const { return showPageControl_; }
    void setShowPageControl(bool show);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides) { hidesForSinglePage_ = hides; }
    std::int32_t pageControlStyle() const { return style_; }
    void setPageControlStyle(std::int32_t style);
    std::int32_t pageControlAliment() const { return aliment_; }
    void setPageControlAliment(std::int32_t aliment) { aliment_ = aliment; setNeedsLayout(); }
    CGSize pageControlDotSize() const { return dotSize_; }
    void setPageControlDotSize(CGSize size);
    const UIColor& currentPageDotColor() const { return currentDotColor_; }
    void setCurrentPageDotColor(const UIColor& color);
    const UIColor& pageDotColor() const { return dotColor_; }
    void setPageDotColor(const UIColor& color);
    const UIImageRef& currentPageDotImage() const { return currentDotImage_; }
    void setCurrentPageDotImage(const UIImageRef& image);
    const UIImageRef& pageDotImage() const { return dotImage_; }
    void setPageDotImage(const UIImageRef& image);

    // Captions.
    const UIColor& titleLabelTextColor() const { return titleColor_; }
    void setTitleLabelTextColor(const UIColor& color) { titleColor_ = color; }
    const UIFont& titleLabelTextFont() const { return titleFont_; }
    void setTitleLabelTextFont(const UIFont& font) { titleFont_ = font; }
    const UIColor& titleLabelBackgroundColor() const { return titleBackground_; }
    void setTitleLabelBackgroundColor(const UIColor& color) { titleBackground_ = color; }
    double titleLabelHeight() const { return titleHeight_; }
    void setTitleLabelHeight(double height) { titleHeight_ = height; }

    // Parts, for screens and tests.
    std::shared_ptr<UICollectionView> mainView() const { return mainView_.lock(); }
    std::shared_ptr<UICollectionViewFlowLayout> flowLayout() const { return flowLayout_.lock(); }
    // A UIPageControl or a DTPageControl; null with style none or a hidden single page.
    std::shared_ptr<UIControl> pageControl() const { return pageControl_.lock(); }
    std::shared_ptr<NSTimer> timer() const { return timer_.lock(); }
    std::shared_ptr<UIImageView> backgroundImageView() const { return backgroundImageView_.lock(); }

    void setFrame(CGRect frame) override;
    void layoutSubviews() override;
    void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) override;

    // Collection view data source and delegate.
    NSInteger collectionViewNumberOfItemsInSection(const std::shared_ptr<UICollectionView>&, NSInteger) override;
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath) override;
    void collectionViewDidSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath) override;
    void scrollViewDidScroll(const std::shared_ptr<UIScrollView>&) override;
    void scrollViewWillBeginDragging(const std::shared_ptr<UIScrollView>&) override;
    void scrollViewDidEndDragging(const std::shared_ptr<UIScrollView>&, bool willDecelerate) override;
    void scrollViewDidEndScrollingAnimation(const std::shared_ptr<UIScrollView>&) override;

private:
    void setupMainView();
    void setupPageControl();
    void applyDotImages();
    void setupTimer();
    void invalidateTimer();
    void timerFired(const std::shared_ptr<NSTimer>&);
    void configureCell(WICollectionViewCell& cell);
    void showSource(WICollectionViewCell& cell, const WICycleSource& source);
    // The page shown at the current offset; none without sources or while the width is 0.
    std::optional<NSInteger> currentIndex() const;
    NSInteger sourceCount() const { return static_cast<NSInteger>(paths_.size()); }

    std::vector<WICycleSource> localNames_;
    std::vector<std::string> urlStrings_;
    std::vector<std::string> titles_;
    std::vector<WICycleSource> paths_;
    NSInteger totalItems_ = 0;
    std::int64_t networkFailedRetryCount_ = 0;
    double interval_ = 2.0;
    bool infiniteLoop_ = true;
    bool autoScroll_ = true;
    std::weak_ptr<WICycleScrollViewDelegate> delegate_;
    ClickBlock clickBlock_;
    NSInteger contentMode_ = UIViewContentModeScaleToFill;
    UIImageRef placeholder_;
    bool showPageControl_ = true;
    bool hidesForSinglePage_ = true;
    std::int32_t style_ = WICycleScrollViewPageControlStyleClassic;
    std::int32_t aliment_ = WICycleScrollViewPageControlAlimentCenter;
    CGSize dotSize_ { 10, 10 };
    UIColor currentDotColor_ = UIColor::whiteColor();
    UIColor dotColor_ = UIColor::lightGrayColor();
    UIImageRef currentDotImage_;
    UIImageRef dotImage_;
    UIColor titleColor_ = UIColor::whiteColor();
    UIFont titleFont_ = UIFont::systemFontOfSize(14);
    UIColor titleBackground_ = UIColor::colorWithWhite(0, 0.5);
    double titleHeight_ = 30;
    ImageLoader loader_ = defaultImageLoader();

    std::weak_ptr<UICollectionView> mainView_;
    std::weak_ptr<UICollectionViewFlowLayout> flowLayout_;
    std::weak_ptr<UIControl> pageControl_;
    std::weak_ptr<NSTimer> timer_;
    std::weak_ptr<UIImageView> backgroundImageView_;
};
