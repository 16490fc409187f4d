// The home tiles' pictures: for each category a white symbol drawn on a coloured rounded square,
// so the home grid reads like an app's icons at tile size.
#pragma once

#include <string>

namespace dataserver {

// Side of a tile picture in pixels (a 60-point tile on a 2x screen).
constexpr int kTileSide = 120;

// The PNG of the category named `name` (the seeded names: "加粉", "精准加粉", ...). A name the
// server does not know gets a generic four-square symbol; `id` picks its colour.
std::string tileIcon(const std::string& name, long long id);

} // namespace dataserver
