#include "platform/CloseRequest.h"

#include <SDL.h>

#include <windows.h>

namespace {

// Wakes the message loop from its wait, so that it sees the close request at once.
void WakeMessageLoop()
{
    SDL_Event wake {};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
}

// The console's events, on a thread of their own. Ctrl+C and Ctrl+Break close the program as the window's close
// does; when the console closes or the session ends, the system ends the process as soon as this returns, so it
// waits here while the program saves and ends itself.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        RequestCloseFromOutside();
        WakeMessageLoop();
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        RequestCloseFromOutside();
        WakeMessageLoop();
        ::Sleep(10000);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void CloseOnQuitSignals()
{
    ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}
