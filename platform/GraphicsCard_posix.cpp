#include "platform/GraphicsCard.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace {

bool IsVideoDriver(const char* name)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && SDL_strcmp(driver, name) == 0;
}

}  // namespace

bool HasGraphicsCard(SDL_Window* window)
{
    if (IsVideoDriver("dummy") || IsVideoDriver("offscreen"))
        return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return true;
    int opcode = 0, event = 0, error = 0;
    Display* display = info.info.x11.display;
    return XQueryExtension(display, "DRI3", &opcode, &event, &error)
        || XQueryExtension(display, "DRI2", &opcode, &event, &error);
}
