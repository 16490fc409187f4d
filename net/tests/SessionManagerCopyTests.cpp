// Copies of an HTTP session manager made through its base type keep their class, base URL and
// serializers.
#include "net/tests/ManagerTestSupport.h"

using namespace net::test;

namespace {

using HTTPSessionManagerCopy = ManagerTest<NKHTTPSessionManager>;

TEST_F(HTTPSessionManagerCopy, ACopyThroughTheBaseTypeKeepsClassBaseURLAndSerializers)
{
    auto manager = make(server.url("/api"));
    manager->setRequestSerializer(NKJSONRequestSerializer::serializerWithWritingOptions(1));
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    std::shared_ptr<NKURLSessionManager> base = manager;
    auto copy = std::dynamic_pointer_cast<NKHTTPSessionManager>(keep(base->copy()));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->className(), "NKHTTPSessionManager");
    EXPECT_EQ(copy->baseURL()->absoluteString(), server.url("/api/"));
    auto json = std::dynamic_pointer_cast<NKJSONRequestSerializer>(copy->requestSerializer());
    ASSERT_TRUE(json);
    EXPECT_NE(json, manager->requestSerializer());
    EXPECT_EQ(json->writingOptions(), 1u);
    EXPECT_NE(copy->responseSerializer(), manager->responseSerializer());
    EXPECT_FALSE(std::dynamic_pointer_cast<NKJSONResponseSerializer>(copy->responseSerializer()));
}

} // namespace
