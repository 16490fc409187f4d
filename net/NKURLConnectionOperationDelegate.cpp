// NKURLConnectionOperation as the connection's delegate (all on the network thread): trust and
// authentication challenges, redirects, progress, the received body, caching and the end.
#include <chrono>
#include <thread>

#include "net/NKURLConnectionOperation.h"
#include "platform/foundation/Clock.h"
#include "platform/network/StreamKinds.h"
#include "platform/network/URLError.h"

std::shared_ptr<NSURLRequest> NKURLConnectionOperation::connectionWillSendRequest(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLRequest>& request,
    const std::shared_ptr<NSURLResponse>& redirectResponse)
{
    RedirectResponseBlock block;
    {
        std::lock_guard lock(lock_);
        block = redirectResponse_;
    }
    return block ? block(connection, request, redirectResponse) : request;
}

bool NKURLConnectionOperation::connectionShouldUseCredentialStorage(const std::shared_ptr<NSURLConnection>&)
{
    return shouldUseCredentialStorage_;
}

void NKURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLAuthenticationChallenge>& challenge)
{
    ChallengeBlock block;
    std::shared_ptr<NKSecurityPolicy> policy;
    std::shared_ptr<NSURLCredential> credential;
    {
        std::lock_guard lock(lock_);
        block = authenticationChallenge_;
        policy = securityPolicy_;
        credential = credential_;
    }
    if (block) {
        block(connection, challenge);
        return;
    }
    const auto& space = challenge->protectionSpace();
    const auto& sender = challenge->sender();
    if (space->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        if (policy && policy->evaluateServerTrust(space->serverTrust(), space->host()))
            sender->useCredential(NSURLCredential::credentialForTrust(space->serverTrust()), challenge);
        else
            sender->cancelAuthenticationChallenge(challenge);
        return;
    }
    if (challenge->previousFailureCount() == 0 && credential)
        sender->useCredential(credential, challenge);
    else
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
}

void NKURLConnectionOperation::connectionDidSendBodyData(const std::shared_ptr<NSURLConnection>&, std::int64_t bytesWritten,
    std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    auto strong = self();
    dispatch_async(dispatch_get_main_queue(), [strong, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
        ProgressBlock block;
        {
            std::lock_guard lock(strong->lock_);
            block = strong->uploadProgress_;
        }
        if (block)
            block(static_cast<std::uint64_t>(bytesWritten), totalBytesWritten, totalBytesExpectedToWrite);
    });
}

void NKURLConnectionOperation::connectionDidReceiveResponse(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSURLResponse>& response)
{
    setResponse(response);
    refuseOversizedResponse(connection);
}

bool NKURLConnectionOperation::keepsBodyInMemory() const
{
    std::lock_guard lock(lock_);
    return !outputStream_ || ownsOutputStream_;
}

void NKURLConnectionOperation::failResponseTooLarge(const std::shared_ptr<NSURLConnection>& connection)
{
    auto url = request() ? request()->URL() : std::nullopt;
    failConnection(connection, net::responseTooLargeError(url, maximumResponseDataLength()));
    std::lock_guard lock(lock_);
    if (ownsOutputStream_)
        outputStream_.reset(); // nothing of the refused body stays in memory
    bytesInMemory_ = 0;
}

bool NKURLConnectionOperation::refuseOversizedResponse(const std::shared_ptr<NSURLConnection>& connection)
{
    auto current = response();
    if (!current || !keepsBodyInMemory())
        return false;
    std::int64_t expected = current->expectedContentLength();
    if (expected < 0)
        return false;
    // A reply to HEAD, a 204 and a 304 announce a length they never send.
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(current);
    if ((request() && request()->HTTPMethod() == "HEAD") || (http && (http->statusCode() == 204 || http->statusCode() == 304)))
        return false;
    std::uint64_t held = locked(bytesInMemory_);
    if (held + static_cast<std::uint64_t>(expected) <= maximumResponseDataLength())
        return false;
    failResponseTooLarge(connection);
    return true;
}

void NKURLConnectionOperation::failConnection(const std::shared_ptr<NSURLConnection>& connection, NSErrorRef error)
{
    connection->cancel();
    connectionDidFailWithError(connection, std::move(error));
}

NSErrorRef NKURLConnectionOperation::cannotWriteError() const
{
    auto current = request();
    return network::urlError(NSURLErrorCannotWriteToFile, current ? current->URL() : std::nullopt);
}

// Waits until the stream takes bytes, or fails the connection: a stream that fails or stays
// full beyond the request's time-out would otherwise lose bytes of the body.
bool NKURLConnectionOperation::waitForSpace(const std::shared_ptr<NSURLConnection>& connection, NSOutputStream& stream)
{
    auto current = request();
    double limit = current && current->timeoutInterval() > 0 ? current->timeoutInterval() : 60;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    while (!stream.hasSpaceAvailable()) {
        if (auto error = stream.streamError()) {
            failConnection(connection, error);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            failConnection(connection, cannotWriteError());
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Writes the whole chunk or fails the connection: a stream that fails or makes no progress
// would otherwise lose bytes of the body.
bool NKURLConnectionOperation::writeReceivedData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data)
{
    auto stream = outputStream();
    if (!stream->hasSpaceAvailable() && !waitForSpace(connection, *stream))
        return false;
    std::size_t written = 0;
    while (written < data.size()) {
        std::int64_t wrote = stream->write(data.data() + written, data.size() - written);
        if (wrote <= 0) {
            NSErrorRef error = stream->streamError();
            failConnection(connection, error ? error : cannotWriteError());
            return false;
        }
        written += static_cast<std::size_t>(wrote);
    }
    return true;
}

void NKURLConnectionOperation::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>& connection, const Bytes& data)
{
    bool tooLarge = false;
    {
        std::lock_guard lock(lock_);
        bool inMemory = !outputStream_ || ownsOutputStream_;
        tooLarge = inMemory && bytesInMemory_ + data.size() > maximumResponseDataLength();
    }
    if (tooLarge) {
        failResponseTooLarge(connection);
        return;
    }
    if (!writeReceivedData(connection, data))
        return;
    std::int64_t expected = NSURLResponseUnknownLength;
    {
        std::lock_guard lock(lock_);
        if (ownsOutputStream_)
            bytesInMemory_ += data.size();
        if (response_)
            expected = response_->expectedContentLength();
    }
    std::int64_t length = static_cast<std::int64_t>(data.size());
    dispatch_async(dispatch_get_main_queue(), [strong = self(), length, expected] {
        std::int64_t total = strong->totalBytesRead_ += length;
        ProgressBlock block;
        {
            std::lock_guard lock(strong->lock_);
            block = strong->downloadProgress_;
        }
        if (block)
            block(static_cast<std::uint64_t>(length), total, expected);
    });
}

std::shared_ptr<NSCachedURLResponse> NKURLConnectionOperation::connectionWillCacheResponse(
    const std::shared_ptr<NSURLConnection>& connection, const std::shared_ptr<NSCachedURLResponse>& cachedResponse)
{
    CacheResponseBlock block;
    {
        std::lock_guard lock(lock_);
        block = cacheResponse_;
    }
    if (block)
        return block(connection, cachedResponse);
    return isCancelled() ? nullptr : cachedResponse;
}

void NKURLConnectionOperation::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&)
{
    {
        std::lock_guard lock(lock_);
        auto stream = outputStream();
        if (auto memory = std::dynamic_pointer_cast<network::MemoryOutputStream>(stream))
            responseData_ = memory->dataWritten(); // the body's one copy
        else if (Value written = stream->propertyForKey(NSStreamDataWrittenToMemoryStreamKey); written.isData())
            responseData_ = written.asData();
        stream->close();
        if (responseData_)
            outputStream_.reset();
        connection_.reset();
    }
    finish();
}

void NKURLConnectionOperation::connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&, const std::shared_ptr<NSError>& error)
{
    {
        std::lock_guard lock(lock_);
        error_ = error;
        if (outputStream_)
            outputStream_->close();
        if (responseData_)
            outputStream_.reset();
        connection_.reset();
    }
    finish();
}
