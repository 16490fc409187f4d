// What the phone's system does to the app on the person's behalf: a remote notification
// arriving (while the app is in front, or opened from outside it), another app opening a URL in
// this one, and the app being left for good when the host quits.
#pragma once

#include <string>

namespace host {

// Delivers the notification `payloadJson` (a JSON object) as the system does. With `opened`, the
// person opened it from outside the app: the app was in the background and hears of it while
// coming back (inactive), then becomes active. "" on success, else why not.
std::string deliverRemoteNotification(const std::string& payloadJson, bool opened);
// Another app opens `url` in this one; `handled` is the app's answer. "" or why not.
std::string openIncomingURL(const std::string& url, bool& handled);
// The person leaves the app and the system ends it: it enters the background (resigning active
// first), its background tasks get up to `realSeconds` to end, then it is told it will terminate,
// with the delegate's calls and the notifications of each step; the push client's thread then
// gets up to `realSeconds` to do what that asked of it. Pumps the main loop throughout.
void quitApplication(double realSeconds = 10);

} // namespace host
