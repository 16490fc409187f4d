// Response head reading.
#include "platform/network/ResponseHead.h"

#include <algorithm>
#include <cctype>

namespace network {

std::optional<std::pair<std::string, int>> parseStatusLine(std::string_view line)
{
    line = trimmed(line);
    if (!line.starts_with("HTTP/"))
        return std::nullopt;
    auto space = line.find(' ');
    if (space == std::string_view::npos || space == 5)
        return std::nullopt;
    std::string_view rest = line.substr(space + 1);
    if (rest.size() < 3)
        return std::nullopt;
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(rest[i])))
            return std::nullopt;
        status = status * 10 + (rest[i] - '0');
    }
    if (rest.size() > 3 && rest[3] != ' ')
        return std::nullopt;
    if (status < 100)
        return std::nullopt;
    return std::pair(std::string(line.substr(0, space)), status);
}

ResponseHeadReader::Result ResponseHeadReader::line(std::string_view line)
{
    bytes_ += line.size();
    if (bytes_ > kMaxHeadBytes)
        return Result::TooLarge;
    std::string_view content = line;
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
        content.remove_suffix(1);
    if (!sawStatus_) {
        auto status = parseStatusLine(content);
        if (!status)
            return Result::Malformed;
        head_ = ResponseHead {};
        head_.version = status->first;
        head_.status = status->second;
        head_.rawFields.reserve(kUsualFields);
        head_.headers.reserve(kUsualFields);
        sawStatus_ = true;
        return Result::More;
    }
    if (content.empty()) {
        sawStatus_ = false;
        if (head_.status < 200)
            return Result::More; // an interim head; the final one follows
        return Result::Complete;
    }
    if (content.front() == ' ' || content.front() == '\t') { // an obsolete folded continuation
        if (head_.rawFields.empty())
            return Result::Malformed;
        auto& [name, value] = head_.rawFields.back();
        value += " ";
        value += trimmed(content);
        // The combined field is made again from every field of that name: a repeated field's
        // earlier values stay in it.
        std::string combined;
        for (const auto& [otherName, otherValue] : head_.rawFields) {
            if (!equalsIgnoringCase(otherName, name))
                continue;
            if (!combined.empty())
                combined += ", ";
            combined += otherValue;
        }
        head_.headers.set(name, std::move(combined));
        return Result::More;
    }
    auto colon = content.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return Result::Malformed;
    std::string_view name = content.substr(0, colon);
    // A plain scan: find_first_of looks each character up in the set with a call of its own.
    if (std::any_of(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; }))
        return Result::Malformed;
    if (head_.rawFields.size() >= kMaxFields)
        return Result::TooLarge;
    std::string_view value = trimmed(content.substr(colon + 1));
    head_.rawFields.emplace_back(std::string(name), std::string(value));
    head_.headers.add(name, value);
    return Result::More;
}

} // namespace network
