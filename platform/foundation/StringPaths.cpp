// Path texts: components, extensions and joining of "/"-separated paths, as file and URL
// code reads them. A trailing "/" is not a component; the root "/" is.
#include "platform/foundation/NSString.h"

namespace NSString {
namespace {

// The path without trailing slashes, except that the root stays "/".
std::string_view stripTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

} // namespace

std::vector<std::string> pathComponents(std::string_view path)
{
    std::vector<std::string> parts;
    if (path.empty())
        return parts;
    if (path.front() == '/')
        parts.emplace_back("/");
    for (const std::string& piece : componentsSeparatedByString(path, "/"))
        if (!piece.empty())
            parts.push_back(piece);
    if (path.size() > 1 && path.back() == '/')
        parts.emplace_back("/");
    return parts;
}

std::string lastPathComponent(std::string_view path)
{
    path = stripTrailingSlashes(path);
    if (path == "/")
        return "/";
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string pathExtension(std::string_view path)
{
    std::string name = lastPathComponent(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return "";
    return name.substr(dot + 1);
}

std::string stringByDeletingPathExtension(std::string_view path)
{
    std::string_view stripped = stripTrailingSlashes(path);
    std::string extension = pathExtension(stripped);
    if (extension.empty())
        return std::string(stripped);
    return std::string(stripped.substr(0, stripped.size() - extension.size() - 1));
}

std::string stringByDeletingLastPathComponent(std::string_view path)
{
    path = stripTrailingSlashes(path);
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return "";
    if (slash == 0)
        return "/";
    return std::string(stripTrailingSlashes(path.substr(0, slash)));
}

std::string stringByAppendingPathComponent(std::string_view path, std::string_view component)
{
    std::string out(stripTrailingSlashes(path));
    while (!component.empty() && component.front() == '/')
        component.remove_prefix(1);
    if (component.empty())
        return out;
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += stripTrailingSlashes(component);
    return out;
}

} // namespace NSString
