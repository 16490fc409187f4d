// The command driver: runs the application headless from a script or standard input.
//
// One command a line; blank lines and lines starting with "#" are skipped. After every command
// the main run loop is pumped until it is idle ("settled"). The clock runs in virtual time from
// the start, so only "advance" moves it, unless "clock real" says otherwise.
//
//   open <name>             push a new screen registered under <name> onto the key window's
//                           root navigation controller
//   back                    pop the top screen of that navigation controller
//   tap title <text>        tap the centre of the frontmost view showing <text> (a button's
//                           title, a label's or a field's text)
//   tap tag <n>             tap the centre of the first view with tag <n>
//   tap point <x> <y>       tap a point of the key window
//   longpress point <x> <y> long-press a point (long-press recognisers go through began, ended)
//   type <text>             type into the first responder, key by key; "\n" presses return,
//                           "\b" deletes backwards, "\\" is a backslash
//   alert title <text>      answer the alert or action sheet on top by the button's title
//   alert index <n>         ... by the button's index (alerts: cancel 0, others from 1;
//                           sheets: destructive first, others, cancel last)
//   waitfor title <text>    pump the main run loop until a shown view shows <text>
//   waitfor alert [<text>]  ... until an alert or sheet is up (whose title or message is <text>)
//   waitfor hud <text>      ... until a label of a progress HUD shows <text>
//                           Each fails after the wait time-out, in real seconds. Use it after
//                           a tap that sends a request: replies arrive on their own time.
//   timeout <seconds>       set the wait time-out (real seconds; 10 at the start)
//   pump <seconds>          pump the main run loop for that many real seconds, for replies
//                           that change nothing on screen (a list kept for a later tap)
//   clock real|virtual      run the platform clock by the wall clock from now on, or freeze it
//                           at the present moment again (then only "advance" moves it)
//   advance <seconds>       move virtual time forward (due timers, animation completions,
//                           keyboard did-show/did-hide run), then settle
//   settle                  pump the main run loop until idle
//   dump                    print the key window's view tree, one view a line, indented two
//                           spaces a level: class, frame "{{x, y}, {w, h}}", then when present
//                           the text in quotes, "tag=<n>", "alpha=<a>" (when not 1), "hidden";
//                           then a line per alert or sheet on screen:
//                           "<class> title=\"..\" message=\"..\" buttons=[\"..\", ..]"
//   contacts                print "contacts: <n>", then a line per person of the address book
//                           (see host/Contacts.h)
//   snapshot <path.png>     write a PNG of what a person would see (alerts drawn on top)
//   onerror stop|go         after a failing command stop reading, or go on (the default)
//   echo <text>             print <text>
//   quit                    stop reading
//
// Every failing command prints "error: <line>: <why>" and makes the run end with status 1.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/uikit/UIView.h"

namespace host {

class Driver {
public:
    explicit Driver(std::ostream& out);
    // Runs commands until the input ends or "quit"; 0 when every command succeeded.
    int run(std::istream& in);
    // Runs one command line; false on "quit".
    bool execute(const std::string& line);
    int failures() const { return failures_; }

private:
    bool fail(const std::string& line, const std::string& why);
    bool tap(const std::string& line, const std::string& how, const std::string& rest);
    bool answerAlert(const std::string& line, const std::string& how, const std::string& rest);
    bool waitFor(const std::string& line, const std::string& kind, const std::string& text);
    bool setClock(const std::string& line, const std::string& mode);
    bool listContacts(const std::string& line);
    void dump(const std::shared_ptr<UIView>& view, int depth);
    std::ostream& out_;
    int failures_ = 0;
    double waitTimeout_ = 10;
    bool stopOnError_ = false;
};

// Pumps the main run loop until nothing is ready to run (or `realSeconds` passed).
void settle(double realSeconds = 5);
// Pumps the main run loop (with layout passes) until `done` holds; false after `realSeconds`.
bool waitUntil(const std::function<bool()>& done, double realSeconds);
// Text with "\n", "\b" and "\\" escapes resolved.
std::string unescape(const std::string& text);

} // namespace host
