// Building replies: the envelope, pages, pictures.
#include "tools/dataserver/Reply.h"

namespace dataserver {

std::optional<std::string> Incoming::param(const std::string& name) const
{
    auto it = params.find(name);
    if (it == params.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> Incoming::filled(const std::string& name) const
{
    auto value = param(name);
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

const FilePart* Incoming::file(const std::string& name) const
{
    for (const auto& part : files)
        if (part.name == name)
            return &part;
    return nullptr;
}

std::string dumpJson(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Reply success(nlohmann::json info, const std::string& msg)
{
    nlohmann::json envelope = { { "status", 1 }, { "msg", msg }, { "info", std::move(info) } };
    return { 200, kJsonType, dumpJson(envelope) };
}

Reply refusal(const std::string& msg, int status)
{
    nlohmann::json envelope = { { "status", status }, { "msg", msg }, { "info", nlohmann::json::object() } };
    return { 200, kJsonType, dumpJson(envelope) };
}

Reply htmlPage(std::string html)
{
    return { 200, kHtmlType, std::move(html) };
}

Reply picture(std::string bytes, std::string type)
{
    return { 200, std::move(type), std::move(bytes) };
}

Reply notFound()
{
    return { 404, "text/plain; charset=utf-8", "not found\n" };
}

} // namespace dataserver
