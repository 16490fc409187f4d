// The phone's screen in a desktop window (SDL2), for a person to click in. The window has the
// screen's size in pixels (points times the screen's scale), scaled down to fit the display it
// opens on or by a chosen factor, and shows what a snapshot shows, redrawn as the app changes; the mouse is a finger (see host/Pointer.h), typed keys go to the
// focused field (return and backspace too). The executable runs the platform clock by the wall
// clock while the window is open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/Pointer.h"

struct SDL_Window;

namespace host {

class HostWindow {
public:
    // Opens the window, `chosenScale` times the screen's pixels when positive, else fitted to the
    // display; null, with `why`, when there is no display to open it on.
    static std::unique_ptr<HostWindow> open(std::string& why, double chosenScale = 0);
    // Whether a window can be opened here; `why` not, when not (no display set, or one that
    // cannot be opened: a window off any screen would never be closed).
    static bool displayAvailable(std::string& why);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Handles the events waiting, lets the app run for a moment and redraws; false once the
    // person closed the window.
    bool step();
    // Steps until the window is closed.
    void run();
    // Draws what the key window shows now.
    void draw();

    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    // Window pixels per point.
    double scale() const { return scale_; }
    std::uint32_t windowId() const;
    // The window's pixels as 0xRRGGBB words, row by row (for tests).
    std::vector<std::uint32_t> pixels() const;

private:
    HostWindow() = default;
    void handleEvents();
    SDL_Window* window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    double scale_ = 1;
    bool closed_ = false;
    bool mouseDown_ = false;
    PointerGestures gestures_;
};

// The image the key window shows now as 0xRRGGBB words, row by row (what draw() puts on screen).
std::vector<std::uint32_t> screenPixels(int& width, int& height);

} // namespace host
