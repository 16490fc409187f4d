// The server client against our data server: the reply envelope as the screens receive it
// (objects, empty and non-JSON bodies, HTTP errors, an HTML content type), the multipart form
// with and without file parts, the GET, and the roots with their run-time overrides.
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
    ZHHttpTool::Success success()
    {
        return [this](const Value& reply) {
            outcome.reply = reply;
            outcome.done = true;
        };
    }
    ZHHttpTool::Failure failure()
    {
        return [this](const NSErrorRef& error) {
            outcome.error = error;
            outcome.failed = true;
            outcome.done = true;
        };
    }
    Outcome post(const std::string& path, const Value& params = Value::dictionary())
    {
        outcome = {};
        ZHHttpTool::postWithURL(dataServerURL(path), params, success(), failure());
        EXPECT_TRUE(waitFor([&] { return outcome.done; }));
        return outcome;
    }
    Outcome upload(const std::string& path, const Value& params, const std::vector<std::shared_ptr<ZHFormData>>& parts)
    {
        outcome = {};
        ZHHttpTool::postWithURL(dataServerURL(path), params, parts, success(), failure());
        EXPECT_TRUE(waitFor([&] { return outcome.done; }));
        return outcome;
    }
    Outcome get(const std::string& path)
    {
        outcome = {};
        ZHHttpTool::getWithURL(dataServerURL(path), Value::dictionary(), success(), failure());
        EXPECT_TRUE(waitFor([&] { return outcome.done; }));
        return outcome;
    }
    Outcome outcome;
};

TEST_F(HttpTool, FormPostParsesTheEnvelope)
{
    auto cities = post("district/listSubDistrict.do", Value::dictionary({ { "parentId", "440000" } }));
    ASSERT_FALSE(cities.failed);
    ASSERT_TRUE(cities.reply.isDictionary());
    EXPECT_EQ(replyStatus(cities.reply), 1);
    EXPECT_EQ(replyInfo(cities.reply)[0]["name"].stringValue(), "广州市");
    auto sent = server().requests("district/listSubDistrict.do");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(sent[0].params.at("parentId"), "440000");

    server().fail("data/listSection.do", Failure::refuse("号段维护中"));
    auto refused = post("data/listSection.do");
    EXPECT_EQ(replyStatus(refused.reply), 0);
    EXPECT_EQ(replyMessage(refused.reply).stringValue(), "号段维护中");
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

TEST_F(HttpTool, HttpErrorsAndLostConnectionsReachFailure)
{
    server().fail("data/listSection.do", Failure::http(500));
    auto status500 = post("data/listSection.do");
    EXPECT_TRUE(status500.failed);
    ASSERT_TRUE(status500.error);

    server().fail("data/listSection.do", Failure::drop());
    EXPECT_TRUE(post("data/listSection.do").failed);
}

TEST_F(HttpTool, HtmlContentTypeIsAcceptedByAllThreeOperations)
{
    const std::string envelope = R"({"status":1,"info":[{"no":"1380000"}]})";
    server().fail("*", Failure::withBody(envelope, "text/html"));

    auto form = post("data/listSection.do");
    ASSERT_FALSE(form.failed);
    EXPECT_EQ(replyInfo(form.reply)[0]["no"].stringValue(), "1380000");

    auto multipart = upload("qrcode/saveCode.do", Value::dictionary({ { "title", "t" } }), {});
    ASSERT_FALSE(multipart.failed);
    EXPECT_EQ(replyStatus(multipart.reply), 1);

    auto got = get("data/listSection.do");
    ASSERT_FALSE(got.failed);
    EXPECT_EQ(replyStatus(got.reply), 1);
    EXPECT_EQ(server().requests("data/listSection.do").back().method, "GET");
}

TEST_F(HttpTool, MultipartSendsParametersThenFileParts)
{
    auto picture = ZHFormData::create();
    picture->setData(Bytes { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13 });
    picture->setName("imgpath");
    picture->setFilename("fdsfds.png");
    picture->setMimeType("image/png");
    auto params = Value::dictionary({ { "clientId", "c" }, { "title", "群" }, { "area_id", "440100" },
        { "account", "a" }, { "description", "d" }, { "type", "3" } });

    auto withPicture = upload("qrcode/saveCode.do", params, { picture });
    ASSERT_FALSE(withPicture.failed) << (withPicture.error ? withPicture.error->description() : "");
    EXPECT_EQ(replyStatus(withPicture.reply), 1);
    auto sent = server().requests("qrcode/saveCode.do");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].params.at("title"), "群");
    ASSERT_EQ(sent[0].files.size(), 1u);
    EXPECT_EQ(sent[0].files[0].name, "imgpath");
    EXPECT_EQ(sent[0].files[0].filename, "fdsfds.png");
    EXPECT_EQ(sent[0].files[0].contentType, "image/png");
    EXPECT_EQ(sent[0].files[0].size, 12u);

    // No parts: only the parameters go out (and the server asks for the picture).
    auto withoutPicture = upload("qrcode/saveCode.do", params, {});
    EXPECT_EQ(replyMessage(withoutPicture.reply).stringValue(), "上传群二维码");
    sent = server().requests("qrcode/saveCode.do");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[1].files.empty());
    EXPECT_EQ(sent[1].params.at("area_id"), "440100");
}

TEST_F(HttpTool, MultipartAndGetRejectBodiesThatAreNotJson)
{
    server().fail("*", Failure::notJson());
    EXPECT_TRUE(upload("qrcode/saveCode.do", Value::dictionary(), {}).failed);
    EXPECT_TRUE(get("data/listSection.do").failed);
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

TEST(ServerRoots, CompiledInUnlessOverridden)
{
    ::unsetenv("QUILLMARK_DATA_ROOT");
    ::unsetenv("QUILLMARK_ACCOUNT_ROOT");
    EXPECT_EQ(dataServerURL("data/listPhone.do"), "http://127.0.0.1:8091/brelvoxin/data/listPhone.do");
    EXPECT_EQ(accountServerURL("client/login.do"), "http://127.0.0.1:8080/solvane/client/login.do");
    EXPECT_EQ(dataServerURL("home//web.do"), "http://127.0.0.1:8091/brelvoxin/home//web.do");

    ::setenv("QUILLMARK_DATA_ROOT", "http://127.0.0.1:5555/brelvoxin/", 1);
    EXPECT_EQ(dataServerURL("data/listSection.do"), "http://127.0.0.1:5555/brelvoxin/data/listSection.do");
    EXPECT_EQ(accountServerRoot(), kAccountServerRoot);
    ::setenv("QUILLMARK_DATA_ROOT", "", 1);
    EXPECT_EQ(dataServerRoot(), kDataServerRoot);
    ::unsetenv("QUILLMARK_DATA_ROOT");
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
