// NKHTTPRequestOperation: the connection operation for HTTP. Its response serializer validates
// and parses the finished reply on the shared processing queue
// ("com.pendrasil.networking.http-request.processing"); success or failure then runs on the
// completion queue (the main queue unless set). Pausing turns the next start into a ranged
// request, and a resumed transfer appends only to a 206 that continues at the saved offset.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "net/NKURLConnectionOperation.h"
#include "net/NKURLResponseSerialization.h"

class NKHTTPRequestOperation : public NKURLConnectionOperation {
public:
    using Success = std::function<void(const std::shared_ptr<NKHTTPRequestOperation>&, const Value& responseObject)>;
    using Failure = std::function<void(const std::shared_ptr<NKHTTPRequestOperation>&, const NSErrorRef& error)>;

    static std::shared_ptr<NKHTTPRequestOperation> initWithRequest(std::shared_ptr<NSURLRequest> request);
    // With the serializer it will use from the start (the manager's), instead of a default one.
    static std::shared_ptr<NKHTTPRequestOperation> initWithRequest(
        std::shared_ptr<NSURLRequest> request, std::shared_ptr<NKHTTPResponseSerializer> serializer);
    explicit NKHTTPRequestOperation(std::shared_ptr<NSURLRequest> request);
    NKHTTPRequestOperation(std::shared_ptr<NSURLRequest> request, std::shared_ptr<NKHTTPResponseSerializer> serializer);
    std::string className() const override { return "NKHTTPRequestOperation"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    std::shared_ptr<NSHTTPURLResponse> response() const;
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer() const;
    // Clears the response object and error, so the next read parses anew.
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer);
    // The parsed reply: absent before the operation finished or when the connection failed.
    Value responseObject();
    // The serializer's error when there is one, else the connection's.
    NSErrorRef error() const override;

    void setCompletionBlockWithSuccess(Success success, Failure failure);
    void pause() override;

    std::shared_ptr<NKURLConnectionOperation> copy() const override;

    void connectionDidReceiveResponse(
        const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response) override;

protected:
    void connectionWillStart() override;

private:
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer_;
    Value responseObject_;
    NSErrorRef responseSerializationError_;
    // The body length kept across a pause: the next response must continue from here.
    std::optional<std::uint64_t> resumeOffset_;
};

namespace net {
dispatch_queue_t httpRequestOperationProcessingQueue();
dispatch_group_t httpRequestOperationCompletionGroup();
} // namespace net
