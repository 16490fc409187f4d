// NKURLSessionManager: the session, task creation with a task delegate per task, the delegate
// table, task lists, invalidation, the resume and suspend announcements, and the settings.
#include "net/NKURLSessionManager.h"

#include "net/NKCoding.h"
#include "net/NKURLSessionManagerBlocks.h"
#include "platform/foundation/Format.h"

namespace {

std::optional<std::int64_t> contentLengthOf(const std::shared_ptr<NSURLRequest>& request)
{
    auto header = request ? request->valueForHTTPHeaderField("Content-Length") : std::nullopt;
    if (!header)
        return std::nullopt;
    return Value(*header).integerValue();
}

} // namespace

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::initWithSessionConfiguration(
    std::shared_ptr<NSURLSessionConfiguration> configuration)
{
    auto manager = std::make_shared<NKURLSessionManager>(std::move(configuration));
    manager->setUpSession();
    return manager;
}

NKURLSessionManager::NKURLSessionManager(std::shared_ptr<NSURLSessionConfiguration> configuration)
    : operationQueue_(NSOperationQueue::create())
    , sessionConfiguration_(configuration ? std::move(configuration) : NSURLSessionConfiguration::defaultSessionConfiguration())
    , reachabilityManager_(NKNetworkReachabilityManager::sharedManager())
    , responseSerializer_(NKJSONResponseSerializer::serializer())
    , securityPolicy_(NKSecurityPolicy::defaultPolicy())
    , blocks_(std::make_shared<const Blocks>())
{
    operationQueue_->setMaxConcurrentOperationCount(1);
    lock_.setName("com.pendrasil.networking.session.manager.lock");
    net::registerArchivableClasses();
}

void NKURLSessionManager::setUpSession()
{
    auto self = sharedAs<NKURLSessionManager>();
    session_ = NSURLSession::sessionWithConfiguration(sessionConfiguration_, self, operationQueue_);
    std::weak_ptr<NKURLSessionManager> weak = self;
    session_->getTasksWithCompletionHandler([weak](auto dataTasks, auto uploadTasks, auto downloadTasks) {
        auto manager = weak.lock();
        if (!manager)
            return;
        for (const auto& task : dataTasks)
            manager->addDelegateForDataTask(task, nullptr);
        for (const auto& task : uploadTasks)
            manager->addDelegateForUploadTask(task, nullptr, nullptr);
        for (const auto& task : downloadTasks)
            manager->addDelegateForDownloadTask(task, nullptr, nullptr, nullptr);
    });
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(self, &NKURLSessionManager::taskDidResume, NSURLSessionTaskDidResumeNotification);
    center->addObserver(self, &NKURLSessionManager::taskDidSuspend, NSURLSessionTaskDidSuspendNotification);
}

NKURLSessionManager::~NKURLSessionManager()
{
    NSNotificationCenter::defaultCenter()->removeObserver(this);
}

std::string NKURLSessionManager::description() const
{
    return NSString::stringWithFormat("<%@: %p, session: %@, operationQueue: %@>", className(),
        static_cast<const void*>(this), session_ ? Value(session_->description()) : Value(),
        Value(operationQueue_->description()));
}

std::string NKURLSessionManager::taskDescriptionForSessionTasks() const
{
    return NSString::stringWithFormat("%p", static_cast<const void*>(this));
}

// Task delegates.

std::shared_ptr<NKURLSessionManagerTaskDelegate> NKURLSessionManager::delegateForTask(const TaskRef& task) const
{
    std::lock_guard guard(lock_);
    auto found = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task->taskIdentifier());
    return found == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : found->second;
}

void NKURLSessionManager::setDelegateForTask(std::shared_ptr<NKURLSessionManagerTaskDelegate> delegate, const TaskRef& task)
{
    std::lock_guard guard(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = std::move(delegate);
}

void NKURLSessionManager::removeDelegateForTask(const TaskRef& task)
{
    std::lock_guard guard(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task->taskIdentifier());
}

void NKURLSessionManager::removeAllDelegates()
{
    std::lock_guard guard(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_.clear();
}

std::shared_ptr<NKURLSessionManagerTaskDelegate> NKURLSessionManager::newTaskDelegate(
    const TaskRef& task, CompletionHandler completionHandler)
{
    auto delegate = std::make_shared<NKURLSessionManagerTaskDelegate>();
    delegate->manager = sharedAs<NKURLSessionManager>();
    delegate->completionHandler = std::move(completionHandler);
    task->setTaskDescription(taskDescriptionForSessionTasks());
    return delegate;
}

void NKURLSessionManager::addDelegateForDataTask(const DataTaskRef& task, CompletionHandler completionHandler)
{
    setDelegateForTask(newTaskDelegate(task, std::move(completionHandler)), task);
}

void NKURLSessionManager::addDelegateForUploadTask(
    const UploadTaskRef& task, std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler)
{
    auto delegate = newTaskDelegate(task, std::move(completionHandler));
    // A body whose size the task does not know yet (a stream, a file) is measured by the
    // request's declared length, when it has one.
    std::int64_t total = task->countOfBytesExpectedToSend();
    if (total <= 0)
        total = contentLengthOf(task->originalRequest()).value_or(total);
    auto& taskProgress = delegate->progress();
    taskProgress->setTotalUnitCount(total);
    taskProgress->setCancellable(true);
    taskProgress->setPausable(true);
    std::weak_ptr<NSURLSessionUploadTask> weakTask = task;
    taskProgress->setCancellationHandler([weakTask] {
        if (auto strong = weakTask.lock())
            strong->cancel();
    });
    taskProgress->setPausingHandler([weakTask] {
        if (auto strong = weakTask.lock())
            strong->suspend();
    });
    if (progress)
        *progress = taskProgress;
    setDelegateForTask(std::move(delegate), task);
}

void NKURLSessionManager::addDelegateForDownloadTask(const DownloadTaskRef& task, std::shared_ptr<NSProgress>* progress,
    Destination destination, CompletionHandler completionHandler)
{
    auto delegate = newTaskDelegate(task, std::move(completionHandler));
    if (destination) {
        delegate->downloadTaskDidFinishDownloading = [destination](const SessionRef&, const DownloadTaskRef& download,
                                                         const NSURL& location) { return destination(location, download->response()); };
    }
    if (progress)
        *progress = delegate->progress();
    setDelegateForTask(std::move(delegate), task);
}

// Task creation: one at a time on the shared creation queue.

NKURLSessionManager::DataTaskRef NKURLSessionManager::dataTaskWithRequest(
    const std::shared_ptr<NSURLRequest>& request, CompletionHandler completionHandler)
{
    DataTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->dataTaskWithRequest(request); });
    if (!task)
        return nullptr;
    addDelegateForDataTask(task, std::move(completionHandler));
    return task;
}

NKURLSessionManager::UploadTaskRef NKURLSessionManager::uploadTaskWithRequestFromFile(const std::shared_ptr<NSURLRequest>& request,
    const NSURL& fileURL, std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler)
{
    UploadTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->uploadTaskWithRequestFromFile(request, fileURL); });
    // A background session may refuse a task for a while; ask it again a few times.
    bool background = sessionConfiguration_->identifier.has_value();
    for (int attempt = 0; !task && recreateUploads_ && background && attempt < 3; ++attempt)
        task = session_->uploadTaskWithRequestFromFile(request, fileURL);
    if (!task)
        return nullptr;
    addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

NKURLSessionManager::UploadTaskRef NKURLSessionManager::uploadTaskWithRequestFromData(const std::shared_ptr<NSURLRequest>& request,
    const Bytes& bodyData, std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler)
{
    UploadTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->uploadTaskWithRequest(request, bodyData); });
    if (!task)
        return nullptr;
    addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

NKURLSessionManager::UploadTaskRef NKURLSessionManager::uploadTaskWithStreamedRequest(
    const std::shared_ptr<NSURLRequest>& request, std::shared_ptr<NSProgress>* progress, CompletionHandler completionHandler)
{
    UploadTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->uploadTaskWithStreamedRequest(request); });
    if (!task)
        return nullptr;
    addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

NKURLSessionManager::DownloadTaskRef NKURLSessionManager::downloadTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
    std::shared_ptr<NSProgress>* progress, Destination destination, CompletionHandler completionHandler)
{
    DownloadTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->downloadTaskWithRequest(request); });
    if (!task)
        return nullptr;
    addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

NKURLSessionManager::DownloadTaskRef NKURLSessionManager::downloadTaskWithResumeData(const Bytes& resumeData,
    std::shared_ptr<NSProgress>* progress, Destination destination, CompletionHandler completionHandler)
{
    DownloadTaskRef task;
    dispatch_sync(net::sessionManagerCreationQueue(), [&] { task = session_->downloadTaskWithResumeData(resumeData); });
    if (!task)
        return nullptr;
    addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

std::shared_ptr<NSProgress> NKURLSessionManager::uploadProgressForTask(const TaskRef& task) const
{
    auto delegate = task ? delegateForTask(task) : nullptr;
    return delegate ? delegate->progress() : nullptr;
}

std::shared_ptr<NSProgress> NKURLSessionManager::downloadProgressForTask(const TaskRef& task) const
{
    return uploadProgressForTask(task);
}

// Task lists.

std::vector<NKURLSessionManager::TaskRef> NKURLSessionManager::tasksForKeyPath(const std::string& keyPath) const
{
    // The answer comes on the delegate queue: waiting for it there would wait forever.
    if (NSOperationQueue::currentQueue() == operationQueue_)
        return {};
    std::vector<TaskRef> found;
    auto semaphore = dispatch_semaphore_create(0);
    session_->getTasksWithCompletionHandler([&](auto dataTasks, auto uploadTasks, auto downloadTasks) {
        if (keyPath == "dataTasks" || keyPath == "tasks")
            found.insert(found.end(), dataTasks.begin(), dataTasks.end());
        if (keyPath == "uploadTasks" || keyPath == "tasks")
            found.insert(found.end(), uploadTasks.begin(), uploadTasks.end());
        if (keyPath == "downloadTasks" || keyPath == "tasks")
            found.insert(found.end(), downloadTasks.begin(), downloadTasks.end());
        dispatch_semaphore_signal(semaphore);
    });
    dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
    return found;
}

std::vector<NKURLSessionManager::TaskRef> NKURLSessionManager::tasks() const { return tasksForKeyPath("tasks"); }
std::vector<NKURLSessionManager::TaskRef> NKURLSessionManager::dataTasks() const { return tasksForKeyPath("dataTasks"); }
std::vector<NKURLSessionManager::TaskRef> NKURLSessionManager::uploadTasks() const { return tasksForKeyPath("uploadTasks"); }
std::vector<NKURLSessionManager::TaskRef> NKURLSessionManager::downloadTasks() const { return tasksForKeyPath("downloadTasks"); }

void NKURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks)
{
    dispatch_async(dispatch_get_main_queue(), [session = session_, cancelPendingTasks] {
        if (cancelPendingTasks)
            session->invalidateAndCancel();
        else
            session->finishTasksAndInvalidate();
    });
}

// Resume and suspend of any session task: re-announced on the main queue for our own.

void NKURLSessionManager::taskDidResume(const std::shared_ptr<NSNotification>& notification)
{
    auto task = std::dynamic_pointer_cast<NSURLSessionTask>(notification->object());
    if (!task || task->taskDescription() != taskDescriptionForSessionTasks())
        return;
    dispatch_async(dispatch_get_main_queue(), [task] {
        NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingTaskDidResumeNotification, task);
    });
}

void NKURLSessionManager::taskDidSuspend(const std::shared_ptr<NSNotification>& notification)
{
    auto task = std::dynamic_pointer_cast<NSURLSessionTask>(notification->object());
    if (!task || task->taskDescription() != taskDescriptionForSessionTasks())
        return;
    dispatch_async(dispatch_get_main_queue(), [task] {
        NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingTaskDidSuspendNotification, task);
    });
}

// Settings.

std::shared_ptr<NKHTTPResponseSerializer> NKURLSessionManager::responseSerializer() const
{
    std::lock_guard guard(settingsMutex_);
    return responseSerializer_;
}

void NKURLSessionManager::setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer)
{
    std::lock_guard guard(settingsMutex_);
    responseSerializer_ = std::move(serializer);
}

std::shared_ptr<NKSecurityPolicy> NKURLSessionManager::securityPolicy() const
{
    std::lock_guard guard(settingsMutex_);
    return securityPolicy_;
}

void NKURLSessionManager::setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy)
{
    std::lock_guard guard(settingsMutex_);
    securityPolicy_ = std::move(policy);
}

dispatch_queue_t NKURLSessionManager::completionQueue() const
{
    std::lock_guard guard(settingsMutex_);
    return completionQueue_;
}

void NKURLSessionManager::setCompletionQueue(dispatch_queue_t queue)
{
    std::lock_guard guard(settingsMutex_);
    completionQueue_ = std::move(queue);
}

dispatch_group_t NKURLSessionManager::completionGroup() const
{
    std::lock_guard guard(settingsMutex_);
    return completionGroup_;
}

void NKURLSessionManager::setCompletionGroup(dispatch_group_t group)
{
    std::lock_guard guard(settingsMutex_);
    completionGroup_ = std::move(group);
}

std::shared_ptr<NKURLSessionManager> NKURLSessionManager::copy() const
{
    auto other = initWithSessionConfiguration(session_->configuration());
    copySettingsTo(*other);
    return other;
}

void NKURLSessionManager::copySettingsTo(NKURLSessionManager& other) const
{
    if (auto policy = securityPolicy())
        other.setSecurityPolicy(policy->copy());
    other.setMaximumResponseDataLength(maximumResponseDataLength());
}
