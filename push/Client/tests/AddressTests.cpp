// Address text and dictionaries: strict dotted quads and ports, the default port, the HTTP
// form with an endpoint's path, and equality.
#include <gtest/gtest.h>

#include "push/Client/PUSHAddressParsing.h"

using namespace push_client;

TEST(PushAddress, TextAcceptsOnlyStrictDottedQuadsAndPorts)
{
    auto plain = addressWithString("1.2.3.4");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(addressWithString("1.2.3.4:0")->port, 80);
    EXPECT_EQ(absoluteString(*addressWithString("10.0.0.1:7000")), "10.0.0.1:7000");
    EXPECT_EQ(addressWithString("1.2.3.4:65535")->port, 65535);
    for (const char* bad :
        { "256.1.1.1", "a.b.c.d", "-1.2.3.4", "1.2.3", "1.2.3.4.5", "push.example.org:7000", "1.2.3.4:70000",
            "1.2.3.4:65536", "1.2.3.4:-1", "1.2.3.4:80x", "1.2.3.4:", ":80", "", "1.2.3.4:1:2", " 1.2.3.4", "1..3.4" })
        EXPECT_FALSE(addressWithString(bad)) << bad;
    // Equal addresses need both host and port.
    EXPECT_TRUE(isEqual(*addressWithString("1.2.3.4:5"), *addressWithString("1.2.3.4:5")));
    EXPECT_FALSE(isEqual(*addressWithString("1.2.3.4:5"), *addressWithString("1.2.3.5:5")));
    EXPECT_FALSE(isEqual(*addressWithString("1.2.3.4:5"), *addressWithString("1.2.3.4:6")));
}

TEST(PushAddress, DictionaryFormAndHttpWrap)
{
    auto address = addressWithDictionary(
        Value::dictionary({ { kPUSHAddressHostKey, Value("127.0.0.1") }, { kPUSHAddressPortKey, Value(9000) } }));
    ASSERT_TRUE(address);
    EXPECT_EQ(infoDictionary(*address),
        Value::dictionary({ { kPUSHAddressHostKey, Value("127.0.0.1") }, { kPUSHAddressPortKey, Value(9000) } }));
    EXPECT_EQ(addressWithDictionary(Value::dictionary({ { kPUSHAddressHostKey, Value("1.1.1.1") } }))->port, 80);
    EXPECT_FALSE(addressWithDictionary(Value::dictionary({ { kPUSHAddressHostKey, Value("") } })));
    EXPECT_FALSE(addressWithDictionary(
        Value::dictionary({ { kPUSHAddressHostKey, Value("1.1.1.1") }, { kPUSHAddressPortKey, Value(70000) } })));
    EXPECT_FALSE(addressWithDictionary(Value("1.1.1.1")));

    EXPECT_EQ(addressWithString("1.2.3.4:81", "http://user.push.test/v1/user/")->httpWrapAddress,
        "http://1.2.3.4:81/v1/user/");
    EXPECT_EQ(addressWithString("1.2.3.4", "")->httpWrapAddress, "http://1.2.3.4:80");
    EXPECT_EQ(analyseResourcePath("http://host"), std::nullopt);
    EXPECT_EQ(analyseResourcePath("host/a/b"), "/a/b");
    EXPECT_EQ(analyseResourcePath(""), std::nullopt);
}
