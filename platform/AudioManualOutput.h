#pragma once
// An audio output that plays only when told: Advance(frames) mixes that many
// frames of output at once, as if that much time had passed on a device. The
// wake-ups of feeding threads run on this playback time: Advance mixes up to
// the next wake-up that falls due, wakes those threads, and waits until every
// feeding thread is waiting again (or has ended) before it mixes on. A
// 25-second sound thus plays in milliseconds, and the same steps give the
// same samples and the same notifications on every run.
//
// Provides: stepping, the mixed samples, the playback clock. Leaves out: any
// real device.

#include "platform/AudioOutput.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class AudioManualOutput final : public AudioOutput {
public:
    // keepSamples false drops the mixed frames (for long benchmark runs).
    explicit AudioManualOutput(bool keepSamples = true);
    ~AudioManualOutput() override;

    std::unique_ptr<AudioWakeEvent> CreateWakeEvent() override;

    // Plays `frames` frames of output. Advance(0) only waits for the feeding
    // threads to settle. Throws std::runtime_error when a feeding thread does
    // not settle within seconds of wall time, which means it is stuck.
    void Advance(std::uint64_t frames);
    void AdvanceMs(std::uint64_t ms) { Advance(ms * Rate / 1000); }

    std::uint64_t FramesPlayed() const;
    // Every frame mixed since construction or the last ClearSamples, interleaved stereo.
    const std::vector<std::int16_t>& Samples() const { return samples; }
    void ClearSamples() { samples.clear(); }

private:
    class Event;

    bool Settled() const;
    void MixUntil(std::uint64_t frame);

    mutable std::mutex pace;          // guards everything below and every Event's state
    std::condition_variable changed;  // an event waits, wakes, ends, or playback moved on
    std::vector<Event*> events;       // registered by Event's constructor and destructor
    std::uint64_t framesPlayed = 0;   // the playback clock, in output frames
    const bool keepSamples;
    std::vector<std::int16_t> samples;  // written by Advance only
};
