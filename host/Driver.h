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
//   tap ... until <kind> <text>
//                           tap, then wait as "waitfor <kind> <text>" does; while nothing came
//                           within a second, tap again (for a control that does nothing until
//                           a reply has arrived: "tap title 省 until title 广东省")
//   longpress point <x> <y> long-press a point (long-press recognisers go through began, ended)
//   longpress title <text>  ... the centre of the view showing <text>
//   type <text>             type into the first responder, key by key; "\n" presses return,
//                           "\b" deletes backwards, "\\" is a backslash
//   scroll by <dx> <dy> [at <x> <y>]
//                           drag the content of the scroll view under the point (the screen's
//                           centre by default) so that its offset moves by dx, dy; a released
//                           finger lets it come back inside the content
//   scroll title <text>     scroll until a view showing <text> is in sight: the scroll views
//                           holding it bring it in; rows not made yet are found by dragging the
//                           largest scroll view down a page at a time from its top
//   pick <file>             the image picker on screen picks the picture in <file>
//   pick cancel             ... is cancelled
//   album                   print "album: <n>", then the file name of each picture in the photo
//                           album (the pictures the app saved)
//   album add <file>        copy the picture in <file> into the photo album
//   menu copy               choose Copy in the edit menu on screen (it acts on the first
//                           responder, as the menu does)
//   pasteboard              print "pasteboard: " and the text on the general pasteboard
//   notify <json>           a remote notification with the JSON object as payload arrives while
//                           the app is in front
//   notify opened <json>    ... the person opened it from outside the app: the app was in the
//                           background, hears of it while coming back, then becomes active
//   openurl <url>           another app opens <url> in this one; prints "openurl: handled" or
//                           "openurl: not handled"
//   alert title <text>      answer the alert or action sheet on top by the button's title
//   alert index <n>         ... by the button's index, the one "dump" prints before each button
//                           (alerts: cancel 0, others from 1; sheets: destructive first,
//                           others, cancel last)
//   waitfor title <text>    pump the main run loop until a shown view shows <text>
//   waitfor alert [<text>]  ... until an alert or sheet is up (whose title or message is <text>)
//   waitfor hud <text>      ... until a label of a progress HUD shows <text>
//   waitfor pictures        ... until no picture the app asked for by address is still coming
//   waitfor album <n>       ... until the photo album holds at least <n> pictures
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
//                           "<class> title=\"..\" message=\"..\" buttons=[0 \"..\", 1 \"..\", ..]",
//                           each button after the index "alert index" takes
//   contacts                print "contacts: <n>", then a line per person of the address book
//                           (see host/Contacts.h)
//   snapshot <path.png>     write a PNG of what a person would see (alerts drawn on top); the
//                           name must end in ".png"
//   onerror stop|go         after a failing command stop reading, or go on (the default; the
//                           quillmark executable stops at a script's first error)
//   echo <text>             print <text>
//   help                    print the command list (host/usage.txt)
//   quit                    stop reading
//
// When the commands end (by "quit" or the end of the input) the app is left as a person leaves
// it: it enters the background, then is told it will terminate.
// Every failing command prints "error: <line>: <why>" and makes the run end with status 1.
//
// At a terminal (setTerminal) the driver prints a prompt before reading each line and, after a
// command that succeeded and printed nothing of its own, a short acknowledgement: "ok: " and
// what is on top now (the alert, or the top screen's class and title).
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/uikit/UIView.h"

namespace host {

class Driver {
public:
    explicit Driver(std::ostream& out);
    // Runs commands until the input ends or "quit", then, unless told not to, quits the app
    // (background, terminate); 0 when every command succeeded.
    int run(std::istream& in, bool quitAtEnd = true);
    // Runs one command line and writes what it printed in one piece, so the app's log lines from
    // other threads fall between commands' lines, never inside them; false on "quit".
    bool execute(const std::string& line);
    int failures() const { return failures_; }
    // Prompts and acknowledges each command, for a person at a terminal.
    void setTerminal(bool terminal) { terminal_ = terminal; }
    // As "onerror stop" (true) or "onerror go" (false).
    void setStopOnError(bool stop) { stopOnError_ = stop; }

private:
    bool perform(const std::string& line);
    // Hands what the command printed to the output and flushes it.
    void emit();
    bool fail(const std::string& line, const std::string& why);
    bool tap(const std::string& line, const std::string& how, const std::string& rest);
    bool tapUntil(const std::string& line, const std::string& how, const std::string& rest);
    // The point a tap by "title", "tag" or "point" aims at; "" or why there is none.
    std::string aimAt(const std::string& how, const std::string& rest, CGPoint& point);
    // A wait condition for "waitfor <kind> <text>"; empty with `why` set when malformed.
    std::function<bool()> waitCondition(const std::string& kind, const std::string& text, std::string& why);
    // The commands of what a person does beyond touching and typing (DriverPerson.cpp); false
    // when `command` is none of them.
    bool personCommand(const std::string& line, const std::string& command, const std::string& rest);
    bool answerAlert(const std::string& line, const std::string& how, const std::string& rest);
    bool waitFor(const std::string& line, const std::string& kind, const std::string& text);
    bool setClock(const std::string& line, const std::string& mode);
    bool listContacts(const std::string& line);
    void dump(const std::shared_ptr<UIView>& view, int depth);
    bool snapshot(const std::string& line, const std::string& path);
    void acknowledge(const std::string& line);
    std::ostream& sink_;
    std::ostringstream out_; // what the current command printed
    int failures_ = 0;
    double waitTimeout_ = 10;
    bool stopOnError_ = false;
    bool terminal_ = false;
};

// The prompt printed at a terminal before each command.
inline constexpr const char* kPrompt = "quillmark> ";
// The command list "help" prints.
std::string_view commandList();

// Pumps the main run loop until nothing is ready to run (or `realSeconds` passed).
void settle(double realSeconds = 5);
// Pumps the main run loop (with layout passes) until `done` holds; false after `realSeconds`.
bool waitUntil(const std::function<bool()>& done, double realSeconds);
// Text with "\n", "\b" and "\\" escapes resolved.
std::string unescape(const std::string& text);

} // namespace host
