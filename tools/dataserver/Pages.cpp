// HTML pages: the document frame (a header with the app icon and the title, the body, and links
// to the other pages) and the agent certificate, whose text comes from the request.
#include "tools/dataserver/Pages.h"

#include <algorithm>

#include "tools/dataserver/Text.h"
#include "tools/dataserver/World.h"

namespace dataserver {

namespace {

constexpr const char* kStyle = "body{margin:0;font-size:16px;color:#333;background:#fff}"
                               "header{background:#2d77be;color:#fff;padding:12px 16px}"
                               "header img{width:40px;height:40px;vertical-align:middle;margin-right:10px}"
                               "header h1{display:inline;font-size:22px;vertical-align:middle}"
                               "main{padding:4px 16px}p{line-height:1.6}"
                               "nav{padding:8px 16px 16px;border-top:1px solid #ddd}nav a{color:#2d77be;margin-right:16px}";

} // namespace

std::string htmlDocument(std::string_view title, std::string_view bodyHtml, std::string_view pagePath)
{
    // Addresses relative to the page, so the pages work under any server root.
    std::string up;
    for (auto n = std::count(pagePath.begin(), pagePath.end(), '/'); n > 0; --n)
        up += "../";
    std::string page = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += htmlEscape(title);
    page += "</title>\n<style>";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n<header><img src=\"" + up + "app/ic_launcher.png\" alt=\"Quillmark\"><h1>";
    page += htmlEscape(title);
    page += "</h1></header>\n<main>\n";
    page += bodyHtml;
    page += "\n</main>\n<nav><a href=\"" + up + "client/regDeclare.do\">免责声明</a><a href=\"" + up
        + "data/qryLearn.do?type=1\">功能视频</a></nav>\n</body>\n</html>\n";
    return page;
}

std::string agentCertificatePage(std::string_view typedAccount, const std::optional<Agent>& agent)
{
    constexpr const char* kPath = "data/qryAgent.do";
    if (!agent) {
        std::string body = "<p>未查询到聊天号 <b>" + htmlEscape(typedAccount) + "</b> 的代理授权信息。</p>";
        return htmlDocument("授权证书", body, kPath);
    }
    std::string body = "<p>兹授权 <b>" + htmlEscape(agent->name) + "</b>（聊天号 " + htmlEscape(agent->agentNo)
        + "）为 Quillmark " + htmlEscape(agent->level) + "，授权区域：" + htmlEscape(agent->areaName) + "。</p>";
    return htmlDocument("授权证书", body, kPath);
}

} // namespace dataserver
