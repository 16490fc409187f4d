// The flow layout: items in lines, sections one after another along the scrolling axis.
#include "platform/uikit/UICollectionViewLayout.h"

#include <algorithm>

#include "platform/uikit/UICollectionView.h"

void UICollectionViewLayout::invalidateLayout()
{
    if (auto view = collectionView())
        view->layoutInvalidated();
}

void UICollectionViewFlowLayout::setItemSize(CGSize size)
{
    itemSize_ = size;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumLineSpacing(CGFloat spacing)
{
    lineSpacing_ = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setMinimumInteritemSpacing(CGFloat spacing)
{
    interitemSpacing_ = spacing;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setSectionInset(UIEdgeInsets insets)
{
    sectionInset_ = insets;
    invalidateLayout();
}

void UICollectionViewFlowLayout::setScrollDirection(UICollectionViewScrollDirection direction)
{
    direction_ = direction;
    invalidateLayout();
}

namespace {

// Geometry along the scrolling axis ("main") and across it ("cross").
struct Axes {
    bool horizontal;
    double main(CGSize s) const { return horizontal ? s.width : s.height; }
    double cross(CGSize s) const { return horizontal ? s.height : s.width; }
    CGRect rect(double mainPos, double crossPos, CGSize size) const
    {
        return horizontal ? CGRect { { mainPos, crossPos }, size } : CGRect { { crossPos, mainPos }, size };
    }
    double mainMin(CGRect r) const { return horizontal ? r.origin.x : r.origin.y; }
    double mainMax(CGRect r) const { return horizontal ? CGRectGetMaxX(r) : CGRectGetMaxY(r); }
};

constexpr double kFitTolerance = 1e-9;

} // namespace

void UICollectionViewFlowLayout::prepareLayout()
{
    sections_.clear();
    contentSize_ = CGSizeZero;
    auto view = collectionView();
    if (!view)
        return;
    Axes axes { direction_ == UICollectionViewScrollDirectionHorizontal };
    CGSize size = view->bounds().size;
    UIEdgeInsets inset = view->contentInset();
    double crossTotal = axes.horizontal ? size.height - inset.top - inset.bottom : size.width - inset.left - inset.right;
    crossTotal = std::max(0.0, crossTotal);
    double main = 0;
    NSInteger count = view->numberOfSections();
    for (NSInteger s = 0; s < count; ++s)
        main = layoutSection(s, main, crossTotal);
    contentSize_ = axes.horizontal ? CGSize { main, crossTotal } : CGSize { crossTotal, main };
}

double UICollectionViewFlowLayout::layoutSection(NSInteger section, double start, double crossTotal)
{
    auto view = collectionView();
    auto self = sharedAs<UICollectionViewLayout>();
    auto flow = std::dynamic_pointer_cast<UICollectionViewDelegateFlowLayout>(view->collectionDelegate());
    Axes axes { direction_ == UICollectionViewScrollDirectionHorizontal };
    UIEdgeInsets inset = flow ? flow->collectionViewLayoutInsetForSectionAtIndex(view, self, section) : sectionInset_;
    double lineSpacing = flow ? flow->collectionViewLayoutMinimumLineSpacingForSectionAtIndex(view, self, section) : lineSpacing_;
    double interSpacing = flow ? flow->collectionViewLayoutMinimumInteritemSpacingForSectionAtIndex(view, self, section) : interitemSpacing_;
    double crossBefore = axes.horizontal ? inset.top : inset.left;
    double crossAfter = axes.horizontal ? inset.bottom : inset.right;
    double available = std::max(0.0, crossTotal - crossBefore - crossAfter);

    auto n = static_cast<std::size_t>(std::max<NSInteger>(0, view->numberOfItemsInSection(section)));
    std::vector<CGSize> sizes(n);
    for (std::size_t i = 0; i < n; ++i) {
        CGSize s = flow ? flow->collectionViewLayoutSizeForItemAtIndexPath(view, self, { section, static_cast<NSInteger>(i) }) : itemSize_;
        sizes[i] = { std::max(0.0, s.width), std::max(0.0, s.height) };
    }

    Section result;
    result.items.resize(n);
    double main = start + (axes.horizontal ? inset.left : inset.top);
    std::size_t i = 0;
    while (i < n) {
        Line line { main, 0, i, 0 };
        double used = axes.cross(sizes[i]);
        for (++i; i < n && used + interSpacing + axes.cross(sizes[i]) <= available + kFitTolerance; ++i)
            used += interSpacing + axes.cross(sizes[i]);
        line.count = i - line.first;
        for (std::size_t k = line.first; k < i; ++k)
            line.extent = std::max(line.extent, axes.main(sizes[k]));
        bool last = i == n;
        double spacing = interSpacing;
        double cross = crossBefore;
        if (line.count == 1)
            cross += (available - used) / 2;
        else if (!last)
            spacing += (available - used) / static_cast<double>(line.count - 1);
        for (std::size_t k = line.first; k < i; ++k) {
            double offset = (line.extent - axes.main(sizes[k])) / 2;
            result.items[k] = axes.rect(main + offset, cross, sizes[k]);
            cross += axes.cross(sizes[k]) + spacing;
        }
        result.lines.push_back(line);
        main += line.extent + (last ? 0 : lineSpacing);
    }
    main += axes.horizontal ? inset.right : inset.bottom;
    sections_.push_back(std::move(result));
    return main;
}

std::vector<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForElementsInRect(CGRect rect) const
{
    std::vector<UICollectionViewLayoutAttributes> found;
    Axes axes { direction_ == UICollectionViewScrollDirectionHorizontal };
    double low = axes.mainMin(rect), high = axes.mainMax(rect);
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        auto& section = sections_[s];
        // Lines are in order along the scrolling axis: skip those that end before the rect.
        auto line = std::partition_point(section.lines.begin(), section.lines.end(),
            [low](const Line& l) { return l.start + l.extent <= low; });
        for (; line != section.lines.end() && line->start < high; ++line) {
            for (std::size_t k = line->first; k < line->first + line->count; ++k) {
                if (CGRectIntersectsRect(section.items[k], rect))
                    found.push_back({ { static_cast<NSInteger>(s), static_cast<NSInteger>(k) }, section.items[k] });
            }
        }
    }
    return found;
}

std::optional<UICollectionViewLayoutAttributes> UICollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(NSIndexPath path) const
{
    if (path.section < 0 || path.row < 0 || static_cast<std::size_t>(path.section) >= sections_.size())
        return std::nullopt;
    auto& items = sections_[static_cast<std::size_t>(path.section)].items;
    if (static_cast<std::size_t>(path.row) >= items.size())
        return std::nullopt;
    return UICollectionViewLayoutAttributes { path, items[static_cast<std::size_t>(path.row)] };
}
