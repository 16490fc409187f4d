// The pages shown in the app's web screens: every picture and link on them, resolved against
// the page's own address, is served.
#include <regex>

#include "ServerFixture.h"

namespace dataserver::test {

namespace {

class Pages : public ServerTest { };

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

TEST_F(Pages, EveryPictureAndLinkOfAPageIsServed)
{
    for (const char* path : { "client/regDeclare.do", "data/qryLearn.do?type=1", "data/qryAgent.do?agentNo=qm10086",
             "share.do" }) {
        SCOPED_TRACE(path);
        std::string body = get(path).body;
        EXPECT_NE(body.find("<h1>"), std::string::npos);
        EXPECT_NE(body.find("<p>"), std::string::npos);
        std::regex reference("(src|href)=\"([^\"]+)\"");
        int pictures = 0, links = 0;
        for (std::sregex_iterator it(body.begin(), body.end(), reference), end; it != end; ++it) {
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
}

} // namespace

} // namespace dataserver::test
