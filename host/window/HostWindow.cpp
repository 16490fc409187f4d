// The desktop window: SDL events in, the key window's snapshot out.
#include "host/window/HostWindow.h"

#include "host/Driver.h"

#include <SDL.h>

#include <chrono>

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

std::unique_ptr<HostWindow> HostWindow::open(std::string& why)
{
#if defined(__SANITIZE_ADDRESS__)
    // The display libraries SDL loads keep a few allocations of their own past their unloading.
    __lsan::ScopedDisabler displayLibraries;
#endif
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = std::string("no display: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<HostWindow> made(new HostWindow);
    auto screen = UIScreen::mainScreen();
    made->scale_ = screen->scale();
    made->width_ = static_cast<int>(screen->bounds().size.width * made->scale_);
    made->height_ = static_cast<int>(screen->bounds().size.height * made->scale_);
    made->window_ = SDL_CreateWindow("Quillmark", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, made->width_,
        made->height_, SDL_WINDOW_SHOWN);
    if (!made->window_) {
        why = std::string("cannot open a window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    SDL_StartTextInput();
    made->draw();
    return made;
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
    auto pixels = screenPixels(width, height);
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (pixels.empty() || !target)
        return;
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
