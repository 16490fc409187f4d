// Fuzz target: arbitrary bytes as the server's tags/alias answer and as tags and alias text.
// The manager ignores what it cannot use; validation always gives one of its codes, and the
// filtered tags always validate.
#include <cstdint>
#include <cstdlib>

#include "push/Client/PUSHTagAlias.h"
#include "push/Client/PUSHTagAliasValidation.h"
#include "push/Utilities/PUSHUtilities.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(data, data + size);
    static auto manager = PUSHTagAlias::create(nullptr, nullptr);
    manager->doSetTagsAliasCallbackWithRetJson(text);

    const Value parsed = PUSHJSONObject(Bytes(data, data + size));
    const int tagsCode = PUSHTagAliasValidation::validateTags(parsed);
    if (tagsCode != 0 && (tagsCode < 6005 || tagsCode > 6008))
        std::abort();
    const int aliasCode = PUSHTagAliasValidation::validateAlias(Value(text));
    if (aliasCode != 0 && (aliasCode < 6003 || aliasCode > 6004))
        std::abort();
    const Value filtered = PUSHTagAliasValidation::filterValidTags(parsed);
    if (!filtered.isNil() && PUSHTagAliasValidation::validateTags(filtered) != 0)
        std::abort();
    (void)push_client::isValidTagAlias(text);
    return 0;
}
