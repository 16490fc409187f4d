// WICycleScrollView: sources, cells, layout, the page indicator, auto-scroll and page reports.
#include "image/WICycleScrollView.h"

#include <cmath>

#include "image/DTPageControl.h"
#include "image/SQAdModel.h"
#include "image/WICollectionViewCell.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/uikit/UIPageControl.h"

namespace {

const std::string kCellIdentifier = "cycleCell";

bool isURLText(const std::string& text) { return text.rfind("http", 0) == 0; }

} // namespace

WICycleScrollView::WICycleScrollView(CGRect frame)
    : UIView(frame)
{
    setBackgroundColor(UIColor::lightGrayColor());
}

WICycleScrollView::~WICycleScrollView()
{
    if (auto timer = timer_.lock())
        timer->invalidate();
    if (auto view = mainView_.lock()) {
        view->setDataSource({});
        view->setDelegate(std::weak_ptr<UICollectionViewDelegate> {});
    }
}

std::shared_ptr<WICycleScrollView> WICycleScrollView::create(CGRect frame)
{
    auto view = std::make_shared<WICycleScrollView>(frame);
    view->setupMainView();
    return view;
}

std::shared_ptr<WICycleScrollView> WICycleScrollView::cycleScrollViewWithFrame(
    CGRect frame, const std::vector<WICycleSource>& imageNamesGroup)
{
    auto view = create(frame);
    view->setLocalizationImageNamesGroup(imageNamesGroup);
    return view;
}

std::shared_ptr<WICycleScrollView> WICycleScrollView::cycleScrollViewWithFrame(
    CGRect frame, bool shouldInfiniteLoop, const std::vector<WICycleSource>& imageNamesGroup)
{
    auto view = create(frame);
    view->setInfiniteLoop(shouldInfiniteLoop);
    view->setLocalizationImageNamesGroup(imageNamesGroup);
    return view;
}

std::shared_ptr<WICycleScrollView> WICycleScrollView::cycleScrollViewWithFrameImageURLStringsGroup(
    CGRect frame, const std::vector<Value>& imageURLStringsGroup)
{
    auto view = create(frame);
    view->setImageURLStringsGroup(imageURLStringsGroup);
    return view;
}

std::shared_ptr<WICycleScrollView> WICycleScrollView::cycleScrollViewWithFrame(
    CGRect frame, std::weak_ptr<WICycleScrollViewDelegate> delegate, const UIImageRef& placeholderImage)
{
    auto view = create(frame);
    view->setDelegate(std::move(delegate));
    view->setPlaceholderImage(placeholderImage);
    return view;
}

void WICycleScrollView::awakeFromNib()
{
    if (!mainView_.lock())
        setupMainView();
}

void WICycleScrollView::setupMainView()
{
    auto layout = UICollectionViewFlowLayout::create();
    layout->setMinimumLineSpacing(0);
    layout->setScrollDirection(UICollectionViewScrollDirectionHorizontal);
    layout->setItemSize(frame().size);
    flowLayout_ = layout;

    auto view = UICollectionView::initWithFrame(bounds(), layout);
    view->setBackgroundColor(UIColor::clearColor());
    view->setPagingEnabled(true);
    view->setShowsHorizontalScrollIndicator(false);
    view->setShowsVerticalScrollIndicator(false);
    view->registerClassForCellWithReuseIdentifier<WICollectionViewCell>(kCellIdentifier);
    auto self = sharedAs<WICycleScrollView>();
    view->setDataSource(std::weak_ptr<UICollectionViewDataSource>(self));
    view->setDelegate(std::weak_ptr<UICollectionViewDelegate>(self));
    addSubview(view);
    mainView_ = view;
}

// Sources.

void WICycleScrollView::setLocalizationImageNamesGroup(const std::vector<WICycleSource>& names)
{
    localNames_ = names;
    setImagePathsGroup(names);
}

void WICycleScrollView::setImageURLStringsGroup(const std::vector<Value>& group)
{
    urlStrings_.clear();
    for (const auto& entry : group) {
        if (entry.isString()) {
            urlStrings_.push_back(entry.asString());
            continue;
        }
        auto record = entry.asObject<SQAdModel>();
        if (record && !record->imgurl.empty())
            urlStrings_.push_back(record->imgurl);
    }
    setImagePathsGroup({ urlStrings_.begin(), urlStrings_.end() });
}

void WICycleScrollView::setTitlesGroup(std::vector<std::string> titles)
{
    titles_ = std::move(titles);
    if (auto view = mainView())
        view->reloadData();
}

void WICycleScrollView::setImagePathsGroup(std::vector<WICycleSource> paths)
{
    paths_ = std::move(paths);
    totalItems_ = infiniteLoop_ ? sourceCount() * 100 : sourceCount();
    auto view = mainView();
    if (view)
        view->setScrollEnabled(paths_.size() != 1);
    if (paths_.size() != 1)
        setAutoScroll(autoScroll_);
    setupPageControl();
    if (view)
        view->reloadData();
}

// Scrolling.

void WICycleScrollView::setAutoScrollTimeInterval(double seconds)
{
    interval_ = seconds;
    setAutoScroll(autoScroll_);
}

void WICycleScrollView::setInfiniteLoop(bool infinite)
{
    infiniteLoop_ = infinite;
    if (!paths_.empty())
        setImagePathsGroup(paths_);
}

void WICycleScrollView::setAutoScroll(bool autoScroll)
{
    autoScroll_ = autoScroll;
    invalidateTimer();
    if (autoScroll_)
        setupTimer();
}

void WICycleScrollView::setupTimer()
{
    // The timer holds this view weakly: a carousel that is dropped stops its timer.
    auto timer = NSTimer::timerWithTimeInterval(interval_, sharedAs<WICycleScrollView>(), &WICycleScrollView::timerFired, Value(), true);
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    timer_ = timer;
}

void WICycleScrollView::invalidateTimer()
{
    if (auto timer = timer_.lock())
        timer->invalidate();
    timer_.reset();
}

void WICycleScrollView::timerFired(const std::shared_ptr<NSTimer>&)
{
    automaticScroll();
}

void WICycleScrollView::automaticScroll()
{
    auto view = mainView();
    auto layout = flowLayout();
    if (totalItems_ == 0 || !view || !layout)
        return;
    double width = layout->itemSize().width;
    if (!(width > 0))
        return;
    NSInteger current = static_cast<NSInteger>(view->contentOffset().x / width);
    NSInteger target = current + 1;
    if (target >= totalItems_) {
        if (!infiniteLoop_)
            return;
        view->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(totalItems_ / 2, 0), UICollectionViewScrollPositionNone, false);
        return;
    }
    view->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(target, 0), UICollectionViewScrollPositionNone, true);
}

void WICycleScrollView::willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview)
{
    if (!newSuperview)
        invalidateTimer();
}

// Pages.

void WICycleScrollView::setPlaceholderImage(const UIImageRef& image)
{
    placeholder_ = image;
    auto background = backgroundImageView();
    if (!background) {
        background = UIImageView::create(bounds());
        background->setContentMode(UIViewContentModeScaleToFill);
        if (auto view = mainView())
            insertSubviewBelowSubview(background, view);
        else
            insertSubviewAtIndex(background, 0);
        backgroundImageView_ = background;
    }
    background->setImage(image);
}

NSInteger WICycleScrollView::collectionViewNumberOfItemsInSection(const std::shared_ptr<UICollectionView>&, NSInteger)
{
    return totalItems_;
}

std::shared_ptr<UICollectionViewCell> WICycleScrollView::collectionViewCellForItemAtIndexPath(
    const std::shared_ptr<UICollectionView>& collectionView, NSIndexPath indexPath)
{
    auto cell = std::dynamic_pointer_cast<WICollectionViewCell>(
        collectionView->dequeueReusableCellWithReuseIdentifier(kCellIdentifier, indexPath));
    if (!cell || paths_.empty())
        return cell;
    auto index = static_cast<std::size_t>(indexPath.item() % sourceCount());
    showSource(*cell, paths_[index]);
    // A reused cell must not keep the caption of the page it showed before.
    cell->setTitle(index < titles_.size() ? titles_[index] : std::string());
    if (!cell->hasConfigured())
        configureCell(*cell);
    return cell;
}

void WICycleScrollView::showSource(WICollectionViewCell& cell, const WICycleSource& source)
{
    auto imageView = cell.imageView();
    if (!imageView)
        return;
    const auto* text = std::get_if<std::string>(&source);
    if (text && isURLText(*text)) {
        if (loader_.load)
            loader_.load(imageView, *text, placeholder_);
        return;
    }
    // A reused cell may still be loading its previous URL page; that load must not land here.
    if (loader_.cancel)
        loader_.cancel(imageView);
    if (text)
        imageView->setImage(UIImage::imageNamed(*text));
    else
        imageView->setImage(std::get<UIImageRef>(source));
}

void WICycleScrollView::configureCell(WICollectionViewCell& cell)
{
    cell.setTitleLabelBackgroundColor(titleBackground_);
    cell.setTitleLabelHeight(titleHeight_);
    cell.setTitleLabelTextColor(titleColor_);
    cell.setTitleLabelTextFont(titleFont_);
    if (auto imageView = cell.imageView())
        imageView->setContentMode(static_cast<UIViewContentMode>(contentMode_));
    cell.setClipsToBounds(true);
    cell.setHasConfigured(true);
}

// Layout.

void WICycleScrollView::setFrame(CGRect frame)
{
    UIView::setFrame(frame);
    if (auto layout = flowLayout())
        layout->setItemSize(frame.size);
}

void WICycleScrollView::layoutSubviews()
{
    UIView::layoutSubviews();
    auto view = mainView();
    auto layout = flowLayout();
    if (!view || !layout)
        return;
    layout->setItemSize(frame().size);
    view->setFrame(bounds());
    if (view->contentOffset().x == 0 && totalItems_ > 0) {
        NSInteger target = infiniteLoop_ ? totalItems_ / 2 : 0;
        view->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(target, 0), UICollectionViewScrollPositionNone, false);
    }

    if (auto control = pageControl()) {
        CGSize size;
        auto animated = std::dynamic_pointer_cast<DTPageControl>(control);
        if (animated) {
            size = animated->sizeForNumberOfPages(sourceCount());
        } else {
            size = { static_cast<double>(sourceCount()) * dotSize_.width * 1.2, dotSize_.height };
        }
        double x = aliment_ == WICycleScrollViewPageControlAlimentRight ? view->frame().size.width - size.width - 10
                                                                          : (bounds().size.width - size.width) * 0.5;
        double y = view->frame().size.height - size.height - 10;
        if (animated)
            animated->sizeToFit();
        control->setFrame({ { x, y }, size });
        control->setHidden(!showPageControl_);
    }

    if (auto background = backgroundImageView())
        background->setFrame(bounds());
}

// Page indicator.

void WICycleScrollView::setupPageControl()
{
    if (auto old = pageControl())
        old->removeFromSuperview();
    pageControl_.reset();
    if (paths_.size() < 2 && hidesForSinglePage_)
        return;
    std::shared_ptr<UIControl> control;
    switch (style_) {
    case WICycleScrollViewPageControlStyleClassic: {
        auto classic = UIPageControl::create();
        classic->setNumberOfPages(sourceCount());
        classic->setCurrentPageIndicatorTintColor(currentDotColor_);
        classic->setPageIndicatorTintColor(dotColor_);
        control = classic;
        break;
    }
    case WICycleScrollViewPageControlStyleAnimated: {
        auto animated = DTPageControl::create();
        animated->setNumberOfPages(sourceCount());
        animated->setDotColor(currentDotColor_);
        control = animated;
        break;
    }
    default:
        break;
    }
    if (control) {
        control->setUserInteractionEnabled(false);
        addSubview(control);
        pageControl_ = control;
        if (auto index = currentIndex()) {
            if (auto classic = std::dynamic_pointer_cast<UIPageControl>(control))
                classic->setCurrentPage(*index);
            else if (auto animated = std::dynamic_pointer_cast<DTPageControl>(control))
                animated->setCurrentPage(*index);
        }
    }
    applyDotImages();
    setNeedsLayout();
}

void WICycleScrollView::applyDotImages()
{
    if (currentDotImage_)
        setCurrentPageDotImage(currentDotImage_);
    if (dotImage_)
        setPageDotImage(dotImage_);
}

void WICycleScrollView::setPageControlStyle(std::int32_t style)
{
    style_ = style;
    setupPageControl();
}

void WICycleScrollView::setPageControlDotSize(CGSize size)
{
    dotSize_ = size;
    setupPageControl();
    if (auto animated = std::dynamic_pointer_cast<DTPageControl>(pageControl()))
        animated->setDotSize(size);
}

void WICycleScrollView::setShowPageControl(bool show)
{
    showPageControl_ = show;
    if (auto control = pageControl())
        control->setHidden(!show);
}

void WICycleScrollView::setCurrentPageDotColor(const UIColor& color)
{
    currentDotColor_ = color;
    auto control = pageControl();
    if (auto animated = std::dynamic_pointer_cast<DTPageControl>(control))
        animated->setDotColor(color);
    else if (auto classic = std::dynamic_pointer_cast<UIPageControl>(control))
        classic->setCurrentPageIndicatorTintColor(color);
}

void WICycleScrollView::setPageDotColor(const UIColor& color)
{
    dotColor_ = color;
    if (auto classic = std::dynamic_pointer_cast<UIPageControl>(pageControl()))
        classic->setPageIndicatorTintColor(color);
}

void WICycleScrollView::setCurrentPageDotImage(const UIImageRef& image)
{
    currentDotImage_ = image;
    auto control = pageControl();
    if (!image || !control)
        return;
    if (auto animated = std::dynamic_pointer_cast<DTPageControl>(control))
        animated->setCurrentDotImage(image);
    else if (auto classic = std::dynamic_pointer_cast<UIPageControl>(control))
        classic->setValueForKey("_currentPageImage", Value(std::static_pointer_cast<NSObject>(image)));
}

void WICycleScrollView::setPageDotImage(const UIImageRef& image)
{
    dotImage_ = image;
    auto control = pageControl();
    if (!image || !control)
        return;
    if (auto animated = std::dynamic_pointer_cast<DTPageControl>(control))
        animated->setDotImage(image);
    else if (auto classic = std::dynamic_pointer_cast<UIPageControl>(control))
        classic->setValueForKey("_pageImage", Value(std::static_pointer_cast<NSObject>(image)));
}

// Page tracking and reports.

std::optional<NSInteger> WICycleScrollView::currentIndex() const
{
    auto view = mainView();
    if (paths_.empty() || !view)
        return std::nullopt;
    double width = view->bounds().size.width;
    if (!(width > 0))
        return std::nullopt;
    double position = std::trunc((view->contentOffset().x + width * 0.5) / width);
    if (!(position >= 0))
        return std::nullopt;
    return static_cast<NSInteger>(position) % sourceCount();
}

void WICycleScrollView::scrollViewDidScroll(const std::shared_ptr<UIScrollView>&)
{
    auto index = currentIndex();
    if (!index)
        return;
    auto control = pageControl();
    if (auto classic = std::dynamic_pointer_cast<UIPageControl>(control))
        classic->setCurrentPage(*index);
    else if (auto animated = std::dynamic_pointer_cast<DTPageControl>(control))
        animated->setCurrentPage(*index);
}

void WICycleScrollView::scrollViewWillBeginDragging(const std::shared_ptr<UIScrollView>&)
{
    if (autoScroll_)
        invalidateTimer();
}

void WICycleScrollView::scrollViewDidEndDragging(const std::shared_ptr<UIScrollView>&, bool)
{
    if (autoScroll_)
        setupTimer();
}

void WICycleScrollView::scrollViewDidEndScrollingAnimation(const std::shared_ptr<UIScrollView>&)
{
    auto index = currentIndex();
    auto delegate = delegate_.lock();
    if (index && delegate)
        delegate->cycleScrollViewDidScrollToIndex(sharedAs<WICycleScrollView>(), *index);
}

void WICycleScrollView::collectionViewDidSelectItemAtIndexPath(const std::shared_ptr<UICollectionView>&, NSIndexPath indexPath)
{
    if (paths_.empty())
        return;
    NSInteger index = indexPath.item() % sourceCount();
    if (auto delegate = delegate_.lock())
        delegate->cycleScrollViewDidSelectItemAtIndex(sharedAs<WICycleScrollView>(), index);
    if (clickBlock_)
        clickBlock_(index);
}
