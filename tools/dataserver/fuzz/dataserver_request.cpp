// Fuzzes the endpoints and the control's parameter reading with arbitrary request values.
// Input: one byte chooses the endpoint; the rest is split at '\n' into "name=value" parameters,
// and a line "@name=bytes" becomes a file part. Every JSON reply must parse back.
#include "tools/dataserver/Control.h"
#include "tools/dataserver/Endpoints.h"
#include "tools/dataserver/RequestLog.h"
#include "tools/dataserver/Text.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

using namespace dataserver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World world(":memory:");
    if (size == 0)
        return 0;
    const auto& table = dataEndpoints();
    std::size_t choice = data[0] % (table.size() + 1);

    Incoming in;
    in.method = "POST";
    in.dataRoot = "http://127.0.0.1:1/brelvoxin/";
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\n', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string line = rest.substr(start, end - start);
        std::size_t eq = line.find('=');
        std::string name = line.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        if (!name.empty() && name[0] == '@')
            in.files.push_back({ name.substr(1), "f.png", "image/png", value });
        else
            in.params.emplace(name, value);
        start = end + 1;
    }

    Reply reply;
    if (choice == table.size()) {
        in.path = "client/login.do";
        reply = answer(world, accountEndpoints(), in);
    } else {
        in.path = std::next(table.begin(), static_cast<long>(choice))->first;
        reply = answer(world, table, in);
    }
    if (reply.contentType == kJsonType && nlohmann::json::parse(reply.body, nullptr, false).is_discarded())
        std::abort();

    (void)failureFromParams(in);
    RecordedRequest record;
    record.path = in.path;
    record.params = in.params;
    if (nlohmann::json::parse(dumpJson(toJson(record)), nullptr, false).is_discarded())
        std::abort();
    (void)logLine(record, "fuzz");
    (void)hostOfHeader(rest);
    (void)utf16Length(rest);
    return 0;
}
