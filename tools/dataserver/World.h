// The server's world in SQLite: regions, number ranges, numbers, industries and their contacts,
// QR-code records, home categories, share keys, agents and pages. Thread-safe: one lock.
#pragma once

#include "tools/dataserver/Sqlite.h"

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dataserver {

struct Region {
    long long id = 0;
    long long parentId = 0; // 0 for a province
    std::string name;
};

struct Industry {
    long long id = 0;
    std::string name;
};

struct Contact {
    std::string name;
    long long industryId = 0;
    std::string phone;
    long long areaId = 0; // the contact's city
};

struct Category {
    long long id = 0;
    std::string name;
    std::string keyword;
};

struct Agent {
    std::string clientId;
    std::string agentNo;
    std::string name;
    std::string level;
    std::string areaName;
};

struct QrCode {
    long long id = 0;
    std::string type; // "3" group, "2" personal
    std::string title;
    std::string categoryName;
    long long areaId = 0;
    std::string areaName;
    std::string account;
    std::string groupAccount;
    std::string descriptions;
    std::string addTime;
};

struct QrDraft {
    std::string type;
    std::string title;
    long long areaId = 0;
    std::string account;
    std::string descriptions;
    std::string clientId;
    std::string image;
    std::string imageType;
};

struct StoredImage {
    std::string bytes;
    std::string type;
};

template <typename T>
struct PageOf {
    long long total = 0;
    std::vector<T> items;
};

class World {
public:
    // Opens the database at `path` (":memory:" for a private one); creates and seeds it when it
    // holds no world yet. Throws SqliteError when the file cannot be opened.
    explicit World(const std::string& path);

    std::vector<Region> children(long long parentId);
    std::optional<Region> region(long long id);
    std::vector<std::string> sections();
    bool hasSection(const std::string& no);
    PageOf<std::string> phonesOfCity(long long cityId, long long page, long long size);
    PageOf<std::string> phonesOfSection(const std::string& no, long long page, long long size);

    std::vector<Industry> industries();
    bool hasIndustry(long long id);
    PageOf<Contact> contacts(std::optional<long long> areaId, std::optional<long long> industryId, long long page, long long size);

    std::vector<Category> categories();
    bool hasCategory(long long id);
    std::vector<std::pair<std::string, std::string>> shareKeys();
    void recordLogin(const std::string& clientId);
    std::optional<Agent> agentByClient(const std::string& clientId);
    std::optional<Agent> agentByNumber(const std::string& agentNo);
    std::optional<std::string> page(const std::string& path);

    // QR codes of one type, newest first; a record's position is its index in that order.
    PageOf<QrCode> qrcodes(const std::string& type, long long page, long long size);
    std::optional<QrCode> qrcode(long long id);
    long long qrPosition(const QrCode& code);
    std::optional<QrCode> qrNeighbour(const QrCode& code, bool next);
    long long addQrCode(const QrDraft& draft, const std::string& addTime);
    // The uploaded picture of a record; nullopt for seeded records (their picture is drawn).
    std::optional<StoredImage> qrImage(long long id);

private:
    QrCode readQr(Statement& row);

    std::mutex mutex_;
    Database db_;
};

} // namespace dataserver
