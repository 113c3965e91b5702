#pragma once
// The audio output, the stand-in for a DirectSound device: it creates sound
// buffers and mixes every playing one into 44100 Hz stereo 16-bit frames. Two
// outputs exist: AudioDevice plays through SDL in real time, AudioManualOutput
// plays only when a test tells it to. Each also decides how long a feeding
// thread's wait for its wake event lasts (see AudioWakeEvent), so that with the
// manual output those waits run on playback time instead of wall time.
//
// Provides: buffer creation, the mixer, the wake events, simulated loss.
// Leaves out: a primary buffer (the device is opened at the mixer's format,
// which is what setting the primary buffer's format achieved) and cooperative
// levels (SDL shares the device with other programs by itself).

#include "platform/AudioBuffer.h"
#include "platform/AudioWakeEvent.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class AudioOutput {
public:
    static constexpr int Rate = 44100;  // output frames per second
    static constexpr int Channels = 2;  // interleaved left, right

    virtual ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // A stopped, silent buffer of `bytes` bytes, or null when the format is
    // unusable or the size is not a positive whole number of frames. Buffers
    // must be destroyed before the output.
    std::unique_ptr<AudioBuffer> CreateBuffer(const AudioFormat& format, std::uint32_t bytes);

    // The wake event of one feeding thread (auto-reset, not signalled).
    virtual std::unique_ptr<AudioWakeEvent> CreateWakeEvent() = 0;

    // Marks every buffer lost, as when another program takes the device.
    void LoseBuffers();

    // The mixer's limiter for one summed sample: sums within LimiterKnee pass
    // unchanged; louder ones bend smoothly towards full scale and never reach
    // it, so sounds that add up above full scale are neither wrapped nor
    // flattened against the 16-bit rails.
    static std::int16_t Limit(std::int32_t sum);
    static constexpr std::int32_t LimiterKnee = 23197;  // -3 dBFS

protected:
    AudioOutput() = default;

    // Mixes `frames` frames of every playing buffer into out (interleaved
    // stereo) through Limit; silence when nothing plays.
    void Mix(std::int16_t* out, std::size_t frames);

private:
    friend class AudioBuffer;

    std::mutex mixLock;                 // guards the buffer list and every buffer's state and samples
    std::vector<AudioBuffer*> buffers;  // registered by AudioBuffer's constructor and destructor
    std::vector<std::int32_t> mix;      // the mixer's accumulator, reused between calls
};
