// Query splitting for the messenger's return URLs.
#include "services/messenger/MGQuery.h"

#include <algorithm>
#include <limits>

#include "platform/foundation/NSString.h"

namespace messenger {
namespace {

std::string decoded(std::string_view text)
{
    std::string plus(text);
    for (char& c : plus) {
        if (c == '+')
            c = ' ';
    }
    return NSString::stringByRemovingPercentEncoding(plus).value_or(plus);
}

} // namespace

std::map<std::string, std::string> queryPairs(std::string_view query)
{
    std::map<std::string, std::string> pairs;
    for (const auto& piece : NSString::componentsSeparatedByString(query, "&")) {
        if (piece.empty())
            continue;
        auto equals = piece.find('=');
        if (equals == std::string::npos) {
            pairs[decoded(piece)] = "";
            continue;
        }
        pairs[decoded(piece.substr(0, equals))] = decoded(piece.substr(equals + 1));
    }
    return pairs;
}

int resultCode(std::int64_t code)
{
    return static_cast<int>(std::clamp<std::int64_t>(code, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace messenger
