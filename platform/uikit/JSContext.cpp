// The recording script context.
#include "platform/uikit/JSContext.h"

#include <algorithm>

void JSContext::setObjectForKeyedSubscript(const Value& object, const std::string& key)
{
    values_.erase(key);
    objects_.erase(key);
    if (object.isAbsent())
        return;
    if (auto ref = object.asObject())
        objects_[key] = ref;
    else
        values_[key] = object;
}

Value JSContext::objectForKeyedSubscript(const std::string& key) const
{
    if (auto it = values_.find(key); it != values_.end())
        return it->second;
    if (auto it = objects_.find(key); it != objects_.end())
        return Value(it->second.lock());
    return {};
}

std::vector<std::string> JSContext::globalNames() const
{
    std::vector<std::string> names;
    for (auto& [name, value] : values_)
        names.push_back(name);
    for (auto& [name, object] : objects_) {
        if (!object.expired())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void JSContext::raiseException(const Value& exception)
{
    if (!handler_) {
        exception_ = exception;
        return;
    }
    auto handler = handler_;
    handler(sharedAs<JSContext>(), exception);
}
