#include "platform/AudioOutput.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {
// Larger requests are bad data, not sounds: a second of the widest format is 768 KB.
constexpr std::uint32_t MaxBufferBytes = 16u << 20;
}  // namespace

AudioOutput::~AudioOutput()
{
    assert(buffers.empty() && "every AudioBuffer must be destroyed before its AudioOutput");
}

std::unique_ptr<AudioBuffer> AudioOutput::CreateBuffer(const AudioFormat& format, std::uint32_t bytes)
{
    if (!format.IsValid() || bytes == 0 || bytes > MaxBufferBytes
        || bytes % static_cast<std::uint32_t>(format.BlockAlign()) != 0)
        return nullptr;
    const std::uint32_t frames = bytes / static_cast<std::uint32_t>(format.BlockAlign());
    return std::unique_ptr<AudioBuffer>(new AudioBuffer(*this, format, frames));
}

void AudioOutput::LoseBuffers()
{
    std::lock_guard guard(mixLock);
    for (AudioBuffer* buffer : buffers) {
        buffer->lost = true;
        std::fill(buffer->samples.begin(), buffer->samples.end(), std::int16_t {0});
    }
}

void AudioOutput::Mix(std::int16_t* out, std::size_t frames)
{
    std::lock_guard guard(mixLock);
    mix.assign(frames * Channels, 0);
    for (AudioBuffer* buffer : buffers)
        buffer->MixInto(mix.data(), static_cast<std::uint32_t>(frames));
    for (std::size_t i = 0; i < mix.size(); ++i)
        out[i] = Limit(mix[i]);
}

// Above the knee the excess u (in units of the room left above the knee) is
// bent by u / sqrt(1 + u^2): it starts with slope 1, so the curve has no
// corner at the knee, and it stays below 1, so even eight full-scale sounds
// at once keep their shape a little under full scale. The conversion
// truncates towards zero, which keeps the result off the rail.
std::int16_t AudioOutput::Limit(std::int32_t sum)
{
    if (sum >= -LimiterKnee && sum <= LimiterKnee)
        return static_cast<std::int16_t>(sum);
    constexpr double Room = 32767.0 - LimiterKnee;
    const double excess = (std::fabs(static_cast<double>(sum)) - LimiterKnee) / Room;
    const double bent = LimiterKnee + Room * excess / std::sqrt(1.0 + excess * excess);
    return static_cast<std::int16_t>(sum < 0 ? -bent : bent);
}
