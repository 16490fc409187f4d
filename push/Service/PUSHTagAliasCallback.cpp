// The checks of a tags/alias callback method and the invocation that calls it with the answer.
#include "push/Service/PUSHTagAliasCallback.h"

#include "push/Utilities/PUSHUtilities.h"

namespace push_service {

namespace {

constexpr const char* kAlertTitle = "Push Warning";

} // namespace

TagAliasAnswerTags tagsFromAnswer(const Value& tags)
{
    if (!tags.isArray())
        return std::nullopt;
    std::set<std::string> set;
    for (std::size_t i = 0; i < tags.count(); ++i)
        if (tags[i].isString())
            set.insert(tags[i].asString());
    return set;
}

std::string aliasFromAnswer(const Value& alias)
{
    return alias.isString() ? alias.asString() : std::string();
}

TagAliasInvocation getTagAliasInvocationWithCallback(
    const std::optional<TagAliasCallbackMethod>& method, const NSObjectRef& target)
{
    if (!method && !target)
        return nullptr;
    if (!target) {
        PUSHAlert(kAlertTitle, "setTagsAlias callback will NOT be invoked due to nil target");
        return nullptr;
    }
    if (!method) {
        PUSHAlert(kAlertTitle, "setTagsAlias callback will NOT be invoked due to nil callback selector");
        return nullptr;
    }
    if (!method->isImplementedBy || !method->isImplementedBy(target)) {
        PUSHAlert(kAlertTitle,
            "setTagsAlias callback selector NOT found (callback selector not implemented for target object)");
        return nullptr;
    }
    if (!method->takesAnswer || !method->invocationOn) {
        PUSHAlert(kAlertTitle,
            "setTagsAlias callback selector invalid (refers to example in sdk.zip to get standard callback selector "
            "implementation)");
        return nullptr;
    }
    return method->invocationOn(target);
}

} // namespace push_service
