// The driver's commands for what a person does beyond touching and typing: pictures and the
// album, scrolling, the edit menu and the pasteboard, notifications and incoming URLs.
#include "host/Driver.h"

#include "host/Pictures.h"
#include "host/Scrolling.h"
#include "host/SystemEvents.h"

#include <ostream>
#include <sstream>

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIScreen.h"

namespace host {
namespace {

// "by <dx> <dy> [at <x> <y>]" into the offset and the point (the screen's centre by default).
bool parseScrollBy(const std::string& rest, CGPoint& by, CGPoint& at)
{
    std::istringstream words(rest);
    std::string keyword;
    if (!(words >> keyword >> by.x >> by.y) || keyword != "by")
        return false;
    CGRect screen = UIScreen::mainScreen()->bounds();
    at = { CGRectGetMidX(screen), CGRectGetMidY(screen) };
    if (!(words >> keyword))
        return true;
    return keyword == "at" && (words >> at.x >> at.y) && !(words >> keyword);
}

} // namespace

bool Driver::personCommand(const std::string& line, const std::string& command, const std::string& rest)
{
    auto outcome = [&](const std::string& why) {
        if (!why.empty())
            fail(line, why);
        return true;
    };
    if (command == "pick") {
        if (rest.empty())
            return outcome("expected a picture file or cancel");
        return outcome(rest == "cancel" ? cancelPicker() : pickPicture(rest));
    }
    if (command == "album") {
        if (rest.starts_with("add "))
            return outcome(addToAlbum(rest.substr(4)));
        if (!rest.empty())
            return outcome("expected nothing or add <file>");
        auto names = albumPictures();
        out_ << "album: " << names.size() << "\n";
        for (const auto& name : names)
            out_ << "  " << name << "\n";
        return true;
    }
    if (command == "scroll") {
        if (uikit::topAlert())
            return outcome("an alert is on screen; answer it first");
        if (rest.starts_with("title "))
            return outcome(scrollToTitle(rest.substr(6)));
        CGPoint by, at;
        if (!parseScrollBy(rest, by, at))
            return outcome("expected by <dx> <dy> [at <x> <y>] or title <text>");
        return outcome(scrollBy(at, by));
    }
    if (command == "menu") {
        if (rest != "copy")
            return outcome("the edit menu offers copy");
        settle();
        if (!UIMenuController::sharedMenuController()->isMenuVisible())
            return outcome("no edit menu on screen");
        if (!UIMenuController::sharedMenuController()->performAction("copy:"))
            return outcome("the menu does not offer copy here");
        settle();
        return true;
    }
    if (command == "pasteboard") {
        settle();
        out_ << "pasteboard: " << UIPasteboard::generalPasteboard()->string().value_or("") << "\n";
        return true;
    }
    if (command == "notify") {
        bool opened = rest.starts_with("opened ");
        return outcome(deliverRemoteNotification(opened ? rest.substr(7) : rest, opened));
    }
    if (command == "openurl") {
        bool handled = false;
        auto why = openIncomingURL(rest, handled);
        if (why.empty())
            out_ << "openurl: " << (handled ? "handled" : "not handled") << "\n";
        return outcome(why);
    }
    return false;
}

} // namespace host
