// JTJsonWriter: turns Values into JSON text, keeping a trace of what went wrong.
//
// Dictionaries, arrays, strings, numbers, booleans and null are written as JSON; an object that
// implements net::JsonProxy is written as the value its proxyForJson() returns. Anything else
// (dates, data, other objects, NaN and infinities) fails with error 1.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "net/JTJsonBase.h"

namespace net {

// An object that stands for a JSON value of its own making when written.
class JsonProxy {
public:
    virtual ~JsonProxy() = default;
    virtual Value proxyForJson() const = 0;
};

} // namespace net

class JTJsonWriter : public JTJsonBase {
public:
    // The JSON text of any writable value; nothing on failure, with the reasons in errorTrace().
    std::optional<std::string> stringWithFragment(const Value& value);
    // The JSON text of a dictionary or an array; nothing for anything else.
    std::optional<std::string> stringWithObject(const Value& value);

    // Keys in ascending byte order. Dictionaries keep their keys in that order already, so this
    // changes nothing on its own; it is kept for callers that set it.
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    // Line breaks and two spaces of indentation per level, and " : " between key and value.
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }

private:
    bool writeValue(const Value& value);
    bool writeArray(std::span<const Value> array);
    bool writeDictionary(const ValueEntries& dictionary);
    bool writeProxy(const net::JsonProxy& proxy);
    void writeString(std::string_view text);
    void writeEscaped(std::string_view text);
    void indent();
    bool unsupported(const std::string& className);

    bool sortKeys_ = false;
    bool humanReadable_ = false;
    std::uint64_t proxyDepth_ = 0;
    std::string out_;
};
