#include "platform/AudioWakeEvent.h"

void AutoResetEvent::Set()
{
    {
        std::lock_guard guard(mutex);
        signalled = true;
    }
    changed.notify_one();
}

WakeReason AutoResetEvent::Wait(std::chrono::milliseconds period)
{
    return WaitUntil(std::chrono::steady_clock::now() + period);
}

WakeReason AutoResetEvent::WaitUntil(std::chrono::steady_clock::time_point due)
{
    std::unique_lock guard(mutex);
    if (!changed.wait_until(guard, due, [this] { return signalled; }))
        return WakeReason::TimedOut;
    signalled = false;
    return WakeReason::Signalled;
}

BeatWakeEvent::Clock::time_point BeatWakeEvent::NextBeat(Clock::time_point now, std::chrono::milliseconds period)
{
    const auto beat = std::chrono::duration_cast<Clock::duration>(period);
    if (beat <= Clock::duration::zero())
        return now;
    const auto since = now.time_since_epoch();
    return Clock::time_point((since / beat + 1) * beat);
}
