// JSON reading: simdjson parses and validates, then the document becomes a Value. The scanner
// is asked only when simdjson refuses a text: for the problem's name and place, or to let
// integers beyond 64 bits read as doubles.
#include "platform/persistence/NSJSONSerialization.h"

#include <simdjson.h>

#include <iterator>
#include <string_view>
#include <vector>

#include "platform/foundation/Utf8.h"
#include "platform/foundation/ValueBuilder.h"
#include "platform/persistence/JSONScanner.h"

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Hands the Value of a scalar `e` to `make`, which makes it where it belongs.
template <typename Make>
void scalar(element e, Make&& make)
{
    switch (e.type()) {
    case element_type::INT64:
        make(e.get_int64().value_unsafe());
        return;
    case element_type::UINT64:
        make(e.get_uint64().value_unsafe());
        return;
    case element_type::DOUBLE:
        make(e.get_double().value_unsafe());
        return;
    case element_type::STRING:
        make(e.get_string().value_unsafe());
        return;
    case element_type::BOOL:
        make(e.get_bool().value_unsafe());
        return;
    default:
        make(Value::null());
        return;
    }
}

// The parsed document knows the size of each container before its contents, so every Value is
// made in its place in the arena (see ValueBuilder.h).
void fill(element e, foundation::ValueBuilder& builder, std::vector<std::string_view>& keys, Value* slot)
{
    switch (e.type()) {
    case element_type::ARRAY: {
        simdjson::dom::array array = e.get_array().value_unsafe();
        std::size_t count = array.size();
        if (count >= 0xFFFFFF) // the parser's count saturates there
            count = static_cast<std::size_t>(std::distance(array.begin(), array.end()));
        Value* items = builder.slots(count);
        Value* item = items;
        for (element child : array)
            fill(child, builder, keys, item++);
        builder.placeArray(slot, items, count);
        return;
    }
    case element_type::OBJECT: {
        simdjson::dom::object object = e.get_object().value_unsafe();
        keys.clear();
        for (auto field : object)
            keys.push_back(field.key);
        const auto& shape = builder.shapeOf(keys);
        Value* values = builder.slots(foundation::ValueBuilder::shapeCount(shape));
        std::size_t k = 0;
        for (auto field : object) {
            std::size_t place = foundation::ValueBuilder::shapeSlot(shape, k++);
            if (place != foundation::ValueBuilder::kDropped)
                fill(field.value, builder, keys, values + place);
        }
        builder.placeDictionary(slot, shape, values);
        return;
    }
    default:
        scalar(e, [&](auto&& item) { builder.place(slot, std::forward<decltype(item)>(item)); });
        return;
    }
}

NSErrorRef readError(const std::string& what, std::size_t offset, std::size_t line, std::size_t column)
{
    std::string debug = what + " around line " + std::to_string(line) + ", column " + std::to_string(column) + ".";
    return NSError::errorWithDomain(NSCocoaErrorDomain, 3840,
        Value::dictionary({
            { NSLocalizedDescriptionKey, "The data couldn\u2019t be read because it isn\u2019t in the correct format." },
            { NSDebugDescriptionErrorKey, debug },
            { NSJSONSerializationErrorIndex, Value(offset) },
        }));
}

// `skipped` bytes (a byte-order mark) came before `text` on its first line: the error's place is
// counted in the data as given.
void report(
    NSErrorRef* error, std::string_view text, std::size_t skipped, bool allowFragments, simdjson::error_code code)
{
    if (!error)
        return;
    if (auto problem = persistence::json::findProblem(text, allowFragments)) {
        std::size_t column = problem->column + (problem->line == 1 ? skipped : 0);
        *error = readError(problem->what, problem->offset + skipped, problem->line, column);
        return;
    }
    // Well-formed to the scanner: a number out of range, or a limit of the parser.
    *error = readError(simdjson::error_message(code), 0, 1, 1);
}

simdjson::dom::parser& threadParser()
{
    thread_local simdjson::dom::parser parser;
    return parser;
}

foundation::ValueBuilder& threadBuilder()
{
    thread_local foundation::ValueBuilder builder;
    return builder;
}

} // namespace

Value NSJSONSerialization::JSONObjectWithData(std::string_view text, std::uint64_t options, NSErrorRef* error)
{
    const bool allowFragments = options & NSJSONReadingAllowFragments;
    // A leading byte-order mark only says the text is UTF-8: it is no part of the JSON.
    using foundation::utf8::kByteOrderMark;
    const std::size_t skipped = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    text.remove_prefix(skipped);
    if (text.empty()) {
        report(error, text, skipped, allowFragments, simdjson::EMPTY);
        return {};
    }
    auto& parser = threadParser();
    element root;
    auto code = parser.parse(text.data(), text.size(), true).get(root);
    std::string widened;
    if (code == simdjson::NUMBER_ERROR) {
        if (auto wide = persistence::json::widenHugeIntegers(text)) {
            widened = std::move(*wide);
            code = parser.parse(widened.data(), widened.size(), true).get(root);
        }
    }
    if (code != simdjson::SUCCESS) {
        report(error, text, skipped, allowFragments, code);
        return {};
    }
    if (!allowFragments && root.type() != element_type::ARRAY && root.type() != element_type::OBJECT) {
        report(error, text, skipped, false, code);
        return {};
    }
    Value result;
    if (root.type() != element_type::ARRAY && root.type() != element_type::OBJECT) {
        scalar(root, foundation::IntoValue { result });
        return result;
    }
    foundation::ValueBuilder& builder = threadBuilder();
    thread_local std::vector<std::string_view> keys;
    Value* slot = builder.slots(1);
    fill(root, builder, keys, slot);
    result = foundation::ValueBuilder::take(slot);
    builder.clear();
    return result;
}

Value NSJSONSerialization::JSONObjectWithData(const Bytes& data, std::uint64_t options, NSErrorRef* error)
{
    return JSONObjectWithData(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), options, error);
}
