// NKURLSessionManagerTaskDelegate: progress and body of one task, the move of a finished
// download, and the completion work: serialization, the handler, the notification.
#include "net/NKURLSessionManagerTaskDelegate.h"

#include "net/NKResponseLimit.h"
#include "net/NKURLSessionManager.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/threading/NSNotificationCenter.h"

namespace net {

dispatch_queue_t sessionManagerCreationQueue()
{
    static auto* queue = new dispatch_queue_t(
        dispatch_queue_create("com.pendrasil.networking.session.manager.creation", DISPATCH_QUEUE_SERIAL));
    return *queue;
}

dispatch_queue_t sessionManagerProcessingQueue()
{
    static auto* queue = new dispatch_queue_t(
        dispatch_queue_create("com.pendrasil.networking.session.manager.processing", DISPATCH_QUEUE_CONCURRENT));
    return *queue;
}

dispatch_group_t sessionManagerCompletionGroup()
{
    static auto* group = new dispatch_group_t(dispatch_group_create());
    return *group;
}

NSErrorRef moveDownloadedFile(
    const std::shared_ptr<NSURLSessionDownloadTask>& task, const NSURL& location, const NSURL& destination)
{
    NSErrorRef error;
    if (NSFileManager::defaultManager()->moveItemAtPath(location.path(), destination.path(), &error))
        return nullptr;
    if (!error)
        error = NSError::errorWithDomain("NSCocoaErrorDomain", 512);
    NSNotificationCenter::defaultCenter()->postNotificationName(
        NKURLSessionDownloadTaskDidFailToMoveFileNotification, task, error->userInfo());
    return error;
}

} // namespace net

NKURLSessionManagerTaskDelegate::NKURLSessionManagerTaskDelegate()
    : progress_(NSProgress::progressWithTotalUnitCount(0))
{
}

void NKURLSessionManagerTaskDelegate::taskDidSendBodyData(std::int64_t totalSent, std::int64_t totalExpected)
{
    progress_->setTotalUnitCount(totalExpected);
    progress_->setCompletedUnitCount(totalSent);
}

void NKURLSessionManagerTaskDelegate::dataTaskDidReceiveData(
    const std::shared_ptr<NSURLSessionTask>& task, const Bytes& data, std::uint64_t limit)
{
    if (tooLargeError_)
        return;
    auto response = task->response();
    std::int64_t announced = response && mutableData_.empty() ? response->expectedContentLength() : -1;
    bool tooLong = mutableData_.size() + data.size() > limit || (announced > 0 && static_cast<std::uint64_t>(announced) > limit);
    if (!tooLong) {
        mutableData_.insert(mutableData_.end(), data.begin(), data.end());
        return;
    }
    auto request = task->originalRequest();
    tooLargeError_ = net::responseTooLargeError(request ? request->URL() : std::nullopt, limit);
    Bytes().swap(mutableData_);
    task->cancel();
}

void NKURLSessionManagerTaskDelegate::downloadTaskDidWriteData(std::int64_t totalWritten, std::int64_t totalExpected)
{
    progress_->setTotalUnitCount(totalExpected);
    progress_->setCompletedUnitCount(totalWritten);
}

void NKURLSessionManagerTaskDelegate::downloadTaskDidResume(std::int64_t fileOffset, std::int64_t expectedTotal)
{
    progress_->setTotalUnitCount(expectedTotal);
    progress_->setCompletedUnitCount(fileOffset);
}

void NKURLSessionManagerTaskDelegate::downloadTaskDidFinishDownloadingToURL(
    const std::shared_ptr<NSURLSession>& session, const std::shared_ptr<NSURLSessionDownloadTask>& task, const NSURL& location)
{
    downloadFileURL_.reset();
    if (!downloadTaskDidFinishDownloading)
        return;
    downloadFileURL_ = downloadTaskDidFinishDownloading(session, task, location);
    if (!downloadFileURL_)
        return;
    moveError_ = net::moveDownloadedFile(task, location, *downloadFileURL_);
}

void NKURLSessionManagerTaskDelegate::taskDidComplete(const std::shared_ptr<NSURLSessionTask>& task, const NSErrorRef& error)
{
    auto manager = this->manager.lock();
    auto serializer = manager ? manager->responseSerializer() : nullptr;
    Value userInfo = Value::dictionary();
    userInfo.set(NKNetworkingTaskDidCompleteResponseSerializerKey, Value(serializer));
    Bytes body = std::move(mutableData_);
    mutableData_.clear();
    // A download that could not be put where it was asked to go has no asset to offer.
    if (moveError_)
        downloadFileURL_.reset();
    if (downloadFileURL_)
        userInfo.set(NKNetworkingTaskDidCompleteAssetPathKey, downloadFileURL_->absoluteString());
    else
        userInfo.set(NKNetworkingTaskDidCompleteResponseDataKey, body);

    NSErrorRef failure = tooLargeError_ ? tooLargeError_ : error ? error : moveError_;
    if (failure) {
        userInfo.set(NKNetworkingTaskDidCompleteErrorKey, Value(failure));
        deliver(manager, task, std::move(userInfo), Value(), failure);
        return;
    }
    auto self = sharedAs<NKURLSessionManagerTaskDelegate>();
    dispatch_async(net::sessionManagerProcessingQueue(),
        [self, manager, task, serializer, body = std::move(body), userInfo = std::move(userInfo)]() mutable {
            NSErrorRef serializationError;
            Value responseObject;
            if (serializer)
                responseObject = serializer->responseObjectForResponse(task->response(), &body, &serializationError);
            if (self->downloadFileURL_)
                responseObject = self->downloadFileURL_->absoluteString();
            if (!responseObject.isAbsent())
                userInfo.set(NKNetworkingTaskDidCompleteSerializedResponseKey, responseObject);
            if (serializationError)
                userInfo.set(NKNetworkingTaskDidCompleteErrorKey, Value(serializationError));
            self->deliver(manager, task, std::move(userInfo), responseObject, serializationError);
        });
}

void NKURLSessionManagerTaskDelegate::deliver(const std::shared_ptr<NKURLSessionManager>& manager,
    const std::shared_ptr<NSURLSessionTask>& task, Value userInfo, const Value& responseObject, const NSErrorRef& error)
{
    dispatch_group_t group = manager ? manager->completionGroup() : nullptr;
    dispatch_queue_t queue = manager ? manager->completionQueue() : nullptr;
    if (!group)
        group = net::sessionManagerCompletionGroup();
    if (!queue)
        queue = dispatch_get_main_queue();
    auto handler = completionHandler;
    dispatch_group_async(group, queue, [handler, task, userInfo = std::move(userInfo), responseObject, error] {
        if (handler)
            handler(task->response(), responseObject, error);
        dispatch_async(dispatch_get_main_queue(), [task, userInfo] {
            NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingTaskDidCompleteNotification, task, userInfo);
        });
    });
}
