#include "platform/PlatformWindow.h"

#include "platform/DebugOutput.h"
#include "platform/Utf8.h"
#include "platform/WindowManager.h"

#include <algorithm>

#include <SDL.h>

std::unique_ptr<PlatformWindow> PlatformWindow::Create(const std::wstring& title, bool fullscreen, std::string* error)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (error)
            *error = std::string("cannot start SDL video: ") + SDL_GetError();
        return nullptr;
    }
    // Windows' double-click behaviour: the system setting decides; SDL's default is
    // the same 500 ms. Keep the desktop's screen saver and let Alt+Tab work.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    std::unique_ptr<PlatformWindow> result(new PlatformWindow);
    // Full screen starts as a borderless window over the whole display: a
    // desktop without a window manager never answers the full-screen request,
    // and the window then covers the screen all the same.
    SDL_Rect bounds {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, result->letterbox.backBufferWidth,
        result->letterbox.backBufferHeight};
    SDL_Rect display {};
    const bool overDisplay = fullscreen && SDL_GetDisplayBounds(0, &display) == 0;
    if (overDisplay)
        bounds = display;
    const Uint32 flags = SDL_WINDOW_HIDDEN | (fullscreen ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_RESIZABLE);
    result->window = SDL_CreateWindow(ToUtf8(title).c_str(), bounds.x, bounds.y, bounds.w, bounds.h, flags);
    if (result->window && fullscreen && HasWindowManager(result->window)) {
        // SDL waits after showing the window until it sees the window manager
        // move and resize it (100 ms at most); a window that already has the
        // display's size never changes, so it starts smaller and the wait ends
        // as soon as the window manager has made it full screen.
        if (overDisplay) {
            SDL_SetWindowSize(result->window, std::max(1, display.w / 2), std::max(1, display.h / 2));
            SDL_SetWindowPosition(result->window, display.x + display.w / 4, display.y + display.h / 4);
        }
        SDL_SetWindowFullscreen(result->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (!result->window) {
        if (error)
            *error = std::string("cannot create the window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return nullptr;
    }
    // Typed characters come only from text input, in whatever keyboard layout is
    // active (Russian letters included). SDL turns it on by default where there
    // is no on-screen keyboard; asked for here so that nothing depends on that.
    SDL_StartTextInput();
    return result;
}

PlatformWindow::~PlatformWindow()
{
    if (window)
        SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

const Letterbox& PlatformWindow::GetLetterbox()
{
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    if (w > 0 && h > 0) {
        letterbox.windowWidth = w;
        letterbox.windowHeight = h;
    }
    return letterbox;
}

void PlatformWindow::Show()
{
    SDL_ShowWindow(window);
}

void PlatformWindow::Hide()
{
    SDL_HideWindow(window);
}

namespace {
int cursorCount = 0;  // main thread only
}

int ShowCursor(bool show)
{
    cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount;
}

bool IsControlKeyDown()
{
    return (SDL_GetModState() & KMOD_CTRL) != 0;
}
