#include "platform/AudioOutput.h"

#include <algorithm>
#include <cassert>

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
        out[i] = static_cast<std::int16_t>(std::clamp(mix[i], -32768, 32767));
}
