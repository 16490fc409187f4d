// Form encoding of parameters: flattening nested dictionaries and arrays into pairs, escaping,
// and joining the pairs into a query string.
#include <algorithm>

#include "net/NKURLRequestSerialization.h"

namespace net {
namespace {

bool allowedInQueryComponent(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '?';
}

void flattenInto(const Value& key, const Value& value, std::vector<NKQueryStringPair>& out)
{
    if (value.isDictionary()) {
        std::vector<std::pair<std::string, const Value*>> entries;
        for (const auto& [inner, item] : value.asDictionary())
            entries.emplace_back(inner, &item);
        std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [inner, item] : entries) {
            if (item->isAbsent())
                continue;
            Value field = key.isAbsent() ? Value(inner) : Value(key.description() + "[" + inner + "]");
            flattenInto(field, *item, out);
        }
        return;
    }
    if (value.isArray()) {
        Value field = Value(key.description() + "[]");
        for (const auto& item : value.asArray())
            flattenInto(field, item, out);
        return;
    }
    out.emplace_back(key, value);
}

} // namespace

std::vector<NKQueryStringPair> flattenParameters(const Value& key, const Value& value)
{
    std::vector<NKQueryStringPair> pairs;
    if (!value.isAbsent())
        flattenInto(key, value, pairs);
    return pairs;
}

std::string escapeQueryComponent(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (allowedInQueryComponent(c)) {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

std::string queryStringFromParameters(const Value& parameters)
{
    std::string query;
    for (const auto& pair : flattenParameters(Value(), parameters)) {
        if (!query.empty())
            query += '&';
        query += pair.URLEncodedStringValue();
    }
    return query;
}

} // namespace net

std::string NKQueryStringPair::URLEncodedStringValue() const
{
    std::string field = net::escapeQueryComponent(field_.description());
    if (value_.isNil())
        return field;
    return field + "=" + net::escapeQueryComponent(value_.description());
}
