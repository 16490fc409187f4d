// The world's tables and the small coherent world they are seeded with: four provinces of three
// cities, two number ranges per city with 65 numbers each, six industries with eight contacts per
// province, group and personal QR codes, thirteen home categories, share keys, agents and pages.
#include "tools/dataserver/WorldSchema.h"

#include "tools/dataserver/Pages.h"

#include <array>
#include <string>
#include <vector>

namespace dataserver {

namespace {

constexpr int kWorldVersion = 1;

const char* const kSchema = R"sql(
CREATE TABLE region (id INTEGER PRIMARY KEY, parent_id INTEGER NOT NULL, name TEXT NOT NULL, ord INTEGER NOT NULL);
CREATE TABLE section (no TEXT PRIMARY KEY, city_id INTEGER NOT NULL, ord INTEGER NOT NULL);
CREATE TABLE phone (id INTEGER PRIMARY KEY, phone TEXT NOT NULL, city_id INTEGER NOT NULL, section_no TEXT NOT NULL);
CREATE INDEX phone_city ON phone (city_id);
CREATE INDEX phone_section ON phone (section_no);
CREATE TABLE industry (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE contact (id INTEGER PRIMARY KEY, name TEXT NOT NULL, industry_id INTEGER NOT NULL,
                      phone TEXT NOT NULL, province_id INTEGER NOT NULL, city_id INTEGER NOT NULL);
CREATE TABLE category (id INTEGER PRIMARY KEY, name TEXT NOT NULL, keyword TEXT NOT NULL);
CREATE TABLE share_key (key TEXT PRIMARY KEY, value TEXT NOT NULL, ord INTEGER NOT NULL);
CREATE TABLE device (client_id TEXT PRIMARY KEY, logins INTEGER NOT NULL);
CREATE TABLE agent (client_id TEXT PRIMARY KEY, agent_no TEXT UNIQUE NOT NULL, name TEXT NOT NULL,
                    level TEXT NOT NULL, area_name TEXT NOT NULL);
CREATE TABLE page (path TEXT PRIMARY KEY, html TEXT NOT NULL);
CREATE TABLE qrcode (id INTEGER PRIMARY KEY, type TEXT NOT NULL, title TEXT NOT NULL, category_name TEXT NOT NULL,
                     area_id INTEGER NOT NULL, account TEXT NOT NULL, group_account TEXT NOT NULL,
                     descriptions TEXT NOT NULL, add_time TEXT NOT NULL, client_id TEXT NOT NULL,
                     image BLOB, image_type TEXT);
CREATE INDEX qrcode_type ON qrcode (type, id);
)sql";

struct ProvinceSeed {
    long long id;
    const char* name;
    std::array<std::pair<long long, const char*>, 3> cities;
};

const std::array<ProvinceSeed, 4> kProvinces = { {
    { 440000, "广东省", { { { 440100, "广州市" }, { 440300, "深圳市" }, { 441900, "东莞市" } } } },
    { 330000, "浙江省", { { { 330100, "杭州市" }, { 330200, "宁波市" }, { 330300, "温州市" } } } },
    { 320000, "江苏省", { { { 320100, "南京市" }, { 320500, "苏州市" }, { 320200, "无锡市" } } } },
    { 510000, "四川省", { { { 510100, "成都市" }, { 510700, "绵阳市" }, { 511100, "乐山市" } } } },
} };

const std::array<std::pair<const char*, const char*>, 6> kIndustries = { {
    { "餐饮美食", "餐饮有限公司" },
    { "美容美发", "美容美发店" },
    { "教育培训", "教育培训中心" },
    { "房产中介", "房产经纪公司" },
    { "汽车服务", "汽车服务中心" },
    { "服装零售", "服装店" },
} };

const std::array<const char*, 8> kFirmWords = { "鸿运", "金泰", "华盛", "永兴", "天成", "瑞丰", "恒信", "新发" };

void seedRegionsAndNumbers(Database& db)
{
    auto region = db.prepare("INSERT INTO region (id, parent_id, name, ord) VALUES (?, ?, ?, ?)");
    auto section = db.prepare("INSERT INTO section (no, city_id, ord) VALUES (?, ?, ?)");
    auto phone = db.prepare("INSERT INTO phone (phone, city_id, section_no) VALUES (?, ?, ?)");
    const std::array<const char*, 2> carriers = { "138", "159" };
    long long ord = 0;
    int cityIndex = 0;
    for (const auto& province : kProvinces) {
        region.reset().bind(1, province.id).bind(2, 0LL).bind(3, province.name).bind(4, ord++).run();
        for (const auto& [cityId, cityName] : province.cities) {
            region.reset().bind(1, cityId).bind(2, province.id).bind(3, cityName).bind(4, ord++).run();
            // Two seven-digit number ranges per city, 65 numbers in each.
            for (int s = 0; s < 2; ++s) {
                std::string no = carriers[s] + std::to_string(2000 + cityIndex * 10);
                section.reset().bind(1, no).bind(2, cityId).bind(3, static_cast<long long>(cityIndex * 2 + s)).run();
                for (int k = 0; k < 65; ++k) {
                    int suffix = (k * 37 + cityIndex * 3 + s) % 10000;
                    std::string digits = std::to_string(10000 + suffix).substr(1);
                    phone.reset().bind(1, no + digits).bind(2, cityId).bind(3, no).run();
                }
            }
            ++cityIndex;
        }
    }
}

void seedIndustries(Database& db)
{
    for (size_t i = 0; i < kIndustries.size(); ++i)
        db.prepare("INSERT INTO industry (id, name) VALUES (?, ?)")
            .bind(1, static_cast<long long>(i + 1)).bind(2, kIndustries[i].first).run();
    long long serial = 0;
    for (const auto& province : kProvinces) {
        for (size_t i = 0; i < kIndustries.size(); ++i) {
            for (size_t k = 0; k < kFirmWords.size(); ++k) {
                const auto& [cityId, cityName] = province.cities[k % province.cities.size()];
                std::string city = cityName;
                city.resize(city.size() - std::string("市").size());
                std::string name = city + kFirmWords[k] + kIndustries[i].second;
                std::string phone = std::to_string(18600000000LL + serial * 104729LL);
                db.prepare("INSERT INTO contact (name, industry_id, phone, province_id, city_id) VALUES (?, ?, ?, ?, ?)")
                    .bind(1, name).bind(2, static_cast<long long>(i + 1)).bind(3, phone)
                    .bind(4, province.id).bind(5, cityId).run();
                ++serial;
            }
        }
    }
}

void seedCategories(Database& db)
{
    // Eight tiles the home screen shows, the tile it relabels as the picture page, and four
    // categories it keeps hidden (it never shows the last four).
    const std::array<std::pair<const char*, const char*>, 13> categories = { {
        { "加粉", "1" }, { "精准加粉", "7" }, { "国际加粉", "4" }, { "行业客源", "6" },
        { "加群", "3" }, { "互粉", "2" }, { "免费WiFi", "5" }, { "关于我们", "11" },
        { "图片", "5" },
        { "推广赚钱", "8" }, { "会员中心", "9" }, { "消息", "10" }, { "设置", "12" },
    } };
    for (size_t i = 0; i < categories.size(); ++i)
        db.prepare("INSERT INTO category (id, name, keyword) VALUES (?, ?, ?)")
            .bind(1, static_cast<long long>(i + 1)).bind(2, categories[i].first).bind(3, categories[i].second).run();
}

void seedKeysAgentsPages(Database& db)
{
    const std::array<std::pair<const char*, const char*>, 5> keys = { {
        { "bdIosId", "1105032921" },
        { "bdIosKey", "Qm7sK2pLx9vT4wZe" },
        { "mgId", "mg5a1c9e0b7d3f2461" },
        { "mgKey", "c0ffee5e1f2a3b4c5d6e7f8091a2b3c4" },
        { "shIosAppkey", "5a1b2c3d4e5f60718293a4b5" },
    } };
    for (size_t i = 0; i < keys.size(); ++i)
        db.prepare("INSERT INTO share_key (key, value, ord) VALUES (?, ?, ?)")
            .bind(1, keys[i].first).bind(2, keys[i].second).bind(3, static_cast<long long>(i)).run();

    db.exec("INSERT INTO agent VALUES ('0f1e2d3c4b5a69788796a5b4c3d2e1f0', 'qm10086', '张伟', '金牌代理', '广东省 广州市');"
            "INSERT INTO agent VALUES ('a1b2c3d4e5f60718293a4b5c6d7e8f90', 'qm10010', '李娜', '银牌代理', '浙江省 杭州市');");

    const std::array<std::pair<const char*, std::string>, 3> pages = { {
        { "client/regDeclare.do",
            htmlDocument("免责声明",
                "<p>本软件提供的号码均来自公开渠道，仅供用户自行联系使用。</p>\n"
                "<p>用户须遵守法律法规，不得利用本软件发送骚扰信息；因使用不当产生的一切后果由用户自行承担。</p>",
                "client/regDeclare.do") },
        { "data/qryLearn.do",
            htmlDocument("功能视频",
                "<p>Quillmark 的主要功能如下，点开各项即可观看演示。</p>\n<ol>\n<li>加粉：选择省、市后获取号码，一键导入通讯录。</li>\n"
                "<li>国际加粉：按号段获取号码。</li>\n<li>行业客源：按行业或区域查看商家电话。</li>\n"
                "<li>加群与互粉：发布并保存二维码，到聊天中识别添加。</li>\n</ol>",
                "data/qryLearn.do") },
        { "share.do",
            htmlDocument("Quillmark升级版", "<p>一键获取精准客源，快速导入通讯录。下载 Quillmark，立即开始加粉。</p>", "share.do") },
    } };
    for (const auto& [path, html] : pages)
        db.prepare("INSERT INTO page (path, html) VALUES (?, ?)").bind(1, path).bind(2, html).run();
}

struct QrSeed {
    const char* type;
    const char* title;
    const char* category;
    long long areaId;
    const char* account;
    const char* groupAccount;
    const char* descriptions;
};

void seedQrCodes(Database& db)
{
    const std::array<QrSeed, 14> codes = { {
        { "3", "广州宝妈育儿交流群", "宝妈育儿", 440100, "gz_mama88", "31870021", "分享育儿经验，每周团购母婴用品。" },
        { "3", "深圳创业者同城群", "同城交友", 440300, "sz_chuangye", "31870022", "创业者资源对接，禁止广告刷屏。" },
        { "3", "杭州吃货美食群", "美食", 330100, "hz_chihuo", "31870023", "探店打卡，周末聚餐。" },
        { "3", "宁波跑步爱好者", "运动健身", 330200, "nb_run", "31870024", "每周六早上东钱湖约跑。" },
        { "3", "南京考研互助群", "学习交流", 320100, "nj_kaoyan", "31870025", "资料共享，互相监督打卡。" },
        { "3", "苏州二手闲置群", "二手交易", 320500, "sz_xianzhi", "31870026", "同城闲置转让，当面交易。" },
        { "3", "成都摄影约拍群", "摄影", 510100, "cd_yuepai", "31870027", "模特与摄影师约拍交流。" },
        { "3", "东莞外贸交流群", "行业交流", 441900, "dg_waimao", "31870028", "外贸业务经验分享。" },
        { "2", "互粉互助 小雨", "个人", 440100, "xiaoyu_2024", "", "诚信互粉，秒回。" },
        { "2", "微商阿杰", "个人", 330300, "ajie_shop", "", "主营家乡特产，欢迎互粉。" },
        { "2", "保险顾问王姐", "个人", 320200, "wangjie_bx", "", "专业保险咨询，互粉不删。" },
        { "2", "健身教练Leo", "个人", 510700, "leo_fit", "", "免费健身计划，互相关注。" },
        { "2", "花艺小店", "个人", 511100, "huayi_ls", "", "鲜花预订，互粉有礼。" },
        { "2", "程序员老周", "个人", 440300, "laozhou_dev", "", "技术交流，互粉学习。" },
    } };
    int day = 1;
    for (const auto& c : codes) {
        std::string time = "2024-05-" + std::to_string(10 + day++) + " 10:30:00";
        db.prepare("INSERT INTO qrcode (type, title, category_name, area_id, account, group_account, descriptions,"
                   " add_time, client_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, '')")
            .bind(1, c.type).bind(2, c.title).bind(3, c.category).bind(4, c.areaId).bind(5, c.account)
            .bind(6, c.groupAccount).bind(7, c.descriptions).bind(8, time).run();
    }
}

} // namespace

bool hasWorld(Database& db)
{
    auto version = db.prepare("PRAGMA user_version");
    return version.step() && version.integer(0) >= kWorldVersion;
}

void createWorld(Database& db)
{
    db.exec("BEGIN");
    try {
        db.exec(kSchema);
        seedRegionsAndNumbers(db);
        seedIndustries(db);
        seedCategories(db);
        seedKeysAgentsPages(db);
        seedQrCodes(db);
        db.exec("PRAGMA user_version = " + std::to_string(kWorldVersion));
        db.exec("COMMIT");
    } catch (...) {
        try {
            db.exec("ROLLBACK");
        } catch (const SqliteError&) {
        }
        throw;
    }
}

} // namespace dataserver
