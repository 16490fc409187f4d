// Errors of the URL loading system: every failure the loader reports reads as what happened.
#include <gtest/gtest.h>

#include "platform/network/URLError.h"

TEST(URLError, EveryFailureOfTheLoaderHasADescriptionOfItsOwn)
{
    const std::int64_t codes[] = { NSURLErrorCancelled, NSURLErrorBadURL, NSURLErrorTimedOut, NSURLErrorUnsupportedURL,
        NSURLErrorCannotFindHost, NSURLErrorCannotConnectToHost, NSURLErrorNetworkConnectionLost,
        NSURLErrorHTTPTooManyRedirects, NSURLErrorBadServerResponse, NSURLErrorUserCancelledAuthentication,
        NSURLErrorCannotDecodeContentData, NSURLErrorRequestBodyStreamExhausted, NSURLErrorSecureConnectionFailed };
    for (std::int64_t code : codes) {
        auto error = network::urlError(code, NSURL::URLWithString("http://h/p"));
        EXPECT_NE(error->localizedDescription(), "unknown error") << code;
        EXPECT_EQ(error->userInfo()[NSURLErrorFailingURLErrorKey].asString(), "http://h/p");
    }
}
