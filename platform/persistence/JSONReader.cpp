// JSON reading: simdjson parses and validates, then the document becomes a Value. The scanner
// is asked only when simdjson refuses a text: for the problem's name and place, or to let
// integers beyond 64 bits read as doubles.
#include "platform/persistence/NSJSONSerialization.h"

#include <simdjson.h>

#include "platform/foundation/ValueBuilder.h"
#include "platform/persistence/JSONScanner.h"

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Hands the Value of `e` to `emit` (see ValueBuilder.h).
template <typename Emit>
void convert(element e, foundation::ValueBuilder& builder, Emit&& emit)
{
    switch (e.type()) {
    case element_type::ARRAY: {
        simdjson::dom::array array = e.get_array().value_unsafe();
        std::size_t mark = builder.elementMark();
        for (element item : array)
            convert(item, builder, foundation::IntoElement { builder });
        emit(builder.makeArray(mark));
        return;
    }
    case element_type::OBJECT: {
        simdjson::dom::object object = e.get_object().value_unsafe();
        std::size_t mark = builder.memberMark();
        for (auto field : object)
            convert(field.value, builder, foundation::IntoMember<std::string_view> { builder, field.key });
        emit(builder.makeDictionary(mark));
        return;
    }
    case element_type::INT64:
        emit(e.get_int64().value_unsafe());
        return;
    case element_type::UINT64:
        emit(e.get_uint64().value_unsafe());
        return;
    case element_type::DOUBLE:
        emit(e.get_double().value_unsafe());
        return;
    case element_type::STRING:
        emit(e.get_string().value_unsafe());
        return;
    case element_type::BOOL:
        emit(e.get_bool().value_unsafe());
        return;
    case element_type::NULL_VALUE:
        emit(Value::null());
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

void report(NSErrorRef* error, std::string_view text, bool allowFragments, simdjson::error_code code)
{
    if (!error)
        return;
    if (auto problem = persistence::json::findProblem(text, allowFragments)) {
        *error = readError(problem->what, problem->offset, problem->line, problem->column);
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
    if (text.empty()) {
        report(error, text, allowFragments, simdjson::EMPTY);
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
        report(error, text, allowFragments, code);
        return {};
    }
    if (!allowFragments && root.type() != element_type::ARRAY && root.type() != element_type::OBJECT) {
        report(error, text, false, code);
        return {};
    }
    Value result;
    foundation::ValueBuilder& builder = threadBuilder();
    convert(root, builder, foundation::IntoValue { result });
    builder.clear();
    return result;
}

Value NSJSONSerialization::JSONObjectWithData(const Bytes& data, std::uint64_t options, NSErrorRef* error)
{
    return JSONObjectWithData(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), options, error);
}
