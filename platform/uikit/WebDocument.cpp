// The page layout over litehtml: a document container that measures and draws with our text
// and drawing functions, keeps the page's pictures by absolute URL and remembers the link a
// click lands on.
#include "platform/uikit/WebDocument.h"

#include <cmath>
#include <map>
#include <vector>

#include <litehtml/litehtml.h>

#include "platform/graphics/Text.h"
#include "platform/persistence/PreferredLanguages.h"

namespace uikit::web {
namespace {

constexpr int kDefaultFontSize = 16;

UIColor colorOf(const litehtml::web_color& c)
{
    return UIColor::colorWithRed(c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

CGRect rectOf(const litehtml::position& p)
{
    return { { double(p.x), double(p.y) }, { double(p.width), double(p.height) } };
}

// The first family of a CSS font-family list, without quotes.
std::string firstFamily(const char* faceName)
{
    std::string list = faceName ? faceName : "";
    std::string family = list.substr(0, list.find(','));
    std::string out;
    for (char ch : family) {
        if (ch != '"' && ch != '\'')
            out += ch;
    }
    auto begin = out.find_first_not_of(' ');
    auto end = out.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : out.substr(begin, end - begin + 1);
}

// Ideographs, kana, hangul and full-width forms break anywhere, like spaces between words.
bool breaksAnywhere(char32_t cp)
{
    return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) || (cp >= 0xF900 && cp <= 0xFAFF)
        || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFFEF) || (cp >= 0x20000 && cp <= 0x2FFFF);
}

// The code point at text[i] and the length of its UTF-8 sequence (1 for a stray byte).
std::pair<char32_t, std::size_t> codePointAt(std::string_view text, std::size_t i)
{
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 1;
    if (i + length > text.size())
        return { byte, 1 };
    if (length == 1)
        return { byte, 1 };
    char32_t cp = byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return { cp, length };
}

bool isSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f'; }

// Lowers every colspan and rowspan value above kMaxSpan to it.
std::string boundSpans(std::string_view html)
{
    std::string out;
    out.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        std::size_t at = i;
        while (at + 7 <= html.size()) {
            std::string name(html.substr(at, 7));
            for (auto& ch : name)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
            if (name == "colspan" || name == "rowspan")
                break;
            ++at;
        }
        if (at + 7 > html.size()) {
            out.append(html.substr(i));
            break;
        }
        std::size_t digits = at + 7;
        while (digits < html.size() && (html[digits] == ' ' || html[digits] == '=' || html[digits] == '"' || html[digits] == '\''))
            ++digits;
        std::size_t end = digits;
        while (end < html.size() && std::isdigit(static_cast<unsigned char>(html[end])))
            ++end;
        out.append(html.substr(i, digits - i));
        std::string_view number = html.substr(digits, end - digits);
        bool tooBig = number.size() > 3 || (!number.empty() && std::stoi(std::string(number)) > kMaxSpan);
        out.append(tooBig ? std::to_string(kMaxSpan) : std::string(number));
        i = end;
    }
    return out;
}

} // namespace

std::string boundedHTML(std::string_view html)
{
    html = html.substr(0, kMaxPageBytes);
    // Elements that close themselves, or that the parser closes when the next one opens.
    static const std::vector<std::string_view> unnested = { "area", "base", "br", "col", "embed", "hr", "img",
        "input", "link", "meta", "param", "source", "track", "wbr", "p", "li", "dt", "dd", "option", "tr", "td", "th",
        "!", "?" };
    int depth = 0;
    for (std::size_t i = 0; i + 1 < html.size(); ++i) {
        if (html[i] != '<')
            continue;
        if (html[i + 1] == '/') {
            depth = std::max(0, depth - 1);
            continue;
        }
        std::size_t end = i + 1;
        while (end < html.size() && (std::isalnum(static_cast<unsigned char>(html[end])) || html[end] == '!' || html[end] == '?'))
            ++end;
        if (end == i + 1)
            continue;
        std::string name(html.substr(i + 1, end - i - 1));
        for (auto& ch : name)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        if (name[0] == '!' || name[0] == '?')
            name = name.substr(0, 1);
        bool counts = std::find(unnested.begin(), unnested.end(), name) == unnested.end();
        if (counts && ++depth > kMaxNesting)
            return boundSpans(html.substr(0, i));
    }
    return boundSpans(html);
}

class WebDocument::Container final : public litehtml::document_container {
public:
    Container(std::optional<NSURL> baseURL, ImageRequest requestImage)
        : base_(std::move(baseURL))
        , requestImage_(std::move(requestImage))
    {
        context_.load_master_stylesheet(defaultStyleSheet());
    }

    std::shared_ptr<litehtml::document> document;
    litehtml::context context_;
    CGContextRef drawing;
    std::optional<NSURL> clicked;
    std::map<std::string, UIImageRef> images;
    litehtml::position client;

    std::optional<NSURL> resolve(const char* src, const char* baseurl) const
    {
        if (!src || !*src)
            return std::nullopt;
        std::optional<NSURL> base = base_;
        if (baseurl && *baseurl) {
            if (auto given = NSURL::URLWithString(baseurl, base_))
                base = NSURL::URLWithString(given->absoluteString());
        }
        auto url = NSURL::URLWithString(src, base);
        if (!url)
            return std::nullopt;
        return NSURL::URLWithString(url->absoluteString());
    }

    // ---- fonts and text ----
    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight, litehtml::font_style,
        unsigned int decoration, litehtml::font_metrics* fm) override
    {
        std::string family = firstFamily(faceName);
        if (weight >= 600)
            family += "-Bold";
        UIFont font = UIFont::fontWithName(family, std::max(1, size));
        fonts_.push_back({ font, decoration });
        if (fm) {
            fm->ascent = int(std::ceil(font.ascender()));
            fm->descent = int(std::ceil(-font.descender()));
            fm->height = int(std::ceil(font.lineHeight()));
            fm->x_height = int(std::round(font.pointSize() / 2));
            fm->draw_spaces = decoration != litehtml::font_decoration_none;
        }
        return fonts_.size();
    }
    void delete_font(litehtml::uint_ptr) override { }
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override
    {
        const Font* font = fontFor(hFont);
        if (!font || !text)
            return 0;
        auto key = std::make_pair(hFont, std::string(text));
        if (auto it = widths_.find(key); it != widths_.end())
            return it->second;
        int width = int(std::ceil(graphics::sizeWithAttributes(text, attributes(*font, UIColor::blackColor())).width));
        widths_.emplace(std::move(key), width);
        return width;
    }
    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
        litehtml::web_color color, const litehtml::position& pos) override
    {
        const Font* font = fontFor(hFont);
        if (!font || !text || !drawing)
            return;
        graphics::drawTextAtPoint(drawing, text, { double(pos.x), double(pos.y) }, attributes(*font, colorOf(color)));
        if (font->decoration & (litehtml::font_decoration_underline | litehtml::font_decoration_linethrough)) {
            double y = pos.y + std::ceil(font->font.ascender())
                + ((font->decoration & litehtml::font_decoration_underline) ? 1.0 : -font->font.pointSize() / 3);
            CGContextSetFillColorWithColor(drawing, colorOf(color).CGColor());
            CGContextFillRect(drawing, { { double(pos.x), y }, { double(text_width(text, hFont)), 1 } });
        }
    }
    int pt_to_px(int pt) const override { return int(std::round(pt * 96.0 / 72.0)); }
    int get_default_font_size() const override { return kDefaultFontSize; }
    const litehtml::tchar_t* get_default_font_name() const override { return "System"; }
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override
    {
        for (auto& ch : text) {
            if (tt == litehtml::text_transform_uppercase)
                ch = char(std::toupper(static_cast<unsigned char>(ch)));
            else if (tt == litehtml::text_transform_lowercase)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
        }
    }
    void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
        const std::function<void(const litehtml::tchar_t*)>& on_space) override
    {
        std::string_view view = text ? text : "";
        std::string word;
        auto flush = [&] {
            if (!word.empty())
                on_word(word.c_str());
            word.clear();
        };
        for (std::size_t i = 0; i < view.size();) {
            if (isSpace(view[i])) {
                flush();
                std::string space(1, view[i]);
                on_space(space.c_str());
                ++i;
                continue;
            }
            auto [cp, length] = codePointAt(view, i);
            if (breaksAnywhere(cp)) {
                flush();
                std::string glyph(view.substr(i, length));
                on_word(glyph.c_str());
            } else {
                word.append(view.substr(i, length));
            }
            i += length;
        }
        flush();
    }

    // ---- boxes, borders, markers and pictures ----
    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override
    {
        if (!drawing || marker.marker_type == litehtml::list_style_type_none)
            return;
        CGRect box = rectOf(marker.pos);
        CGContextSetFillColorWithColor(drawing, colorOf(marker.color).CGColor());
        CGContextSetStrokeColorWithColor(drawing, colorOf(marker.color).CGColor());
        switch (marker.marker_type) {
        case litehtml::list_style_type_circle:
            CGContextStrokeEllipseInRect(drawing, box);
            break;
        case litehtml::list_style_type_square:
            CGContextFillRect(drawing, box);
            break;
        case litehtml::list_style_type_disc:
            CGContextFillEllipseInRect(drawing, box);
            break;
        default: {
            std::string text = std::to_string(marker.index) + ".";
            if (const Font* font = fontFor(marker.font)) {
                double width = text_width(text.c_str(), marker.font);
                graphics::drawTextAtPoint(drawing, text, { box.origin.x + box.size.width - width, box.origin.y },
                    attributes(*font, colorOf(marker.color)));
            }
            break;
        }
        }
    }
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool) override
    {
        auto url = resolve(src, baseurl);
        if (!url || images.count(url->absoluteString()))
            return;
        // Pictures come from the web only: a page never reads the device's files.
        if (url->scheme() != "http" && url->scheme() != "https")
            return;
        images.emplace(url->absoluteString(), nullptr);
        if (requestImage_)
            requestImage_(*url);
    }
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, litehtml::size& sz) override
    {
        sz.width = sz.height = 0;
        if (auto image = imageFor(src, baseurl)) {
            sz.width = int(std::round(image->size().width));
            sz.height = int(std::round(image->size().height));
        }
    }
    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override
    {
        if (!drawing)
            return;
        CGContextSaveGState(drawing);
        CGContextClipToRect(drawing, rectOf(bg.clip_box));
        if (bg.color.alpha > 0) {
            CGContextSetFillColorWithColor(drawing, colorOf(bg.color).CGColor());
            CGContextFillRect(drawing, rectOf(bg.clip_box));
        }
        if (auto image = imageFor(bg.image.c_str(), bg.baseurl.c_str()); image && bg.image_size.width > 0) {
            CGRect at { { double(bg.position_x), double(bg.position_y) },
                { double(bg.image_size.width), double(bg.image_size.height) } };
            CGContextDrawImage(drawing, at, image->CGImage());
        }
        CGContextRestoreGState(drawing);
    }
    void draw_borders(litehtml::uint_ptr, const litehtml::borders& borders, const litehtml::position& pos, bool) override
    {
        if (!drawing)
            return;
        auto side = [&](const litehtml::border& b, CGRect rect) {
            if (b.width <= 0 || b.style == litehtml::border_style_none || b.style == litehtml::border_style_hidden)
                return;
            CGContextSetFillColorWithColor(drawing, colorOf(b.color).CGColor());
            CGContextFillRect(drawing, rect);
        };
        double x = pos.x, y = pos.y, w = pos.width, h = pos.height;
        side(borders.top, { { x, y }, { w, double(borders.top.width) } });
        side(borders.bottom, { { x, y + h - borders.bottom.width }, { w, double(borders.bottom.width) } });
        side(borders.left, { { x, y }, { double(borders.left.width), h } });
        side(borders.right, { { x + w - borders.right.width, y }, { double(borders.right.width), h } });
    }
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) override
    {
        if (!drawing)
            return;
        CGContextSaveGState(drawing);
        CGContextClipToRect(drawing, rectOf(pos));
        ++clips_;
    }
    void del_clip() override
    {
        if (!drawing || clips_ == 0)
            return;
        CGContextRestoreGState(drawing);
        --clips_;
    }
    void endDrawing()
    {
        for (; clips_ > 0; --clips_)
            CGContextRestoreGState(drawing);
        drawing.reset();
    }

    // ---- the page around the layout ----
    void set_caption(const litehtml::tchar_t*) override { }
    void set_base_url(const litehtml::tchar_t* base_url) override
    {
        if (auto url = resolve(base_url, nullptr))
            base_ = url;
    }
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override { }
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr&) override { clicked = resolve(url, nullptr); }
    void set_cursor(const litehtml::tchar_t*) override { }
    // Linked style sheets are not fetched; the page's own style elements apply.
    void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override { }
    void get_client_rect(litehtml::position& out) const override { out = client; }
    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
        const std::shared_ptr<litehtml::document>&) override
    {
        return nullptr;
    }
    void get_media_features(litehtml::media_features& media) const override
    {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = client.width;
        media.height = media.device_height = client.height;
        media.color = 8;
        media.color_index = 0;
        media.monochrome = 0;
        media.resolution = 96;
    }
    // The user's first preferred language: "zh-CN" lays pages out as language "zh", culture "CN".
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override
    {
        const std::string first = persistence::preferredLanguages().front(); // never empty
        const auto dash = first.find('-');
        language = first.substr(0, dash);
        culture = dash == std::string::npos ? "" : first.substr(dash + 1);
    }

private:
    struct Font {
        UIFont font;
        unsigned decoration;
    };
    const Font* fontFor(litehtml::uint_ptr handle) const
    {
        return handle >= 1 && handle <= fonts_.size() ? &fonts_[handle - 1] : nullptr;
    }
    static NSStringAttributes attributes(const Font& font, const UIColor& color)
    {
        NSStringAttributes a;
        a.font = font.font;
        a.foregroundColor = color;
        return a;
    }
    UIImageRef imageFor(const char* src, const char* baseurl) const
    {
        auto url = resolve(src, baseurl);
        if (!url)
            return nullptr;
        auto it = images.find(url->absoluteString());
        return it == images.end() ? nullptr : it->second;
    }

    std::optional<NSURL> base_;
    ImageRequest requestImage_;
    std::vector<Font> fonts_;
    std::map<std::pair<litehtml::uint_ptr, std::string>, int> widths_;
    int clips_ = 0;
};

WebDocument::WebDocument(std::string_view html, std::optional<NSURL> baseURL, ImageRequest requestImage)
    : container_(std::make_unique<Container>(std::move(baseURL), std::move(requestImage)))
{
    std::string text = boundedHTML(html);
    container_->document = litehtml::document::createFromUTF8(text.c_str(), container_.get(), &container_->context_);
    // Styles for a language (":lang()") follow the user's; litehtml asks for the language only
    // here, and only of a page that has media-dependent style sheets.
    if (container_->document)
        container_->document->lang_changed();
}

WebDocument::~WebDocument()
{
    // The document refers to its container until it is gone.
    container_->document.reset();
}

CGSize WebDocument::layout(double width, double height)
{
    auto& doc = container_->document;
    container_->client = litehtml::position(0, 0, int(width), int(height));
    if (!doc || width < 1)
        return { 0, 0 };
    doc->media_changed();
    doc->render(int(width));
    return { double(doc->width()), double(doc->height()) };
}

void WebDocument::draw(const CGContextRef& context, CGRect clip)
{
    auto& doc = container_->document;
    if (!doc || !context)
        return;
    container_->drawing = context;
    litehtml::position box(int(std::floor(clip.origin.x)), int(std::floor(clip.origin.y)),
        int(std::ceil(clip.size.width)) + 1, int(std::ceil(clip.size.height)) + 1);
    doc->draw(0, 0, 0, &box);
    container_->endDrawing();
}

std::optional<NSURL> WebDocument::linkAt(CGPoint point)
{
    auto& doc = container_->document;
    if (!doc)
        return std::nullopt;
    container_->clicked.reset();
    litehtml::position::vector boxes;
    int x = int(point.x), y = int(point.y);
    doc->on_mouse_over(x, y, x, y, boxes);
    doc->on_lbutton_down(x, y, x, y, boxes);
    doc->on_lbutton_up(x, y, x, y, boxes);
    doc->on_mouse_leave(boxes);
    return std::exchange(container_->clicked, std::nullopt);
}

bool WebDocument::setImage(const std::string& url, const UIImageRef& image)
{
    auto it = container_->images.find(url);
    if (it == container_->images.end())
        return false;
    it->second = image;
    return true;
}

} // namespace uikit::web
