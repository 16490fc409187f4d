// The phone's remote-notification service, as far as the host plays it. A push service hands
// a notification for the phone to that service, which shows it to the app; there is none here,
// so the local push service sends the notification over the push client's own connection, as a
// message whose "extras" hold the notification's payload (an "aps" dictionary among them). The
// relay hears each message the push client posts and delivers such a payload to the app as a
// remote notification (while the app is in front). Messages without one are left to the app.
#pragma once

namespace host {

void startNotificationRelay();
void stopNotificationRelay();

} // namespace host
