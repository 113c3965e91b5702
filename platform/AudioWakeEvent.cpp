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
    std::unique_lock guard(mutex);
    if (!changed.wait_for(guard, period, [this] { return signalled; }))
        return WakeReason::TimedOut;
    signalled = false;
    return WakeReason::Signalled;
}
