#include "platform/SessionEnd.h"

#include "platform/CloseRequest.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <windows.h>

namespace {

WNDPROC sdlWindowProc = nullptr;
std::function<void()> saveAtSessionEnd;

// Sees the session's end before SDL's window procedure sees anything else.
LRESULT CALLBACK SessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYENDSESSION) {
        // Yes, the session may end; the close is asked for now in case the end is only a request.
        RequestCloseFromOutside();
        return TRUE;
    }
    if (message == WM_ENDSESSION && wParam && saveAtSessionEnd) {
        ::OutputDebugStringW(L"zvonkary: the session ends; saving\n");
        const std::function<void()> save = std::move(saveAtSessionEnd);
        saveAtSessionEnd = nullptr;
        save();
        return 0;
    }
    return ::CallWindowProcW(sdlWindowProc, window, message, wParam, lParam);
}

}  // namespace

void SaveWhenTheSessionEnds(SDL_Window* window, std::function<void()> save)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WINDOWS) {
        // SDL's dummy video driver (the tests) has no Windows window.
        return;
    }
    saveAtSessionEnd = std::move(save);
    if (!sdlWindowProc) {
        sdlWindowProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(info.info.win.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SessionWindowProc)));
    }
}
