// The home tiles' symbols, drawn as unions of simple shapes (discs, rings, bars, polygons) in a
// unit square and rasterised with 4x4 samples a pixel, so the edges stay smooth.
#include "tools/dataserver/TileIcons.h"

#include "tools/dataserver/Png.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <numbers>
#include <utility>
#include <vector>

namespace dataserver {

namespace {

// A shape: whether the point (x, y) of the unit square (y downwards) is inside.
using Shape = std::function<bool(double, double)>;

struct Rgb {
    std::uint8_t r, g, b;
};

Shape disc(double cx, double cy, double r)
{
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) <= r; };
}

Shape ring(double cx, double cy, double r, double width)
{
    return [=](double x, double y) {
        double d = std::hypot(x - cx, y - cy);
        return d <= r && d >= r - width;
    };
}

Shape box(double x0, double y0, double x1, double y1, double radius = 0)
{
    return [=](double x, double y) {
        if (x < x0 || x > x1 || y < y0 || y > y1)
            return false;
        double dx = std::max({ x0 + radius - x, 0.0, x - (x1 - radius) });
        double dy = std::max({ y0 + radius - y, 0.0, y - (y1 - radius) });
        return std::hypot(dx, dy) <= radius;
    };
}

// A bar of half-width `half` from (ax, ay) to (bx, by) with round ends.
Shape bar(double ax, double ay, double bx, double by, double half)
{
    return [=](double x, double y) {
        double vx = bx - ax, vy = by - ay;
        double t = std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
        return std::hypot(x - (ax + t * vx), y - (ay + t * vy)) <= half;
    };
}

Shape polygon(std::vector<std::pair<double, double>> points)
{
    return [points = std::move(points)](double x, double y) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            auto [xi, yi] = points[i];
            auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    };
}

// The part of `shape` whose angle around (cx, cy), in degrees clockwise from the right, lies
// between `from` and `to`.
Shape sector(Shape shape, double cx, double cy, double from, double to)
{
    return [=](double x, double y) {
        double angle = std::atan2(y - cy, x - cx) * 180 / std::numbers::pi;
        if (angle < 0)
            angle += 360;
        return angle >= from && angle <= to && shape(x, y);
    };
}

Shape minus(Shape shape, Shape hole)
{
    return [=](double x, double y) { return shape(x, y) && !hole(x, y); };
}

Shape any(std::vector<Shape> shapes)
{
    return [shapes = std::move(shapes)](double x, double y) {
        for (const auto& s : shapes)
            if (s(x, y))
                return true;
        return false;
    };
}

// A person: a head and the top of a body, centred on cx.
Shape person(double cx, double top, double size)
{
    return any({ disc(cx, top + size * 0.22, size * 0.2),
        sector(disc(cx, top + size * 0.95, size * 0.42), cx, top + size * 0.95, 180, 360) });
}

Shape addFans()
{
    return any({ person(0.4, 0.26, 0.48), bar(0.64, 0.38, 0.84, 0.38, 0.04), bar(0.74, 0.28, 0.74, 0.48, 0.04) });
}

Shape target()
{
    return any({ ring(0.5, 0.5, 0.3, 0.06), ring(0.5, 0.5, 0.18, 0.06), disc(0.5, 0.5, 0.06) });
}

Shape globe()
{
    auto meridian = [](double x, double y) {
        double d = std::hypot((x - 0.5) / 0.13, (y - 0.5) / 0.3);
        return d <= 1 && d >= 0.8;
    };
    return any({ ring(0.5, 0.5, 0.3, 0.05), meridian, bar(0.22, 0.5, 0.78, 0.5, 0.025),
        bar(0.27, 0.37, 0.73, 0.37, 0.02), bar(0.27, 0.63, 0.73, 0.63, 0.02) });
}

Shape briefcase()
{
    return any({ minus(box(0.22, 0.36, 0.78, 0.74, 0.05), box(0.22, 0.5, 0.78, 0.53)),
        minus(box(0.4, 0.26, 0.6, 0.4, 0.04), box(0.45, 0.31, 0.55, 0.4)) });
}

Shape group()
{
    return any({ person(0.3, 0.3, 0.36), person(0.7, 0.3, 0.36), person(0.5, 0.24, 0.46) });
}

Shape mutual()
{
    return any({ bar(0.24, 0.4, 0.7, 0.4, 0.04), polygon({ { 0.66, 0.3 }, { 0.8, 0.4 }, { 0.66, 0.5 } }),
        bar(0.3, 0.62, 0.76, 0.62, 0.04), polygon({ { 0.34, 0.52 }, { 0.2, 0.62 }, { 0.34, 0.72 } }) });
}

Shape wifi()
{
    std::vector<Shape> parts { disc(0.5, 0.7, 0.06) };
    for (double r : { 0.2, 0.32, 0.44 })
        parts.push_back(sector(ring(0.5, 0.72, r, 0.06), 0.5, 0.72, 225, 315));
    return any(std::move(parts));
}

Shape info()
{
    return any({ ring(0.5, 0.5, 0.3, 0.05), disc(0.5, 0.36, 0.045), bar(0.5, 0.47, 0.5, 0.66, 0.04) });
}

Shape picture()
{
    return any({ minus(box(0.2, 0.26, 0.8, 0.74, 0.04), box(0.25, 0.31, 0.75, 0.69)),
        polygon({ { 0.27, 0.67 }, { 0.44, 0.44 }, { 0.56, 0.58 }, { 0.62, 0.5 }, { 0.73, 0.67 } }),
        disc(0.64, 0.4, 0.05) });
}

Shape coin()
{
    return any({ ring(0.5, 0.5, 0.3, 0.05), bar(0.4, 0.34, 0.5, 0.48, 0.03), bar(0.6, 0.34, 0.5, 0.48, 0.03),
        bar(0.5, 0.48, 0.5, 0.68, 0.03), bar(0.41, 0.52, 0.59, 0.52, 0.025), bar(0.41, 0.6, 0.59, 0.6, 0.025) });
}

Shape crown()
{
    return any({ polygon({ { 0.22, 0.66 }, { 0.22, 0.34 }, { 0.37, 0.5 }, { 0.5, 0.28 }, { 0.63, 0.5 }, { 0.78, 0.34 },
                     { 0.78, 0.66 } }),
        box(0.22, 0.7, 0.78, 0.76, 0.02) });
}

Shape bubble()
{
    auto body = any({ box(0.2, 0.26, 0.8, 0.64, 0.1), polygon({ { 0.3, 0.6 }, { 0.28, 0.78 }, { 0.46, 0.62 } }) });
    return minus(body, any({ disc(0.36, 0.45, 0.045), disc(0.5, 0.45, 0.045), disc(0.64, 0.45, 0.045) }));
}

Shape gear()
{
    std::vector<Shape> parts { disc(0.5, 0.5, 0.22) };
    for (int i = 0; i < 8; ++i) {
        double a = i * std::numbers::pi / 4;
        parts.push_back(bar(0.5, 0.5, 0.5 + 0.29 * std::cos(a), 0.5 + 0.29 * std::sin(a), 0.055));
    }
    return minus(any(std::move(parts)), disc(0.5, 0.5, 0.09));
}

Shape squares()
{
    return any({ box(0.25, 0.25, 0.46, 0.46, 0.04), box(0.54, 0.25, 0.75, 0.46, 0.04), box(0.25, 0.54, 0.46, 0.75, 0.04),
        box(0.54, 0.54, 0.75, 0.75, 0.04) });
}

struct Design {
    Rgb colour;
    Shape symbol;
};

const std::map<std::string, Design>& designs()
{
    static const std::map<std::string, Design> table = {
        { "加粉", { { 231, 96, 60 }, addFans() } },
        { "精准加粉", { { 214, 69, 80 }, target() } },
        { "国际加粉", { { 52, 136, 219 }, globe() } },
        { "行业客源", { { 142, 95, 60 }, briefcase() } },
        { "加群", { { 46, 174, 102 }, group() } },
        { "互粉", { { 241, 150, 30 }, mutual() } },
        { "免费WiFi", { { 26, 160, 176 }, wifi() } },
        { "关于我们", { { 100, 116, 139 }, info() } },
        { "图片", { { 155, 89, 182 }, picture() } },
        { "推广赚钱", { { 230, 170, 20 }, coin() } },
        { "会员中心", { { 192, 120, 40 }, crown() } },
        { "消息", { { 60, 170, 90 }, bubble() } },
        { "设置", { { 110, 110, 120 }, gear() } },
    };
    return table;
}

// The share of the pixel at (px, py) that is coloured (inside the tile, outside the symbol).
// Where its four corners agree the pixel is taken as uniform; the symbols' strokes are several
// pixels wide, so only edge pixels take the 4x4 samples.
double colouredShare(const Shape& tile, const Shape& symbol, int px, int py)
{
    auto coloured = [&](double x, double y) { return tile(x, y) && !symbol(x, y); };
    auto corner = [&](int dx, int dy) { return coloured(double(px + dx) / kTileSide, double(py + dy) / kTileSide); };
    bool first = corner(0, 0);
    if (corner(1, 0) == first && corner(0, 1) == first && corner(1, 1) == first)
        return first ? 1 : 0;
    constexpr int samples = 4;
    int count = 0;
    for (int sy = 0; sy < samples; ++sy)
        for (int sx = 0; sx < samples; ++sx)
            count += coloured((px + (sx + 0.5) / samples) / kTileSide, (py + (sy + 0.5) / samples) / kTileSide);
    return double(count) / (samples * samples);
}

std::string render(const Design& design)
{
    auto tile = box(0.02, 0.02, 0.98, 0.98, 0.2);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kTileSide) * kTileSide * 3);
    for (int py = 0; py < kTileSide; ++py) {
        for (int px = 0; px < kTileSide; ++px) {
            // White outside the tile and in the symbol, the colour in between.
            double share = colouredShare(tile, design.symbol, px, py);
            auto mix = [share](std::uint8_t c) { return static_cast<std::uint8_t>(std::lround(c * share + 255 * (1 - share))); };
            std::size_t at = (static_cast<std::size_t>(py) * kTileSide + static_cast<std::size_t>(px)) * 3;
            rgb[at] = mix(design.colour.r);
            rgb[at + 1] = mix(design.colour.g);
            rgb[at + 2] = mix(design.colour.b);
        }
    }
    return encodePng(kTileSide, kTileSide, rgb);
}

} // namespace

std::string tileIcon(const std::string& name, long long id)
{
    static const std::array<Rgb, 4> colours = { { { 52, 152, 219 }, { 46, 204, 113 }, { 155, 89, 182 }, { 231, 76, 60 } } };
    auto found = designs().find(name);
    std::size_t index = static_cast<std::size_t>(id < 0 ? -(id % 4) : id % 4);
    std::string key = found != designs().end() ? name : "\n" + std::to_string(index);
    // Each picture is drawn once and kept: the home screen asks for all of them at every launch.
    static std::mutex mutex;
    static std::map<std::string, std::string> drawn;
    std::lock_guard lock(mutex);
    auto& png = drawn[key];
    if (png.empty())
        png = render(found != designs().end() ? found->second : Design { colours[index], squares() });
    return png;
}

} // namespace dataserver
