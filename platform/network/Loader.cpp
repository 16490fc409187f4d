// One load: cache, exchanges, redirects, authentication and delivery to the client.
#include "platform/network/Loader.h"

#include <random>

#include "platform/foundation/Clock.h"
#include "platform/network/CachePolicy.h"
#include "platform/network/HTTPAuthentication.h"
#include "platform/network/URLError.h"

namespace network {
namespace {

constexpr std::size_t kMaxPendingBytes = 4u << 20; // received, not yet delivered
constexpr std::size_t kMaxHeldBytes = 1u << 20; // body of a redirect or 401 kept in case it is final

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::int64_t defaultPort(const NSURL& url) { return url.scheme() == "https" ? 443 : 80; }

std::string originOf(const NSURL& url)
{
    return url.scheme() + "://" + lowercased(url.host()) + ":" + std::to_string(url.port().value_or(defaultPort(url)));
}

std::string requestTarget(const NSURL& url)
{
    std::string target = url.percentEncodedPath().empty() ? "/" : url.percentEncodedPath();
    if (url.query())
        target += "?" + *url.query();
    return target;
}

std::string randomNonce()
{
    static thread_local std::mt19937_64 generator(std::random_device {}());
    return md5Hex(std::to_string(generator())).substr(0, 16);
}

} // namespace

void ChallengeSender::respond(NSURLSessionAuthChallengeDisposition disposition, std::shared_ptr<NSURLCredential> credential)
{
    ChallengeAnswer answer;
    {
        std::lock_guard lock(mutex_);
        answer = std::move(answer_);
        answer_ = nullptr;
    }
    if (answer)
        answer(disposition, std::move(credential));
}

void ChallengeSender::useCredential(
    const std::shared_ptr<NSURLCredential>& credential, const std::shared_ptr<NSURLAuthenticationChallenge>&)
{
    respond(NSURLSessionAuthChallengeUseCredential, credential);
}

void ChallengeSender::continueWithoutCredentialForAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&)
{
    respond(kContinueWithout, nullptr);
}

void ChallengeSender::cancelAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&)
{
    respond(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
}

void ChallengeSender::performDefaultHandlingForAuthenticationChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&)
{
    respond(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
}

void ChallengeSender::rejectProtectionSpaceAndContinueWithChallenge(const std::shared_ptr<NSURLAuthenticationChallenge>&)
{
    respond(NSURLSessionAuthChallengeRejectProtectionSpace, nullptr);
}

Loader::Loader(std::shared_ptr<NSURLRequest> request, LoaderOptions options, std::shared_ptr<Delivery> delivery,
    std::shared_ptr<LoaderClient> client)
    : original_(std::move(request))
    , options_(std::move(options))
    , delivery_(std::move(delivery))
    , client_(std::move(client))
    , current_(original_)
{
}

Loader::~Loader() = default;

std::shared_ptr<LoaderClient> Loader::client() const
{
    std::lock_guard lock(mutex_);
    return client_;
}

std::shared_ptr<NSURLRequest> Loader::currentRequest() const
{
    std::lock_guard lock(mutex_);
    return current_;
}

std::shared_ptr<NSURLResponse> Loader::response() const
{
    std::lock_guard lock(mutex_);
    return response_;
}

// From the transfer's own run loop the step runs at once when the delivery allows it.
// The step is wrapped once, straight into the delivery's block.
template <class Step>
void Loader::post(Step step)
{
    delivery_->runOrPost([self = shared_from_this(), step = std::move(step)]() mutable {
        if (!self->cancelled_ && !self->done_)
            step(*self);
    });
}

void Loader::await() { awaiting_ = true; }

void Loader::answered()
{
    awaiting_ = false;
    while (!awaiting_ && !deferred_.empty() && !done_) {
        auto step = deferred_.pop();
        step();
    }
}

// A step that can run now runs as it is; only a deferred one becomes a std::function.
template <class Step>
void Loader::runOrDefer(Step step)
{
    if (awaiting_) {
        deferred_.push(std::move(step));
        return;
    }
    step();
}

// Answers come from any thread; they re-enter through the delivery.
template <class... Args, class F>
static auto onDelivery(const std::shared_ptr<Loader>& loader, const std::shared_ptr<Delivery>& delivery, F step)
{
    std::weak_ptr<Loader> weak = loader;
    return [weak, delivery, step = std::move(step)](Args... args) {
        delivery->post([weak, step, args...]() mutable {
            if (auto self = weak.lock())
                step(*self, std::move(args)...);
        });
    };
}

void Loader::start()
{
    post([](Loader& self) { self.begin(); });
}

void Loader::cancel()
{
    if (cancelled_.exchange(true))
        return;
    std::shared_ptr<Transfer> transfer;
    std::shared_ptr<LoaderClient> client;
    {
        std::lock_guard lock(mutex_);
        transfer = transfer_;
        client = std::move(client_);
        flow_.notify_all();
    }
    if (transfer)
        transfer->cancel();
}

void Loader::setPaused(bool paused)
{
    std::lock_guard lock(mutex_);
    paused_ = paused;
    flow_.notify_all();
    resumeIfRoomLocked();
}

std::size_t Loader::maxCachedBody() const
{
    if (!options_.cache)
        return 0;
    return std::max(options_.cache->memoryCapacity(), options_.cache->diskCapacity()) / 20;
}

NSURLRequestCachePolicy Loader::cachePolicy() const
{
    return options_.cachePolicy.value_or(current_->cachePolicy());
}

void Loader::begin()
{
    const auto& url = current_->URL();
    if (!url)
        return fail(NSURLErrorUnsupportedURL);
    std::string scheme = lowercased(url->scheme());
    if (scheme != "http" && scheme != "https")
        return fail(NSURLErrorUnsupportedURL);
    if (url->host().empty())
        return fail(NSURLErrorBadURL);
    std::shared_ptr<NSCachedURLResponse> entry;
    if (options_.cache && current_->HTTPMethod() == "GET")
        entry = options_.cache->cachedResponseForRequest(*current_);
    switch (cachePolicy()) {
    case NSURLRequestReturnCacheDataDontLoad:
        if (!entry)
            return fail(NSURLErrorResourceUnavailable);
        return serveFromCache(entry);
    case NSURLRequestReturnCacheDataElseLoad:
        if (entry)
            return serveFromCache(entry);
        break;
    case NSURLRequestUseProtocolCachePolicy:
        if (entry && isFresh(*entry, foundation::clock::now()))
            return serveFromCache(entry);
        if (entry && !validatorsFor(*entry).empty())
            conditionalEntry_ = entry;
        break;
    case NSURLRequestReloadRevalidatingCacheData:
        if (entry && !validatorsFor(*entry).empty())
            conditionalEntry_ = entry;
        break;
    default:
        break;
    }
    exchange(current_, current_->HTTPBodyStream());
}

void Loader::exchange(std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSInputStream> bodyStream)
{
    {
        std::lock_guard lock(mutex_);
        current_ = request;
    }
    const NSURL& url = *request->URL();
    TransferRequest transfer;
    transfer.url = url.absoluteString();
    transfer.method = request->HTTPMethod();
    transfer.headers = request->headerFields();
    for (const auto& [name, value] : options_.additionalHeaders.fields())
        if (!transfer.headers.has(name))
            transfer.headers.set(name, value);
    if (request->HTTPShouldHandleCookies() && options_.cookies && !transfer.headers.has("Cookie"))
        if (auto cookie = options_.cookies->cookieHeaderForURL(url))
            transfer.headers.set("Cookie", *cookie);
    if (authorization_ && authorizationOrigin_ == originOf(url) && !transfer.headers.has("Authorization"))
        transfer.headers.set("Authorization", *authorization_);
    HeaderFields validators = conditionalEntry_ ? validatorsFor(*conditionalEntry_) : HeaderFields {};
    for (const auto& [name, value] : validators.fields())
            if (!transfer.headers.has(name))
                transfer.headers.set(name, value);
    transfer.body = request->HTTPBody();
    if (!transfer.body && bodyStream) {
        transfer.bodyStream = bodyStream;
        if (auto length = request->valueForHTTPHeaderField("Content-Length"))
            transfer.bodyLength = std::strtoll(length->c_str(), nullptr, 10);
        transfer.headers.remove("Content-Length"); // the transport frames the body itself
    }
    bytesExpectedToSend_ = transfer.body ? static_cast<std::int64_t>(transfer.body->size()) : transfer.bodyLength;
    double timeout = options_.idleTimeout.value_or(request->timeoutInterval());
    transfer.idleTimeout = timeout > 0 ? timeout : 60;
    transfer.totalTimeout = options_.totalTimeout;
    transfer.maximumBodyLength = request->maximumResponseBodyLength().value_or(
        options_.maximumBodyLength.value_or(NSURLDefaultMaximumResponseBodyLength));
    transfer.bodyHeld = options_.holdsBody;
    // On a run loop the exchange runs on that loop's thread, where this step runs now.
    transfer.onCurrentRunLoop = delivery_->isOnCurrentRunLoop();
    transfer.runLoopModes = delivery_->modes();
    hold_ = Hold::None;
    held_.clear();
    conditional_ = conditionalEntry_ != nullptr;
    auto started = Transfer::start(std::move(transfer), shared_from_this());
    std::lock_guard lock(mutex_);
    transfer_ = started;
    if (cancelled_)
        started->cancel();
}

// Worker side.

std::shared_ptr<Loader::TrustDecision> Loader::askTrust(const SecTrustRef& trust)
{
    auto decision = std::make_shared<TrustDecision>();
    auto decide = [decision](bool accepted) {
        std::lock_guard lock(decision->mutex);
        if (!decision->accepted)
            decision->accepted = accepted;
        decision->changed.notify_all();
    };
    post([trust, decide](Loader& self) {
        auto client = self.client();
        if (!client)
            return decide(false);
        const NSURL& url = *self.current_->URL();
        auto space = std::make_shared<NSURLProtectionSpace>(url.host(), url.port().value_or(defaultPort(url)),
            NSURLProtectionSpaceHTTPS, std::nullopt, NSURLAuthenticationMethodServerTrust, trust);
        std::weak_ptr<Loader> weak = self.shared_from_this();
        // Default evaluation: the system roots and the host name.
        std::string host = url.host();
        ChallengeAnswer answer = [weak, trust, decide, host](NSURLSessionAuthChallengeDisposition disposition,
                     std::shared_ptr<NSURLCredential> credential) {
            if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
                if (auto self = weak.lock())
                    self->challengeCancelled_ = true;
                return decide(false);
            }
            if (disposition == NSURLSessionAuthChallengeUseCredential && credential && credential->serverTrust())
                return decide(true);
            SecTrustSetPolicies(trust, { SecPolicyCreateSSL(true, host) });
            SecTrustResultType result = kSecTrustResultInvalid;
            bool valid = SecTrustEvaluate(trust, &result) == errSecSuccess
                && (result == kSecTrustResultProceed || result == kSecTrustResultUnspecified);
            decide(valid);
        };
        auto sender = std::make_shared<ChallengeSender>(answer);
        auto challenge = std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr, sender);
        client->loaderChallenge(challenge, [sender](auto disposition, auto credential) { sender->respond(disposition, credential); });
    });
    return decision;
}

std::optional<bool> Loader::transferEvaluateTrustAtOnce(const SecTrustRef& trust)
{
    // Asked only when the question can be put to the delegate here and now; an answer that
    // comes later is awaited on the worker the exchange moves to.
    if (!delivery_->runNow([] { }))
        return std::nullopt;
    auto decision = askTrust(trust);
    std::lock_guard lock(decision->mutex);
    if (decision->accepted)
        return decision->accepted;
    std::lock_guard own(mutex_);
    pendingTrust_ = decision;
    return std::nullopt;
}

bool Loader::transferEvaluateTrust(const SecTrustRef& trust)
{
    std::shared_ptr<TrustDecision> decision;
    {
        std::lock_guard lock(mutex_);
        decision = std::move(pendingTrust_);
    }
    if (!decision)
        decision = askTrust(trust);
    std::unique_lock lock(decision->mutex);
    for (;;) {
        if (decision->accepted)
            return *decision->accepted;
        if (cancelled_)
            return false;
        decision->changed.wait_for(lock, std::chrono::milliseconds(50));
    }
}

void Loader::transferDidSendBody(std::int64_t bytes, std::int64_t total, std::int64_t expected)
{
    bytesSent_ = total;
    post([bytes, total, expected](Loader& self) {
        self.runOrDefer([&self, bytes, total, expected] {
            if (auto client = self.client())
                client->loaderDidSendBodyData(bytes, total, expected);
        });
    });
}

void Loader::transferDidReceiveHead(ResponseHead head)
{
    if (conditional_ && head.status == 304)
        hold_ = Hold::NotModified;
    else if (isRedirect(head.status) && head.headers.has("Location") && current_->HTTPMethod() != "CONNECT")
        hold_ = Hold::Redirect;
    else if (head.status == 401 && head.headers.has("WWW-Authenticate"))
        hold_ = Hold::Authenticate;
    else
        hold_ = Hold::None;
    post([head = std::move(head)](Loader& self) mutable { self.onHead(std::move(head)); });
}

BodyAnswer Loader::transferDidReceiveBody(const std::uint8_t* bytes, std::size_t length, bool mayBlock)
{
    if (hold_ != Hold::None) {
        std::size_t room = kMaxHeldBytes - std::min(kMaxHeldBytes, held_.size());
        held_.insert(held_.end(), bytes, bytes + std::min(room, length));
        return cancelled_ ? BodyAnswer::Stop : BodyAnswer::Taken;
    }
    std::unique_lock lock(mutex_);
    if (!mayBlock && (pendingBytes_ > kMaxPendingBytes || paused_) && !cancelled_) {
        wantsRoom_ = true; // resumed by whatever makes room
        return BodyAnswer::Wait;
    }
    while ((pendingBytes_ > kMaxPendingBytes || paused_) && !cancelled_) {
        if (transfer_)
            transfer_->setWaitingForClient(true);
        flow_.wait(lock);
    }
    if (transfer_)
        transfer_->setWaitingForClient(false);
    if (cancelled_)
        return BodyAnswer::Stop;
    pendingBytes_ += length;
    bytesReceived_ += static_cast<std::int64_t>(length);
    if (openChunk_) {
        openChunk_->insert(openChunk_->end(), bytes, bytes + length);
        return BodyAnswer::Taken;
    }
    openChunk_ = std::make_shared<Bytes>(bytes, bytes + length);
    auto chunk = openChunk_;
    lock.unlock();
    post([chunk](Loader& self) { self.onData(chunk); });
    return BodyAnswer::Taken;
}

void Loader::resumeIfRoomLocked()
{
    if (!wantsRoom_ || pendingBytes_ > kMaxPendingBytes || paused_ || !transfer_)
        return;
    wantsRoom_ = false;
    transfer_->resume();
}

void Loader::transferDidComplete(TransferResult result)
{
    if (hold_ != Hold::None)
        heldBody_ = std::make_shared<Bytes>(std::move(held_));
    post([result = std::move(result)](Loader& self) mutable { self.onComplete(std::move(result)); });
}

// Delivery side.

std::shared_ptr<NSHTTPURLResponse> Loader::makeResponse(const ResponseHead& head) const
{
    return std::make_shared<NSHTTPURLResponse>(current_->URL(), head.status, head.version, head.headers);
}

void Loader::onHead(ResponseHead head)
{
    if (current_->HTTPShouldHandleCookies() && options_.cookies)
        options_.cookies->setCookiesFromResponse(head.rawFields, *current_->URL());
    if (hold_ != Hold::None) {
        heldHead_ = std::move(head);
        return;
    }
    // The head ends here: its fields move into the response.
    auto response = std::make_shared<NSHTTPURLResponse>(
        current_->URL(), head.status, std::move(head.version), std::move(head.headers));
    // The limit is read once a response: the cache's capacities are behind its lock.
    collectLimit_ = maxCachedBody();
    collecting_ = collectLimit_ > 0 && isCacheable(*current_, *response)
        && (response->expectedContentLength() < 0
            || static_cast<std::uint64_t>(response->expectedContentLength()) <= collectLimit_);
    collected_.clear();
    runOrDefer([this, response] { deliverResponseThenBody(response, nullptr, collecting_); });
}

void Loader::deliverResponseThenBody(std::shared_ptr<NSURLResponse> response, std::shared_ptr<Bytes> body, bool cacheable)
{
    {
        std::lock_guard lock(mutex_);
        response_ = response;
    }
    collecting_ = cacheable;
    auto client = this->client();
    if (!client)
        return;
    await();
    std::weak_ptr<Loader> weak = shared_from_this();
    auto answer = onDelivery<bool>(shared_from_this(), delivery_, [body](Loader& self, bool allow) {
        if (self.done_ || self.cancelled_)
            return;
        if (!allow) {
            if (self.transfer_)
                self.transfer_->cancel();
            return self.fail(NSURLErrorCancelled);
        }
        if (body) {
            self.bytesReceived_ += static_cast<std::int64_t>(body->size());
            if (!body->empty())
                if (auto client = self.client())
                    client->loaderDidReceiveData(*body);
        }
        self.answered();
    });
    client->loaderDidReceiveResponse(response, answer);
}

void Loader::onData(std::shared_ptr<Bytes> chunk)
{
    {
        std::lock_guard lock(mutex_);
        if (openChunk_ == chunk)
            openChunk_.reset();
    }
    runOrDefer([this, chunk] {
        {
            std::lock_guard lock(mutex_);
            pendingBytes_ -= std::min(pendingBytes_, chunk->size());
            flow_.notify_all();
            resumeIfRoomLocked();
        }
        if (auto client = this->client())
            client->loaderDidReceiveData(*chunk);
        if (!collecting_)
            return;
        if (collected_.size() + chunk->size() > collectLimit_)
            collecting_ = false, collected_.clear();
        else if (collected_.empty())
            collected_ = std::move(*chunk); // no longer the transfer's (see above): the first chunk is kept as it is
        else
            collected_.insert(collected_.end(), chunk->begin(), chunk->end());
    });
}

void Loader::onComplete(TransferResult result)
{
    runOrDefer([this, result = std::move(result)] {
        if (result.urlErrorCode != 0) {
            if (result.trustRefused)
                return fail(challengeCancelled_ ? options_.cancelledChallengeCode : NSURLErrorServerCertificateUntrusted);
            return fail(result.urlErrorCode, result.detail, result.underlyingError);
        }
        switch (hold_) {
        case Hold::Redirect: return handleRedirect();
        case Hold::Authenticate: return handleAuthentication();
        case Hold::NotModified: {
            auto entry = conditionalEntry_;
            auto refreshed = std::make_shared<NSCachedURLResponse>(entry->response(), entry->data(), entry->userInfo(),
                entry->storagePolicy(), foundation::clock::now());
            options_.cache->storeCachedResponse(refreshed, *current_);
            return serveFromCache(refreshed);
        }
        case Hold::None: return finishSuccess();
        }
    });
}

void Loader::serveFromCache(std::shared_ptr<NSCachedURLResponse> entry)
{
    servedFromCache_ = true;
    auto body = std::make_shared<Bytes>(entry->data());
    deliverResponseThenBody(entry->response(), body, false);
    runOrDefer([this] { complete(nullptr); });
}

void Loader::deliverHeld()
{
    auto response = makeResponse(heldHead_);
    bool cacheable = options_.cache && isCacheable(*current_, *response) && heldBody_ && heldBody_->size() <= maxCachedBody();
    if (cacheable)
        collected_ = *heldBody_;
    deliverResponseThenBody(response, heldBody_, cacheable);
    runOrDefer([this] { finishSuccess(); });
}

void Loader::finishSuccess()
{
    auto client = this->client();
    auto* http = dynamic_cast<NSHTTPURLResponse*>(response_.get());
    if (!client || !collecting_ || !http) {
        complete(nullptr);
        return;
    }
    auto proposed = std::make_shared<NSCachedURLResponse>(
        response_, std::move(collected_), Value {}, NSURLCacheStorageAllowed, foundation::clock::now());
    collecting_ = false;
    await();
    auto request = current_;
    auto answer = onDelivery<std::shared_ptr<NSCachedURLResponse>>(shared_from_this(), delivery_,
        [request](Loader& self, std::shared_ptr<NSCachedURLResponse> chosen) {
            if (self.done_ || self.cancelled_)
                return;
            if (chosen && self.options_.cache)
                self.options_.cache->storeCachedResponse(chosen, *request);
            self.complete(nullptr);
            self.answered();
        });
    client->loaderWillCacheResponse(proposed, answer);
}

void Loader::handleRedirect()
{
    auto response = makeResponse(heldHead_);
    auto location = heldHead_.headers.get("Location");
    auto target = location ? NSURL::URLWithString(*location, *current_->URL()) : std::nullopt;
    if (!target)
        return deliverHeld();
    if (++redirects_ > kMaxRedirects)
        return fail(NSURLErrorHTTPTooManyRedirects);
    auto next = current_->mutableCopy();
    bool crossOrigin = originOf(*target) != originOf(*current_->URL());
    next->setURL(*target);
    int status = heldHead_.status;
    bool toGet = (status == 303 && current_->HTTPMethod() != "HEAD")
        || ((status == 301 || status == 302) && current_->HTTPMethod() == "POST");
    if (toGet) {
        next->setHTTPMethod("GET");
        next->setHTTPBody(std::nullopt);
        next->setHTTPBodyStream(nullptr);
        next->setValueForHTTPHeaderField(std::nullopt, "Content-Type");
        next->setValueForHTTPHeaderField(std::nullopt, "Content-Length");
    }
    if (crossOrigin)
        next->setValueForHTTPHeaderField(std::nullopt, "Authorization");
    conditionalEntry_.reset();
    auto client = this->client();
    if (!client)
        return;
    await();
    auto answer = onDelivery<std::shared_ptr<NSURLRequest>>(shared_from_this(), delivery_,
        [](Loader& self, std::shared_ptr<NSURLRequest> chosen) {
            if (self.done_ || self.cancelled_)
                return;
            self.answered();
            if (!chosen || !chosen->URL())
                return self.deliverHeld();
            bool bodyAgain = chosen->HTTPBodyStream() != nullptr;
            self.resend(chosen, bodyAgain);
        });
    client->loaderWillRedirect(next, response, answer);
}

void Loader::resend(std::shared_ptr<NSURLRequest> request, bool bodyAgain)
{
    if (!bodyAgain)
        return exchange(request, nullptr);
    auto client = this->client();
    if (!client)
        return;
    await();
    auto answer = onDelivery<std::shared_ptr<NSInputStream>>(shared_from_this(), delivery_,
        [request](Loader& self, std::shared_ptr<NSInputStream> stream) {
            if (self.done_ || self.cancelled_)
                return;
            self.answered();
            if (!stream)
                return self.fail(-1021, "the request body stream cannot be sent again");
            self.exchange(request, stream);
        });
    client->loaderNeedNewBodyStream(answer);
}

void Loader::handleAuthentication()
{
    auto challenges = parseAuthenticate(heldHead_.headers.get("WWW-Authenticate").value_or(""));
    auto chosen = preferredChallenge(challenges);
    if (!chosen)
        return deliverHeld();
    const NSURL& url = *current_->URL();
    bool digest = equalsIgnoringCase(chosen->scheme, "Digest");
    std::optional<std::string> realm;
    if (auto it = chosen->params.find("realm"); it != chosen->params.end())
        realm = it->second;
    auto space = std::make_shared<NSURLProtectionSpace>(url.host(), url.port().value_or(defaultPort(url)),
        lowercased(url.scheme()), realm,
        digest ? NSURLAuthenticationMethodHTTPDigest : NSURLAuthenticationMethodHTTPBasic);
    int failures = authFailures_[space->key()];
    std::shared_ptr<NSURLCredential> proposed = lastCredential_;
    if (!proposed && options_.useCredentialStorage && options_.credentials)
        proposed = options_.credentials->defaultCredentialForProtectionSpace(*space);
    auto client = this->client();
    if (!client)
        return;
    auto response = makeResponse(heldHead_);
    await();
    auto answer = onDelivery<NSURLSessionAuthChallengeDisposition, std::shared_ptr<NSURLCredential>>(shared_from_this(),
        delivery_,
        [space, chosen = *chosen, digest, failures, proposed](
            Loader& self, NSURLSessionAuthChallengeDisposition disposition, std::shared_ptr<NSURLCredential> credential) {
            if (self.done_ || self.cancelled_)
                return;
            self.answered();
            if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge)
                return self.fail(self.options_.cancelledChallengeCode);
            if (disposition == NSURLSessionAuthChallengePerformDefaultHandling)
                credential = failures == 0 && self.options_.useCredentialStorage ? proposed : nullptr;
            else if (disposition != NSURLSessionAuthChallengeUseCredential)
                credential = nullptr;
            if (!credential || !credential->user())
                return self.deliverHeld();
            const NSURL& target = *self.current_->URL();
            std::string password = credential->password().value_or("");
            if (digest)
                self.authorization_ = digestAuthorization(chosen, *credential->user(), password,
                    self.current_->HTTPMethod(), requestTarget(target), randomNonce(), ++self.nonceCount_);
            else
                self.authorization_ = basicAuthorization(*credential->user(), password);
            if (!self.authorization_)
                return self.deliverHeld();
            self.authorizationOrigin_ = originOf(target);
            self.authFailures_[space->key()] = failures + 1;
            self.lastCredential_ = credential;
            if (self.options_.credentials && credential->persistence() != NSURLCredentialPersistenceNone)
                self.options_.credentials->setDefaultCredential(credential, *space);
            auto request = self.current_->mutableCopy();
            request->setValueForHTTPHeaderField(std::nullopt, "Authorization");
            self.resend(request, request->HTTPBodyStream() != nullptr);
        });
    auto sender = std::make_shared<ChallengeSender>(answer);
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(space, proposed, failures, response, nullptr, sender);
    client->loaderChallenge(challenge, [sender](auto disposition, auto credential) { sender->respond(disposition, credential); });
}

void Loader::fail(std::int64_t code, std::string detail, std::shared_ptr<NSError> underlying)
{
    auto error = urlError(code, current_->URL(), std::move(detail));
    if (underlying) {
        Value info = error->userInfo();
        info.set(NSUnderlyingErrorKey, Value(underlying));
        error = NSError::errorWithDomain(error->domain(), error->code(), std::move(info));
    }
    complete(error);
}

void Loader::complete(std::shared_ptr<NSError> error)
{
    if (done_)
        return;
    done_ = true;
    deferred_.clear();
    std::shared_ptr<LoaderClient> client;
    {
        std::lock_guard lock(mutex_);
        client = std::move(client_);
        transfer_.reset();
    }
    if (client)
        client->loaderDidComplete(error);
}

} // namespace network
