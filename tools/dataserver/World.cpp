// Queries over the world's tables. Every operation takes the one lock: the connection is shared
// by the server's worker threads.
#include "tools/dataserver/World.h"

#include "tools/dataserver/WorldSchema.h"

#include <limits>

namespace dataserver {

namespace {

// The offset of a page, or nullopt when the page lies beyond any possible row.
std::optional<long long> offsetOf(long long page, long long size)
{
    if (page < 0 || size <= 0 || page > std::numeric_limits<long long>::max() / size)
        return std::nullopt;
    return page * size;
}

PageOf<std::string> phonePage(Database& db, const char* where, auto bindKey, long long page, long long size)
{
    PageOf<std::string> result;
    auto count = db.prepare(std::string("SELECT count(*) FROM phone WHERE ") + where);
    bindKey(count);
    if (count.step())
        result.total = count.integer(0);
    auto offset = offsetOf(page, size);
    if (!offset)
        return result;
    auto rows = db.prepare(std::string("SELECT phone FROM phone WHERE ") + where + " ORDER BY id LIMIT ?2 OFFSET ?3");
    bindKey(rows);
    rows.bind(2, size).bind(3, *offset);
    while (rows.step())
        result.items.push_back(rows.text(0));
    return result;
}

constexpr const char* kQrColumns =
    "SELECT q.id, q.type, q.title, q.category_name, q.area_id, coalesce(r.name, ''), q.account, q.group_account,"
    " q.descriptions, q.add_time FROM qrcode q LEFT JOIN region r ON r.id = q.area_id ";

} // namespace

World::World(const std::string& path)
    : db_(path)
{
    db_.exec("PRAGMA foreign_keys = ON");
    if (!hasWorld(db_))
        createWorld(db_);
}

std::vector<Region> World::children(long long parentId)
{
    std::lock_guard lock(mutex_);
    std::vector<Region> out;
    auto rows = db_.prepare("SELECT id, parent_id, name FROM region WHERE parent_id = ? ORDER BY ord");
    rows.bind(1, parentId);
    while (rows.step())
        out.push_back({ rows.integer(0), rows.integer(1), rows.text(2) });
    return out;
}

std::optional<Region> World::region(long long id)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT id, parent_id, name FROM region WHERE id = ?");
    row.bind(1, id);
    if (!row.step())
        return std::nullopt;
    return Region { row.integer(0), row.integer(1), row.text(2) };
}

std::vector<std::string> World::sections()
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    auto rows = db_.prepare("SELECT no FROM section ORDER BY ord");
    while (rows.step())
        out.push_back(rows.text(0));
    return out;
}

bool World::hasSection(const std::string& no)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT 1 FROM section WHERE no = ?");
    row.bind(1, no);
    return row.step();
}

PageOf<std::string> World::phonesOfCity(long long cityId, long long page, long long size)
{
    std::lock_guard lock(mutex_);
    return phonePage(db_, "city_id = ?1", [&](Statement& s) { s.bind(1, cityId); }, page, size);
}

PageOf<std::string> World::phonesOfSection(const std::string& no, long long page, long long size)
{
    std::lock_guard lock(mutex_);
    return phonePage(db_, "section_no = ?1", [&](Statement& s) { s.bind(1, no); }, page, size);
}

std::vector<Industry> World::industries()
{
    std::lock_guard lock(mutex_);
    std::vector<Industry> out;
    auto rows = db_.prepare("SELECT id, name FROM industry ORDER BY id");
    while (rows.step())
        out.push_back({ rows.integer(0), rows.text(1) });
    return out;
}

bool World::hasIndustry(long long id)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT 1 FROM industry WHERE id = ?");
    row.bind(1, id);
    return row.step();
}

PageOf<Contact> World::contacts(std::optional<long long> areaId, std::optional<long long> industryId, long long page, long long size)
{
    std::lock_guard lock(mutex_);
    // An absent filter is bound as NULL and matches every row.
    const std::string where = " FROM contact WHERE (?1 IS NULL OR province_id = ?1 OR city_id = ?1)"
                              " AND (?2 IS NULL OR industry_id = ?2)";
    auto bindFilters = [&](Statement& s) {
        areaId ? s.bind(1, *areaId) : s.bindNull(1);
        industryId ? s.bind(2, *industryId) : s.bindNull(2);
    };
    PageOf<Contact> result;
    auto count = db_.prepare("SELECT count(*)" + where);
    bindFilters(count);
    if (count.step())
        result.total = count.integer(0);
    auto offset = offsetOf(page, size);
    if (!offset)
        return result;
    auto rows = db_.prepare("SELECT name, industry_id, phone, city_id" + where + " ORDER BY id LIMIT ?3 OFFSET ?4");
    bindFilters(rows);
    rows.bind(3, size).bind(4, *offset);
    while (rows.step())
        result.items.push_back({ rows.text(0), rows.integer(1), rows.text(2), rows.integer(3) });
    return result;
}

std::vector<Category> World::categories()
{
    std::lock_guard lock(mutex_);
    std::vector<Category> out;
    auto rows = db_.prepare("SELECT id, name, keyword FROM category ORDER BY id");
    while (rows.step())
        out.push_back({ rows.integer(0), rows.text(1), rows.text(2) });
    return out;
}

bool World::hasCategory(long long id)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT 1 FROM category WHERE id = ?");
    row.bind(1, id);
    return row.step();
}

std::vector<std::pair<std::string, std::string>> World::shareKeys()
{
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, std::string>> out;
    auto rows = db_.prepare("SELECT key, value FROM share_key ORDER BY ord");
    while (rows.step())
        out.emplace_back(rows.text(0), rows.text(1));
    return out;
}

void World::recordLogin(const std::string& clientId)
{
    std::lock_guard lock(mutex_);
    db_.prepare("INSERT INTO device (client_id, logins) VALUES (?, 1)"
                " ON CONFLICT (client_id) DO UPDATE SET logins = logins + 1")
        .bind(1, clientId)
        .run();
}

std::optional<Agent> World::agentByClient(const std::string& clientId)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT client_id, agent_no, name, level, area_name FROM agent WHERE client_id = ?");
    row.bind(1, clientId);
    if (!row.step())
        return std::nullopt;
    return Agent { row.text(0), row.text(1), row.text(2), row.text(3), row.text(4) };
}

std::optional<Agent> World::agentByNumber(const std::string& agentNo)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT client_id, agent_no, name, level, area_name FROM agent WHERE agent_no = ?");
    row.bind(1, agentNo);
    if (!row.step())
        return std::nullopt;
    return Agent { row.text(0), row.text(1), row.text(2), row.text(3), row.text(4) };
}

std::optional<std::string> World::page(const std::string& path)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT html FROM page WHERE path = ?");
    row.bind(1, path);
    if (!row.step())
        return std::nullopt;
    return row.text(0);
}

QrCode World::readQr(Statement& row)
{
    return QrCode { row.integer(0), row.text(1), row.text(2), row.text(3), row.integer(4), row.text(5),
        row.text(6), row.text(7), row.text(8), row.text(9) };
}

PageOf<QrCode> World::qrcodes(const std::string& type, long long page, long long size)
{
    std::lock_guard lock(mutex_);
    PageOf<QrCode> result;
    auto count = db_.prepare("SELECT count(*) FROM qrcode WHERE type = ?");
    count.bind(1, type);
    if (count.step())
        result.total = count.integer(0);
    auto offset = offsetOf(page, size);
    if (!offset)
        return result;
    auto rows = db_.prepare(std::string(kQrColumns) + "WHERE q.type = ? ORDER BY q.id DESC LIMIT ? OFFSET ?");
    rows.bind(1, type).bind(2, size).bind(3, *offset);
    while (rows.step())
        result.items.push_back(readQr(rows));
    return result;
}

std::optional<QrCode> World::qrcode(long long id)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare(std::string(kQrColumns) + "WHERE q.id = ?");
    row.bind(1, id);
    if (!row.step())
        return std::nullopt;
    return readQr(row);
}

long long World::qrPosition(const QrCode& code)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT count(*) FROM qrcode WHERE type = ? AND id > ?");
    row.bind(1, code.type).bind(2, code.id);
    return row.step() ? row.integer(0) : 0;
}

std::optional<QrCode> World::qrNeighbour(const QrCode& code, bool next)
{
    std::lock_guard lock(mutex_);
    // The list runs newest first, so the next record is the older one.
    std::string sql = std::string(kQrColumns)
        + (next ? "WHERE q.type = ? AND q.id < ? ORDER BY q.id DESC LIMIT 1" : "WHERE q.type = ? AND q.id > ? ORDER BY q.id ASC LIMIT 1");
    auto row = db_.prepare(sql);
    row.bind(1, code.type).bind(2, code.id);
    if (!row.step())
        return std::nullopt;
    return readQr(row);
}

long long World::addQrCode(const QrDraft& d, const std::string& addTime)
{
    std::lock_guard lock(mutex_);
    db_.prepare("INSERT INTO qrcode (type, title, category_name, area_id, account, group_account, descriptions,"
                " add_time, client_id, image, image_type) VALUES (?, ?, ?, ?, ?, '', ?, ?, ?, ?, ?)")
        .bind(1, d.type)
        .bind(2, d.title)
        .bind(3, d.type == "3" ? "聊天群" : "个人")
        .bind(4, d.areaId)
        .bind(5, d.account)
        .bind(6, d.descriptions)
        .bind(7, addTime)
        .bind(8, d.clientId)
        .bindBlob(9, d.image)
        .bind(10, d.imageType)
        .run();
    return db_.lastInsertId();
}

std::optional<StoredImage> World::qrImage(long long id)
{
    std::lock_guard lock(mutex_);
    auto row = db_.prepare("SELECT image, image_type FROM qrcode WHERE id = ? AND image IS NOT NULL");
    row.bind(1, id);
    if (!row.step())
        return std::nullopt;
    return StoredImage { row.blob(0), row.text(1) };
}

} // namespace dataserver
