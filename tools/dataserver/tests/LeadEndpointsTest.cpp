// Lead endpoints: regions, number ranges, pages of numbers by city and by range, industries and
// their contacts, and the refusals for ids that do not belong together.
#include "ServerFixture.h"

#include <regex>
#include <set>

namespace dataserver::test {

namespace {

class LeadEndpoints : public ServerTest {
protected:
    json phonePage(httplib::Params params)
    {
        params.emplace("clientId", "abc");
        return info(post("data/listPhone.do", params));
    }

    static std::vector<std::string> phones(const json& page)
    {
        std::vector<std::string> out;
        for (const auto& item : page["listItems"])
            out.push_back(item["phone"].get<std::string>());
        return out;
    }
};

TEST_F(LeadEndpoints, ProvincesThenTheirCities)
{
    json provinces = info(post("district/listSubDistrict.do"));
    ASSERT_EQ(provinces.size(), 4u);
    EXPECT_EQ(provinces[0]["id"], 440000);
    EXPECT_EQ(provinces[0]["name"], "广东省");

    json cities = info(post("district/listSubDistrict.do", { { "parentId", "440000" } }));
    ASSERT_EQ(cities.size(), 3u);
    EXPECT_EQ(cities[0]["id"], 440100);
    EXPECT_EQ(cities[0]["name"], "广州市");

    EXPECT_EQ(info(post("district/listSubDistrict.do", { { "parentId", "0" } })), provinces);
    EXPECT_TRUE(info(post("district/listSubDistrict.do", { { "parentId", "440100" } })).empty());
    for (const char* bad : { "", "999", "44x", " 440000" })
        EXPECT_EQ(refusalOf(post("district/listSubDistrict.do", { { "parentId", bad } })), "地区不存在") << bad;
}

TEST_F(LeadEndpoints, NumberRangesAreSevenDigitPrefixes)
{
    json ranges = info(post("data/listSection.do"));
    ASSERT_EQ(ranges.size(), 24u);
    std::set<std::string> seen;
    for (const auto& r : ranges) {
        std::string no = r["no"].get<std::string>();
        EXPECT_TRUE(std::regex_match(no, std::regex("1[0-9]{6}"))) << no;
        seen.insert(no);
    }
    EXPECT_EQ(seen.size(), ranges.size());
}

TEST_F(LeadEndpoints, CityPagesWalkTheCityWithoutOverlap)
{
    httplib::Params query { { "proviceId", "440000" }, { "cityId", "440100" }, { "pageSize", "50" } };
    std::set<std::string> all;
    int page = 0;
    for (std::size_t size : { 50u, 50u, 30u, 0u }) {
        auto params = query;
        params.emplace("page", std::to_string(page++));
        json result = phonePage(params);
        EXPECT_EQ(result["pageSize"], 130) << "the total";
        EXPECT_EQ(phones(result).size(), size) << page;
        for (const auto& phone : phones(result)) {
            EXPECT_TRUE(std::regex_match(phone, std::regex("1[0-9]{10}"))) << phone;
            all.insert(phone);
        }
    }
    EXPECT_EQ(all.size(), 130u) << "no number on two pages";
}

TEST_F(LeadEndpoints, RangePagesHoldOnlyThatRange)
{
    std::string range = info(post("data/listSection.do"))[3]["no"].get<std::string>();
    json first = phonePage({ { "sectionNo", range }, { "pageSize", "50" }, { "page", "0" } });
    json second = phonePage({ { "sectionNo", range }, { "pageSize", "50" }, { "page", "1" } });
    EXPECT_EQ(first["pageSize"], 65);
    ASSERT_EQ(phones(first).size(), 50u);
    ASSERT_EQ(phones(second).size(), 15u);
    EXPECT_NE(phones(first)[0], phones(second)[0]);
    for (const auto& phone : phones(first))
        EXPECT_EQ(phone.substr(0, 7), range);

    json past = phonePage({ { "sectionNo", range }, { "pageSize", "50" }, { "page", "999999999999" } });
    EXPECT_TRUE(past["listItems"].is_array() && past["listItems"].empty());
    EXPECT_EQ(past["pageSize"], 65);
}

TEST_F(LeadEndpoints, NumberRequestsThatCannotBeAnsweredAreRefused)
{
    auto refusal = [&](httplib::Params params) { return refusalOf(post("data/listPhone.do", params)); };
    for (const char* size : { "0", "51", "", "20abc", " 20", "-5" })
        EXPECT_EQ(refusal({ { "proviceId", "440000" }, { "cityId", "440100" }, { "pageSize", size }, { "page", "0" } }),
            "每页数量要在1到50之间")
            << size;
    EXPECT_EQ(refusal({ { "proviceId", "440000" }, { "cityId", "440100" }, { "pageSize", "20" }, { "page", "-1" } }), "页码无效");
    EXPECT_EQ(refusal({ { "cityId", "440100" }, { "pageSize", "20" } }), "未选择省");
    EXPECT_EQ(refusal({ { "proviceId", "440000" }, { "cityId", "" }, { "pageSize", "20" } }), "未选择城市");
    EXPECT_EQ(refusal({ { "proviceId", "440100" }, { "cityId", "440100" }, { "pageSize", "20" } }), "省份不存在");
    // A city kept from another province does not silently answer.
    EXPECT_EQ(refusal({ { "proviceId", "330000" }, { "cityId", "440100" }, { "pageSize", "20" } }), "城市不属于所选省份");
    EXPECT_EQ(refusal({ { "sectionNo", "" }, { "pageSize", "20" } }), "号段不存在");
    EXPECT_EQ(refusal({ { "sectionNo", "1380000" }, { "pageSize", "20" } }), "号段不存在");
}

TEST_F(LeadEndpoints, IndustriesAndTheirContacts)
{
    json industries = info(post("data/listCategory.do", { { "clientId", "abc" } }));
    ASSERT_EQ(industries.size(), 6u);
    EXPECT_EQ(industries[0]["categoryId"], 1);
    EXPECT_EQ(industries[0]["name"], "餐饮美食");
    EXPECT_EQ(info(post("data/listCategory.do")), industries);

    json batch = info(post("data/listIndustry.do", { { "categoryId", "1" }, { "clientId", "abc" }, { "page", "0" } }));
    EXPECT_EQ(batch["pageSize"], 32);
    ASSERT_EQ(batch["listItems"].size(), 10u);
    for (const auto& c : batch["listItems"]) {
        EXPECT_TRUE(c["computerName"].is_string());
        EXPECT_EQ(c["categoryId"], 1);
        EXPECT_TRUE(c["phone"].is_string() && c["phone"].get<std::string>().size() == 11);
        EXPECT_TRUE(c["area_id"].is_number_integer());
    }
    json last = info(post("data/listIndustry.do", { { "categoryId", "1" }, { "page", "3" } }));
    EXPECT_EQ(last["listItems"].size(), 2u);
    EXPECT_TRUE(info(post("data/listIndustry.do", { { "categoryId", "1" }, { "page", "4" } }))["listItems"].empty());

    // By province: every contact lies in one of its cities.
    json byArea = info(post("data/listIndustry.do", { { "area_id", "330000" }, { "page", "0" } }));
    EXPECT_EQ(byArea["pageSize"], 48);
    for (const auto& c : byArea["listItems"])
        EXPECT_EQ(c["area_id"].get<long long>() / 10000, 33);

    EXPECT_EQ(refusalOf(post("data/listIndustry.do", { { "page", "0" } })), "请选择行业或区域");
    EXPECT_EQ(refusalOf(post("data/listIndustry.do", { { "categoryId", "77" } })), "行业不存在");
    EXPECT_EQ(refusalOf(post("data/listIndustry.do", { { "area_id", "1" } })), "地区不存在");
    EXPECT_EQ(refusalOf(post("data/listIndustry.do", { { "categoryId", "1" }, { "page", "x" } })), "页码无效");
}

} // namespace

} // namespace dataserver::test
