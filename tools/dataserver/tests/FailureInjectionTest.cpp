// Failure injection, in-process and over the HTTP control: every mode, counted rules, the
// wildcard, holding and releasing, reset, the record of what was received and the log.
#include "ServerFixture.h"

#include <future>

namespace dataserver::test {

namespace {

using namespace std::chrono_literals;

class FailureInjection : public ServerTest { };

TEST_F(FailureInjection, EachModeAnswersAsTold)
{
    const std::string path = "data/listSection.do";
    server().fail(path, Failure::refuse("号段维护中"));
    EXPECT_EQ(refusalOf(post(path)), "号段维护中");

    server().fail(path, Failure::refuse("ignored", 2));
    EXPECT_EQ(post(path).envelope["status"], 2);

    server().fail(path, Failure::http(503));
    EXPECT_EQ(post(path).httpStatus, 503);
    server().fail(path, Failure::http());
    EXPECT_EQ(post(path).httpStatus, 500);

    server().fail(path, Failure::notJson());
    auto html = post(path);
    EXPECT_EQ(html.httpStatus, 200);
    EXPECT_TRUE(html.envelope.is_null());
    EXPECT_FALSE(html.body.empty());

    server().fail(path, Failure::empty());
    auto empty = post(path);
    EXPECT_EQ(empty.httpStatus, 200);
    EXPECT_TRUE(empty.body.empty());

    server().fail(path, Failure::withBody(R"({"status":"1","info":[1,"x",null]})", "text/html"));
    auto body = post(path);
    EXPECT_EQ(body.contentType, "text/html");
    EXPECT_EQ(body.envelope["status"], "1");

    server().fail(path, Failure::drop());
    EXPECT_FALSE(post(path).connected());

    server().fail(path, Failure::delayed(50ms));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(info(post(path)).size(), 24u) << "a delay still answers normally";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);

    server().reset();
    EXPECT_EQ(info(post(path)).size(), 24u);
}

TEST_F(FailureInjection, RulesApplyToTheirPathForTheirCountAndTheWildcardToBothRootsButNotOwnRules)
{
    auto rule = Failure::refuse("once");
    rule.times = 2;
    server().fail("init/share.do", rule);
    EXPECT_EQ(refusalOf(post("init/share.do")), "once");
    info(post("home/index.do")); // another path is untouched
    EXPECT_EQ(refusalOf(post("init/share.do")), "once");
    info(post("init/share.do"));

    server().fail("*", Failure::http(502));
    server().fail("init/share.do", Failure::refuse("own rule"));
    EXPECT_EQ(post("home/index.do").httpStatus, 502);
    EXPECT_EQ(refusalOf(post("init/share.do")), "own rule");
    auto account = accountClient();
    EXPECT_EQ(answerOf(account.Post("/solvane/client/login.do", httplib::Params { { "clientId", "a" } })).httpStatus, 502);
    EXPECT_EQ(control("requests").httpStatus, 200) << "the control is never failed";
}

TEST_F(FailureInjection, HeldRequestsWaitForTheirRelease)
{
    // Two requests to the same path: the first is held, so the second is answered first.
    auto first = Failure::held();
    first.times = 1;
    server().fail("data/listPhone.do", first);
    httplib::Params params { { "sectionNo", "1382000" }, { "pageSize", "10" }, { "page", "0" } };
    auto held = std::async(std::launch::async, [&] { return post("data/listPhone.do", params); });
    ASSERT_TRUE(server().waitForRequests("data/listPhone.do", 1, 10s));

    params.find("page")->second = "1";
    json second = info(post("data/listPhone.do", params));
    EXPECT_EQ(held.wait_for(0s), std::future_status::timeout);

    server().release("data/listPhone.do");
    json firstReply = info(held.get());
    EXPECT_NE(firstReply["listItems"][0], second["listItems"][0]);
}

TEST_F(FailureInjection, HttpControlSetsResetsAndReleases)
{
    EXPECT_EQ(control("fail", { { "path", "home/index.do" }, { "mode", "status" }, { "status", "0" }, { "msg", "暂停服务" } }).httpStatus, 200);
    EXPECT_EQ(refusalOf(post("home/index.do")), "暂停服务");
    control("fail", { { "path", "home/index.do" }, { "mode", "http" }, { "httpStatus", "404" } });
    EXPECT_EQ(post("home/index.do").httpStatus, 404);
    control("fail", { { "path", "home/index.do" }, { "mode", "body" }, { "body", "[]" } });
    EXPECT_EQ(post("home/index.do").body, "[]");
    control("fail", { { "path", "home/index.do" }, { "mode", "drop" }, { "times", "1" } });
    EXPECT_FALSE(post("home/index.do").connected());
    EXPECT_TRUE(info(post("home/index.do")).contains("listCate")) << "the counted rule replaced the earlier one and ran out";

    EXPECT_EQ(control("reset").httpStatus, 200);
    info(post("home/index.do"));

    control("fail", { { "path", "init/share.do" }, { "mode", "hold" } });
    auto held = std::async(std::launch::async, [&] { return post("init/share.do"); });
    ASSERT_TRUE(server().waitForRequests("init/share.do", 1, 10s));
    EXPECT_EQ(control("release", { { "path", "init/share.do" } }).httpStatus, 200);
    info(held.get());

    for (const httplib::Params& bad : std::vector<httplib::Params> {
             { { "mode", "drop" } },
             { { "path", "x" }, { "mode", "explode" } },
             { { "path", "x" }, { "mode", "http" }, { "httpStatus", "99" } },
             { { "path", "x" }, { "mode", "delay" } },
             { { "path", "x" }, { "mode", "status" }, { "times", "many" } },
         })
        EXPECT_EQ(control("fail", bad).httpStatus, 400);
    EXPECT_EQ(control("nothing").httpStatus, 404);
}

TEST_F(FailureInjection, RecordKeepsParametersInOrderAndTheLogHasALineForEach)
{
    post("data/listPhone.do", { { "clientId", "c1" }, { "sectionNo", "1382000" }, { "pageSize", "5" }, { "page", "0" } });
    post("home/index.do");
    post("no/such/path.do", { { "a", "b" } });
    control("requests");

    auto all = server().requests();
    ASSERT_EQ(all.size(), 3u) << "control requests are not recorded";
    EXPECT_EQ(all[0].root, "brelvoxin");
    EXPECT_EQ(all[0].params.at("sectionNo"), "1382000");
    EXPECT_EQ(all[0].params.at("clientId"), "c1");
    EXPECT_EQ(all[2].path, "/brelvoxin/no/such/path.do");
    EXPECT_LT(all[0].seq, all[1].seq);

    auto viaHttp = info(control("requests", { { "path", "data/listPhone.do" } }));
    ASSERT_EQ(viaHttp.size(), 1u);
    EXPECT_EQ(viaHttp[0]["params"]["pageSize"], "5");
    EXPECT_EQ(viaHttp[0]["method"], "POST");
    EXPECT_EQ(info(control("requests", { { "since", std::to_string(all[1].seq) } })).size(), 1u);

    server().reset();
    EXPECT_TRUE(server().requests().empty());
    post("home/index.do");
    EXPECT_GT(server().requests().at(0).seq, all[2].seq) << "sequence numbers are not reused";

    // Each request logs one line.
    server().fail("init/share.do", Failure::http(500));
    post("init/share.do", { { "note", "line\nbreak" } });
    auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "POST /brelvoxin/init/share.do note=line\\x0Abreak -> http 500");
}

} // namespace

} // namespace dataserver::test
