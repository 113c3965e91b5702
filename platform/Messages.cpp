#include "platform/Messages.h"

#include "platform/CloseRequest.h"
#include "platform/DebugOutput.h"
#include "platform/InputTranslation.h"

#include <SDL.h>
#include <atomic>
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

// Set by RequestCloseFromOutside (a signal handler, another thread), taken by PeekMessage.
std::atomic<bool> closeSignalled {false};
static_assert(std::atomic<bool>::is_always_lock_free, "set inside a signal handler");
// Main thread only: a close request from outside was taken.
bool closedBySignal = false;

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

void RequestCloseFromOutside()
{
    closeSignalled = true;
}

bool PeekMessage(Msg& out, const Letterbox& letterbox)
{
    if (closeSignalled.exchange(false)) {
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
