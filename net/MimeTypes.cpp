// File name extensions to MIME types: the system's /etc/mime.types, then a small built-in table.
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "net/NKMultipartFormData.h"
#include "platform/foundation/NSString.h"

namespace net {
namespace {

std::map<std::string, std::string> loadTable()
{
    std::map<std::string, std::string> table = {
        { "png", "image/png" }, { "jpg", "image/jpeg" }, { "jpeg", "image/jpeg" }, { "gif", "image/gif" },
        { "webp", "image/webp" }, { "txt", "text/plain" }, { "html", "text/html" }, { "htm", "text/html" },
        { "json", "application/json" }, { "xml", "application/xml" }, { "pdf", "application/pdf" },
        { "zip", "application/zip" }, { "plist", "application/x-plist" }, { "mp4", "video/mp4" },
        { "mp3", "audio/mpeg" }, { "css", "text/css" }, { "js", "text/javascript" },
    };
    std::ifstream file("/etc/mime.types");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string type, extension;
        words >> type;
        while (words >> extension)
            table.try_emplace(extension, type);
    }
    return table;
}

} // namespace

std::string mimeTypeForPathExtension(const std::string& extension)
{
    static const std::map<std::string, std::string> table = loadTable();
    auto it = table.find(NSString::lowercaseString(extension));
    return it == table.end() ? "application/octet-stream" : it->second;
}

} // namespace net
