// Start-up, home and about endpoints: share keys, the login on the account root only, the
// categories and their tiles, the agent check, the page-view report, the app icon, and the pages
// shown in the app's web screens with every picture and link on them.
#include "ServerFixture.h"

#include <regex>
#include <set>

namespace dataserver::test {

namespace {

class HomeEndpoints : public ServerTest { };

constexpr const char* kAgentClient = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

// `relative` resolved against the folder of `page` (both relative to the server root).
std::string resolve(const std::string& page, std::string relative)
{
    std::string folder = page.substr(0, page.find('?'));
    folder = folder.substr(0, folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    while (relative.starts_with("../")) {
        relative.erase(0, 3);
        if (folder.empty())
            return "../" + relative; // above the root: not served
        folder.pop_back();
        folder = folder.substr(0, folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    }
    return folder + relative;
}

TEST_F(HomeEndpoints, ShareKeysAreTheFiveNamedTexts)
{
    json keys = info(post("init/share.do"));
    for (const char* key : { "bdIosId", "bdIosKey", "mgId", "mgKey", "shIosAppkey" }) {
        ASSERT_TRUE(keys.contains(key)) << key;
        EXPECT_TRUE(keys[key].is_string() && !keys[key].get<std::string>().empty()) << key;
    }
}

TEST_F(HomeEndpoints, LoginIsServedByTheAccountRootAlone)
{
    auto account = accountClient();
    auto reply = answerOf(account.Post("/solvane/client/login.do", httplib::Params { { "clientId", kAgentClient } }));
    EXPECT_TRUE(info(reply).is_object());

    EXPECT_EQ(post("client/login.do", { { "clientId", kAgentClient } }).httpStatus, 404);
    EXPECT_EQ(answerOf(account.Post("/solvane/home/index.do", httplib::Params {})).httpStatus, 404);
    EXPECT_EQ(answerOf(account.Post("/brelvoxin/client/login.do", httplib::Params {})).httpStatus, 404);

    auto refused = answerOf(account.Post("/solvane/client/login.do", httplib::Params {}));
    EXPECT_EQ(refusalOf(refused), "设备标识无效");
    auto tooLong = answerOf(account.Post("/solvane/client/login.do", httplib::Params { { "clientId", std::string(65, 'a') } }));
    EXPECT_EQ(refusalOf(tooLong), "设备标识无效");
}

// Each tile is a white symbol of its own on a coloured rounded square: white corners, a coloured
// rim, and a symbol in the middle that covers a fair share of the tile, unlike any other tile's.
TEST_F(HomeEndpoints, EachTileIsADistinctSymbolOnAColouredSquare)
{
    json list = info(post("home/index.do"))["listCate"];
    std::set<std::string> seen;
    for (const auto& c : list) {
        std::string url = c["imgurl"].get<std::string>();
        std::string rgb;
        int width = 0, height = 0;
        ASSERT_TRUE(isValidPng(get(url.substr(server().dataRoot().size())).body, &width, &height, &rgb)) << url;
        ASSERT_EQ(width, 120);
        ASSERT_EQ(height, 120);
        auto at = [&](int x, int y) { return rgb.substr(static_cast<std::size_t>((y * width + x) * 3), 3); };
        const std::string white("\xff\xff\xff", 3);
        EXPECT_EQ(at(0, 0), white) << "rounded corners: " << url;
        std::string rim = at(60, 6);
        EXPECT_NE(rim, white) << url;
        int symbol = 0, colour = 0;
        for (int y = 12; y < 108; ++y)
            for (int x = 12; x < 108; ++x) {
                symbol += at(x, y) == white;
                colour += at(x, y) == rim;
            }
        double share = double(symbol) / (96 * 96);
        EXPECT_GT(share, 0.08) << c["name"] << " shows a symbol";
        EXPECT_LT(share, 0.6) << c["name"] << " keeps its colour around the symbol";
        EXPECT_GT(colour, 96 * 96 / 4) << url;
        EXPECT_TRUE(seen.insert(rgb).second) << c["name"] << " looks like another tile";
    }
    EXPECT_EQ(seen.size(), list.size());
}

TEST_F(HomeEndpoints, CategoriesCoverEveryKeywordWithFetchableTilesAndTheLauncherIconIsAPng)
{
    json list = info(post("home/index.do"))["listCate"];
    ASSERT_TRUE(list.is_array());
    // The home screen hides the last four and relabels the last shown one, so the eight screens
    // it knows come first.
    ASSERT_EQ(list.size(), 13u);
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < list.size() - 5; ++i)
        shown.push_back(list[i]["keyword"].get<std::string>());
    EXPECT_EQ(shown, (std::vector<std::string> { "1", "7", "4", "6", "3", "2", "5", "11" }));

    for (const auto& c : list) {
        EXPECT_TRUE(c["categoryId"].is_number_integer());
        EXPECT_TRUE(c["name"].is_string());
        EXPECT_TRUE(c["keyword"].is_string());
        std::string url = c["imgurl"].get<std::string>();
        std::string prefix = server().dataRoot();
        ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
        auto tile = get(url.substr(prefix.size()));
        EXPECT_EQ(tile.contentType, "image/png");
        EXPECT_TRUE(isValidPng(tile.body)) << url;
    }
    EXPECT_EQ(get("home/tileImage.do?id=99").httpStatus, 404);
    EXPECT_EQ(get("home/tileImage.do?id=x").httpStatus, 404);

    auto icon = get("app/ic_launcher.png");
    int width = 0, height = 0;
    EXPECT_EQ(icon.contentType, "image/png");
    ASSERT_TRUE(isValidPng(icon.body, &width, &height));
    EXPECT_EQ(width, 96);
    EXPECT_EQ(height, 96);
}

TEST_F(HomeEndpoints, AgentCheckKnowsTheSeededAgentOnly)
{
    json agent = info(post("client/isAgent.do", { { "clientId", kAgentClient } }));
    EXPECT_EQ(agent["agentNo"], "qm10086");
    EXPECT_EQ(agent["name"], "张伟");
    EXPECT_EQ(refusalOf(post("client/isAgent.do", { { "clientId", "ffffffffffffffffffffffffffffffff" } })), "您还不是代理");
    EXPECT_EQ(refusalOf(post("client/isAgent.do")), "设备标识无效");
}

TEST_F(HomeEndpoints, PageViewPathKeepsItsDoubleSlash)
{
    EXPECT_TRUE(info(post("home//web.do", { { "clientId", "abc" } })).is_object());
    EXPECT_TRUE(info(post("home//web.do", { { "clientId", "abc" }, { "categoryId", "3" } })).is_object());
    EXPECT_EQ(refusalOf(post("home//web.do", { { "clientId", "abc" }, { "categoryId", "999" } })), "分类不存在");
    EXPECT_EQ(refusalOf(post("home//web.do")), "设备标识无效");
    EXPECT_EQ(post("home/web.do", { { "clientId", "abc" } }).httpStatus, 404);
}

TEST_F(HomeEndpoints, PagesAreUtf8HtmlWhosePicturesAndLinksAreServed)
{
    for (const char* path : { "client/regDeclare.do", "data/qryLearn.do?type=1", "data/qryAgent.do?agentNo=qm10086",
             "share.do" }) {
        SCOPED_TRACE(path);
        auto page = get(path);
        EXPECT_EQ(page.httpStatus, 200);
        EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
        for (const char* part : { "<meta charset=\"utf-8\">", "<h1>", "<p>" })
            EXPECT_NE(page.body.find(part), std::string::npos) << part;
        std::regex reference("(src|href)=\"([^\"]+)\"");
        int pictures = 0, links = 0;
        for (std::sregex_iterator it(page.body.begin(), page.body.end(), reference), end; it != end; ++it) {
            bool picture = (*it)[1] == "src";
            (picture ? pictures : links) += 1;
            auto target = get(resolve(path, (*it)[2]));
            EXPECT_EQ(target.httpStatus, 200) << (*it)[2];
            if (picture) {
                EXPECT_TRUE(target.body.starts_with("\x89PNG")) << (*it)[2];
            }
        }
        EXPECT_EQ(pictures, 1);
        EXPECT_GE(links, 1);
    }
    EXPECT_NE(get("client/regDeclare.do").body.find("免责声明"), std::string::npos);
    EXPECT_NE(post("share.do").body.find("Quillmark升级版"), std::string::npos);
}

TEST_F(HomeEndpoints, AgentCertificateEscapesWhatWasTyped)
{
    auto found = get("data/qryAgent.do?agentNo=qm10086");
    EXPECT_NE(found.body.find("张伟"), std::string::npos);

    auto typed = get("data/qryAgent.do?agentNo=%3Cscript%3Ealert(1)%3C%2Fscript%3E%20%E5%BC%A0");
    EXPECT_EQ(typed.httpStatus, 200);
    EXPECT_EQ(typed.body.find("<script>"), std::string::npos);
    EXPECT_NE(typed.body.find("&lt;script&gt;alert(1)&lt;/script&gt; 张"), std::string::npos);
    EXPECT_NE(get("data/qryAgent.do").body.find("未查询到"), std::string::npos);
}

} // namespace

} // namespace dataserver::test
