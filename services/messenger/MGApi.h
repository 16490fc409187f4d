// MGApi: this app's side of the messenger's app-to-app protocol. The app registers its messenger
// app id once; when the messenger app opens this app again (a URL whose scheme is that id),
// handleOpenURL turns what it brought into a request for the delegate's onReq or a response for
// its onResp. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSURL.h"
#include "services/messenger/MGApiObject.h"

class MGApiDelegate {
public:
    virtual ~MGApiDelegate() = default;
    virtual void onReq(const std::shared_ptr<BaseReq>&) { }
    virtual void onResp(const std::shared_ptr<BaseResp>&) { }
    // Whether the delegate answers each operation; a delegate that does not is not called.
    virtual bool answersOnReq() const { return true; }
    virtual bool answersOnResp() const { return true; }
};

class MGApi final {
public:
    MGApi() = delete;

    // Registers this app's messenger app id; false (and nothing changes) for an empty id.
    static bool registerApp(const std::string& appId);
    static std::string registeredAppId();

    // True when the URL came from the messenger for this app and was handed to the delegate.
    // Without a delegate: false at once.
    static bool handleOpenURL(const NSURL& url, const std::shared_ptr<MGApiDelegate>& delegate);

    // Forgets the registration (tests).
    static void reset();
};
