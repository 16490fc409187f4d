// Lead endpoints: provinces and cities, number ranges, pages of numbers by city or by range,
// industries and their contacts. Pages count from 0; a page past the end is an empty list.
#include "tools/dataserver/Endpoints.h"
#include "tools/dataserver/Text.h"

namespace dataserver {

namespace {

using nlohmann::json;

constexpr long long kMaxPhonePage = 50;
constexpr long long kContactBatch = 10;

// "page": 0 when not sent; nullopt when sent but not a page number.
std::optional<long long> pageOf(const Incoming& in)
{
    auto text = in.param("page");
    if (!text)
        return 0;
    auto page = parseInteger(*text);
    if (!page || *page < 0)
        return std::nullopt;
    return page;
}

Reply districts(World& world, const Incoming& in)
{
    long long parent = 0;
    if (auto text = in.param("parentId")) {
        auto id = parseInteger(*text);
        if (!id || (*id != 0 && !world.region(*id)))
            return refusal("地区不存在");
        parent = *id;
    }
    json list = json::array();
    for (const auto& r : world.children(parent))
        list.push_back({ { "id", r.id }, { "name", r.name } });
    return success(std::move(list));
}

Reply sections(World& world, const Incoming&)
{
    json list = json::array();
    for (const auto& no : world.sections())
        list.push_back({ { "no", no } });
    return success(std::move(list));
}

Reply phones(World& world, const Incoming& in)
{
    auto size = parseInteger(in.param("pageSize").value_or(""));
    if (!size || *size < 1 || *size > kMaxPhonePage)
        return refusal("每页数量要在1到50之间");
    auto page = pageOf(in);
    if (!page)
        return refusal("页码无效");

    PageOf<std::string> found;
    if (auto section = in.param("sectionNo")) {
        if (!world.hasSection(*section))
            return refusal("号段不存在");
        found = world.phonesOfSection(*section, *page, *size);
    } else {
        auto provinceText = in.filled("proviceId");
        if (!provinceText)
            return refusal("未选择省");
        auto cityText = in.filled("cityId");
        if (!cityText)
            return refusal("未选择城市");
        auto provinceId = parseInteger(*provinceText);
        auto province = provinceId ? world.region(*provinceId) : std::nullopt;
        if (!province || province->parentId != 0)
            return refusal("省份不存在");
        auto cityId = parseInteger(*cityText);
        auto city = cityId ? world.region(*cityId) : std::nullopt;
        if (!city || city->parentId != province->id)
            return refusal("城市不属于所选省份");
        found = world.phonesOfCity(city->id, *page, *size);
    }
    json items = json::array();
    for (const auto& phone : found.items)
        items.push_back({ { "phone", phone } });
    return success({ { "pageSize", found.total }, { "listItems", std::move(items) } });
}

Reply industries(World& world, const Incoming&)
{
    json list = json::array();
    for (const auto& i : world.industries())
        list.push_back({ { "categoryId", i.id }, { "name", i.name } });
    return success(std::move(list));
}

Reply industryContacts(World& world, const Incoming& in)
{
    auto page = pageOf(in);
    if (!page)
        return refusal("页码无效");
    std::optional<long long> area;
    if (auto text = in.filled("area_id")) {
        area = parseInteger(*text);
        if (!area || !world.region(*area))
            return refusal("地区不存在");
    }
    std::optional<long long> industry;
    if (auto text = in.filled("categoryId")) {
        industry = parseInteger(*text);
        if (!industry || !world.hasIndustry(*industry))
            return refusal("行业不存在");
    }
    if (!area && !industry)
        return refusal("请选择行业或区域");
    auto found = world.contacts(area, industry, *page, kContactBatch);
    json items = json::array();
    for (const auto& c : found.items)
        items.push_back({ { "computerName", c.name }, { "categoryId", c.industryId }, { "phone", c.phone },
            { "area_id", c.areaId } });
    return success({ { "pageSize", found.total }, { "listItems", std::move(items) } });
}

} // namespace

void addLeadEndpoints(EndpointTable& t)
{
    t["district/listSubDistrict.do"] = &districts;
    t["data/listSection.do"] = &sections;
    t["data/listPhone.do"] = &phones;
    t["data/listCategory.do"] = &industries;
    t["data/listIndustry.do"] = &industryContacts;
}

} // namespace dataserver
