// Response body limits.
#include "platform/network/BodyLimit.h"

namespace network {

bool BodyLimit::acceptHead(const ResponseHead& head, bool bodyless)
{
    delivered_ = 0;
    auto encoding = head.headers.get("Content-Encoding");
    encoded_ = encoding && !equalsIgnoringCase(trimmed(*encoding), "identity");
    if (!held_ || bodyless)
        return true;
    auto declared = head.headers.contentLength();
    if (!declared || *declared <= maximum_)
        return true;
    why_ = "the response declares " + std::to_string(*declared) + " bytes, above the limit of "
        + std::to_string(maximum_) + " bytes";
    return false;
}

bool BodyLimit::acceptBody(std::size_t length, std::int64_t received)
{
    delivered_ += static_cast<std::int64_t>(length);
    if (delivered_ > maximum_ && (held_ || encoded_)) {
        why_ = std::string(encoded_ ? "the decoded" : "the") + " response body passed the limit of "
            + std::to_string(maximum_) + " bytes";
        return false;
    }
    if (encoded_ && delivered_ > kInflationFloor && delivered_ / kMaxInflationRatio > received) {
        why_ = "the response body inflated from " + std::to_string(received) + " to " + std::to_string(delivered_)
            + " bytes, more than " + std::to_string(kMaxInflationRatio) + " times over";
        return false;
    }
    return true;
}

} // namespace network
