#include "platform/CloseRequest.h"
#include "platform/Messages.h"

#include <SDL.h>
#include <csignal>

namespace {

extern "C" void OnQuitSignal(int)
{
    RequestCloseFromOutside();
}

}  // namespace

void CloseOnQuitSignals()
{
    // SDL would install its own handlers for two of them when it starts.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action { };
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}
