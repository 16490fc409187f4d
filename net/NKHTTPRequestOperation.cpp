// NKHTTPRequestOperation: lazy parsing under the lock, success and failure through the
// processing queue and the completion queue, and pause and resume with Range.
#include "net/NKHTTPRequestOperation.h"

#include "platform/foundation/Format.h"
#include "platform/network/URLError.h"

namespace net {

dispatch_queue_t httpRequestOperationProcessingQueue()
{
    static auto* queue = new dispatch_queue_t(
        dispatch_queue_create("com.pendrasil.networking.http-request.processing", DISPATCH_QUEUE_CONCURRENT));
    return *queue;
}

dispatch_group_t httpRequestOperationCompletionGroup()
{
    static auto* group = new dispatch_group_t(dispatch_group_create());
    return *group;
}

} // namespace net

namespace {

// Bytes kept by the output stream: its file offset, else what it wrote to memory.
std::uint64_t receivedLength(NSOutputStream& stream)
{
    Value offset = stream.propertyForKey(NSStreamFileCurrentOffsetKey);
    if (!offset.isAbsent())
        return offset.unsignedValue();
    return stream.propertyForKey(NSStreamDataWrittenToMemoryStreamKey).asData().size();
}

// The first byte of a "Content-Range: bytes N-M/T" value.
std::optional<std::uint64_t> contentRangeStart(const std::string& value)
{
    std::string_view text = value;
    if (text.substr(0, 6) != "bytes ")
        return std::nullopt;
    text.remove_prefix(6);
    std::uint64_t start = 0;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        start = start * 10 + static_cast<std::uint64_t>(text[digits++] - '0');
    if (digits == 0 || digits >= text.size() || text[digits] != '-')
        return std::nullopt;
    return start;
}

} // namespace

std::shared_ptr<NKHTTPRequestOperation> NKHTTPRequestOperation::initWithRequest(std::shared_ptr<NSURLRequest> request)
{
    return std::make_shared<NKHTTPRequestOperation>(std::move(request));
}

std::shared_ptr<NKHTTPRequestOperation> NKHTTPRequestOperation::initWithRequest(
    std::shared_ptr<NSURLRequest> request, std::shared_ptr<NKHTTPResponseSerializer> serializer)
{
    return std::make_shared<NKHTTPRequestOperation>(std::move(request), std::move(serializer));
}

NKHTTPRequestOperation::NKHTTPRequestOperation(std::shared_ptr<NSURLRequest> request)
    : NKHTTPRequestOperation(std::move(request), NKHTTPResponseSerializer::serializer())
{
}

NKHTTPRequestOperation::NKHTTPRequestOperation(
    std::shared_ptr<NSURLRequest> request, std::shared_ptr<NKHTTPResponseSerializer> serializer)
    : NKURLConnectionOperation(std::move(request))
    , responseSerializer_(std::move(serializer))
{
}

std::shared_ptr<NSHTTPURLResponse> NKHTTPRequestOperation::response() const
{
    return std::dynamic_pointer_cast<NSHTTPURLResponse>(NKURLConnectionOperation::response());
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPRequestOperation::responseSerializer() const
{
    std::lock_guard lock(lock_);
    return responseSerializer_;
}

void NKHTTPRequestOperation::setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer)
{
    std::lock_guard lock(lock_);
    responseSerializer_ = std::move(serializer);
    responseObject_ = Value();
    responseSerializationError_.reset();
}

NSErrorRef NKHTTPRequestOperation::error() const
{
    std::lock_guard lock(lock_);
    if (responseSerializationError_)
        return responseSerializationError_;
    return NKURLConnectionOperation::error();
}

Value NKHTTPRequestOperation::responseObject()
{
    std::lock_guard lock(lock_);
    if (responseObject_.isAbsent() && isFinished() && !error() && responseSerializer_) {
        NSErrorRef serializationError;
        const auto& data = responseDataLocked();
        responseObject_ = responseSerializer_->responseObjectForResponse(
            NKURLConnectionOperation::response(), data ? &*data : nullptr, &serializationError);
        if (serializationError)
            responseSerializationError_ = serializationError;
    }
    return responseObject_;
}

void NKHTTPRequestOperation::setCompletionBlockWithSuccess(Success success, Failure failure)
{
    // The block keeps the operation until it ran; the completion wrapper then clears it, which
    // ends the cycle. An operation that never finishes must have its block cleared by its owner.
    // The block only hands the work to the processing queue, so it runs where the operation
    // finished.
    std::shared_ptr<NKHTTPRequestOperation> strong(shared_from_this(), this);
    setHandOffCompletionBlock([strong, success, failure] {
        dispatch_group_t ownGroup = strong->completionGroup();
        if (ownGroup)
            dispatch_group_enter(ownGroup);
        dispatch_async(net::httpRequestOperationProcessingQueue(), [strong, success, failure, ownGroup] {
            dispatch_group_t group = ownGroup ? ownGroup : net::httpRequestOperationCompletionGroup();
            dispatch_queue_t queue = strong->completionQueue() ? strong->completionQueue() : dispatch_get_main_queue();
            auto reportFailure = [&] {
                if (failure)
                    dispatch_group_async(group, queue, [strong, failure] { failure(strong, strong->error()); });
            };
            if (strong->error()) {
                reportFailure();
            } else {
                Value object = strong->responseObject();
                if (strong->error())
                    reportFailure();
                else if (success)
                    dispatch_group_async(group, queue, [strong, success, object] { success(strong, object); });
            }
            if (ownGroup)
                dispatch_group_leave(ownGroup);
        });
    });
}

void NKHTTPRequestOperation::pause()
{
    std::lock_guard lock(lock_);
    bool active = !isPaused() && !isFinished() && !isCancelled();
    NKURLConnectionOperation::pause();
    auto current = request();
    if (!active || !isPaused() || !current)
        return;
    std::uint64_t offset = receivedLength(*outputStream());
    auto copy = current->mutableCopy();
    auto httpResponse = response();
    if (httpResponse)
        if (auto etag = httpResponse->valueForHTTPHeaderField("ETag"))
            copy->setValueForHTTPHeaderField(*etag, "If-Range");
    copy->setValueForHTTPHeaderField(NSString::stringWithFormat("bytes=%llu-", offset), "Range");
    setRequest(copy);
    resumeOffset_ = offset;
}

// On the network thread, after the old connection was stopped: the range starts where the
// kept bytes really end (bytes may have arrived after pause() looked).
void NKHTTPRequestOperation::connectionWillStart()
{
    if (!resumeOffset_)
        return;
    std::uint64_t offset = receivedLength(*outputStream());
    if (offset == *resumeOffset_)
        return;
    auto copy = request()->mutableCopy();
    copy->setValueForHTTPHeaderField(NSString::stringWithFormat("bytes=%llu-", offset), "Range");
    setRequest(copy);
    resumeOffset_ = offset;
}

// A resumed transfer continues the kept bytes only with a 206 that starts exactly there; any
// other reply starts the body over (or fails when the bytes cannot be dropped).
void NKHTTPRequestOperation::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response)
{
    setResponse(response);
    std::optional<std::uint64_t> offset;
    {
        std::lock_guard lock(lock_);
        offset.swap(resumeOffset_);
    }
    if (!offset || *offset == 0) {
        refuseOversizedResponse(connection);
        return;
    }
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (http && http->statusCode() == 206) {
        auto range = http->valueForHTTPHeaderField("Content-Range");
        std::optional<std::uint64_t> start = range ? contentRangeStart(*range) : std::nullopt;
        if (start == offset) {
            refuseOversizedResponse(connection);
            return;
        }
        auto url = request() ? request()->URL() : std::nullopt;
        failConnection(connection,
            network::urlError(NSURLErrorBadServerResponse, url,
                NSString::stringWithFormat("The resumed reply does not continue at byte %llu", *offset)));
        return;
    }
    if (!restartOutputStream()) {
        auto url = request() ? request()->URL() : std::nullopt;
        failConnection(connection,
            network::urlError(NSURLErrorBadServerResponse, url, "The server did not resume the transfer"));
        return;
    }
    refuseOversizedResponse(connection);
}

std::shared_ptr<NKURLConnectionOperation> NKHTTPRequestOperation::copy() const
{
    auto other = std::make_shared<NKHTTPRequestOperation>(request());
    copyCallbacksTo(*other);
    auto serializer = responseSerializer();
    other->setResponseSerializer(serializer ? serializer->copy() : nullptr);
    return other;
}
