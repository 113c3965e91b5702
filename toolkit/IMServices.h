#pragma once
// The process-wide services as controls and screens reach them: the sound
// system and the main window's timers. Either may be missing (no audio output,
// no main window in a test); then every call does nothing and returns 0.
// The picture side is reached through GetResourceManager() itself.

#include "media/sound/CSoundSystem.h"
#include "toolkit/IMTimerService.h"

#include <cstdint>
#include <string_view>
#include <utility>

inline std::uint32_t CreateSound(std::wstring_view name)
{
    CSoundSystem* sound = GetSoundSystem();
    return sound ? sound->CreateSound(name) : 0;
}
inline void PlaySound(std::uint32_t id)
{
    if (CSoundSystem* sound = GetSoundSystem())
        sound->Play(id);
}
inline void StopSound(std::uint32_t id)
{
    if (CSoundSystem* sound = GetSoundSystem())
        sound->Stop(id);
}
// Connects f to the end of sound id for as long as owner lives.
template <class F> IMConnection ConnectSoundEnded(std::uint32_t id, const IMLifetime* owner, F&& f)
{
    CSoundSystem* sound = GetSoundSystem();
    return sound ? sound->ConnectSoundEnded(id, Tracked<SoundSlot>(owner, std::forward<F>(f))) : IMConnection();
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
// Connects f to timer id for as long as owner lives.
template <class F> IMConnection ConnectTimer(int id, const IMLifetime* owner, F&& f)
{
    IMTimerService* timers = GetTimerService();
    return timers ? timers->ConnectTimer(id, Tracked<EventSlot>(owner, std::forward<F>(f))) : IMConnection();
}
