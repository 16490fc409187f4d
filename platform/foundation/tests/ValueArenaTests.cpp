// Values in a document arena, as the JSON readers make them: every read agrees with the same
// value built from std containers, the first write copies, arena values are shared between
// threads and outlive the builder, and a builder never reuses an arena a value still holds.
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/ValueBuilder.h"

namespace {

// The arena form of a value built from std containers, through the builder the readers use.
Value intoArena(const Value& v, foundation::ValueBuilder& builder)
{
    if (v.isArray()) {
        std::size_t mark = builder.elementMark();
        for (const Value& item : v.elements())
            builder.addElement(intoArena(item, builder));
        return builder.makeArray(mark);
    }
    if (v.isDictionary()) {
        std::size_t mark = builder.memberMark();
        for (auto [key, item] : v.entries())
            builder.addMember(std::string(key), intoArena(item, builder));
        return builder.makeDictionary(mark);
    }
    return v;
}

Value arenaOf(const Value& v)
{
    foundation::ValueBuilder builder;
    Value arena = intoArena(v, builder);
    builder.clear();
    return arena;
}

std::string longText(char c)
{
    return std::string(300, c);
}

// A record of every kind a reader makes, plus long strings, which own memory of their own.
Value record(int i)
{
    return Value::dictionary({
        { "id", i },
        { "big", Value(std::uint64_t { 18446744073709551615ULL }) },
        { "score", 2.5 + i },
        { "vip", i % 2 == 0 },
        { "note", Value::null() },
        { "name", "n" + std::to_string(i) },
        { "text", longText(static_cast<char>('a' + i % 26)) },
        { "tags", Value::array({ "a", longText('z'), 7, Value::array(), Value::dictionary() }) },
        { "\xc3\xa9t\xc3\xa9", Value::dictionary({ { "", 1 }, { "x", Value::array({ 1.5 }) } }) },
    });
}

// Every read of `arena` agrees with the same read of `built`, all the way down.
void expectSameReads(const Value& arena, const Value& built)
{
    ASSERT_EQ(arena.type(), built.type());
    EXPECT_EQ(arena.count(), built.count());
    EXPECT_EQ(arena.description(), built.description());
    EXPECT_TRUE(arena == built);
    EXPECT_TRUE(built == arena);
    EXPECT_EQ(arena.hash(), built.hash());
    EXPECT_EQ(arena.asString(), built.asString());
    EXPECT_EQ(arena.integerValue(), built.integerValue());
    EXPECT_EQ(arena.boolValue(), built.boolValue());
    EXPECT_TRUE(arena[std::size_t { 99999 }].isAbsent());
    EXPECT_TRUE(arena["no such key"].isAbsent());
    EXPECT_FALSE(arena.contains("no such key"));
    if (built.isArray()) {
        EXPECT_TRUE(arena.asArray() == built.asArray());
        ASSERT_EQ(arena.elements().size(), built.count());
        for (std::size_t i = 0; i < built.count(); ++i)
            expectSameReads(arena[i], built[i]);
    }
    if (built.isDictionary()) {
        EXPECT_TRUE(arena.asDictionary() == built.asDictionary());
        std::vector<std::string> keys;
        for (auto [key, item] : arena.entries())
            keys.emplace_back(key);
        std::vector<std::string> builtKeys;
        for (const auto& [key, item] : built.asDictionary())
            builtKeys.push_back(key);
        EXPECT_EQ(keys, builtKeys);
        for (const std::string& key : builtKeys) {
            EXPECT_TRUE(arena.contains(key));
            expectSameReads(arena[key], built[key]);
        }
    }
}

} // namespace

TEST(ValueArena, ReadsAgreeWithBuiltContainersForEveryKind)
{
    std::vector<Value> cases = {
        Value::array(),
        Value::dictionary(),
        record(1),
        Value::array({ record(1), record(2), record(3) }),
        Value::array({ 1, -1, 2.25, true, false, Value::null(), "", "short", longText('q') }),
        Value::array({ Value::array({ Value::array({ Value::dictionary({ { "k", "v" } }) }) }) }),
        // Objects of one size with other keys must not take each other's keys.
        Value::array({ Value::dictionary({ { "a", 1 }, { "b", 2 } }), Value::dictionary({ { "c", 3 }, { "d", 4 } }),
            Value::dictionary({ { "b", 5 }, { "a", 6 } }) }),
    };
    for (const Value& built : cases) {
        SCOPED_TRACE(built.description());
        Value arena = arenaOf(built);
        expectSameReads(arena, built);
    }
}

TEST(ValueArena, TheFirstWriteCopiesAndLeavesOtherCopiesAlone)
{
    struct Case {
        const char* what;
        void (*write)(Value&);
        std::string key; // the member of the record written to
    };
    std::vector<Case> cases = {
        { "set", [](Value& v) { v.set("id", 42); }, "" },
        { "set new", [](Value& v) { v.set("new", "x"); }, "" },
        { "remove", [](Value& v) { v.remove("name"); }, "" },
        { "set absent", [](Value& v) { v.set("vip", Value()); }, "" },
        { "mutableDictionary", [](Value& v) { v.mutableDictionary()->insert_or_assign("id", 9); }, "" },
        { "append", [](Value& v) { v.append(5); }, "tags" },
        { "removeAt", [](Value& v) { v.removeAt(0); }, "tags" },
        { "mutableArray", [](Value& v) { v.mutableArray()->push_back("y"); }, "tags" },
    };
    const Value built = Value::array({ record(1), record(2) });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Value doc = arenaOf(built);
        Value first = doc[0];
        Value target = c.key.empty() ? first : first[c.key];
        Value expected = c.key.empty() ? built[0] : built[0][c.key];
        c.write(target);
        c.write(expected);
        // The written copy reads as the same write on std containers does ...
        expectSameReads(target, expected);
        EXPECT_TRUE(target.mutableDictionary() || target.mutableArray());
        // ... and the document and the other copy are as they were.
        expectSameReads(doc, built);
        expectSameReads(first, built[0]);
    }
}

TEST(ValueArena, ManyThreadsReadOneDocument)
{
    std::vector<Value> items;
    for (int i = 0; i < 200; ++i)
        items.push_back(record(i));
    const Value built(std::move(items));
    const Value doc = arenaOf(built);
    const std::string description = built.description();
    std::vector<std::thread> threads;
    std::vector<int> agreed(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            // Each thread takes the lazily made containers first, in a different order.
            bool same = true;
            for (int k = 0; k < 200; ++k) {
                int i = (k * 7 + t * 31) % 200;
                same = same && doc[i].asDictionary().size() == built[i].count();
                same = same && doc[i]["tags"].asArray() == built[i]["tags"].asArray();
                Value copy = doc[i];
                same = same && copy == built[i] && copy.hash() == built[i].hash();
            }
            same = same && doc.asArray().size() == 200 && doc.description() == description;
            agreed[static_cast<std::size_t>(t)] = same ? 1 : 0;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(agreed, std::vector<int>(8, 1));
    // Every thread was handed the one container made for each node.
    EXPECT_EQ(&doc[3].asDictionary(), &doc[3].asDictionary());
}

TEST(ValueArena, ValuesOutliveTheBuilderAndTheDocument)
{
    const Value built = Value::array({ record(1), record(2) });
    Value tags, viaView, name;
    Value::Array elements;
    {
        foundation::ValueBuilder builder;
        Value doc = intoArena(built, builder);
        tags = doc[1]["tags"];
        viaView = doc.asArray()[0];
        name = doc.asArray()[1].asDictionary().at("text");
        elements = doc.asArray();
    }
    expectSameReads(tags, built[1]["tags"]);
    expectSameReads(viaView, built[0]);
    expectSameReads(name, built[1]["text"]);
    expectSameReads(Value(elements), built);
}

TEST(ValueArena, ABuilderNeverReusesAnArenaAValueHolds)
{
    foundation::ValueBuilder builder;
    const Value first = Value::array({ record(1) });
    Value kept = intoArena(first, builder);
    builder.clear();
    for (int round = 0; round < 3; ++round) {
        // A document dropped at once lets its arena serve the next.
        Value dropped = intoArena(Value::array({ record(round + 5) }), builder);
        expectSameReads(dropped, Value::array({ record(round + 5) }));
        dropped = Value();
        builder.clear();
    }
    expectSameReads(kept, first);
}

TEST(ValueArena, HugeAndDeeplyNestedDocuments)
{
    foundation::ValueBuilder builder;
    std::size_t mark = builder.elementMark();
    for (int i = 0; i < 100000; ++i)
        builder.addElement(intoArena(Value::dictionary({ { "i", i }, { "s", "text" } }), builder));
    Value huge = builder.makeArray(mark);
    builder.clear();
    ASSERT_EQ(huge.count(), 100000u);
    EXPECT_EQ(huge[99999]["i"].integerValue(), 99999);
    EXPECT_EQ(huge[50000]["s"].asString(), "text");

    // Nesting of any depth is built and freed without recursion.
    constexpr int kDepth = 100000;
    std::vector<std::size_t> marks;
    for (int i = 0; i < kDepth; ++i)
        marks.push_back(builder.elementMark());
    builder.addElement(1);
    Value deep;
    for (int i = kDepth - 1; i >= 0; --i) {
        deep = builder.makeArray(marks[static_cast<std::size_t>(i)]);
        if (i > 0)
            builder.addElement(std::move(deep));
    }
    builder.clear();
    const Value* level = &deep;
    int depth = 0;
    while (level->isArray()) {
        ASSERT_EQ(level->count(), 1u);
        level = &(*level)[0];
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(level->integerValue(), 1);
}

TEST(ValueArena, ValuesMadeInTheirSlotsOwnWhatTheyHold)
{
    // Every kind a reader may place, some owning memory outside the arena: long strings, data,
    // std containers, and a container of another document's arena.
    const Value other = arenaOf(Value::array({ longText('o') }));
    const std::string longString = longText('s');
    const Value built = Value::dictionary({
        { "view", longString },
        { "string", longString },
        { "short", "abc" },
        { "data", Bytes { 1, 2, 3 } },
        { "array", Value::array({ longString }) },
        { "other", other },
        { "number", 7 },
        { "flag", true },
        { "list", Value::array({ 1.5, Value::null() }) },
    });
    Value doc;
    {
        foundation::ValueBuilder builder;
        const std::vector<std::string_view> keys = { "view", "string", "short", "data", "array", "other", "number", "flag",
            "list", "number" };
        const auto& shape = builder.shapeOf(keys);
        ASSERT_EQ(foundation::ValueBuilder::shapeCount(shape), 9u);
        ASSERT_EQ(foundation::ValueBuilder::shapeSlot(shape, 6), foundation::ValueBuilder::kDropped);
        Value* values = builder.slots(9);
        auto slot = [&](std::size_t k) { return values + foundation::ValueBuilder::shapeSlot(shape, k); };
        builder.place(slot(0), std::string_view(longString));
        builder.place(slot(1), std::string(longString));
        builder.place(slot(2), std::string_view("abc"));
        builder.place(slot(3), Bytes { 1, 2, 3 });
        builder.place(slot(4), Value::array({ longString }));
        builder.place(slot(5), other);
        builder.place(slot(7), true);
        Value* list = builder.slots(2);
        builder.place(list, 1.5);
        builder.place(list + 1, Value::null());
        builder.placeArray(slot(8), list, 2);
        builder.place(slot(9), 7);
        Value* root = builder.slots(1);
        builder.placeDictionary(root, shape, values);
        doc = foundation::ValueBuilder::take(root);
        builder.clear();
    }
    expectSameReads(doc, built);
}
