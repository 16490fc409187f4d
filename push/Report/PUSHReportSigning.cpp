// The URL request of the statistics kinds: gzip body, headers and the Basic signature.
#include "push/Report/PUSHReportRequest.h"

#include "platform/foundation/Format.h"
#include "platform/network/NSURLRequest.h"
#include "push/Report/PUSHReportLinks.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

// "Basic " + Base64 of "<uid>:" + MD5 hex of "<uid>" + MD5 hex of the password + body digest.
std::string basicSignature(const push::ReportIdentity& identity, const std::string& bodyDigest)
{
    const std::string p = PUSHMD5HexString(identity.password);
    const std::string s = PUSHMD5HexString(NSString::stringWithFormat("%llu%@%@",
        static_cast<unsigned long long>(identity.uid), p, bodyDigest));
    const std::string token = NSString::stringWithFormat("%llu:%@", static_cast<unsigned long long>(identity.uid), s);
    return NSString::stringWithFormat("Basic %@", PUSHBase64String(Bytes(token.begin(), token.end())));
}

} // namespace

std::string PUSHReportRequest::p_generateRequestHead()
{
    return basicSignature(push::reportIdentity(), PUSHMD5HexData(bodyData_.value_or(Bytes())));
}

std::shared_ptr<NSMutableURLRequest> PUSHReportRequest::generateReportRequest()
{
    auto body = packetData();
    if (!body)
        return nullptr;
    bodyData_ = PUSHGzipData(*body);
    if (!bodyData_)
        return nullptr;
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(push::reportLinks().reportEndpoint));
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("application/json", "Content-Type");
    request->setValueForHTTPHeaderField("gzip", "Accept-Encoding");
    request->setValueForHTTPHeaderField("gzip", "Content-Encoding");
    request->setValueForHTTPHeaderField(push::reportIdentity().appKey, "X-App-Key");
    request->setHTTPBody(bodyData_);
    request->setValueForHTTPHeaderField(p_generateRequestHead(), "Authorization");
    request->setTimeoutInterval(30);
    return request;
}

namespace push {

std::string badgeSignature(const std::string& bodyText)
{
    return basicSignature(reportIdentity(), PUSHMD5HexString(bodyText));
}

} // namespace push
