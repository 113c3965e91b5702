#include "platform/AudioManualOutput.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <stdexcept>

namespace {
// Wall time a feeding thread may take for one wake-up before Advance calls it stuck.
constexpr auto SettleLimit = std::chrono::seconds(20);
}  // namespace

// The state lives under the output's `pace` mutex, so Advance can see at once
// whether every feeding thread is parked.
class AudioManualOutput::Event final : public AudioWakeEvent {
public:
    explicit Event(AudioManualOutput& output)
        : output(output)
    {
        std::lock_guard guard(output.pace);
        output.events.push_back(this);
    }

    ~Event() override
    {
        std::lock_guard guard(output.pace);
        std::erase(output.events, this);
    }

    void Set() override
    {
        std::lock_guard guard(output.pace);
        signalled = true;
        output.changed.notify_all();
    }

    WakeReason Wait(std::chrono::milliseconds period) override
    {
        std::unique_lock guard(output.pace);
        waiting = true;
        timedOut = false;
        deadline = output.framesPlayed + static_cast<std::uint64_t>(period.count()) * Rate / 1000;
        output.changed.notify_all();
        output.changed.wait(guard, [this] { return signalled || timedOut; });
        waiting = false;
        if (signalled) {
            signalled = false;
            return WakeReason::Signalled;
        }
        return WakeReason::TimedOut;
    }

    void BeginFeeding() override
    {
        std::lock_guard guard(output.pace);
        feeding = true;
    }

    void EndFeeding() override
    {
        std::lock_guard guard(output.pace);
        feeding = false;
        output.changed.notify_all();
    }

    // Parked: blocked in Wait with nothing that would wake it.
    bool Settled() const { return !feeding || (waiting && !signalled && !timedOut); }
    bool Waiting() const { return feeding && waiting; }

    AudioManualOutput& output;
    bool feeding = false;        // between BeginFeeding and EndFeeding
    bool waiting = false;        // inside Wait
    bool signalled = false;      // Set and not yet consumed by a Wait
    bool timedOut = false;       // Advance passed the deadline of the current Wait
    std::uint64_t deadline = 0;  // playback frame at which the current Wait times out
};

AudioManualOutput::AudioManualOutput(bool keepSamples)
    : keepSamples(keepSamples)
{
}

AudioManualOutput::~AudioManualOutput()
{
    assert(events.empty() && "every wake event must be destroyed before its AudioManualOutput");
}

std::unique_ptr<AudioWakeEvent> AudioManualOutput::CreateWakeEvent()
{
    return std::make_unique<Event>(*this);
}

std::uint64_t AudioManualOutput::FramesPlayed() const
{
    std::lock_guard guard(pace);
    return framesPlayed;
}

bool AudioManualOutput::Settled() const
{
    return std::all_of(events.begin(), events.end(), [](const Event* event) { return event->Settled(); });
}

void AudioManualOutput::Advance(std::uint64_t frames)
{
    std::unique_lock guard(pace);
    const std::uint64_t target = framesPlayed + frames;
    for (;;) {
        if (!changed.wait_for(guard, SettleLimit, [this] { return Settled(); }))
            throw std::runtime_error("AudioManualOutput: a feeding thread did not wait again");
        if (framesPlayed >= target)
            return;
        // Mix up to the earliest wake-up due before the target, then hand that turn to the threads.
        std::uint64_t next = target;
        for (const Event* event : events)
            if (event->Waiting())
                next = std::min(next, std::max(event->deadline, framesPlayed));
        MixUntil(next);
        for (Event* event : events)
            if (event->Waiting() && event->deadline <= framesPlayed)
                event->timedOut = true;
        changed.notify_all();
    }
}

void AudioManualOutput::MixUntil(std::uint64_t frame)
{
    constexpr std::uint64_t Chunk = 4096;
    std::int16_t scratch[Chunk * Channels];
    while (framesPlayed < frame) {
        const std::uint64_t count = std::min(Chunk, frame - framesPlayed);
        Mix(scratch, count);
        if (keepSamples)
            samples.insert(samples.end(), scratch, scratch + count * Channels);
        framesPlayed += count;
    }
}
