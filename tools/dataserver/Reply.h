// One request as the endpoints see it, and the reply they give: the JSON envelope
// {"status", "msg", "info"}, an HTML page or a picture.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dataserver {

struct FilePart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string bytes;
};

struct Incoming {
    std::string method;
    std::string path; // below the root, literal ("home//web.do")
    std::map<std::string, std::string> params; // the first value of each name
    std::vector<FilePart> files;
    std::string dataRoot; // "http://host:port/brelvoxin/", for addresses handed out in replies

    // The value of a parameter when it was sent, even empty.
    std::optional<std::string> param(const std::string& name) const;
    // The value of a parameter when it was sent and is not empty.
    std::optional<std::string> filled(const std::string& name) const;
    // The first file part with that field name.
    const FilePart* file(const std::string& name) const;
};

struct Reply {
    int httpStatus = 200;
    std::string contentType;
    std::string body;
};

inline constexpr const char* kJsonType = "application/json";
inline constexpr const char* kHtmlType = "text/html; charset=utf-8";

// JSON text; bytes that are not UTF-8 are replaced rather than refused.
std::string dumpJson(const nlohmann::json& value);

// Status 1 with a payload.
Reply success(nlohmann::json info, const std::string& msg = "成功");
// A refusal the app shows ("status" 0) or another status it does not report.
Reply refusal(const std::string& msg, int status = 0);
Reply htmlPage(std::string html);
Reply picture(std::string bytes, std::string type = "image/png");
Reply notFound();

} // namespace dataserver
