// Web pages drawn: a loopback page's text and its picture on screen, the laid-out height as the
// scroll size, links that ask the delegate before they load, bounded layout of bad pages, and
// the page language that follows the user's.
#include "WebFixture.h"

#include "testing/LocaleEnvironment.h"
#include "testing/httpserver/TestServer.h"

namespace {

bool dark(int r, int g, int b) { return r < 128 && g < 128 && b < 128; }
bool red(int r, int g, int b) { return r > 200 && g < 60 && b < 60; }

std::string redSquarePNG()
{
    Bytes png = UIImagePNGRepresentation(solidImage({ 40, 40 }, 1, 0, 0));
    return std::string(png.begin(), png.end());
}

class WebPageTest : public WebTest {
protected:
    void open(const std::string& path) { load(server.url(path)); }
    httpserver::TestServer server;
};

TEST_F(WebPageTest, TheHeadingAndThePictureOfALoopbackPageAreDrawn)
{
    server.on("/page", httpserver::Reply::text("<html><body style=\"margin:0\"><h1 style=\"margin:0;font-size:40px\">"
                                              "标题 Heading</h1><img src=\"pics/red.png\"><p>正文</p></body></html>"));
    server.on("/pics/red.png", httpserver::Reply::text(redSquarePNG()));
    open("/page");
    auto before = window->snapshotImage();
    CGRect heading { { 0, 0 }, { 320, 45 } };
    EXPECT_GT(countPixels(before, heading, dark), 200) << "the heading's text is drawn";
    EXPECT_EQ(countPixels(before, { { 0, 300 }, { 320, 100 } }, dark), 0) << "nothing below the page";

    // The picture comes on its own time, after the page: wait for it to show, however slow the
    // machine. A snapshot is costly, so each look comes once the app has nothing left to do.
    ASSERT_TRUE(testing_support::runUntil([&] { return server.requestCount("/pics/red.png") == 1; }, 60));
    auto pictureDrawn = [&] {
        testing_support::settle(1);
        return countPixels(window->snapshotImage(), { { 0, 40 }, { 320, 80 } }, red) >= 38 * 38 * 4;
    };
    EXPECT_TRUE(testing_support::runUntil(pictureDrawn, 120)) << "the picture resolved against the page's URL is drawn at its size";
    EXPECT_EQ(server.requestCount("/pics/red.png"), 1);
}

TEST_F(WebPageTest, TheScrollSizeIsTheLaidOutHeightAndScrollingRedraws)
{
    std::string body;
    for (int i = 0; i < 60; ++i)
        body += "<p>第" + std::to_string(i) + "段</p>";
    server.on("/long", httpserver::Reply::text("<html><body>" + body + "<p style=\"font-size:60px\">END</p></body></html>"));
    open("/long");
    auto scroll = web->scrollView();
    EXPECT_GT(scroll->contentSize().height, 1500);
    EXPECT_EQ(scroll->contentSize().width, 320);

    scroll->setContentOffset({ 0, scroll->contentSize().height - 480 });
    EXPECT_GT(countPixels(window->snapshotImage(), { { 0, 380 }, { 320, 100 } }, dark), 100) << "the end of the page shows";
}

TEST(WebPagePictures, OnlyWebPicturesAreAskedForOnceEach)
{
    std::vector<std::string> asked;
    uikit::web::WebDocument document("<img src=\"a.png\"><img src=\"/pics/a.png\"><img src=\"file:///etc/passwd\">"
                                     "<img src=\"https://cdn.example/b.png\"><img src=\"data:image/png;base64,AAAA\">",
        NSURL::URLWithString("http://127.0.0.1/pics/page.html"), [&](const NSURL& url) { asked.push_back(url.absoluteString()); });
    document.layout(320, 480);
    EXPECT_EQ(asked, (std::vector<std::string> { "http://127.0.0.1/pics/a.png", "https://cdn.example/b.png" }));
}

struct LinkCase {
    const char* name;
    CGPoint tap;
    bool allow;
    std::vector<std::string> events;
    const char* shownPath;
};

TEST_F(WebPageTest, LinkTapsAskTheDelegateAndLoadOnlyWhenAllowed)
{
    const LinkCase cases[] = {
        { "allowed", { 20, 20 }, true, { "should /next link", "start", "finish /next" }, "/next" },
        { "refused", { 20, 20 }, false, { "should /next link" }, "/start" },
        { "a tap beside the link", { 300, 400 }, true, {}, "/start" },
    };
    server.on("/next", httpserver::Reply::text("<html><body>next</body></html>"));
    server.on("/start", httpserver::Reply::text(
        "<html><body style=\"margin:0\"><a href=\"next\" style=\"display:block;font-size:40px\">继续 Next</a></body></html>"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRequests();
        page->allowLinks = c.allow;
        open("/start");
        page->events.clear();
        window->sendTap(c.tap);
        testing_support::runUntil([&] { return page->ended(); }, 2);
        EXPECT_EQ(page->events, c.events);
        EXPECT_EQ(web->request()->URL()->path(), c.shownPath);
        EXPECT_EQ(server.requestCount("/next"), c.events.size() == 3 ? 1u : 0u);
    }
}

struct BoundCase {
    const char* name;
    std::string html;
    std::size_t kept;
};

TEST(WebPageBounds, OnlyABoundedPartOfAPageIsLaidOut)
{
    std::string deep;
    for (int i = 0; i < uikit::web::kMaxNesting + 10; ++i)
        deep += "<div>";
    std::string flat;
    for (int i = 0; i < uikit::web::kMaxNesting * 3; ++i)
        flat += "<p>a<br><img src=x><li>b</li></p>";
    const BoundCase cases[] = {
        { "huge", std::string(uikit::web::kMaxPageBytes * 2, 'x'), uikit::web::kMaxPageBytes },
        { "nested too deep", deep, std::size_t(uikit::web::kMaxNesting) * 5 },
        { "closed and void elements", flat, flat.size() },
        { "text with angle brackets", "1 < 2 <3 </ >", 13 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(uikit::web::boundedHTML(c.html).size(), c.kept);
    }
}

TEST(WebPageBounds, TableSpansAreLoweredToTheBound)
{
    const std::pair<std::string, std::string> cases[] = {
        { "<td colspan=99999999>", "<td colspan=100>" },
        { "<td ROWSPAN = \"4000\">", "<td ROWSPAN = \"100\">" },
        { "<td colspan='3' rowspan=100>", "<td colspan='3' rowspan=100>" },
        { "colspan", "colspan" },
    };
    for (const auto& [html, bounded] : cases)
        EXPECT_EQ(uikit::web::boundedHTML(html), bounded) << html;
}

TEST(WebPageBounds, GarbageAndDeeplyNestedPagesLayOutAndDraw)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<div><span>";
    std::string garbage;
    for (int i = 0; i < 20000; ++i)
        garbage += char((i * 7919) % 256);
    for (const std::string& html : { deep, garbage, std::string("<table><tr><td colspan=99999999>") }) {
        uikit::web::WebDocument document(html, std::nullopt, nullptr);
        document.layout(320, 480);
        auto context = CGBitmapContextCreate(nullptr, 320, 480, 8, 0, CGColorSpaceCreateDeviceRGB(),
            kCGImageAlphaPremultipliedFirst);
        document.draw(context, { { 0, 0 }, { 320, 480 } });
        EXPECT_FALSE(document.linkAt({ 10, 10 }));
    }
}

// (The layout engine asks for the language only of pages with a media query.)
TEST(WebPageLanguage, PagesAreLaidOutInTheUsersFirstLanguage)
{
    const std::string html = "<style>@media screen { p { color: red } } body { margin: 0 } div { height: 10px }"
                             " div:lang(en) { height: 50px } div:lang(zh) { height: 70px }</style><div></div>";
    for (const auto& [lang, height] : { std::pair("en_US.UTF-8", 50.0), std::pair("zh_CN.UTF-8", 70.0) }) {
        testing_support::LocaleEnvironment locale(lang);
        uikit::web::WebDocument document(html, std::nullopt, nullptr);
        EXPECT_EQ(document.layout(320, 480).height, height) << lang;
    }
}

} // namespace
