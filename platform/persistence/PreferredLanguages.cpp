// The user's preferred languages, read from the environment.
#include "platform/persistence/PreferredLanguages.h"

#include <algorithm>

#include "platform/persistence/StringTables.h"

namespace persistence {

std::vector<std::string> preferredLanguages()
{
    std::string language = environmentLanguage();
    if (language.empty())
        return { "en" };
    std::replace(language.begin(), language.end(), '_', '-');
    return { language };
}

} // namespace persistence
