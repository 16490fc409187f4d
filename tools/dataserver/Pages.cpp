// HTML pages: the document frame and the agent certificate, whose text comes from the request.
#include "tools/dataserver/Pages.h"

#include "tools/dataserver/Text.h"
#include "tools/dataserver/World.h"

namespace dataserver {

std::string htmlDocument(std::string_view title, std::string_view bodyHtml)
{
    std::string page = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += htmlEscape(title);
    page += "</title>\n</head>\n<body>\n<h1>";
    page += htmlEscape(title);
    page += "</h1>\n";
    page += bodyHtml;
    page += "\n</body>\n</html>\n";
    return page;
}

std::string agentCertificatePage(std::string_view typedAccount, const std::optional<Agent>& agent)
{
    if (!agent) {
        std::string body = "<p>未查询到聊天号 <b>" + htmlEscape(typedAccount) + "</b> 的代理授权信息。</p>";
        return htmlDocument("授权证书", body);
    }
    std::string body = "<p>兹授权 <b>" + htmlEscape(agent->name) + "</b>（聊天号 " + htmlEscape(agent->agentNo)
        + "）为 Quillmark " + htmlEscape(agent->level) + "，授权区域：" + htmlEscape(agent->areaName) + "。</p>";
    return htmlDocument("授权证书", body);
}

} // namespace dataserver
