// Parse and write throughput (MB/s) of JTJsonParser and JTJsonWriter against RapidJSON (DOM)
// and nlohmann-json, on three generated documents of about 10 MB: mixed records, string-heavy
// and number-heavy. "BuildValue" converts an already parsed RapidJSON DOM into Values, to show
// what building the Value tree alone costs.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <random>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>

#include "net/JTJsonParser.h"
#include "net/JTJsonWriter.h"
#include "platform/foundation/ValueBuilder.h"

namespace {

constexpr std::size_t kTarget = 10 * 1024 * 1024;

std::string word(std::mt19937& rng, int length)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
    std::string s;
    for (int i = 0; i < length; ++i)
        s += letters[rng() % (sizeof letters - 1)];
    return s;
}

// Server-reply-like records: short strings, integers, doubles, booleans, nulls, small nesting.
std::string mixedDocument()
{
    std::mt19937 rng(1);
    std::string s = "{\"status\":1,\"msg\":\"ok\",\"info\":{\"listItems\":[";
    for (int i = 0; s.size() < kTarget; ++i) {
        if (i)
            s += ',';
        s += "{\"id\":" + std::to_string(i) + ",\"phone\":\"1" + std::to_string(3800000000ULL + rng() % 100000000)
            + "\",\"name\":\"" + word(rng, 6 + static_cast<int>(rng() % 10)) + "\",\"city\":\"\\u7c89\\u4e1d\xe7\xb2\x89\""
            + ",\"score\":" + std::to_string((rng() % 100000) / 100.0) + ",\"active\":" + (rng() % 2 ? "true" : "false")
            + ",\"tags\":[\"a\",\"bb\",\"ccc\"],\"parent\":null,\"geo\":{\"lat\":31.2" + std::to_string(rng() % 1000)
            + ",\"lng\":121.4" + std::to_string(rng() % 1000) + "}}";
    }
    return s + "]}}";
}

// Long strings with some escapes and non-ASCII text.
std::string stringDocument()
{
    std::mt19937 rng(2);
    std::string s = "[";
    for (int i = 0; s.size() < kTarget; ++i) {
        if (i)
            s += ',';
        s += "\"" + word(rng, 100 + static_cast<int>(rng() % 400));
        s += i % 4 == 0 ? "\\n\\\"quoted\\\" \\u00e9 粉丝 \"" : " plain tail text\"";
    }
    return s + "]";
}

// Integers and doubles in arrays of rows.
std::string numberDocument()
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    std::string s = "[";
    char buffer[64];
    for (int i = 0; s.size() < kTarget; ++i) {
        s += i ? ",[" : "[";
        for (int j = 0; j < 16; ++j) {
            if (j)
                s += ',';
            if (j % 2)
                s += std::to_string(static_cast<std::int64_t>(rng() % 10000000000ULL) - 5000000000LL);
            else
                s.append(buffer, static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%.10g", real(rng))));
        }
        s += ']';
    }
    return s + "]";
}

const std::string& document(int which)
{
    static const std::string documents[] = { mixedDocument(), stringDocument(), numberDocument() };
    return documents[which];
}

void setLabel(benchmark::State& state, int which)
{
    static const char* names[] = { "mixed", "strings", "numbers" };
    state.SetLabel(names[which]);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document(which).size()));
}

void ParseJT(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    const std::string& text = document(which);
    JTJsonParser parser;
    for (auto _ : state) {
        Value v = parser.objectWithString(text);
        if (v.isAbsent())
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(v);
    }
    setLabel(state, which);
}

void ParseRapidJSON(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    const std::string& text = document(which);
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        if (d.HasParseError())
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
    }
    setLabel(state, which);
}

void ParseNlohmann(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    const std::string& text = document(which);
    for (auto _ : state) {
        nlohmann::json j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
    setLabel(state, which);
}

// Through the builder the parsers use.
Value toValue(const rapidjson::Value& r, foundation::ValueBuilder& builder)
{
    switch (r.GetType()) {
    case rapidjson::kNullType:
        return Value::null();
    case rapidjson::kFalseType:
        return Value(false);
    case rapidjson::kTrueType:
        return Value(true);
    case rapidjson::kStringType:
        return Value(std::string(r.GetString(), r.GetStringLength()));
    case rapidjson::kNumberType:
        if (r.IsInt64())
            return Value(r.GetInt64());
        return Value(r.GetDouble());
    case rapidjson::kArrayType: {
        std::size_t mark = builder.elementMark();
        for (const auto& e : r.GetArray())
            builder.addElement(toValue(e, builder));
        return builder.makeArray(mark);
    }
    case rapidjson::kObjectType: {
        std::size_t mark = builder.memberMark();
        for (const auto& m : r.GetObject())
            builder.addMember(std::string(m.name.GetString(), m.name.GetStringLength()), toValue(m.value, builder));
        return builder.makeDictionary(mark);
    }
    }
    return {};
}

// Building (and freeing) the Value tree alone, from a DOM parsed outside the timing.
void BuildValue(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    rapidjson::Document d;
    d.Parse(document(which).data(), document(which).size());
    foundation::ValueBuilder builder;
    for (auto _ : state) {
        Value v = toValue(d, builder);
        builder.clear();
        benchmark::DoNotOptimize(v);
    }
    setLabel(state, which);
}

void WriteJT(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    JTJsonParser parser;
    Value v = parser.objectWithString(document(which));
    JTJsonWriter writer;
    for (auto _ : state) {
        std::optional<std::string> text = writer.stringWithObject(v);
        benchmark::DoNotOptimize(text);
    }
    setLabel(state, which);
}

void WriteRapidJSON(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    rapidjson::Document d;
    d.Parse(document(which).data(), document(which).size());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    setLabel(state, which);
}

void WriteNlohmann(benchmark::State& state)
{
    int which = static_cast<int>(state.range(0));
    nlohmann::json j = nlohmann::json::parse(document(which));
    for (auto _ : state) {
        std::string text = j.dump();
        benchmark::DoNotOptimize(text);
    }
    setLabel(state, which);
}

} // namespace

BENCHMARK(ParseJT)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRapidJSON)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildValue)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteJT)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteRapidJSON)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
