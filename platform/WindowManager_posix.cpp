#include "platform/WindowManager.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xatom.h>

namespace {

int IgnoreError(Display*, XErrorEvent*)
{
    return 0;
}

// The window named by `window`'s check property, or None.
Window CheckWindow(Display* display, Window window, Atom check)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &left, &data)
            == Success
        && type == XA_WINDOW && format == 32 && count == 1 && data != nullptr)
        named = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return named;
}

}  // namespace

bool HasWindowManager(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return false;
    if (info.subsystem != SDL_SYSWM_X11)
        return true;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Window named = CheckWindow(display, DefaultRootWindow(display), check);
    if (named == None)
        return false;
    // The named window may be gone: asking about it then raises an X error, which is no reason to stop.
    XSync(display, False);
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(IgnoreError);
    const bool alive = CheckWindow(display, named, check) == named;
    XSync(display, False);
    XSetErrorHandler(previous);
    return alive;
}
