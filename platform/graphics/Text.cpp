// Text over Pango: one process-wide font map (72 units per inch, so Pango sizes are points),
// unhinted metrics so that measuring and drawing agree at every scale. Pango calls are
// serialised by one lock.
#include "platform/graphics/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include <cairo.h>
#include <pango/pangocairo.h>

namespace {

constexpr const char* kSystemFamily = "DejaVu Sans,WenQuanYi Micro Hei";
constexpr const char* kChineseFallback = "WenQuanYi Micro Hei";

std::mutex textMutex;

PangoFontMap* fontMap()
{
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

// A Pango context with our resolution and unhinted metrics; updated from `cr` when given.
PangoContext* newContext(cairo_t* cr)
{
    PangoContext* ctx = pango_font_map_create_context(fontMap());
    if (cr)
        pango_cairo_update_context(cr, ctx);
    pango_cairo_context_set_resolution(ctx, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(ctx, options);
    cairo_font_options_destroy(options);
    return ctx;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool familyInstalled(const std::string& family)
{
    static std::set<std::string> names = [] {
        std::set<std::string> out;
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(fontMap(), &families, &count);
        for (int i = 0; i < count; ++i)
            out.insert(lower(pango_font_family_get_name(families[i])));
        g_free(families);
        return out;
    }();
    return names.count(lower(family)) != 0;
}

// A layout of the text in the font; width in points (0: no wrapping).
struct Layout {
    PangoContext* context;
    PangoLayout* layout;

    Layout(cairo_t* cr, const std::string& text, const UIFont& font, double width, NSLineBreakMode mode)
        : context(newContext(cr))
        , layout(pango_layout_new(context))
    {
        PangoFontDescription* desc = pango_font_description_from_string(font.familyName().c_str());
        pango_font_description_set_absolute_size(desc, font.pointSize() * PANGO_SCALE);
        pango_font_description_set_weight(desc, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
        pango_layout_set_text(layout, text.c_str(), int(text.size()));
        if (width > 0) {
            pango_layout_set_width(layout, int(std::min(width, 1e6) * PANGO_SCALE));
            pango_layout_set_wrap(layout, mode == NSLineBreakByCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
        }
    }
    ~Layout()
    {
        g_object_unref(layout);
        g_object_unref(context);
    }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Lines that fit in maxHeight (all when 0 or less; at least one) and their extent.
    CGSize fitted(double maxHeight, int* lines = nullptr) const
    {
        PangoLayoutIter* iter = pango_layout_get_iter(layout);
        double width = 0, height = 0;
        int count = 0;
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            double bottom = double(logical.y + logical.height) / PANGO_SCALE;
            if (count > 0 && maxHeight > 0 && bottom > maxHeight + 1e-6)
                break;
            width = std::max(width, double(logical.width) / PANGO_SCALE);
            height = bottom;
            ++count;
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
        if (lines)
            *lines = count;
        return { width, height };
    }
};

struct Metrics {
    double lineHeight, ascender;
};

Metrics metricsFor(const UIFont& font)
{
    static std::map<std::tuple<std::string, double, bool>, Metrics> cache;
    auto key = std::make_tuple(font.familyName(), font.pointSize(), font.isBold());
    if (auto it = cache.find(key); it != cache.end())
        return it->second;
    Layout l(nullptr, "Ag", font, 0, NSLineBreakByWordWrapping);
    PangoRectangle logical;
    pango_layout_get_extents(l.layout, nullptr, &logical);
    Metrics m { double(logical.height) / PANGO_SCALE, double(pango_layout_get_baseline(l.layout)) / PANGO_SCALE };
    cache.emplace(key, m);
    return m;
}

PangoAlignment alignmentFor(NSTextAlignment a)
{
    switch (a) {
    case NSTextAlignmentCenter: return PANGO_ALIGN_CENTER;
    case NSTextAlignmentRight: return PANGO_ALIGN_RIGHT;
    default: return PANGO_ALIGN_LEFT;
    }
}

PangoEllipsizeMode ellipsisFor(NSLineBreakMode mode)
{
    switch (mode) {
    case NSLineBreakByTruncatingHead: return PANGO_ELLIPSIZE_START;
    case NSLineBreakByTruncatingTail: return PANGO_ELLIPSIZE_END;
    case NSLineBreakByTruncatingMiddle: return PANGO_ELLIPSIZE_MIDDLE;
    default: return PANGO_ELLIPSIZE_NONE;
    }
}

void setColour(const CGContextRef& c, const UIColor& colour)
{
    const CGColor& k = colour.CGColor();
    cairo_set_source_rgba(c->cairo(), k.red(), k.green(), k.blue(), k.alpha() * c->state().alpha);
}

} // namespace

UIFont::UIFont(std::string name, std::string family, double size, bool bold)
    : name_(std::move(name))
    , family_(std::move(family))
    , size_(size > 0 ? size : 0)
    , bold_(bold)
{
}

UIFont UIFont::systemFontOfSize(double size) { return UIFont("System", kSystemFamily, size, false); }
UIFont UIFont::boldSystemFontOfSize(double size) { return UIFont("System-Bold", kSystemFamily, size, true); }

UIFont UIFont::fontWithName(const std::string& name, double size)
{
    std::string family = name;
    bool bold = false;
    for (const char* suffix : { "-Bold", " Bold", "-Regular", " Regular" }) {
        std::string s(suffix);
        if (family.size() > s.size() && family.compare(family.size() - s.size(), s.size(), s) == 0) {
            bold = s.find("Bold") != std::string::npos;
            family.resize(family.size() - s.size());
        }
    }
    std::lock_guard lock(textMutex);
    if (!familyInstalled(family))
        return UIFont(name, kSystemFamily, size, bold);
    return UIFont(name, family + "," + kChineseFallback, size, bold);
}

UIFont UIFont::fontWithSize(double size) const { return UIFont(name_, family_, size, bold_); }

double UIFont::lineHeight() const
{
    std::lock_guard lock(textMutex);
    return metricsFor(*this).lineHeight;
}

double UIFont::ascender() const
{
    std::lock_guard lock(textMutex);
    return metricsFor(*this).ascender;
}

double UIFont::descender() const
{
    std::lock_guard lock(textMutex);
    Metrics m = metricsFor(*this);
    return m.ascender - m.lineHeight;
}

namespace graphics {

CGSize sizeWithAttributes(const std::string& text, const NSStringAttributes& attributes)
{
    if (text.empty())
        return CGSizeZero;
    std::lock_guard lock(textMutex);
    Layout l(nullptr, text, attributes.font, 0, attributes.lineBreakMode);
    return l.fitted(0);
}

CGSize sizeWithFont(const std::string& text, const UIFont& font)
{
    NSStringAttributes attributes;
    attributes.font = font;
    CGSize s = sizeWithAttributes(text, attributes);
    return { std::ceil(s.width), std::ceil(s.height) };
}

CGSize sizeWithFont(const std::string& text, const UIFont& font, CGSize constrainedSize, NSLineBreakMode mode)
{
    NSStringAttributes attributes;
    attributes.font = font;
    attributes.lineBreakMode = mode;
    CGRect r = boundingRectWithSize(text, constrainedSize, NSStringDrawingUsesLineFragmentOrigin, attributes);
    return { std::ceil(r.size.width), std::ceil(r.size.height) };
}

CGRect boundingRectWithSize(const std::string& text, CGSize size, NSStringDrawingOptions options,
    const NSStringAttributes& attributes)
{
    if (text.empty())
        return CGRectZero;
    bool wrap = options & NSStringDrawingUsesLineFragmentOrigin;
    std::lock_guard lock(textMutex);
    Layout l(nullptr, text, attributes.font, wrap ? size.width : 0, attributes.lineBreakMode);
    CGSize fitted = l.fitted(wrap ? size.height : 0);
    return CGRectMake(0, 0, fitted.width, fitted.height);
}

CGSize drawTextAtPoint(const CGContextRef& context, const std::string& text, CGPoint point,
    const NSStringAttributes& attributes)
{
    if (!context || text.empty())
        return CGSizeZero;
    std::lock_guard lock(textMutex);
    cairo_t* cr = context->cairo();
    Layout l(cr, text, attributes.font, 0, attributes.lineBreakMode);
    CGSize size = l.fitted(0);
    cairo_save(cr);
    cairo_new_path(cr);
    setColour(context, attributes.foregroundColor);
    cairo_move_to(cr, point.x, point.y);
    pango_cairo_show_layout(cr, l.layout);
    cairo_new_path(cr);
    cairo_restore(cr);
    return size;
}

CGSize drawTextInRect(const CGContextRef& context, const std::string& text, CGRect rect,
    const NSStringAttributes& attributes)
{
    rect = CGRectStandardize(rect);
    if (!context || text.empty() || CGRectIsNull(rect))
        return CGSizeZero;
    std::lock_guard lock(textMutex);
    cairo_t* cr = context->cairo();
    Layout l(cr, text, attributes.font, rect.size.width, attributes.lineBreakMode);
    int lines = 0;
    l.fitted(rect.size.height, &lines);
    PangoEllipsizeMode ellipsis = ellipsisFor(attributes.lineBreakMode);
    if (ellipsis != PANGO_ELLIPSIZE_NONE) {
        pango_layout_set_ellipsize(l.layout, ellipsis);
        pango_layout_set_height(l.layout, -lines);
    }
    if (attributes.lineBreakMode == NSLineBreakByClipping && lines == 1)
        pango_layout_set_width(l.layout, -1); // one clipped line
    pango_layout_set_alignment(l.layout, alignmentFor(attributes.alignment));
    pango_layout_set_justify(l.layout, attributes.alignment == NSTextAlignmentJustified);
    if (attributes.alignment != NSTextAlignmentLeft && attributes.alignment != NSTextAlignmentNatural
        && attributes.alignment != NSTextAlignmentJustified)
        pango_layout_set_width(l.layout, int(rect.size.width * PANGO_SCALE));
    CGSize used = l.fitted(rect.size.height);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, used.height);
    cairo_clip(cr);
    setColour(context, attributes.foregroundColor);
    cairo_move_to(cr, rect.origin.x, rect.origin.y);
    pango_cairo_show_layout(cr, l.layout);
    cairo_new_path(cr);
    cairo_restore(cr);
    return used;
}

} // namespace graphics

#if defined(__SANITIZE_ADDRESS__)
#define QM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) // clang asks it so
#define QM_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(QM_ADDRESS_SANITIZER)
// Fontconfig keeps its configuration and font caches for the life of the process; the leak
// checker would report them at exit in every program that measures or draws text. So does the
// system's D-Bus library, which the desktop window's library opens, in the programs that show it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
#endif
