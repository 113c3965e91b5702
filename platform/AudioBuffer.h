#pragma once
// A sound buffer of the audio output, the stand-in for a DirectSound secondary
// buffer: a ring of 16-bit PCM frames in the buffer's own format that the
// output's mixer plays, resampled to the output rate, from a play position that
// can be read and set. Writers lock a region, fill it and unlock it.
//
// Provides: play (once or looping), stop, the play cursor, locked regions, loss
// and restore. Leaves out: volume, pan, frequency changes, the write cursor and
// notification positions; the program uses none of them.

#include <cstdint>
#include <span>
#include <vector>

class AudioOutput;

struct AudioFormat {
    int channels = 2;  // 1 or 2, interleaved
    int rate = 44100;  // frames per second, 1 to MaxRate

    static constexpr int MaxRate = 192000;
    int BlockAlign() const { return channels * 2; }  // bytes per frame of 16-bit samples
    bool IsValid() const { return (channels == 1 || channels == 2) && rate > 0 && rate <= MaxRate; }
};

enum class AudioResult {
    Ok,
    Lost,    // the buffer lost its memory to the device; Restore() it and write it again
    Failed,  // a programmer error (bad region, nothing locked) or a closed device
};

class AudioBuffer {
public:
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    const AudioFormat& Format() const { return format; }
    std::uint32_t Bytes() const { return static_cast<std::uint32_t>(samples.size() * 2); }

    // Starts playing from the current position. A looping buffer wraps at its
    // end; another stops there and goes back to position 0.
    AudioResult Play(bool looping);
    AudioResult Stop();
    bool IsPlaying() const;

    // The play cursor, in bytes from the start of the buffer, on a frame boundary.
    AudioResult GetCurrentPosition(std::uint32_t& playCursor) const;
    AudioResult SetCurrentPosition(std::uint32_t bytes);

    // Milliseconds of output mixed from this buffer since it last started playing.
    std::uint64_t PlayingMs() const;

    // Locks bytes [offset, offset + bytes) for writing; the region may wrap
    // round the end of the ring, it is handed out in one piece. Its contents are
    // the buffer's current contents. Writes reach the mixer at Unlock, so a
    // decoder never races the mixer over the same samples. One lock at a time.
    AudioResult Lock(std::uint32_t offset, std::uint32_t bytes, std::span<unsigned char>& region);
    AudioResult Unlock(std::span<unsigned char> region);

    // After a loss every Lock reports Lost until Restore; the contents are gone.
    AudioResult Restore();

private:
    friend class AudioOutput;
    AudioBuffer(AudioOutput& output, const AudioFormat& format, std::uint32_t frames);

    // Adds frames of output (stereo, the output rate) into mix; the output holds its lock.
    void MixInto(std::int32_t* mix, std::uint32_t frames);
    void MixSameRate(std::int32_t* mix, std::uint32_t frames);
    void MixResampled(std::int32_t* mix, std::uint32_t frames);
    bool WrapOrStop();
    std::uint32_t Frames() const { return frameCount; }

    AudioOutput& output;                // owns the mixer; outlives the buffer
    const AudioFormat format;           // fixed at creation
    const std::uint32_t frameCount;     // ring length in frames
    const std::uint64_t step;           // source frames per output frame, 32.32 fixed point
    std::vector<std::int16_t> samples;  // the ring, interleaved; read by the mixer under the output's lock
    std::vector<std::int16_t> staging;  // the locked region while a writer fills it
    std::uint32_t lockedOffset = 0;     // byte offset of the locked region
    bool locked = false;                // a region is out
    bool playing = false;               // the mixer advances this buffer
    bool looping = false;               // wraps at the end instead of stopping
    bool lost = false;                  // set by the output, cleared by Restore
    std::uint64_t position = 0;         // play position in frames, 32.32 fixed point
    std::uint64_t mixedFrames = 0;      // output frames mixed since the last start
};
