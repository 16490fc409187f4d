// The host's command driver.
#include "host/Driver.h"

#include "host/Contacts.h"
#include "host/ScreenRegistry.h"
#include "host/SystemEvents.h"
#include "host/ViewSearch.h"

#include <chrono>
#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>
#include <utility>

#include "image/WIImageManager.h"
#include "platform/foundation/Clock.h"
#include "platform/threading/NSRunLoop.h"
#include "platform/threading/NSThread.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIKitCore.h"
#include "platform/uikit/PhotoAlbum.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

double realNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string number(double v)
{
    std::ostringstream s;
    s << (std::abs(v) < 1e-9 ? 0.0 : v);
    return s.str();
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// The first word of `text` and what follows the space after it.
std::pair<std::string, std::string> firstWord(const std::string& text)
{
    std::istringstream words(text);
    std::string word, rest;
    words >> word;
    std::getline(words, rest);
    if (!rest.empty() && rest.front() == ' ')
        rest.erase(0, 1);
    return { word, rest };
}

} // namespace

void settle(double realSeconds)
{
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    double deadline = realNow() + realSeconds;
    int quiet = 0;
    while (realNow() < deadline && quiet < 3) {
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.002, true);
        quiet = loop->hasReadyWork(NSDefaultRunLoopMode) ? 0 : quiet + 1;
    }
    uikit::runUpdatePass();
}

bool waitUntil(const std::function<bool()>& done, double realSeconds)
{
    threading::becomeMainThread();
    auto loop = NSRunLoop::mainRunLoop();
    double deadline = realNow() + realSeconds;
    for (;;) {
        uikit::runUpdatePass();
        if (done())
            return true;
        if (realNow() >= deadline)
            return false;
        loop->runInModeForRealSeconds(NSDefaultRunLoopMode, 0.01, true);
    }
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        out += next == 'n' ? '\n' : next == 'b' ? '\b' : next;
    }
    return out;
}

Driver::Driver(std::ostream& out)
    : sink_(out)
{
    if (!foundation::clock::isVirtual())
        foundation::clock::useVirtualTime(foundation::clock::now());
}

int Driver::run(std::istream& in, bool quitAtEnd)
{
    std::string line;
    for (;;) {
        if (terminal_)
            sink_ << kPrompt << std::flush;
        if (!std::getline(in, line)) {
            if (terminal_)
                sink_ << "\n" << std::flush;
            break;
        }
        int before = failures_;
        if (!execute(line))
            break;
        bool failed = failures_ > before;
        if (terminal_ && !failed) {
            acknowledge(line);
            emit();
        }
        if (stopOnError_ && failed)
            break;
    }
    if (quitAtEnd)
        quitApplication();
    return failures_ == 0 ? 0 : 1;
}

bool Driver::fail(const std::string& line, const std::string& why)
{
    ++failures_;
    out_ << "error: " << line << ": " << why << "\n";
    return true;
}

void Driver::emit()
{
    std::string text = std::move(out_).str();
    out_.str({});
    if (text.empty())
        return;
    sink_.write(text.data(), static_cast<std::streamsize>(text.size()));
    sink_.flush();
}

bool Driver::execute(const std::string& line)
{
    bool goOn = perform(line);
    emit();
    return goOn;
}

bool Driver::perform(const std::string& raw)
{
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] == '#')
        return true;
    line = line.substr(start);
    auto [command, rest] = firstWord(line);

    auto window = UIApplication::sharedApplication()->keyWindow();
    if (command == "quit")
        return false;
    if (command == "settle") {
        settle();
        return true;
    }
    if (command == "open") {
        if (rest.empty())
            return fail(line, "expected a screen name");
        if (auto why = openScreen(rest); !why.empty())
            return fail(line, why);
        settle();
        return true;
    }
    if (command == "back") {
        if (auto why = closeTopScreen(); !why.empty())
            return fail(line, why);
        settle();
        return true;
    }
    if (command == "contacts")
        return listContacts(line);
    if (command == "clock")
        return setClock(line, rest);
    if (command == "onerror") {
        if (rest != "stop" && rest != "go")
            return fail(line, "expected stop or go");
        stopOnError_ = rest == "stop";
        return true;
    }
    if (command == "pump") {
        char* end = nullptr;
        double seconds = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str() || !(seconds > 0) || seconds > 3600)
            return fail(line, "expected a number of seconds");
        waitUntil([] { return false; }, seconds);
        settle();
        return true;
    }
    if (command == "timeout") {
        char* end = nullptr;
        double seconds = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str() || !(seconds > 0) || seconds > 86400)
            return fail(line, "expected a number of seconds");
        waitTimeout_ = seconds;
        return true;
    }
    if (command == "echo") {
        out_ << rest << "\n";
        return true;
    }
    if (command == "help") {
        out_ << commandList();
        return true;
    }
    if (command == "advance") {
        char* end = nullptr;
        double seconds = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str() || !(seconds >= 0) || seconds > 1e9)
            return fail(line, "expected a number of seconds");
        settle();
        foundation::clock::advance(seconds);
        settle();
        return true;
    }
    if (command == "type") {
        if (!uikit::typeIntoFirstResponder(unescape(rest)))
            return fail(line, "no text input is first responder");
        settle();
        return true;
    }
    if (command == "dump") {
        settle();
        if (!window)
            return fail(line, "no key window");
        dump(window, 0);
        for (auto& alert : uikit::visibleAlerts()) {
            out_ << alert->className() << " title=" << quoted(alert->title()) << " message=" << quoted(alert->message())
                 << " buttons=[";
            for (NSInteger i = 0; i < alert->numberOfButtons(); ++i)
                out_ << (i ? ", " : "") << i << " " << quoted(alert->buttonTitleAtIndex(i));
            out_ << "]\n";
        }
        return true;
    }
    if (command == "snapshot")
        return snapshot(line, rest);
    if (personCommand(line, command, rest))
        return true;
    auto [how, argument] = firstWord(rest);
    if (command == "tap" && argument.find(" until ") != std::string::npos)
        return tapUntil(line, how, argument);
    if (command == "tap" || command == "longpress")
        return tap(line, command == "tap" ? how : "long " + how, argument);
    if (command == "alert")
        return answerAlert(line, how, argument);
    if (command == "waitfor")
        return waitFor(line, how, argument);
    return fail(line, "unknown command");
}

std::string Driver::aimAt(const std::string& how, const std::string& rest, CGPoint& point)
{
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return "no key window";
    if (how == "point") {
        std::istringstream xy(rest);
        if (!(xy >> point.x >> point.y))
            return "expected x and y";
        return "";
    }
    std::shared_ptr<UIView> target;
    if (how == "title") {
        target = findByTitle(window, rest);
    } else if (how == "tag") {
        char* end = nullptr;
        long tag = std::strtol(rest.c_str(), &end, 10);
        if (end == rest.c_str())
            return "expected a tag number";
        target = window->viewWithTag(tag);
    } else {
        return "aim by title, tag or point";
    }
    if (!target || !shownOnScreen(target))
        return "no such view on screen";
    CGRect r = target->convertRectToView(target->bounds(), window.get());
    point = { CGRectGetMidX(r), CGRectGetMidY(r) };
    return "";
}

bool Driver::tap(const std::string& line, const std::string& how, const std::string& rest)
{
    settle();
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return fail(line, "no key window");
    if (uikit::topAlert())
        return fail(line, "an alert is on screen; answer it first");
    bool longPress = how.starts_with("long ");
    CGPoint point;
    if (auto why = aimAt(longPress ? how.substr(5) : how, rest, point); !why.empty())
        return fail(line, why);
    auto hit = longPress ? window->sendLongPress(point) : window->sendTap(point);
    if (!hit)
        return fail(line, "nothing there to tap");
    settle();
    return true;
}

bool Driver::tapUntil(const std::string& line, const std::string& how, const std::string& rest)
{
    std::size_t split = rest.find(" until ");
    std::string target = rest.substr(0, split);
    auto [kind, text] = firstWord(rest.substr(split + 7));
    std::string why;
    auto done = waitCondition(kind, text, why);
    if (!done)
        return fail(line, why);
    double deadline = realNow() + waitTimeout_;
    for (;;) {
        int before = failures_;
        if (!tap(line, how, target) || failures_ > before)
            return true; // the tap's own failure was reported
        double left = deadline - realNow();
        if (waitUntil(done, std::max(0.0, std::min(1.0, left)))) {
            settle();
            return true;
        }
        if (realNow() >= deadline)
            return fail(line, "nothing such appeared within " + number(waitTimeout_) + " s");
    }
}

bool Driver::answerAlert(const std::string& line, const std::string& how, const std::string& rest)
{
    settle();
    auto alert = uikit::topAlert();
    if (!alert)
        return fail(line, "no alert on screen");
    NSInteger index = -1;
    if (how == "title") {
        index = alert->indexOfButtonWithTitle(rest);
    } else if (how == "index") {
        char* end = nullptr;
        index = std::strtol(rest.c_str(), &end, 10);
        if (end == rest.c_str())
            index = -1;
    } else {
        return fail(line, "answer by title or index");
    }
    if (!alert->tapButtonAtIndex(index))
        return fail(line, "no such button");
    settle();
    return true;
}

std::function<bool()> Driver::waitCondition(const std::string& kind, const std::string& text, std::string& why)
{
    if (kind == "title" || kind == "hud") {
        if (text.empty()) {
            why = "expected the text to wait for";
            return nullptr;
        }
        bool hud = kind == "hud";
        return [hud, text] {
            auto window = UIApplication::sharedApplication()->keyWindow();
            if (!window)
                return false;
            return (hud ? findHudText(window, text) : findByTitle(window, text)) != nullptr;
        };
    }
    if (kind == "alert")
        return [text] { return alertShowing(text); };
    if (kind == "album") {
        char* end = nullptr;
        long count = std::strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || count < 0) {
            why = "expected a number of pictures";
            return nullptr;
        }
        return [count] { return static_cast<long>(uikit::album::imagePaths().size()) >= count; };
    }
    if (kind == "pictures")
        return [] { return !WIImageManager::sharedManager()->isRunning(); };
    why = "wait for a title, an alert, a hud, pictures or the album";
    return nullptr;
}

bool Driver::waitFor(const std::string& line, const std::string& kind, const std::string& text)
{
    std::string why;
    auto done = waitCondition(kind, text, why);
    if (!done)
        return fail(line, why);
    if (!waitUntil(done, waitTimeout_))
        return fail(line, "nothing such appeared within " + number(waitTimeout_) + " s");
    settle();
    return true;
}

bool Driver::setClock(const std::string& line, const std::string& mode)
{
    if (mode == "real") {
        foundation::clock::useRealTime();
    } else if (mode == "virtual") {
        foundation::clock::useVirtualTime(foundation::clock::now());
    } else {
        return fail(line, "expected real or virtual");
    }
    settle();
    return true;
}

bool Driver::listContacts(const std::string& line)
{
    settle();
    auto listing = host::listContacts();
    if (!listing.ok)
        return fail(line, listing.error);
    out_ << "contacts: " << listing.lines.size() << "\n";
    for (const auto& person : listing.lines)
        out_ << "  " << person << "\n";
    return true;
}

bool Driver::snapshot(const std::string& line, const std::string& path)
{
    if (path.empty())
        return fail(line, "expected a file name (<name>.png)");
    if (path.size() < 5 || path.substr(path.size() - 4) != ".png")
        return fail(line, "a snapshot is a PNG: the file name must end in .png");
    settle();
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window)
        return fail(line, "no key window");
    if (!window->writeSnapshot(path))
        return fail(line, "could not write " + path);
    return true;
}

void Driver::acknowledge(const std::string& line)
{
    auto [command, rest] = firstWord(line);
    // These print what they found; an empty line or a comment did nothing.
    static const char* const printing[] = { "", "echo", "help", "dump", "contacts", "pasteboard", "openurl" };
    for (const char* name : printing)
        if (command == name || command.starts_with('#'))
            return;
    if (command == "album" && rest.empty())
        return;
    out_ << "ok: on top: ";
    if (auto alert = uikit::topAlert())
        out_ << alert->className() << " " << quoted(alert->title().empty() ? alert->message() : alert->title());
    else
        out_ << describeTopScreen();
    out_ << "\n";
}

void Driver::dump(const std::shared_ptr<UIView>& view, int depth)
{
    CGRect f = view->frame();
    out_ << std::string(static_cast<std::size_t>(depth) * 2, ' ') << view->className() << " {{" << number(f.origin.x)
         << ", " << number(f.origin.y) << "}, {" << number(f.size.width) << ", " << number(f.size.height) << "}}";
    if (auto text = view->dumpText(); !text.empty())
        out_ << " " << quoted(text);
    if (view->tag() != 0)
        out_ << " tag=" << view->tag();
    if (view->alpha() != 1)
        out_ << " alpha=" << number(view->alpha());
    if (view->isHidden())
        out_ << " hidden";
    out_ << "\n";
    for (auto& sub : view->subviews())
        dump(sub, depth + 1);
}

} // namespace host
