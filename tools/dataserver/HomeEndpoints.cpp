// Start-up, home and about endpoints: share keys, device login, home categories and their tiles,
// the agent check, the page-view report, the app icon and the HTML pages.
#include "tools/dataserver/Endpoints.h"
#include "tools/dataserver/Pages.h"
#include "tools/dataserver/Png.h"
#include "tools/dataserver/Text.h"
#include "tools/dataserver/TileIcons.h"

namespace dataserver {

namespace {

using nlohmann::json;

constexpr std::size_t kClientIdMax = 64;

std::optional<std::string> clientIdOf(const Incoming& in)
{
    auto id = in.filled("clientId");
    if (!id || id->size() > kClientIdMax)
        return std::nullopt;
    return id;
}

Reply shareKeys(World& world, const Incoming&)
{
    json info = json::object();
    for (const auto& [key, value] : world.shareKeys())
        info[key] = value;
    return success(std::move(info));
}

Reply homeIndex(World& world, const Incoming& in)
{
    json list = json::array();
    for (const auto& c : world.categories())
        list.push_back({ { "categoryId", c.id }, { "name", c.name },
            { "imgurl", in.dataRoot + "home/tileImage.do?id=" + std::to_string(c.id) }, { "keyword", c.keyword } });
    return success({ { "listCate", std::move(list) } });
}

Reply tileImageOf(World& world, const Incoming& in)
{
    auto id = parseInteger(in.param("id").value_or(""));
    if (!id)
        return notFound();
    for (const auto& c : world.categories())
        if (c.id == *id)
            return picture(tileIcon(c.name, c.id));
    return notFound();
}

Reply launcher(World&, const Incoming&)
{
    return picture(launcherIcon());
}

Reply isAgent(World& world, const Incoming& in)
{
    auto clientId = clientIdOf(in);
    if (!clientId)
        return refusal("设备标识无效");
    auto agent = world.agentByClient(*clientId);
    if (!agent)
        return refusal("您还不是代理");
    return success({ { "agentNo", agent->agentNo }, { "name", agent->name }, { "level", agent->level },
        { "areaName", agent->areaName } });
}

Reply pageView(World& world, const Incoming& in)
{
    if (!clientIdOf(in))
        return refusal("设备标识无效");
    if (auto category = in.param("categoryId")) {
        auto id = parseInteger(*category);
        if (!id || !world.hasCategory(*id))
            return refusal("分类不存在");
    }
    return success(json::object());
}

Reply storedPage(World& world, const Incoming& in)
{
    auto html = world.page(in.path);
    if (!html)
        return notFound();
    return htmlPage(std::move(*html));
}

Reply agentCertificate(World& world, const Incoming& in)
{
    std::string typed = in.param("agentNo").value_or("");
    auto agent = typed.empty() ? std::nullopt : world.agentByNumber(typed);
    return htmlPage(agentCertificatePage(typed, agent));
}

} // namespace

Reply login(World& world, const Incoming& in)
{
    auto clientId = clientIdOf(in);
    if (!clientId)
        return refusal("设备标识无效");
    world.recordLogin(*clientId);
    return success(json::object(), "登录成功");
}

void addHomeEndpoints(EndpointTable& t)
{
    t["init/share.do"] = &shareKeys;
    t["home/index.do"] = &homeIndex;
    t["home/tileImage.do"] = &tileImageOf;
    t["app/ic_launcher.png"] = &launcher;
    t["client/isAgent.do"] = &isAgent;
    t["home//web.do"] = &pageView;
    t["client/regDeclare.do"] = &storedPage;
    t["data/qryLearn.do"] = &storedPage;
    t["share.do"] = &storedPage;
    t["data/qryAgent.do"] = &agentCertificate;
}

} // namespace dataserver
