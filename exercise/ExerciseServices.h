#pragma once
// The sound system and the timers as the exercise reaches them; both may be
// missing (no audio output, no main window in a test), and then every call
// does nothing.

#include "render/IMResourceManager.h"
#include "toolkit/IMTimerService.h"

#include <string>

namespace exercise {

inline std::uint32_t CreateSound(const std::wstring& name)
{
    IMResourceManager* manager = GetResourceManager();
    return manager ? manager->CreateSound(name) : 0;
}
inline void PlaySound(std::uint32_t id)
{
    if (IMResourceManager* manager = GetResourceManager())
        manager->Play(id);
}
inline void StopSound(std::uint32_t id)
{
    if (IMResourceManager* manager = GetResourceManager())
        manager->Stop(id);
}
inline int AddTimer(int ms)
{
    IMTimerService* timers = GetTimerService();
    return timers ? timers->AddTimer(ms) : 0;
}
inline void RemoveTimer(int id)
{
    if (IMTimerService* timers = GetTimerService())
        timers->RemoveTimer(id);
}
template <class F> void ConnectTimer(int id, const IMLifetime* owner, F&& f)
{
    if (IMTimerService* timers = GetTimerService())
        timers->ConnectTimer(id, Tracked<EventSlot>(owner, std::forward<F>(f)));
}

}  // namespace exercise
