#pragma once
// The high-resolution counter and the millisecond clock. The program reads SDL's
// performance counter; tests install a ManualClock and advance it by hand.

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t Counter() const = 0;    // ticks since some start
    virtual std::uint64_t Frequency() const = 0;  // ticks per second
    std::uint32_t Milliseconds() const;           // the counter in milliseconds, wrapping
};

// The clock everything reads: the system clock unless a test installed another.
Clock& GetClock();
// Installs clock (not owned) or, with nullptr, the system clock again.
void SetClock(Clock* clock);

// A clock that moves only when told to; its frequency is 1 MHz.
class ManualClock final : public Clock {
public:
    std::uint64_t Counter() const override { return ticks; }
    std::uint64_t Frequency() const override { return 1'000'000; }
    void AdvanceMs(std::uint64_t ms) { ticks += ms * 1000; }
    void AdvanceUs(std::uint64_t us) { ticks += us; }

private:
    std::uint64_t ticks = 1'000'000;  // starts at one second so that 0 never looks like a time
};
