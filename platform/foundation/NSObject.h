// Base of every object with identity (views, controllers, operations, managers, sockets).
// Such objects live in std::shared_ptr and are made by a factory; delegates and back-references
// are std::weak_ptr. Plain data travels as Value instead (see Value.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // The "%@" text of the object.
    virtual std::string description() const;
    // Identity by default; value-like subclasses override both together.
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    virtual std::size_t hash() const { return reinterpret_cast<std::size_t>(this); }
    // Class name for descriptions and the class registry; subclasses override.
    virtual std::string className() const { return "NSObject"; }

    template <typename T>
    std::shared_ptr<T> sharedAs()
    {
        return std::dynamic_pointer_cast<T>(shared_from_this());
    }
    template <typename T>
    std::weak_ptr<T> weakAs()
    {
        return sharedAs<T>();
    }
};

using NSObjectRef = std::shared_ptr<NSObject>;
