// StringTables: which languages a bundle is read in, and its tables read once each.
#include "platform/persistence/StringTables.h"

#include <algorithm>
#include <cstdlib>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSPropertyListSerialization.h"

namespace persistence {
std::string environmentLanguage()
{
    for (const char* name : { "LANGUAGE", "LC_ALL", "LANG" }) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string text = value;
        text = text.substr(0, text.find_first_of(".:@"));
        if (!text.empty() && text != "C" && text != "POSIX")
            return text;
    }
    return {};
}

namespace {

void addOnce(std::vector<std::string>& names, std::string name)
{
    if (name.empty() || std::find(names.begin(), names.end(), name) != names.end())
        return;
    names.push_back(std::move(name));
}

// The name as given, with the other separator, and its language part alone.
void addWithLanguage(std::vector<std::string>& names, const std::string& name)
{
    addOnce(names, name);
    std::size_t cut = name.find_first_of("_-");
    if (cut == std::string::npos)
        return;
    std::string other = name;
    other[cut] = name[cut] == '_' ? '-' : '_';
    addOnce(names, other);
    addOnce(names, name.substr(0, cut));
}

} // namespace

std::vector<std::string> localizationOrder(std::string_view developmentRegion)
{
    std::vector<std::string> names;
    addWithLanguage(names, environmentLanguage());
    addWithLanguage(names, std::string(developmentRegion));
    addOnce(names, "Base");
    addOnce(names, "en");
    return names;
}

StringTables::StringTables(std::string bundlePath)
    : bundlePath_(std::move(bundlePath))
{
}

std::optional<std::string> StringTables::lookup(
    std::string_view key, std::string_view table, const std::vector<std::string>& languages) const
{
    for (const auto& language : languages) {
        auto strings = tableFor(language, table);
        if (!strings)
            continue;
        const Value& text = (*strings)[key];
        if (text.isString())
            return text.asString();
    }
    return std::nullopt;
}

std::shared_ptr<const Value> StringTables::tableFor(const std::string& language, std::string_view table) const
{
    std::string relative = language + ".lproj/" + std::string(table) + ".strings";
    std::lock_guard guard(lock_);
    if (auto found = tables_.find(relative); found != tables_.end())
        return found->second;
    std::shared_ptr<const Value> strings;
    if (auto bytes = dataWithContentsOfFile(appendPathComponent(bundlePath_, relative))) {
        Value parsed = NSPropertyListSerialization::propertyListWithData(*bytes);
        if (parsed.isDictionary())
            strings = std::make_shared<const Value>(std::move(parsed));
    }
    tables_.emplace(std::move(relative), strings);
    return strings;
}

} // namespace persistence
