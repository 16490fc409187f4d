// The base of the push client's HTTP reports: the JSON envelope with the items waiting from
// earlier attempts and this request's own item (newest first, size-limited), gzip compression,
// the Basic signature over the compressed body, and the hand-over to the report scheduler.
// Subclasses set the kind code, build their item in packData and name their response class.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Storage/PUSHReportManager.h"

class NSURLResponse;
class NSMutableURLRequest;
class PUSHHttpResponse;
class PUSHHttpRequestDelegate;

class PUSHReportRequest : public NSObject, public PUSHReportRetryable {
public:
    using ResponseBlock = std::function<std::shared_ptr<PUSHHttpResponse>(const std::shared_ptr<NSURLResponse>& response,
        const std::optional<Bytes>& data, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate)>;

    // The body limits: older items stay while the total is below the first; placement stops
    // before the second.
    static constexpr std::size_t kContentLimit = 10241;
    static constexpr std::size_t kPackageLimit = 100241;

    static std::shared_ptr<PUSHReportRequest> create();

    // YES when not yet packed; subclasses then build `content` and append it.
    virtual bool packData();
    // The JSON body, or nullopt when there is nothing to send.
    virtual std::optional<Bytes> packetData();
    virtual std::shared_ptr<NSMutableURLRequest> generateReportRequest();
    // The "Authorization" value for the body as sent.
    virtual std::string p_generateRequestHead();
    std::string generateSessionId() const;
    // Equal once "itime" is left out of both.
    static bool compareInfoFromTo(const Value& from, const Value& to);
    virtual void setResponseBlock();
    // Hands the request to the report scheduler.
    void send();

    bool validRequired() const { return controlFlag_ & 1; }
    bool loginRequired() const { return controlFlag_ & 2; }
    virtual bool cacheRequestRequired() const { return true; }
    virtual bool isSendRequestLock() const { return false; }
    virtual void setIsSendRequestLock(bool) {}
    virtual bool startDelaySend();

    // Retries.
    std::uint32_t reSendTimerIndex() const override { return static_cast<std::uint32_t>(reSendTimerIndex_); }
    void setReSendTimerIndex(std::uint32_t index) override { reSendTimerIndex_ = index; }
    void sendReport() override { send(); }

    // A request of the base kind with this one's fields (the containers copied).
    std::shared_ptr<PUSHReportRequest> copy() const;

    // Fields.
    Value& reportBody() { return reportBody_; }
    std::int64_t reportTimeStamp() const { return reportTimeStamp_; }
    void setReportTimeStamp(std::int64_t stamp) { reportTimeStamp_ = stamp; }
    bool hasSubpackage() const { return hasSubpackage_; }
    std::uint8_t controlFlag() const { return controlFlag_; }
    void setControlFlag(std::uint8_t flag) { controlFlag_ = flag; }
    bool IsSendLock() const { return isSendLock_; }
    void setIsSendLock(bool lock) { isSendLock_ = lock; }
    bool isResend() const { return isResend_; }
    void setIsResend(bool resend) { isResend_ = resend; }
    const std::optional<Bytes>& packetValueData() const { return packetValueData_; }
    const std::optional<std::string>& reportFlag() const { return reportFlag_; }
    void setReportFlag(std::optional<std::string> flag) { reportFlag_ = std::move(flag); }
    std::uint64_t reportType() const { return reportType_; }
    Value& reportContents() { return reportContents_; }
    void setReportContents(Value contents) { reportContents_ = std::move(contents); }
    const Value& realContents() const { return realContents_; }
    const Value& content() const { return content_; }
    void setContent(Value content) { content_ = std::move(content); }
    const ResponseBlock& responseBlock() const { return responseBlock_; }
    void setResponseBlock(ResponseBlock block) { responseBlock_ = std::move(block); }
    const std::optional<Bytes>& bodyData() const { return bodyData_; }

    std::string className() const override { return "PUSHReportRequest"; }
    // Used by the kinds' factories.
    void setReportTypeForKind(std::uint64_t type) { reportType_ = type; }

    PUSHReportRequest();

protected:
    // Installs a block making a response of class R for this request (held weakly).
    template <class R>
    void installResponseBlock()
    {
        std::weak_ptr<PUSHReportRequest> weak = sharedAs<PUSHReportRequest>();
        responseBlock_ = [weak](const std::shared_ptr<NSURLResponse>& response, const std::optional<Bytes>& data,
                             const std::weak_ptr<PUSHHttpRequestDelegate>& delegate) {
            return R::initWithDataResponseDelegateFrom(data, response, delegate, weak.lock());
        };
    }
    // Appends this request's own item: it becomes `content` and the newest waiting item.
    void appendContent(Value item);
    // Send only on change: appends `item` unless it equals (but for "itime") the last accepted
    // item stored under `key` of the plain file cache, in which case the request is locked.
    void appendWhenChanged(Value item, const char* key);
    // The JSON byte count of a value (0 when it cannot be written).
    static std::size_t jsonLength(const Value& value);

    void setPacketValueData(std::optional<Bytes> data) { packetValueData_ = std::move(data); }
    void setBodyData(std::optional<Bytes> data) { bodyData_ = std::move(data); }

private:
    // Takes every pending entry of the report cache into reportContents; returns what it took
    // so that a request that ends up sending nothing can put it back.
    std::vector<std::pair<std::string, Value>> takeOverHistory();
    void applySizeLimit(std::size_t envelopeLength);
    void placeItems(std::size_t envelopeLength);

    Value reportBody_ = Value::dictionary();
    std::int64_t reportTimeStamp_ = 0;
    bool hasSubpackage_ = false;
    std::uint8_t controlFlag_ = 1;
    bool isSendLock_ = false;
    bool isResend_ = false;
    std::optional<Bytes> packetValueData_;
    std::optional<std::string> reportFlag_;
    std::uint64_t reportType_ = 0;
    Value reportContents_ = Value::array();
    Value realContents_ = Value::array();
    Value content_;
    ResponseBlock responseBlock_;
    std::optional<Bytes> bodyData_;
    std::int64_t reSendTimerIndex_ = 0;
};

namespace push {

// True for a positive whole number of exactly ten decimal digits.
bool isValidItemTime(const Value& itime);

} // namespace push
