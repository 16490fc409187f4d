// NKHTTPRequestSerializer: default headers, the six observed request properties, and the form
// encoding of parameters into the query string or the body.
#include "net/NKURLRequestSerialization.h"

#include <algorithm>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include "net/DeviceFacts.h"
#include "net/NKCoding.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/NSString.h"
#include "platform/network/URLError.h"
#include "platform/persistence/NSBundle.h"

NSErrorRef net::missingRequestSerializerError(const std::string& URLString)
{
    return NSError::errorWithDomain(NKURLRequestSerializationErrorDomain, NSURLErrorBadURL,
        Value::dictionary({ { NSLocalizedDescriptionKey, "No request serializer is set, so the request cannot be built" },
            { NSURLErrorFailingURLStringErrorKey, URLString } }));
}

namespace {

// The six request properties, in the order they are applied.
const char* const kRequestPropertyKeyPaths[] = {
    "allowsCellularAccess",
    "cachePolicy",
    "HTTPShouldHandleCookies",
    "HTTPShouldUsePipelining",
    "networkServiceType",
    "timeoutInterval",
};

std::string acceptLanguage(const std::vector<std::string>& languages)
{
    std::vector<std::string> items;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        float q = 1.0f + static_cast<float>(i) * -0.1f;
        items.push_back(NSString::stringWithFormat("%@;q=%0.1g", languages[i], static_cast<double>(q)));
        if (q <= 0.5f)
            break;
    }
    return NSString::componentsJoinedByString(items, ", ");
}

bool isASCII(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"; nullopt when the transform is unavailable.
std::optional<std::string> transliterateToASCII(const std::string& text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transform(icu::Transliterator::createInstance(
        "Any-Latin; Latin-ASCII; [:^ASCII:] Remove", UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transform)
        return std::nullopt;
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    transform->transliterate(unicode);
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

std::string userAgent()
{
    auto bundle = NSBundle::mainBundle();
    const Value& info = bundle->infoDictionary();
    Value name = info["CFBundleExecutable"];
    if (name.isAbsent())
        name = info["CFBundleIdentifier"];
    Value version = info["CFBundleShortVersionString"];
    if (version.isAbsent())
        version = info["CFBundleVersion"];
    net::DeviceFacts facts = net::deviceFacts();
    std::string text = NSString::stringWithFormat(
        "%@/%@ (%@; iOS %@; Scale/%0.2f)", name, version, facts.model, facts.systemVersion, facts.screenScale);
    if (isASCII(text))
        return text;
    return transliterateToASCII(text).value_or(text);
}

} // namespace

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPRequestSerializer::serializer()
{
    return std::make_shared<NKHTTPRequestSerializer>();
}

NKHTTPRequestSerializer::NKHTTPRequestSerializer()
{
    net::registerArchivableClasses();
    headers_.set("Accept-Language", acceptLanguage(net::deviceFacts().preferredLanguages));
    headers_.set("User-Agent", userAgent());
}

void NKHTTPRequestSerializer::markChanged(const char* keyPath) { changedKeyPaths_.insert(keyPath); }

void NKHTTPRequestSerializer::setAllowsCellularAccess(bool allows)
{
    cellular_ = allows;
    markChanged("allowsCellularAccess");
}

void NKHTTPRequestSerializer::setCachePolicy(NSURLRequestCachePolicy policy)
{
    cachePolicy_ = policy;
    markChanged("cachePolicy");
}

void NKHTTPRequestSerializer::setHTTPShouldHandleCookies(bool handle)
{
    cookies_ = handle;
    markChanged("HTTPShouldHandleCookies");
}

void NKHTTPRequestSerializer::setHTTPShouldUsePipelining(bool pipelining)
{
    pipelining_ = pipelining;
    markChanged("HTTPShouldUsePipelining");
}

void NKHTTPRequestSerializer::setNetworkServiceType(NSURLRequestNetworkServiceType type)
{
    serviceType_ = type;
    markChanged("networkServiceType");
}

void NKHTTPRequestSerializer::setTimeoutInterval(NSTimeInterval seconds)
{
    timeout_ = seconds;
    markChanged("timeoutInterval");
}

std::vector<std::string> NKHTTPRequestSerializer::changedRequestProperties() const
{
    std::vector<std::string> changed;
    for (const char* keyPath : kRequestPropertyKeyPaths)
        if (changedKeyPaths_.count(keyPath))
            changed.emplace_back(keyPath);
    return changed;
}

void NKHTTPRequestSerializer::applyChangedProperties(NSMutableURLRequest& request) const
{
    if (changedKeyPaths_.empty())
        return;
    for (const std::string& keyPath : changedRequestProperties()) {
        if (keyPath == "allowsCellularAccess")
            request.setAllowsCellularAccess(cellular_);
        else if (keyPath == "cachePolicy")
            request.setCachePolicy(cachePolicy_);
        else if (keyPath == "HTTPShouldHandleCookies")
            request.setHTTPShouldHandleCookies(cookies_);
        else if (keyPath == "HTTPShouldUsePipelining")
            request.setHTTPShouldUsePipelining(pipelining_);
        else if (keyPath == "networkServiceType")
            request.setNetworkServiceType(serviceType_);
        else if (keyPath == "timeoutInterval")
            request.setTimeoutInterval(timeout_);
    }
}

void NKHTTPRequestSerializer::setValueForHTTPHeaderField(std::optional<std::string> value, const std::string& field)
{
    if (value)
        headers_.set(field, std::move(*value));
    else
        headers_.remove(field);
}

std::optional<std::string> NKHTTPRequestSerializer::valueForHTTPHeaderField(const std::string& field) const
{
    // Setting matches names without regard to case and keeps the first spelling, so reading must too.
    return headers_.get(field);
}

Value NKHTTPRequestSerializer::HTTPRequestHeaders() const { return headers_.dictionary(); }

void NKHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password)
{
    std::string credentials = NSString::stringWithFormat("%@:%@", username, password);
    Bytes bytes(credentials.begin(), credentials.end());
    headers_.set("Authorization", "Basic " + foundation::base64Encode(bytes));
}

void NKHTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(const std::string& token)
{
    headers_.set("Authorization", NSString::stringWithFormat("Token token=\"%@\"", token));
}

void NKHTTPRequestSerializer::clearAuthorizationHeader() { headers_.remove("Authorization"); }

void NKHTTPRequestSerializer::setQueryStringSerializationWithStyle(NKHTTPRequestQueryStringSerializationStyle style)
{
    style_ = style;
    queryBlock_ = nullptr;
}

void NKHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerialization block)
{
    queryBlock_ = std::move(block);
}

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::requestWithMethod(
    const std::string& method, const std::string& URLString, const Value& parameters, NSErrorRef* error)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(URLString));
    request->setHTTPMethod(method);
    applyChangedProperties(*request);
    // The request made here is ours alone, so what serializing gives back needs no further copy.
    return requestBySerializingRequest(request, parameters, error);
}

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::requestBySerializingRequest(
    const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error)
{
    return formSerializeRequest(request, parameters, error);
}

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::copyWithDefaultHeaders(
    const std::shared_ptr<NSURLRequest>& request) const
{
    auto copy = request->mutableCopy();
    if (request->headerFields().empty()) {
        copy->setHeaderFields(headers_);
        return copy;
    }
    for (const auto& [name, value] : headers_.fields())
        if (!request->valueForHTTPHeaderField(name))
            copy->setValueForHTTPHeaderField(value, name);
    return copy;
}

bool NKHTTPRequestSerializer::encodesParametersInURI(const std::string& method) const
{
    bool upperASCII = std::none_of(method.begin(), method.end(),
        [](unsigned char c) { return c >= 0x80 || (c >= 'a' && c <= 'z'); });
    if (upperASCII)
        return methodsInURI_.count(method) > 0;
    return methodsInURI_.count(NSString::uppercaseString(method)) > 0;
}

namespace {

// The URL with the query added: after "&" when it has a query, "?" otherwise; a fragment
// stays at the end, where it belongs.
std::optional<NSURL> appendingQuery(const NSURL& url, const std::string& query)
{
    std::string text = url.absoluteString();
    std::string fragment;
    if (url.fragment()) {
        std::size_t hash = text.find('#');
        fragment = text.substr(hash);
        text.erase(hash);
    }
    text += (url.query() ? "&" : "?") + query + fragment;
    return NSURL::URLWithString(text);
}

} // namespace

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::formSerializeRequest(
    const std::shared_ptr<NSURLRequest>& request, const Value& parameters, NSErrorRef* error)
{
    auto copy = copyWithDefaultHeaders(request);
    std::optional<std::string> query;
    if (!parameters.isAbsent()) {
        if (queryBlock_) {
            NSErrorRef blockError;
            query = queryBlock_(request, parameters, &blockError);
            if (blockError) {
                if (error)
                    *error = blockError;
                return nullptr;
            }
        } else if (style_ == NKHTTPRequestQueryStringDefaultStyle) {
            query = net::queryStringFromParameters(parameters);
        }
    }
    if (encodesParametersInURI(request->HTTPMethod())) {
        if (query && copy->URL())
            copy->setURL(appendingQuery(*copy->URL(), *query));
        return copy;
    }
    if (!copy->valueForHTTPHeaderField("Content-Type"))
        copy->setValueForHTTPHeaderField(std::string("application/x-www-form-urlencoded"), "Content-Type");
    copy->setHTTPBody(NSString::dataUsingEncoding(query.value_or(""), stringEncoding_).value_or(Bytes {}));
    return copy;
}

void NKHTTPRequestSerializer::copyConfigurationTo(NKHTTPRequestSerializer& other) const
{
    other.stringEncoding_ = stringEncoding_;
    other.cellular_ = cellular_;
    other.cachePolicy_ = cachePolicy_;
    other.cookies_ = cookies_;
    other.pipelining_ = pipelining_;
    other.serviceType_ = serviceType_;
    other.timeout_ = timeout_;
    other.methodsInURI_ = methodsInURI_;
    other.changedKeyPaths_ = changedKeyPaths_;
    other.headers_ = headers_;
    other.style_ = style_;
    other.queryBlock_ = queryBlock_;
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPRequestSerializer::copy() const
{
    auto other = std::make_shared<NKHTTPRequestSerializer>();
    copyConfigurationTo(*other);
    return other;
}
