#include "platform/Messages.h"

#include "platform/DebugOutput.h"
#include "platform/InputTranslation.h"

#include <SDL.h>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex registryMutex;
std::map<std::wstring, unsigned, std::less<>> registry;  // name -> number, from 0xC000

// The SDL event type that carries posted messages; registered once.
Uint32 PostedEventType()
{
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

// Main thread only: messages already translated but not yet taken (one SDL event
// can make several messages, a key down and its character).
std::deque<Msg> pending;
InputState inputState;

// Set by the signal handler, taken by PeekMessage.
volatile std::sig_atomic_t closeSignalled = 0;
// Main thread only: a signal's close request was taken.
bool closedBySignal = false;

extern "C" void OnQuitSignal(int)
{
    closeSignalled = 1;
}

}  // namespace

unsigned RegisterWindowMessage(std::wstring_view name)
{
    std::lock_guard lock(registryMutex);
    auto it = registry.find(name);
    if (it != registry.end())
        return it->second;
    const unsigned number = 0xC000 + static_cast<unsigned>(registry.size());
    registry.emplace(std::wstring(name), number);
    return number;
}

bool PostMessage(unsigned message, std::uint32_t wParam, std::uint32_t lParam)
{
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0)
        return false;
    const Uint32 type = PostedEventType();
    if (type == static_cast<Uint32>(-1))
        return false;
    SDL_Event event {};
    event.type = type;
    event.user.code = static_cast<Sint32>(message);
    event.user.data1 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(wParam));
    event.user.data2 = reinterpret_cast<void*>(static_cast<std::uintptr_t>(lParam));
    if (SDL_PushEvent(&event) != 1) {
        OutputDebugString(std::string("PostMessage: ") + SDL_GetError());
        return false;
    }
    return true;
}

void PostQuitMessage(int exitCode)
{
    PostMessage(WindowMessage::Quit, static_cast<std::uint32_t>(exitCode), 0);
}

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

bool PeekMessage(Msg& out, const Letterbox& letterbox)
{
    if (closeSignalled) {
        closeSignalled = 0;
        closedBySignal = true;
        out = {WindowMessage::Close, 0, 0};
        return true;
    }
    std::vector<Msg> translated;
    SDL_Event event;
    while (pending.empty() && SDL_PollEvent(&event) == 1) {
        if (event.type == PostedEventType()) {
            pending.push_back({static_cast<unsigned>(event.user.code),
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(event.user.data1)),
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(event.user.data2))});
            continue;
        }
        translated.clear();
        TranslateEvent(event, letterbox, SDL_GetModState(), inputState, translated);
        pending.insert(pending.end(), translated.begin(), translated.end());
    }
    if (pending.empty())
        return false;
    out = pending.front();
    pending.pop_front();
    return true;
}

void WaitMessage(int timeoutMs)
{
    if (!pending.empty())
        return;
    SDL_WaitEventTimeout(nullptr, timeoutMs);
}

bool ClosedBySignal()
{
    return closedBySignal;
}
