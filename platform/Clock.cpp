#include "platform/Clock.h"

#include <SDL.h>
#include <atomic>

namespace {

class SystemClock final : public Clock {
public:
    std::uint64_t Counter() const override { return SDL_GetPerformanceCounter(); }
    std::uint64_t Frequency() const override { return SDL_GetPerformanceFrequency(); }
};

SystemClock systemClock;
std::atomic<Clock*> current {nullptr};

}  // namespace

std::uint32_t Clock::Milliseconds() const
{
    const std::uint64_t frequency = Frequency();
    const std::uint64_t counter = Counter();
    // Split to avoid overflowing counter * 1000 on long runs.
    return static_cast<std::uint32_t>(counter / frequency * 1000 + counter % frequency * 1000 / frequency);
}

Clock& GetClock()
{
    Clock* clock = current.load(std::memory_order_acquire);
    return clock ? *clock : systemClock;
}

void SetClock(Clock* clock)
{
    current.store(clock, std::memory_order_release);
}
