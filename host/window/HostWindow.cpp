// The desktop window: SDL events in, the key window's snapshot out.
#include "host/window/HostWindow.h"

#include "host/Driver.h"
#include "host/window/Fit.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/graphics/Image.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace host {
namespace {

double nowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Room left on the display for the window's title bar and frame, which are not known before
// the window is shown.
constexpr int kDecorationRoom = 48;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Initialises SDL's video on a real display. SDL falls back to drawing off screen when it finds
// no display; that window could never be seen nor closed, so it counts as none here unless
// SDL_VIDEODRIVER asked for it.
bool initVideo(std::string& why)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = std::string("no display: ") + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    bool headless = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (!headless || environment("SDL_VIDEODRIVER") == driver)
        return true;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::string x = environment("DISPLAY"), wayland = environment("WAYLAND_DISPLAY");
    if (x.empty() && wayland.empty())
        why = "no window can be opened: there is no display (DISPLAY is not set)";
    else
        why = "no window can be opened: the display " + (x.empty() ? wayland : x) + " cannot be opened";
    return false;
}

} // namespace

std::vector<std::uint32_t> screenPixels(int& width, int& height)
{
    width = height = 0;
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto image = window ? window->snapshotImage() : nullptr;
    if (!image)
        return {};
    const CGImageRef& cg = image->CGImage();
    width = static_cast<int>(cg->width());
    height = static_cast<int>(cg->height());
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        cg->copyRowARGB32(static_cast<std::size_t>(y), pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    for (auto& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

std::unique_ptr<HostWindow> HostWindow::open(std::string& why, double chosenScale)
{
#if defined(__SANITIZE_ADDRESS__)
    // The display libraries SDL loads keep a few allocations of their own past their unloading.
    __lsan::ScopedDisabler displayLibraries;
#endif
    if (!initVideo(why))
        return nullptr;
    std::unique_ptr<HostWindow> made(new HostWindow);
    auto screen = UIScreen::mainScreen();
    made->screenWidth_ = static_cast<int>(screen->bounds().size.width * screen->scale());
    made->screenHeight_ = static_cast<int>(screen->bounds().size.height * screen->scale());
    SDL_Rect room { 0, 0, 0, 0 };
    if (SDL_GetDisplayUsableBounds(0, &room) != 0)
        room = { 0, 0, 0, 0 };
    auto size = fitWindow(made->screenWidth_, made->screenHeight_, room.w, room.h - kDecorationRoom, chosenScale);
    made->width_ = size.width;
    made->height_ = size.height;
    made->scale_ = screen->scale() * size.factor;
    // Centred in the room, below the title bar.
    int x = room.w > 0 ? room.x + std::max(0, (room.w - size.width) / 2) : int(SDL_WINDOWPOS_CENTERED);
    int y = room.h > 0 ? room.y + std::max(0, (room.h - size.height + kDecorationRoom) / 2) : int(SDL_WINDOWPOS_CENTERED);
    made->window_ = SDL_CreateWindow("Quillmark", x, y, made->width_, made->height_, SDL_WINDOW_SHOWN);
    if (!made->window_) {
        why = std::string("cannot open a window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_StartTextInput();
    made->draw();
    return made;
}

bool HostWindow::displayAvailable(std::string& why)
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler displayLibraries;
#endif
    if (!initVideo(why))
        return false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return true;
}

HostWindow::~HostWindow()
{
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_StopTextInput();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::uint32_t HostWindow::windowId() const { return SDL_GetWindowID(window_); }

void HostWindow::handleEvents()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        double t = nowSeconds();
        switch (event.type) {
        case SDL_QUIT:
            closed_ = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                closed_ = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT) {
                mouseDown_ = true;
                gestures_.press({ event.button.x / scale_, event.button.y / scale_ }, t);
            }
            break;
        case SDL_MOUSEMOTION:
            if (mouseDown_)
                gestures_.move({ event.motion.x / scale_, event.motion.y / scale_ }, t);
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT && mouseDown_) {
                mouseDown_ = false;
                gestures_.release({ event.button.x / scale_, event.button.y / scale_ }, t);
            }
            break;
        case SDL_TEXTINPUT:
            typeKeys(event.text.text);
            break;
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)
                typeKeys("\n");
            else if (event.key.keysym.sym == SDLK_BACKSPACE)
                typeKeys("\b");
            break;
        default:
            break;
        }
    }
    if (mouseDown_)
        gestures_.tick(nowSeconds());
}

bool HostWindow::step()
{
    handleEvents();
    if (closed_)
        return false;
    waitUntil([] { return false; }, 1.0 / 30);
    draw();
    return !closed_;
}

void HostWindow::run()
{
    while (step()) {
    }
}

void HostWindow::draw()
{
    int width = 0, height = 0;
    auto full = screenPixels(width, height);
    auto pixels = resample(full, width, height, width_, height_);
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (pixels.empty() || !target)
        return;
    width = width_;
    height = height_;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        pixels.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!source)
        return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
}

std::vector<std::uint32_t> HostWindow::pixels() const
{
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface)
        return {};
    std::vector<std::uint32_t> out(static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h));
    SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels, surface->pitch,
        SDL_PIXELFORMAT_RGB888, out.data(), surface->w * 4);
    for (auto& p : out)
        p &= 0xFFFFFF;
    return out;
}

} // namespace host
