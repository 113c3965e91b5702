#pragma once
// The wake event of a thread that feeds a sound buffer: an auto-reset event
// whose timed wait measures playback time. With the SDL device that is wall
// time (BeatWakeEvent); with the manual output a wait times out only when the
// test has advanced the output far enough, and the output waits for every
// feeding thread to settle again before it mixes on, so playback is
// deterministic however the threads are scheduled.

#include <chrono>
#include <condition_variable>
#include <mutex>

enum class WakeReason {
    Signalled,  // Set() was called; the event is reset again
    TimedOut,   // the period passed without Set()
};

class AudioWakeEvent {
public:
    virtual ~AudioWakeEvent() = default;

    // Wakes the waiting thread, or the next Wait when nobody waits yet. Any thread.
    virtual void Set() = 0;
    // Waits until Set() or until `period` of playback has passed. The feeding thread only.
    virtual WakeReason Wait(std::chrono::milliseconds period) = 0;

    // Bracket the life of the feeding thread: BeginFeeding before the thread
    // is created, EndFeeding as the thread's last act. The manual output lets
    // only bracketed threads hold up its playback.
    virtual void BeginFeeding() { }
    virtual void EndFeeding() { }
};

// A Windows-style auto-reset event over a condition variable, timed by the
// steady clock.
class AutoResetEvent final : public AudioWakeEvent {
public:
    void Set() override;
    WakeReason Wait(std::chrono::milliseconds period) override;
    WakeReason WaitUntil(std::chrono::steady_clock::time_point due);

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;  // guarded by mutex
};

// The wake event of the SDL device's feeding threads: an auto-reset event whose
// timed wait ends at the next multiple of the period on the steady clock, never
// later than one period from the call. Every playing sound's thread then wakes
// on the same beat, so eight sounds cost the machine one timer wake-up every
// period instead of eight at scattered moments.
class BeatWakeEvent final : public AudioWakeEvent {
public:
    void Set() override { event.Set(); }
    WakeReason Wait(std::chrono::milliseconds period) override
    {
        return event.WaitUntil(NextBeat(Clock::now(), period));
    }

    using Clock = std::chrono::steady_clock;
    // The first multiple of `period` after `now`, counted from the clock's epoch.
    static Clock::time_point NextBeat(Clock::time_point now, std::chrono::milliseconds period);

private:
    AutoResetEvent event;
};
