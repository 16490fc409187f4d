// Tags/alias requests, their answers, time-outs and the stored background request.
#include "push/Client/PUSHTagAlias.h"

#include "platform/threading/Dispatch.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSTimer.h"
#include "push/Client/PUSHTagAliasValidation.h"
#include "push/Network/PUSHRequests.h"
#include "push/Session/PUSHSessionController.h"
#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

namespace {

std::shared_ptr<PUSHFileCacheController> documentCache()
{
    return PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeDocument);
}

std::optional<std::vector<std::string>> tagList(const Value& tags)
{
    if (!tags.isArray())
        return std::nullopt;
    std::vector<std::string> list;
    for (const Value& tag : tags.asArray())
        list.push_back(tag.asString());
    return list;
}

Value tagValue(const std::optional<std::vector<std::string>>& tags)
{
    if (!tags)
        return Value();
    Value list = Value::array();
    for (const auto& tag : *tags)
        list.append(Value(tag));
    return list;
}

Value requestRecord(const PUSHSetTagAlias& request)
{
    Value record = Value::dictionary({ { "rid", Value(request.rid()) }, { "type", Value(request.type) } });
    record.set("tags", tagValue(request.tags));
    if (request.alias)
        record.set("alias", Value(*request.alias));
    return record;
}

} // namespace

// Argument ----------------------------------------------------------------------------------------

void PUSHSetTagAliasArg::beginTimeoutTimer(const std::shared_ptr<PUSHTagAlias>& manager)
{
    stopTimeoutTimer();
    manager_ = manager;
    std::weak_ptr<PUSHSetTagAliasArg> weak = std::static_pointer_cast<PUSHSetTagAliasArg>(shared_from_this());
    auto timer
        = NSTimer::scheduledTimerWithTimeInterval(kTimeout, false, [weak](const std::shared_ptr<NSTimer>& fired) {
              if (auto self = weak.lock())
                  self->onTimeout(fired);
          });
    timeoutTimer_ = timer;
}

void PUSHSetTagAliasArg::stopTimeoutTimer()
{
    if (auto timer = timeoutTimer_.lock())
        timer->invalidate();
    timeoutTimer_.reset();
}

void PUSHSetTagAliasArg::onTimeout(const std::shared_ptr<NSTimer>& timer)
{
    if (timer != timeoutTimer_.lock())
        return;
    // Keep this argument alive while the manager drops it.
    auto self = std::static_pointer_cast<PUSHSetTagAliasArg>(shared_from_this());
    stopTimeoutTimer();
    auto manager = manager_.lock();
    if (!manager)
        return;
    manager->doTagAliasCallbackForSeq(sequence, PUSHTagAliasTimedOut);
    manager->dequeueFromTcpBlockQueue(sequence);
}

std::shared_ptr<PUSHSetTagAliasArg> PUSHSetTagAliasArg::copy() const
{
    auto twin = create();
    twin->tags = tags;
    twin->alias = alias;
    twin->type = type;
    twin->completionHandler = completionHandler;
    twin->cbInvocation = cbInvocation;
    twin->target = target;
    twin->sequence = sequence;
    twin->timeoutTimer_ = timeoutTimer_;
    twin->manager_ = manager_;
    return twin;
}

// Manager -----------------------------------------------------------------------------------------

PUSHTagAlias::PUSHTagAlias(SessionProvider session, std::function<std::string()> appKey)
    : session_(std::move(session))
    , appKey_(std::move(appKey))
{
}

std::shared_ptr<PUSHTagAlias> PUSHTagAlias::create(SessionProvider session, std::function<std::string()> appKey)
{
    return std::make_shared<PUSHTagAlias>(std::move(session), std::move(appKey));
}

std::shared_ptr<PUSHSetTagAliasArg> PUSHTagAlias::waitingArgument(std::uint64_t sequence) const
{
    auto found = dictSequenceToReq_.find(sequence);
    return found == dictSequenceToReq_.end() ? nullptr : found->second;
}

Value PUSHTagAlias::storedFailedRequest()
{
    auto cache = documentCache();
    return cache ? cache->objectForKey(kPUSHFailedTagAliasKey) : Value();
}

void PUSHTagAlias::setTagsAlias(const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    if (!argument)
        return;
    switch (argument->type) {
    case PUSHTagAliasTypeBackground:
        setTagAliasAutomatic(argument);
        return;
    case PUSHTagAliasTypeBlock:
    case PUSHTagAliasTypeCallback:
        setTagAliasUsingCallback(argument);
        return;
    default:
        return;
    }
}

std::shared_ptr<PUSHSetTagAlias> PUSHTagAlias::makeRequest(const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    auto request = PUSHSetTagAlias::create();
    argument->sequence = request->rid();
    request->appKey = appKey_ ? appKey_() : std::string();
    std::weak_ptr<PUSHTagAlias> weak = sharedAs<PUSHTagAlias>();
    // A packet too long to send is answered like a server refusal.
    request->onFailure = [weak](std::uint64_t rid, int code) {
        if (auto self = weak.lock())
            self->doTagAliasCallbackForSeq(rid, code);
    };
    return request;
}

void PUSHTagAlias::sendRequest(const std::shared_ptr<PUSHSetTagAlias>& request)
{
    if (auto session = session_ ? session_() : nullptr)
        session->sendRequest(request);
}

void PUSHTagAlias::setTagAliasUsingCallback(const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    auto request = makeRequest(argument);
    const bool hasDelivery
        = argument->type == PUSHTagAliasTypeCallback ? bool(argument->cbInvocation) : bool(argument->completionHandler);
    if (hasDelivery) {
        dictSequenceToReq_[argument->sequence] = argument;
        argument->beginTimeoutTimer(sharedAs<PUSHTagAlias>());
    }
    if (int code = PUSHTagAliasValidation::validateTagsAlias(argument->tags, argument->alias)) {
        doTagAliasCallbackForSeq(argument->sequence, code);
        return;
    }
    request->tags = tagList(argument->tags);
    if (argument->alias.isString())
        request->alias = argument->alias.asString();
    request->type = argument->type;
    sendRequest(request);
}

void PUSHTagAlias::setTagAliasAutomatic(const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    auto request = makeRequest(argument);
    dictSequenceToReq_[argument->sequence] = argument;
    if (int code = PUSHTagAliasValidation::validateTagsAlias(argument->tags, argument->alias)) {
        doTagAliasCallbackForSeq(argument->sequence, code);
        return;
    }
    request->tags = tagList(argument->tags);
    if (argument->alias.isString())
        request->alias = argument->alias.asString();
    request->type = PUSHTagAliasTypeBackground;
    sendAutomaticRequest(request, argument);
}

bool PUSHTagAlias::mergeOldRequest(const Value& stored, const std::shared_ptr<PUSHSetTagAlias>& request,
    const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    bool merged = false;
    if (stored["tags"].isArray() && !request->tags) {
        request->tags = tagList(stored["tags"]);
        argument->tags = stored["tags"];
        merged = true;
    }
    if (stored["alias"].isString() && !request->alias) {
        request->alias = stored["alias"].asString();
        argument->alias = stored["alias"];
        merged = true;
    }
    return merged;
}

void PUSHTagAlias::sendAutomaticRequest(
    const std::shared_ptr<PUSHSetTagAlias>& request, const std::shared_ptr<PUSHSetTagAliasArg>& argument)
{
    auto cache = documentCache();
    const Value stored = storedFailedRequest();
    auto session = session_ ? session_() : nullptr;
    if (stored.isDictionary() && session) {
        const std::uint64_t oldRid = stored["rid"].unsignedValue();
        if (std::dynamic_pointer_cast<PUSHSetTagAlias>(session->findBlockedRequest(oldRid))) {
            session->dequeueRequest(oldRid);
            if (mergeOldRequest(stored, request, argument))
                dictSequenceToReq_[request->rid()] = argument;
        }
    }
    if (cache) {
        cache->setObject(requestRecord(*request), kPUSHFailedTagAliasKey);
        cache->synchronize();
    }
    sendRequest(request);
    PUSHLogDebug("TagAlias background 已经发送\n tags:%@ Alias:%@", tagValue(request->tags),
        request->alias ? Value(*request->alias) : Value());
}

void PUSHTagAlias::doSetTagsAliasCallbackWithRetJson(const std::string& json)
{
    const Value answer = PUSHJSONObject(Bytes(json.begin(), json.end()));
    if (!answer.isDictionary() || !answer.contains("sequence"))
        return;
    doTagAliasCallbackForSeq(answer["sequence"].unsignedValue(), answer["code"].intValue());
}

void PUSHTagAlias::doTagAliasCallbackForSeq(std::uint64_t sequence, int code)
{
    auto found = dictSequenceToReq_.find(sequence);
    if (found == dictSequenceToReq_.end())
        return;
    auto argument = found->second;
    dictSequenceToReq_.erase(found);
    argument->stopTimeoutTimer();
    switch (argument->type) {
    case PUSHTagAliasTypeCallback:
        // The closure owns the target until the callback has run.
        dispatch_async(dispatch_get_main_queue(),
            [call = argument->cbInvocation, target = argument->target, code, tags = argument->tags,
                alias = argument->alias] {
                if (call)
                    call(code, tags, alias);
            });
        argument->target.reset();
        return;
    case PUSHTagAliasTypeBlock:
        dispatch_async(dispatch_get_main_queue(),
            [call = std::move(argument->completionHandler), code, tags = argument->tags, alias = argument->alias] {
                if (call)
                    call(code, tags, alias);
            });
        argument->completionHandler = nullptr;
        return;
    default:
        deliverAutomatic(*argument, code);
        return;
    }
}

void PUSHTagAlias::deliverAutomatic(const PUSHSetTagAliasArg& argument, int code)
{
    if (code == PUSHTagAliasSucceeded)
        PUSHLogWarn("setTagsWithAlias (background): succeed.\ntags:%@ Alias:%@", argument.tags, argument.alias);
    else if (code != PUSHTagAliasTimedOut)
        PUSHLogWarn("setTagsWithAlias (background): failed with Code:%d.\ntags:%@ Alias:%@", code, argument.tags,
            argument.alias);
    auto cache = documentCache();
    if (!cache)
        return;
    const Value stored = cache->objectForKey(kPUSHFailedTagAliasKey);
    if (stored.isDictionary() && stored["rid"].unsignedValue() == argument.sequence)
        cache->removeObjectForKey(kPUSHFailedTagAliasKey);
    cache->synchronize();
}

void PUSHTagAlias::dequeueFromTcpBlockQueue(std::uint64_t sequence)
{
    auto session = session_ ? session_() : nullptr;
    if (session && std::dynamic_pointer_cast<PUSHSetTagAlias>(session->findBlockedRequest(sequence)))
        session->dequeueRequest(sequence);
}

void PUSHTagAlias::sendFailedTagAlias()
{
    const Value stored = storedFailedRequest();
    if (!stored.isDictionary())
        return;
    PUSHLogDebug("开始请求失败的background tagAlias\n tags:%@ Alias:%@\",args.tags,args.alias]", stored["tags"],
        stored["alias"]);
    auto argument = PUSHSetTagAliasArg::create();
    argument->tags = stored["tags"];
    argument->alias = stored["alias"];
    argument->type = stored["type"].unsignedValue();
    setTagsAlias(argument);
}
