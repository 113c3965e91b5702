#include "platform/AudioBuffer.h"

#include "platform/AudioOutput.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t One = std::uint64_t {1} << 32;  // one frame in 32.32 fixed point

std::uint32_t IndexOf(std::uint64_t position)
{
    return static_cast<std::uint32_t>(position >> 32);
}

}  // namespace

AudioBuffer::AudioBuffer(AudioOutput& output, const AudioFormat& format, std::uint32_t frames)
    : output(output)
    , format(format)
    , frameCount(frames)
    , step((static_cast<std::uint64_t>(format.rate) << 32) / AudioOutput::Rate)
    , samples(static_cast<std::size_t>(frames) * format.channels, 0)
{
    std::lock_guard guard(output.mixLock);
    output.buffers.push_back(this);
}

AudioBuffer::~AudioBuffer()
{
    std::lock_guard guard(output.mixLock);
    std::erase(output.buffers, this);
}

AudioResult AudioBuffer::Play(bool loop)
{
    std::lock_guard guard(output.mixLock);
    // A lost buffer plays on (silently until it is written again): the feeding
    // thread restores it at its next refill and must see the cursor move.
    if (!playing)
        mixedFrames = 0;
    playing = true;
    looping = loop;
    return AudioResult::Ok;
}

AudioResult AudioBuffer::Stop()
{
    std::lock_guard guard(output.mixLock);
    playing = false;
    return AudioResult::Ok;
}

bool AudioBuffer::IsPlaying() const
{
    std::lock_guard guard(output.mixLock);
    return playing;
}

AudioResult AudioBuffer::GetCurrentPosition(std::uint32_t& playCursor) const
{
    std::lock_guard guard(output.mixLock);
    playCursor = IndexOf(position) * static_cast<std::uint32_t>(format.BlockAlign());
    return AudioResult::Ok;
}

AudioResult AudioBuffer::SetCurrentPosition(std::uint32_t bytes)
{
    std::lock_guard guard(output.mixLock);
    const std::uint32_t frame = bytes / static_cast<std::uint32_t>(format.BlockAlign());
    if (frame >= frameCount)
        return AudioResult::Failed;
    position = static_cast<std::uint64_t>(frame) << 32;
    return AudioResult::Ok;
}

std::uint64_t AudioBuffer::PlayingMs() const
{
    std::lock_guard guard(output.mixLock);
    return mixedFrames * 1000 / AudioOutput::Rate;
}

AudioResult AudioBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, std::span<unsigned char>& region)
{
    region = {};
    const auto blockAlign = static_cast<std::uint32_t>(format.BlockAlign());
    std::lock_guard guard(output.mixLock);
    if (lost)
        return AudioResult::Lost;
    if (locked || bytes == 0 || bytes > Bytes() || offset >= Bytes() || offset % blockAlign || bytes % blockAlign)
        return AudioResult::Failed;
    // The writer fills a copy; the mixer keeps reading the ring meanwhile.
    const std::size_t first = offset / 2;
    const std::size_t count = bytes / 2;
    const std::size_t head = std::min(count, samples.size() - first);
    staging.resize(count);
    std::copy_n(samples.begin() + first, head, staging.begin());
    std::copy_n(samples.begin(), count - head, staging.begin() + head);
    lockedOffset = offset;
    locked = true;
    region = {reinterpret_cast<unsigned char*>(staging.data()), bytes};
    return AudioResult::Ok;
}

AudioResult AudioBuffer::Unlock(std::span<unsigned char> region)
{
    std::lock_guard guard(output.mixLock);
    if (!locked || region.data() != reinterpret_cast<unsigned char*>(staging.data())
        || region.size() != staging.size() * 2)
        return AudioResult::Failed;
    locked = false;
    if (lost)
        return AudioResult::Lost;
    const std::size_t first = lockedOffset / 2;
    const std::size_t head = std::min(staging.size(), samples.size() - first);
    std::copy_n(staging.begin(), head, samples.begin() + first);
    std::copy_n(staging.begin() + head, staging.size() - head, samples.begin());
    return AudioResult::Ok;
}

AudioResult AudioBuffer::Restore()
{
    std::lock_guard guard(output.mixLock);
    lost = false;
    return AudioResult::Ok;
}

void AudioBuffer::MixInto(std::int32_t* mix, std::uint32_t frames)
{
    if (!playing)
        return;
    mixedFrames += frames;
    if (step == One)
        MixSameRate(mix, frames);
    else
        MixResampled(mix, frames);
}

void AudioBuffer::MixSameRate(std::int32_t* mix, std::uint32_t frames)
{
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint32_t index = IndexOf(position);
        const std::uint32_t count = std::min(frames - done, frameCount - index);
        const std::int16_t* from = samples.data() + static_cast<std::size_t>(index) * format.channels;
        std::int32_t* to = mix + static_cast<std::size_t>(done) * 2;
        if (format.channels == 2) {
            for (std::uint32_t i = 0; i < count * 2; ++i)
                to[i] += from[i];
        } else {
            for (std::uint32_t i = 0; i < count; ++i) {
                to[2 * i] += from[i];
                to[2 * i + 1] += from[i];
            }
        }
        done += count;
        position += static_cast<std::uint64_t>(count) << 32;
        if (IndexOf(position) >= frameCount && !WrapOrStop())
            return;
    }
}

// Linear interpolation between neighbouring frames: good enough for the
// program's 44000 Hz narration and cheap enough for eight streams.
void AudioBuffer::MixResampled(std::int32_t* mix, std::uint32_t frames)
{
    const int channels = format.channels;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::uint32_t index = IndexOf(position);
        const std::uint32_t next = index + 1 < frameCount ? index + 1 : (looping ? 0 : index);
        const auto fraction = static_cast<std::int64_t>(position & 0xFFFFFFFFu);
        const std::int16_t* a = samples.data() + static_cast<std::size_t>(index) * channels;
        const std::int16_t* b = samples.data() + static_cast<std::size_t>(next) * channels;
        const auto left = static_cast<std::int32_t>(a[0] + (((b[0] - a[0]) * fraction) >> 32));
        const auto right = channels == 2 ? static_cast<std::int32_t>(a[1] + (((b[1] - a[1]) * fraction) >> 32)) : left;
        mix[2 * f] += left;
        mix[2 * f + 1] += right;
        position += step;
        if (IndexOf(position) >= frameCount && !WrapOrStop())
            return;
    }
}

bool AudioBuffer::WrapOrStop()
{
    if (looping) {
        position %= static_cast<std::uint64_t>(frameCount) << 32;
        return true;
    }
    playing = false;
    position = 0;
    return false;
}
