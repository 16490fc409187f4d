// The server client against our data server: the reply envelope as the screens receive it
// (objects, empty and non-JSON bodies, HTTP errors, an HTML content type), the multipart form
// with and without file parts, the GET, and callbacks that are missing.
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "app/tests/ServerTestSupport.h"

using dataserver::Failure;

namespace app::test {

namespace {

struct Outcome {
    bool done = false;
    bool failed = false;
    Value reply;
    NSErrorRef error;
};

class HttpTool : public ServerTest {
protected:
    // Starts a request with callbacks that record its outcome and waits for one of them.
    Outcome run(const std::function<void(ZHHttpTool::Success, ZHHttpTool::Failure)>& start)
    {
        outcome = {};
        start(
            [this](const Value& reply) {
                outcome.reply = reply;
                outcome.done = true;
            },
            [this](const NSErrorRef& error) {
                outcome.error = error;
                outcome.failed = outcome.done = true;
            });
        EXPECT_TRUE(waitFor([&] { return outcome.done; }));
        return outcome;
    }
    Outcome post(const std::string& path, const Value& params = Value::dictionary())
    {
        return run([&](auto success, auto failure) {
            ZHHttpTool::postWithURL(dataServerURL(path), params, success, failure);
        });
    }
    Outcome upload(const std::string& path, const Value& params, const std::vector<std::shared_ptr<ZHFormData>>& parts)
    {
        return run([&](auto success, auto failure) {
            ZHHttpTool::postWithURL(dataServerURL(path), params, parts, success, failure);
        });
    }
    Outcome get(const std::string& path)
    {
        return run([&](auto success, auto failure) {
            ZHHttpTool::getWithURL(dataServerURL(path), Value::dictionary(), success, failure);
        });
    }
    Outcome outcome;
};

TEST_F(HttpTool, FormPostParsesTheEnvelope)
{
    auto cities = post("district/listSubDistrict.do", Value::dictionary({ { "parentId", "440000" } }));
    ASSERT_FALSE(cities.failed);
    EXPECT_EQ(replyStatus(cities.reply), 1);
    EXPECT_EQ(replyInfo(cities.reply)[0]["name"].stringValue(), "广州市");
    server().fail("data/listSection.do", Failure::refuse("号段维护中"));
    EXPECT_EQ(replyMessage(post("data/listSection.do").reply).stringValue(), "号段维护中");
}

TEST_F(HttpTool, FormPostHandsBodiesThatAreNotJsonToSuccessAsNil)
{
    for (auto failure : { Failure::empty(), Failure::notJson(), Failure::withBody("[1,", "application/json") }) {
        server().fail("data/listSection.do", failure);
        auto result = post("data/listSection.do");
        EXPECT_FALSE(result.failed) << failure.describe();
        EXPECT_TRUE(result.reply.isAbsent()) << failure.describe();
        EXPECT_EQ(replyStatus(result.reply), 0);
    }
}

TEST_F(HttpTool, HttpErrorsLostConnectionsAndBadBodiesOfMultipartOrGetReachFailure)
{
    for (auto failure : { Failure::http(500), Failure::drop() }) {
        server().fail("data/listSection.do", failure);
        auto result = post("data/listSection.do");
        EXPECT_TRUE(result.failed && result.error) << failure.describe();
    }
    server().fail("*", Failure::notJson());
    EXPECT_TRUE(upload("qrcode/saveCode.do", Value::dictionary(), {}).failed);
    EXPECT_TRUE(get("data/listSection.do").failed);
}

TEST_F(HttpTool, HtmlContentTypeIsAcceptedByAllThreeOperations)
{
    const std::string envelope = R"({"status":1,"info":[{"no":"1380000"}]})";
    server().fail("*", Failure::withBody(envelope, "text/html"));

    auto form = post("data/listSection.do");
    ASSERT_FALSE(form.failed);
    EXPECT_EQ(replyInfo(form.reply)[0]["no"].stringValue(), "1380000");

    EXPECT_EQ(replyStatus(upload("qrcode/saveCode.do", Value::dictionary({ { "title", "t" } }), {}).reply), 1);
    EXPECT_EQ(replyStatus(get("data/listSection.do").reply), 1);
    EXPECT_EQ(server().requests("data/listSection.do").back().method, "GET");
}

TEST_F(HttpTool, MultipartSendsParametersThenFileParts)
{
    auto picture = ZHFormData::create();
    picture->setData(Bytes { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13 });
    picture->setName("imgpath");
    picture->setFilename("fdsfds.png");
    picture->setMimeType("image/png");
    auto params = Value::dictionary({ { "clientId", "c" }, { "title", "群" }, { "area_id", "440100" }, { "account", "a" },
        { "description", "d" }, { "type", "3" } });

    EXPECT_EQ(replyStatus(upload("qrcode/saveCode.do", params, { picture }).reply), 1);
    auto sent = server().requests("qrcode/saveCode.do").back();
    EXPECT_EQ(sent.params.at("title"), "群");
    ASSERT_EQ(sent.files.size(), 1u);
    EXPECT_EQ(sent.files[0].filename, "fdsfds.png");
    EXPECT_EQ(sent.files[0].size, 12u);

    // No parts: only the parameters go out (and the server asks for the picture).
    EXPECT_EQ(replyMessage(upload("qrcode/saveCode.do", params, {}).reply).stringValue(), "上传群二维码");
    EXPECT_TRUE(server().requests("qrcode/saveCode.do").back().files.empty());
}

TEST_F(HttpTool, MissingCallbacksAreSkipped)
{
    ZHHttpTool::postWithURL(dataServerURL("data/listSection.do"), Value::dictionary(), nullptr, nullptr);
    server().fail("data/listPhone.do", Failure::http());
    ZHHttpTool::postWithURL(dataServerURL("data/listPhone.do"), Value::dictionary(), nullptr, nullptr);
    EXPECT_TRUE(server().waitForRequests("data/listPhone.do", 1, std::chrono::seconds(10)));
    // One more request with a callback, answered after the two above were taken in.
    EXPECT_FALSE(post("data/listSection.do").failed);
}

TEST(ReplyEnvelope, ReadsOfRepliesThatAreNotObjectsAreAbsent)
{
    for (const auto& reply : { Value(), Value::null(), Value::array({ 1, 2 }), Value("status") }) {
        EXPECT_EQ(replyStatus(reply), 0);
        EXPECT_TRUE(replyMessage(reply).isAbsent());
        EXPECT_TRUE(replyInfo(reply).isAbsent());
    }
    EXPECT_EQ(replyStatus(Value::dictionary({ { "status", "1" } })), 1);
    EXPECT_EQ(replyStatus(Value::dictionary({ { "status", Value::null() } })), 0);
}

} // namespace

} // namespace app::test
