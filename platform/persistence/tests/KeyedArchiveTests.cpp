// Keyed archives: plain values and their format, archivable objects, shared references, class checks,
// garbage.
#include <gtest/gtest.h>

#include "platform/persistence/NSKeyedArchiver.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "TestSupport.h"

namespace {

// An archivable object with scalars, a value and another object inside.
class Packet : public NSObject, public NSCoding {
public:
    std::int64_t rid = 0;
    bool urgent = false;
    double weight = 0;
    Value tags;
    std::shared_ptr<Packet> next;

    std::string className() const override { return "TestPacket"; }
    void encodeWithCoder(NSCoder& coder) const override
    {
        coder.encodeInt64(rid, "PUSH_net_element_rid");
        coder.encodeBool(urgent, "urgent");
        coder.encodeDouble(weight, "weight");
        coder.encodeObject(tags, "tags");
        coder.encodeObject(Value(next), "next");
        coder.encodeObject("reserved", "$class");
    }
    bool initWithCoder(NSCoder& coder) override
    {
        rid = coder.decodeInt64ForKey("PUSH_net_element_rid");
        urgent = coder.decodeBoolForKey("urgent");
        weight = coder.decodeDoubleForKey("weight");
        tags = coder.decodeObjectOfClass("NSArray", "tags");
        next = coder.decodeObjectOfClass<Packet>("next");
        return coder.decodeObjectForKey("$class").asString() == "reserved";
    }
};

class Other : public NSObject, public NSCoding {
public:
    std::string className() const override { return "TestOther"; }
    void encodeWithCoder(NSCoder&) const override { }
    bool initWithCoder(NSCoder&) override { return true; }
};

// Other with secure coding; counts how many were made.
class SecureOther : public Other {
public:
    static inline int made = 0;
    SecureOther() { ++made; }
    static constexpr bool supportsSecureCoding() { return true; }
    std::string className() const override { return "TestSecureOther"; }
};

class AskedFor : public SecureOther {
public:
    std::string className() const override { return "TestAskedFor"; }
};

class Unregistered : public NSObject {
public:
    std::string className() const override { return "TestUnregistered"; }
};

class KeyedArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        persistence::registerCodingClass<Packet>("TestPacket");
        persistence::registerCodingClass<Other>("TestOther");
        persistence::registerCodingClass<SecureOther>("TestSecureOther", { "TestOther" });
        // The same class, made only where its reader asks for it by name.
        persistence::registerCodingClass(
            "TestAskedFor", [](const NSObject&, NSCoder&) { },
            [](NSCoder&) -> NSObjectRef { return std::make_shared<AskedFor>(); },
            [](const NSObject& object) { return dynamic_cast<const AskedFor*>(&object) != nullptr; }, true, {}, true);
    }
};

Value roundTrip(const Value& value)
{
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(value);
    EXPECT_TRUE(bytes);
    return bytes ? NSKeyedUnarchiver::unarchiveObjectWithData(*bytes) : Value();
}

// The error reading `bytes` gives; the read must give nothing.
NSErrorRef refusalOf(const Bytes& bytes)
{
    return errorOf([&](NSErrorRef* e) { return !NSKeyedUnarchiver::unarchiveObjectWithData(bytes, e).isAbsent(); });
}

} // namespace

TEST_F(KeyedArchive, PlainValuesRoundTripInABinaryPropertyListMarkedAsAnArchive)
{
    Value v = Value::dictionary({
        { "__PUSHSessionID", Value(UINT64_MAX) },
        { "neg", -5 },
        { "text", "粉丝" },
        { "$dollar", "kept" },
        { "null", Value::null() },
        { "data", Value(Bytes { 1, 2, 3 }) },
        { "date", Value::date(1700000000.5) },
        { "list", Value::array({ 1, 2.5, false, Value::array({}), Value::dictionary() }) },
    });
    Value back = roundTrip(v);
    EXPECT_EQ(back, v) << back.description();
    EXPECT_EQ(roundTrip("top-level text").asString(), "top-level text");
    EXPECT_TRUE(roundTrip(Value()).isAbsent());

    // An archive is a binary property list marked as one.
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value::array({ 1 }));
    ASSERT_TRUE(bytes);
    NSPropertyListFormat format {};
    Value plist = NSPropertyListSerialization::propertyListWithData(*bytes, 0, &format);
    EXPECT_EQ(format, NSPropertyListBinaryFormat_v1_0);
    // Readers that must refuse archives (the push keychain) look for this key.
    EXPECT_EQ(plist["$archiver"].asString(), "NSKeyedArchiver");
}

TEST_F(KeyedArchive, ObjectsWithScalarsAndSharedReferences)
{
    auto tail = std::make_shared<Packet>();
    tail->rid = 7;
    auto head = std::make_shared<Packet>();
    head->rid = -1;
    head->urgent = true;
    head->weight = 0.5;
    head->tags = Value::array({ "a", "b" });
    head->next = tail;

    Value back = roundTrip(Value::array({ Value(head), Value(tail) }));
    ASSERT_EQ(back.count(), 2u);
    auto first = back[0].asObject<Packet>();
    auto second = back[1].asObject<Packet>();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->rid, -1);
    EXPECT_TRUE(first->urgent);
    EXPECT_DOUBLE_EQ(first->weight, 0.5);
    EXPECT_EQ(first->tags, Value::array({ "a", "b" }));
    EXPECT_EQ(first->next, second) << "one object referenced twice comes back as one object";
    EXPECT_EQ(second->rid, 7);
    EXPECT_FALSE(second->next);
}

TEST_F(KeyedArchive, DecodingChecksClasses)
{
    auto packet = std::make_shared<Packet>();
    packet->tags = Value::dictionary({ { "not", "an array" } });
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(packet));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(refusalOf(*bytes)->code(), NSCoderReadCorruptError);

    // A typed decode of another registered class fails the same way.
    class Holder : public NSObject, public NSCoding {
    public:
        std::string className() const override { return "TestHolder"; }
        void encodeWithCoder(NSCoder& coder) const override { coder.encodeObject(Value(std::make_shared<Other>()), "next"); }
        bool initWithCoder(NSCoder& coder) override { return coder.decodeObjectOfClass<Packet>("next") == nullptr; }
    };
    persistence::registerCodingClass<Holder>("TestHolder");
    bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<Holder>()));
    ASSERT_TRUE(bytes);
    refusalOf(*bytes);

    auto unregistered = errorOf([](NSErrorRef* e) {
        return NSKeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<Unregistered>()), e);
    });
    EXPECT_NE(unregistered->userInfo()[NSDebugDescriptionErrorKey].asString().find("TestUnregistered"), std::string::npos);
}

TEST_F(KeyedArchive, GarbageAndForgedArchivesAreRefused)
{
    auto plist = [](const Value& v) { return *NSPropertyListSerialization::dataWithPropertyList(v, NSPropertyListBinaryFormat_v1_0); };
    std::vector<Bytes> bad {
        {},
        Bytes { 'x', 'y' },
        plist(Value::array({ 1 })),
        plist(Value::dictionary({ { "$archiver", "NSKeyedArchiver" } })),
    };
    auto good = NSKeyedArchiver::archivedDataWithRootObject(Value::dictionary({ { "k", Value::array({ "v", 1 }) } }));
    ASSERT_TRUE(good);
    for (std::size_t cut = 0; cut + 1 < good->size(); cut += 5)
        bad.emplace_back(good->begin(), good->begin() + static_cast<long>(cut));
    for (const Bytes& data : bad) {
        auto error = refusalOf(data);
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSCoderReadCorruptError);
    }
    // Flipping bytes anywhere never crashes, whatever it yields.
    for (std::size_t i = 0; i < good->size(); ++i) {
        Bytes flipped = *good;
        flipped[i] ^= 0x5a;
        NSKeyedUnarchiver::unarchiveObjectWithData(flipped);
    }
}

TEST_F(KeyedArchive, UnknownClassesAndCyclesAreRefused)
{
    // An archive naming a class nobody registered.
    class Ghost : public NSObject, public NSCoding {
    public:
        std::string className() const override { return "TestGhost"; }
        void encodeWithCoder(NSCoder&) const override { }
        bool initWithCoder(NSCoder&) override { return true; }
    };
    persistence::registerCodingClass<Ghost>("TestGhost");
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<Ghost>()));
    ASSERT_TRUE(bytes);
    persistence::registerCodingClass("TestGhost", nullptr, [](NSCoder&) -> NSObjectRef { return nullptr; },
        [](const NSObject&) { return false; });
    refusalOf(*bytes); // an object that refuses its archive fails the read

    // An object that holds itself.
    auto loop = std::make_shared<Packet>();
    loop->next = loop;
    bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(loop));
    loop->next.reset();
    ASSERT_TRUE(bytes);
    EXPECT_NE(refusalOf(*bytes)->userInfo()[NSDebugDescriptionErrorKey].asString().find("inside itself"), std::string::npos);
}

TEST_F(KeyedArchive, SecureReadingChecksTheRootAndEveryClass)
{
    auto secure = std::make_shared<SecureOther>();
    auto packet = std::make_shared<Packet>();
    auto askedFor = std::make_shared<AskedFor>();
    struct Case {
        const char* name;
        Value root;
        const char* className;
        bool read; // securely
        bool made; // whether an object of the wrong class was made before the refusal
        bool readPlainly;
    };
    const Case cases[] = {
        { "secure class", Value(secure), "TestSecureOther", true, true, true },
        { "as its base class", Value(secure), "TestOther", true, true, true },
        { "another class", Value(secure), "TestPacket", false, false, true },
        { "a class without secure coding", Value(packet), "TestPacket", false, false, true },
        { "plain values", Value::array({ 1, "a" }), "NSArray", true, false, true },
        { "secure objects inside plain values", Value::array({ Value(secure) }), "NSArray", true, true, true },
        { "insecure objects inside plain values", Value::array({ Value(packet) }), "NSArray", false, false, true },
        { "a class read where asked for", Value(askedFor), "TestAskedFor", true, true, false },
        { "a class read where asked for, in an array", Value::array({ Value(askedFor) }), "NSArray", false, false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = NSKeyedArchiver::archivedDataWithRootObject(c.root);
        ASSERT_TRUE(bytes);
        NSErrorRef error;
        int before = SecureOther::made;
        Value read = NSKeyedUnarchiver::unarchivedObjectOfClass(c.className, *bytes, &error);
        EXPECT_EQ(!read.isAbsent(), c.read);
        EXPECT_EQ(!error, c.read);
        EXPECT_EQ(SecureOther::made > before, c.made);
        EXPECT_EQ(!NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).isAbsent(), c.readPlainly);
    }
}

TEST_F(KeyedArchive, ErrorsRoundTripWithTheirUnderlyingErrors)
{
    auto inner = NSError::errorWithDomain("inner", 2);
    auto outer = NSError::errorWithDomain("outer", -7,
        Value::dictionary({ { NSLocalizedDescriptionKey, "what happened" }, { NSUnderlyingErrorKey, Value(inner) } }));
    auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(outer));
    ASSERT_TRUE(bytes);
    auto read = NSKeyedUnarchiver::unarchivedObjectOfClass<NSError>("NSError", *bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->domain(), "outer");
    EXPECT_EQ(read->code(), -7);
    EXPECT_EQ(read->localizedDescription(), "what happened");
    ASSERT_TRUE(read->underlyingError());
    EXPECT_EQ(read->underlyingError()->domain(), "inner");
}
