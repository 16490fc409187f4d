// The session manager's callback blocks, kept together so that a callback reads them all at once.
#pragma once

#include "net/NKURLSessionManager.h"

struct NKURLSessionManager::Blocks {
    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid;
    SessionDidReceiveChallengeBlock sessionDidReceiveAuthenticationChallenge;
    SessionDidFinishEventsBlock didFinishEventsForBackgroundURLSession;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection;
    TaskDidReceiveChallengeBlock taskDidReceiveAuthenticationChallenge;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream;
    TaskDidSendBodyDataBlock taskDidSendBodyData;
    TaskDidCompleteBlock taskDidComplete;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData;
    DownloadTaskDidResumeBlock downloadTaskDidResume;
};
