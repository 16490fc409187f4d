// Garbage never brings the server down; the world survives a restart on a file; the small text
// helpers that read request values.
#include "ServerFixture.h"

#include "tools/dataserver/Text.h"

#include <filesystem>
#include <random>

namespace dataserver::test {

namespace {

class Robustness : public ServerTest { };

TEST_F(Robustness, GarbageBodiesGetAnAnswerAndTheServerGoesOnAndBadBytesStillMakeJson)
{
    auto client = dataClient();
    std::mt19937 rng(7);
    std::vector<std::pair<std::string, std::string>> bodies = {
        { "%%%&&&===%zz%4", "application/x-www-form-urlencoded" },
        { std::string("page=\xFF\xFE&pageSize=\x00\x01", 20), "application/x-www-form-urlencoded" },
        { "--x\r\nContent-Disposition: form-data; name=\"type\"\r\n\r\n3", "multipart/form-data; boundary=x" },
        { "--x--\r\n", "multipart/form-data; boundary=x" },
        { "garbage", "multipart/form-data" },
        { "{\"status\":1}", "application/json" },
    };
    std::string noise(4096, '\0');
    for (auto& c : noise)
        c = static_cast<char>(rng());
    bodies.emplace_back(noise, "application/x-www-form-urlencoded");
    bodies.emplace_back(noise, "multipart/form-data; boundary=" + noise.substr(0, 30));

    for (const char* path : { "/brelvoxin/data/listPhone.do", "/brelvoxin/qrcode/saveCode.do", "/brelvoxin/home//web.do" }) {
        for (const auto& [body, type] : bodies) {
            auto reply = client.Post(path, body, type.c_str());
            if (reply) {
                EXPECT_TRUE(reply->status == 200 || reply->status == 400 || reply->status == 413) << reply->status;
            }
        }
    }
    auto oversized = client.Post("/brelvoxin/data/listPhone.do", std::string(20000, 'a'), "application/x-www-form-urlencoded");
    ASSERT_TRUE(oversized);
    EXPECT_EQ(oversized->status, 413);
    EXPECT_EQ(info(post("data/listSection.do")).size(), 24u);

    // Bytes that are not UTF-8 still make JSON.
    auto reply = post("qrcode/listCode.do", { { "type", "3\xC3" } });
    EXPECT_EQ(refusalOf(reply), "类型不对");
    auto recorded = info(control("requests"));
    ASSERT_FALSE(recorded.empty()) << "the record with the bad byte is still JSON";
    EXPECT_TRUE(recorded.back()["params"]["type"].is_string());
}

TEST(DataServerWorld, FileDatabaseIsSeededOnceAndKeepsPublications)
{
    auto dir = std::filesystem::temp_directory_path() / ("dataserver-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "world.sqlite3").string();
    long long id = 0;
    {
        World world(path);
        QrDraft draft { "2", "标题", 440100, "acct", "简介", "client", "\x89PNG\r\n\x1a\nxx", "image/png" };
        id = world.addQrCode(draft, "2024-06-01 08:00:00");
        EXPECT_EQ(world.qrcodes("2", 0, 20).total, 7);
    }
    {
        World reopened(path);
        EXPECT_EQ(reopened.qrcodes("2", 0, 20).total, 7) << "not seeded a second time";
        ASSERT_TRUE(reopened.qrImage(id));
        EXPECT_EQ(reopened.qrImage(id)->bytes, std::string("\x89PNG\r\n\x1a\nxx"));
        EXPECT_EQ(reopened.children(0).size(), 4u);
    }
    std::filesystem::remove_all(dir);
    EXPECT_THROW(World("/nonexistent-dir/world.sqlite3"), SqliteError);
}

TEST(DataServerPorts, TakenPortIsReported)
{
    DataServer first;
    first.start();
    DataServer::Options options;
    options.dataPort = first.dataPort();
    DataServer second(options);
    EXPECT_THROW(second.start(), std::runtime_error);
    EXPECT_NE(first.dataPort(), first.accountPort());
    EXPECT_EQ(first.dataRoot(), "http://127.0.0.1:" + std::to_string(first.dataPort()) + "/brelvoxin/");
    EXPECT_EQ(first.accountRoot(), "http://127.0.0.1:" + std::to_string(first.accountPort()) + "/solvane/");
}

TEST(DataServerText, IntegersHostsLengthsAndEscapes)
{
    for (auto [text, value] : { std::pair { "0", 0LL }, { "-12", -12LL }, { "9223372036854775807", 9223372036854775807LL } })
        EXPECT_EQ(parseInteger(text), value) << text;
    for (const char* bad : { "", " 1", "1 ", "+1", "1.5", "0x10", "9223372036854775808", "-" })
        EXPECT_FALSE(parseInteger(bad)) << bad;

    for (auto [text, length] : { std::pair { "abc", 3u }, { "粉丝", 2u }, { "😀", 2u } })
        EXPECT_EQ(utf16Length(text), length) << text;
    for (std::string bad : { std::string("\xC3"), std::string("\xC0\x80"), std::string("\xED\xA0\x80"),
             std::string("\xF4\x90\x80\x80"), std::string("\x80"), std::string("\xFF") })
        EXPECT_FALSE(utf16Length(bad)) << bad.size();

    for (auto [header, host] : { std::pair { "127.0.0.1:8091", "127.0.0.1" }, { "[::1]:8091", "[::1]" },
             { "example.test", "example.test" } })
        EXPECT_EQ(hostOfHeader(header), host) << header;
    for (const char* bad : { "", "evil\"host", "[::1" })
        EXPECT_FALSE(hostOfHeader(bad)) << bad;

    EXPECT_EQ(htmlEscape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
    EXPECT_EQ(logEscape("粉丝\t\xFF", 200), "粉丝\\x09\\xFF");
    EXPECT_EQ(logEscape("abcdef", 3), "abc...");
    EXPECT_EQ(sniffImageType(std::string("\x89PNG\r\n\x1a\n", 8)), "image/png");
    EXPECT_EQ(sniffImageType("\xFF\xD8\xFF"), "image/jpeg");
    EXPECT_EQ(sniffImageType("\x89PN"), "");
}

} // namespace

} // namespace dataserver::test
