#include "platform/WindowManager.h"

// Windows' own desktop manages every window and answers a request for full screen.
bool HasWindowManager(SDL_Window*)
{
    return true;
}
