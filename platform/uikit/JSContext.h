// JSContext: the script context of a web view's page, as a recording stand-in: no script runs.
// It keeps the globals set by subscript, an exception handler and the current exception, and
// lets tests raise a script exception. Objects set as globals are held weakly: a page's scripts
// can reach an object only while it lives, and a screen that keeps its own context does not
// keep itself alive through it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class JSContext final : public NSObject {
public:
    using ExceptionHandler = std::function<void(const std::shared_ptr<JSContext>& context, const Value& exception)>;

    static std::shared_ptr<JSContext> create() { return std::make_shared<JSContext>(); }
    std::string className() const override { return "JSContext"; }

    // context[key] = object; an absent object removes the global.
    void setObjectForKeyedSubscript(const Value& object, const std::string& key);
    // context[key]: absent when no such global (or its object is gone).
    Value objectForKeyedSubscript(const std::string& key) const;
    // The names of the globals set, sorted.
    std::vector<std::string> globalNames() const;

    const ExceptionHandler& exceptionHandler() const { return handler_; }
    void setExceptionHandler(ExceptionHandler handler) { handler_ = std::move(handler); }
    const Value& exception() const { return exception_; }
    void setException(Value exception) { exception_ = std::move(exception); }
    // A script of the page raises `exception`: the handler is called with it; without a
    // handler the exception becomes the context's current one.
    void raiseException(const Value& exception);

private:
    std::map<std::string, Value> values_;
    std::map<std::string, std::weak_ptr<NSObject>> objects_;
    ExceptionHandler handler_;
    Value exception_;
};
