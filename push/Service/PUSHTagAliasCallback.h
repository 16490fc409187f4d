// Tags/alias callbacks given as a method of one of the application's objects, as the
// application hands them over: the checks made before the request goes out (is there an object,
// is there a method, is the method one of the object's, can it take the answer) and the
// invocation that calls the method with the answer. A failed check is reported as a
// "Push Warning" alert, and the request then goes out without a callback.
#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

namespace push_service {

// The answer's arguments, in the order every callback takes them: result code, tags, alias.
using TagAliasAnswerTags = std::optional<std::set<std::string>>;
// Calls the application's callback with an answer as the server gave it (tags as an array of
// strings or absent, alias as a string or absent).
using TagAliasInvocation = std::function<void(int, const Value&, const Value&)>;

TagAliasAnswerTags tagsFromAnswer(const Value& tags);
std::string aliasFromAnswer(const Value& alias);

// The one type a method may take the result code as: int itself (by value or by const
// reference), as the template callback declares it. A char or a bool would turn 6002 into 114 or
// 1, an unsigned type would lose the sign, and a wider type is not the callback's type either.
template <class To>
concept IsResultCodeType = std::same_as<To, int>;

// The result code as the check hands it to a method: it converts only to int, so a method whose
// first parameter has another type cannot be called with it.
struct TagAliasResultCodeArgument {
    template <class To>
        requires IsResultCodeType<To>
    operator To() const;
};

// Whether `Callable`, given `Leading` first (the object, for a method), takes the answer's
// arguments as the template does: the result code as int only. The code is asked for as the
// invocation passes it, an int lvalue, so a callable that wants an rvalue is refused here rather
// than failing to compile there.
template <class Callable, class... Leading> constexpr bool takesTagAliasAnswer()
{
    return std::is_invocable_v<Callable, Leading..., int&, const TagAliasAnswerTags&, const std::string&>
        && std::is_invocable_v<Callable, Leading..., TagAliasResultCodeArgument, const TagAliasAnswerTags&,
            const std::string&>;
}

// validateCallbackMethod: whether a method of T takes the answer's arguments as the template does.
template <class T, class Method> constexpr bool validateCallbackMethod()
{
    return takesTagAliasAnswer<Method T::*, T&>();
}

// A callback method without its types: whether an object has it, whether it can take the
// answer, and the invocation on a given object (only asked for when both hold).
struct TagAliasCallbackMethod {
    std::function<bool(const NSObjectRef&)> isImplementedBy;
    bool takesAnswer = false;
    std::function<TagAliasInvocation(const NSObjectRef&)> invocationOn;
};

template <class T, class Method> TagAliasCallbackMethod tagAliasCallbackMethod(Method T::*method)
{
    TagAliasCallbackMethod erased;
    erased.isImplementedBy = [](const NSObjectRef& target) { return std::dynamic_pointer_cast<T>(target) != nullptr; };
    if constexpr (validateCallbackMethod<T, Method>()) {
        erased.takesAnswer = true;
        erased.invocationOn = [method](const NSObjectRef& target) -> TagAliasInvocation {
            auto object = std::dynamic_pointer_cast<T>(target);
            return [object, method](int code, const Value& tags, const Value& alias) {
                std::invoke(method, *object, code, tagsFromAnswer(tags), aliasFromAnswer(alias));
            };
        };
    }
    return erased;
}

template <class F> struct IsStdFunction : std::false_type { };
template <class R, class... Args> struct IsStdFunction<std::function<R(Args...)>> : std::true_type { };

// Any callable, as a method that every object has; none for a null or empty one. One that cannot
// take the answer as the template does is found invalid by the check, as such a method is.
template <class F> std::optional<TagAliasCallbackMethod> tagAliasCallbackFunction(F callback)
{
    if constexpr (std::is_null_pointer_v<F>) {
        return std::nullopt;
    } else {
        if constexpr (IsStdFunction<F>::value || std::is_pointer_v<F>) {
            if (!callback)
                return std::nullopt;
        }
        TagAliasCallbackMethod erased;
        erased.isImplementedBy = [](const NSObjectRef&) { return true; };
        if constexpr (takesTagAliasAnswer<F&>()) {
            erased.takesAnswer = true;
            erased.invocationOn = [callback = std::move(callback)](const NSObjectRef&) -> TagAliasInvocation {
                return [callback](int code, const Value& tags, const Value& alias) mutable {
                    std::invoke(callback, code, tagsFromAnswer(tags), aliasFromAnswer(alias));
                };
            };
        }
        return erased;
    }
}

// getTagAliasInvocationWithCallback:target: the invocation of `method` on `target`, or none
// after the alert that says why (nothing is said when both are missing).
TagAliasInvocation getTagAliasInvocationWithCallback(
    const std::optional<TagAliasCallbackMethod>& method, const NSObjectRef& target);

} // namespace push_service
