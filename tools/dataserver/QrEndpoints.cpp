// QR-code endpoints: the lists (newest first), a record, its neighbours, the pictures, and the
// multipart publication that stores a new record with its picture.
#include "tools/dataserver/Endpoints.h"
#include "tools/dataserver/Png.h"
#include "tools/dataserver/Text.h"

#include <ctime>

namespace dataserver {

namespace {

using nlohmann::json;

constexpr long long kQrPage = 20;
constexpr std::size_t kMaxPicture = 2 * 1024 * 1024;

bool knownType(const std::string& type)
{
    return type == "2" || type == "3";
}

json recordJson(const QrCode& code, long long position, const std::string& dataRoot)
{
    return { { "qrcodeId", code.id }, { "title", code.title }, { "categoryName", code.categoryName },
        { "areaName", code.areaName }, { "areaId", code.areaId },
        { "qrcodeImg", dataRoot + "qrcode/image.do?id=" + std::to_string(code.id) },
        { "groupaccount", code.groupAccount }, { "fAddtime", code.addTime }, { "descriptions", code.descriptions },
        { "account", code.account }, { "type", code.type }, { "position", position } };
}

std::optional<QrCode> recordOf(World& world, const Incoming& in)
{
    auto id = parseInteger(in.param("id").value_or(""));
    return id ? world.qrcode(*id) : std::nullopt;
}

Reply list(World& world, const Incoming& in)
{
    std::string type = in.param("type").value_or("");
    if (!knownType(type))
        return refusal("类型不对");
    long long page = 0;
    if (auto text = in.param("page")) {
        auto parsed = parseInteger(*text);
        if (!parsed || *parsed < 0)
            return refusal("页码无效");
        page = *parsed;
    }
    auto found = world.qrcodes(type, page, kQrPage);
    json items = json::array();
    long long position = found.items.empty() ? 0 : page * kQrPage; // the offset fits when rows came back
    for (const auto& code : found.items)
        items.push_back(recordJson(code, position++, in.dataRoot));
    return success({ { "pageSize", found.total }, { "listItems", std::move(items) } });
}

Reply detail(World& world, const Incoming& in)
{
    auto code = recordOf(world, in);
    if (!code)
        return refusal("二维码不存在");
    return success(recordJson(*code, world.qrPosition(*code), in.dataRoot));
}

Reply step(World& world, const Incoming& in)
{
    auto code = recordOf(world, in);
    if (!code)
        return refusal("二维码不存在");
    std::string flag = in.param("flag").value_or("");
    if (flag != "0" && flag != "1")
        return refusal("参数错误");
    bool next = flag == "1";
    auto neighbour = world.qrNeighbour(*code, next);
    if (!neighbour)
        return refusal(next ? "已经是最后一个了" : "已经是第一个了");
    return success(recordJson(*neighbour, world.qrPosition(*neighbour), in.dataRoot));
}

Reply image(World& world, const Incoming& in)
{
    auto id = parseInteger(in.param("id").value_or(""));
    if (!id)
        return notFound();
    if (auto stored = world.qrImage(*id))
        return picture(std::move(stored->bytes), std::move(stored->type));
    if (!world.qrcode(*id))
        return notFound();
    return picture(qrPattern(*id));
}

// A text field within its limit; the refusal message otherwise.
std::optional<std::string> checkText(const Incoming& in, const char* name, std::size_t limit, const char* emptyMsg, const char* longMsg)
{
    auto value = in.filled(name);
    if (!value)
        return emptyMsg;
    auto length = utf16Length(*value);
    if (!length)
        return "含有无效字符";
    if (*length > limit)
        return longMsg;
    return std::nullopt;
}

std::string now()
{
    std::time_t t = std::time(nullptr);
    std::tm local {};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

Reply save(World& world, const Incoming& in)
{
    std::string type = in.param("type").value_or("");
    if (!knownType(type))
        return refusal("类型不对");
    if (auto refused = checkText(in, "title", 20, "填写标题", "标题长度要小于20个字符"))
        return refusal(*refused);
    auto areaId = parseInteger(in.param("area_id").value_or(""));
    auto city = areaId ? world.region(*areaId) : std::nullopt;
    if (!city || city->parentId == 0)
        return refusal("选择市");
    if (auto refused = checkText(in, "account", 50, "请填写聊天号", "聊天号长度要小于50个字符"))
        return refusal(*refused);
    if (auto refused = checkText(in, "description", 200, "填写简介", "简介长度要小于200个字符"))
        return refusal(*refused);
    const FilePart* part = in.file("imgpath");
    if (!part || part->bytes.empty())
        return refusal("上传群二维码");
    if (part->bytes.size() > kMaxPicture)
        return refusal("二维码图片不能大于2MB");
    // The declared type is not trusted: the bytes decide.
    std::string imageType = sniffImageType(part->bytes);
    if (imageType.empty())
        return refusal("二维码图片格式不对");
    QrDraft draft { type, *in.param("title"), city->id, *in.param("account"), *in.param("description"),
        in.param("clientId").value_or(""), part->bytes, imageType };
    long long id = world.addQrCode(draft, now());
    return success({ { "qrcodeId", id } }, "提交成功");
}

} // namespace

void addQrEndpoints(EndpointTable& t)
{
    t["qrcode/listCode.do"] = &list;
    t["qrcode/getDetail.do"] = &detail;
    t["qrcode/getChangeDetail.do"] = &step;
    t["qrcode/image.do"] = &image;
    t["qrcode/saveCode.do"] = &save;
}

} // namespace dataserver
