// QR-code endpoints: the two lists, a record and its neighbours, the pictures, and a multipart
// publication that then leads the list with its own picture.
#include "ServerFixture.h"

#include "tools/dataserver/Png.h"

namespace dataserver::test {

namespace {

class QrEndpoints : public ServerTest {
protected:
    httplib::MultipartFormDataItems form(const std::string& picture)
    {
        return {
            { "clientId", "abc", "", "" }, { "title", "深圳宝妈群", "", "" }, { "area_id", "440300", "", "" },
            { "account", "sz_mama", "", "" }, { "description", "每周团购", "", "" }, { "type", "3", "", "" },
            { "imgpath", picture, "fdsfds.png", "image/png" },
        };
    }

    static httplib::MultipartFormDataItems with(httplib::MultipartFormDataItems items, const std::string& name, const std::string& value)
    {
        for (auto& item : items)
            if (item.name == name)
                item.content = value;
        return items;
    }

    json list(const std::string& type) { return info(post("qrcode/listCode.do", { { "type", type }, { "page", "0" } })); }
};

TEST_F(QrEndpoints, ListsCarryEveryRecordKeyWithPositionsAndServedPictures)
{
    json groups = list("3");
    json people = list("2");
    EXPECT_EQ(groups["pageSize"], 8);
    EXPECT_EQ(people["pageSize"], 6);
    ASSERT_EQ(groups["listItems"].size(), 8u);
    long long position = 0;
    for (const auto& r : groups["listItems"]) {
        for (const char* key : { "title", "categoryName", "areaName", "qrcodeImg", "groupaccount", "fAddtime", "descriptions",
                 "account" })
            EXPECT_TRUE(r[key].is_string()) << key;
        EXPECT_TRUE(r["qrcodeId"].is_number_integer());
        EXPECT_TRUE(r["areaId"].is_number_integer());
        EXPECT_EQ(r["type"], "3");
        EXPECT_EQ(r["position"], position++);
    }
    EXPECT_EQ(groups["listItems"][7]["title"], "广州宝妈育儿交流群"); // the oldest comes last
    EXPECT_EQ(groups["listItems"][7]["areaName"], "广州市");
    EXPECT_TRUE(info(post("qrcode/listCode.do", { { "type", "3" }, { "page", "1" } }))["listItems"].empty());
    EXPECT_EQ(refusalOf(post("qrcode/listCode.do", { { "page", "0" } })), "类型不对");
    EXPECT_EQ(refusalOf(post("qrcode/listCode.do", { { "type", "4" } })), "类型不对");

    // The record pictures are served by the server.
    std::string url = people["listItems"][0]["qrcodeImg"].get<std::string>();
    ASSERT_EQ(url.rfind(server().dataRoot(), 0), 0u);
    auto picture = get(url.substr(server().dataRoot().size()));
    EXPECT_EQ(picture.contentType, "image/png");
    EXPECT_TRUE(isValidPng(picture.body));
    EXPECT_EQ(get("qrcode/image.do?id=9999").httpStatus, 404);
}

TEST_F(QrEndpoints, DetailAndStepsWalkTheListToItsEnds)
{
    json items = list("3")["listItems"];
    std::string firstId = std::to_string(items[0]["qrcodeId"].get<long long>());
    json detail = info(post("qrcode/getDetail.do", { { "id", firstId }, { "position", "0" } }));
    EXPECT_EQ(detail, items[0]);

    json next = info(post("qrcode/getChangeDetail.do", { { "id", firstId }, { "flag", "1" }, { "position", "0" } }));
    EXPECT_EQ(next, items[1]);
    std::string secondId = std::to_string(next["qrcodeId"].get<long long>());
    EXPECT_EQ(info(post("qrcode/getChangeDetail.do", { { "id", secondId }, { "flag", "0" }, { "position", "1" } })), items[0]);

    EXPECT_EQ(refusalOf(post("qrcode/getChangeDetail.do", { { "id", firstId }, { "flag", "0" } })), "已经是第一个了");
    std::string lastId = std::to_string(items[7]["qrcodeId"].get<long long>());
    EXPECT_EQ(refusalOf(post("qrcode/getChangeDetail.do", { { "id", lastId }, { "flag", "1" } })), "已经是最后一个了");
    EXPECT_EQ(refusalOf(post("qrcode/getChangeDetail.do", { { "id", firstId }, { "flag", "2" } })), "参数错误");
    EXPECT_EQ(refusalOf(post("qrcode/getDetail.do", { { "id", "424242" } })), "二维码不存在");
    EXPECT_EQ(refusalOf(post("qrcode/getDetail.do", {})), "二维码不存在");
}

TEST_F(QrEndpoints, PublishedCodeLeadsItsListWithItsOwnPicture)
{
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(300, 'j');
    json saved = info(postMultipart("qrcode/saveCode.do", form(jpeg)));
    ASSERT_TRUE(saved["qrcodeId"].is_number_integer());

    json groups = list("3");
    EXPECT_EQ(groups["pageSize"], 9);
    json first = groups["listItems"][0];
    EXPECT_EQ(first["qrcodeId"], saved["qrcodeId"]);
    json expected = { { "title", "深圳宝妈群" }, { "areaName", "深圳市" }, { "areaId", 440300 }, { "account", "sz_mama" },
        { "descriptions", "每周团购" }, { "position", 0 } };
    for (const auto& [key, value] : expected.items())
        EXPECT_EQ(first[key], value) << key;
    EXPECT_EQ(list("2")["pageSize"], 6) << "the other list is unchanged";

    // The bytes decide the type, not the declared "image/png".
    auto picture = get(first["qrcodeImg"].get<std::string>().substr(server().dataRoot().size()));
    EXPECT_EQ(picture.contentType, "image/jpeg");
    EXPECT_EQ(picture.body, jpeg);

    auto recorded = server().requests("qrcode/saveCode.do");
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].params.at("area_id"), "440300");
    ASSERT_EQ(recorded[0].files.size(), 1u);
    EXPECT_EQ(recorded[0].files[0].name, "imgpath");
    EXPECT_EQ(recorded[0].files[0].filename, "fdsfds.png");
    EXPECT_EQ(recorded[0].files[0].size, jpeg.size());
}

TEST_F(QrEndpoints, PublicationChecksEachFieldInTurn)
{
    std::string png = qrPattern(1);
    auto refusalFor = [&](httplib::MultipartFormDataItems items) { return refusalOf(postMultipart("qrcode/saveCode.do", items)); };
    EXPECT_EQ(refusalFor(with(form(png), "type", "1")), "类型不对");
    EXPECT_EQ(refusalFor(with(form(png), "title", "")), "填写标题");
    auto twenty = with(form(png), "title", "一二三四五六七八九十一二三四五六七八九十");
    EXPECT_TRUE(info(postMultipart("qrcode/saveCode.do", twenty)).contains("qrcodeId")) << "twenty characters pass";
    EXPECT_EQ(refusalFor(with(form(png), "title", "一二三四五六七八九十一二三四五六七八九十一")), "标题长度要小于20个字符");
    EXPECT_EQ(refusalFor(with(form(png), "title", "😀😀😀😀😀😀😀😀😀😀😀")), "标题长度要小于20个字符") << "UTF-16 units";
    EXPECT_EQ(refusalFor(with(form(png), "title", "bad\xC3")), "含有无效字符");
    EXPECT_EQ(refusalFor(with(form(png), "area_id", "440000")), "选择市") << "a province is not a city";
    EXPECT_EQ(refusalFor(with(form(png), "area_id", "")), "选择市");
    EXPECT_EQ(refusalFor(with(form(png), "account", "")), "请填写聊天号");
    EXPECT_EQ(refusalFor(with(form(png), "account", std::string(51, 'a'))), "聊天号长度要小于50个字符");
    EXPECT_EQ(refusalFor(with(form(png), "description", std::string(201, 'd'))), "简介长度要小于200个字符");
    EXPECT_EQ(refusalFor(with(form(png), "description", "")), "填写简介");
    EXPECT_EQ(refusalFor(form("")), "上传群二维码");
    EXPECT_EQ(refusalFor(form("GIF89a....")), "二维码图片格式不对");
    EXPECT_EQ(refusalFor(form(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(2 * 1024 * 1024, 'p'))), "二维码图片不能大于2MB");

    auto noPicture = form(png);
    noPicture.pop_back();
    EXPECT_EQ(refusalFor(noPicture), "上传群二维码");
    EXPECT_EQ(list("3")["pageSize"], 9) << "only the one valid publication above was stored";
}

} // namespace

} // namespace dataserver::test
