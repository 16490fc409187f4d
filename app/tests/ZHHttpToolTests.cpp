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
        return run([&](auto ok, auto fail) { ZHHttpTool::postWithURL(dataServerURL(path), params, ok, fail); });
    }
    Outcome upload(const std::string& path, const Value& params, const std::vector<std::shared_ptr<ZHFormData>>& parts)
    {
        return run([&](auto ok, auto fail) { ZHHttpTool::postWithURL(dataServerURL(path), params, parts, ok, fail); });
    }
    Outcome get(const std::string& path)
    {
        return run([&](auto ok, auto fail) { ZHHttpTool::getWithURL(dataServerURL(path), Value::dictionary(), ok, fail); });
    }
    Outcome outcome;
};

// Which callback a reply reaches: a body that is not JSON reaches a form post's success as nil but
// the failure of the multipart post and of the GET; HTTP errors and lost connections fail; an HTML
// content type is accepted by all three.
TEST_F(HttpTool, RepliesReachSuccessOrFailureByKindAndOperation)
{
    const auto html = Failure::withBody(R"({"status":1,"info":[{"no":"1380000"}]})", "text/html");
    const std::tuple<Failure, char, bool, std::int64_t> cases[] = { { Failure::empty(), 'p', false, 0 },
        { Failure::notJson(), 'p', false, 0 }, { Failure::withBody("[1,", "application/json"), 'p', false, 0 },
        { Failure::http(500), 'p', true, 0 }, { Failure::drop(), 'p', true, 0 }, { Failure::notJson(), 'u', true, 0 },
        { Failure::notJson(), 'g', true, 0 }, { html, 'p', false, 1 }, { html, 'u', false, 1 }, { html, 'g', false, 1 } };
    for (const auto& [failure, operation, failed, status] : cases) {
        server().fail("*", failure);
        auto result = operation == 'p' ? post("data/listSection.do")
            : operation == 'u'         ? upload("qrcode/saveCode.do", Value::dictionary({ { "title", "t" } }), {})
                                       : get("data/listSection.do");
        EXPECT_EQ(result.failed, failed) << operation << " " << failure.describe();
        EXPECT_EQ(result.error != nullptr, failed) << operation << " " << failure.describe();
        EXPECT_EQ(replyStatus(result.reply), status) << operation << " " << failure.describe();
        EXPECT_EQ(result.reply.isAbsent(), status == 0) << operation << " " << failure.describe();
    }
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

} // namespace

} // namespace app::test
