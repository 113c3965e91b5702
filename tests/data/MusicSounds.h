#pragma once
// The musical sounds of data/catalogue/music.txt as the music tests read them:
// decoded once per test program, with their expected lengths and the way the
// staff lays them out. The sounds are made by tools/music/generate from
// data/src/music/.

#include "support/VorbisDecoding.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#ifndef ZV_DATA_DIR
#error "ZV_DATA_DIR must name the data folder, ending with '/'"
#endif

namespace MusicSounds {

constexpr long SampleRate = 44100;
constexpr int Channels = 2;
// One staff slot: the staff plays one slot position every 2090 ms.
constexpr std::size_t SlotFrames = SampleRate * 2090 / 1000;  // 92169
constexpr std::size_t ShortBrickFrames = 276948;              // 6.28 s
constexpr std::size_t LongBrickFrames = 368676;               // 8.36 s

// The slots the staff starts the bricks of an arrangement at.
constexpr std::size_t UpperSlots[] = {0, 3, 6, 9};
constexpr std::size_t LowerSlots[] = {0, 4, 8};

inline const std::vector<std::string>& ShortBricks()
{
    static const std::vector<std::string> bricks = {"137", "138", "139", "140", "141", "142", "143", "144"};
    return bricks;
}

inline const std::vector<std::string>& LongBricks()
{
    static const std::vector<std::string> bricks = {"131", "132", "133", "134", "135", "136"};
    return bricks;
}

// Decoded sounds by number, each decoded once for the whole test program.
inline const Sound& Get(const std::string& key)
{
    static std::map<std::string, Sound> cache;
    auto found = cache.find(key);
    if (found == cache.end())
        found = cache.emplace(key, DecodeVorbisFile(std::string(ZV_DATA_DIR) + "sounds/" + key + ".ogg")).first;
    return found->second;
}

inline double Db(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -1000.0;
}

// The largest magnitude of samples [from, to).
inline double Peak(const std::vector<float>& samples, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    float peak = 0.0f;
    for (std::size_t i = from; i < to && i < samples.size(); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

inline double PeakDb(const std::vector<float>& samples, std::size_t from, std::size_t to)
{
    return Db(Peak(samples, from, to));
}

// The root mean square of samples [from, to).
inline double Rms(const std::vector<float>& samples, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    to = std::min(to, samples.size());
    double energy = 0.0;
    for (std::size_t i = from; i < to; ++i)
        energy += double(samples[i]) * samples[i];
    return to > from ? std::sqrt(energy / double(to - from)) : 0.0;
}

using Placed = std::vector<std::pair<std::string, std::size_t>>;  // sound, start frame

// Sounds started at the given frames and mixed by summing where they overlap.
inline std::vector<float> LayOut(const Placed& placed)
{
    std::vector<float> mix;
    for (const auto& [key, startFrame] : placed) {
        const Sound& sound = Get(key);
        const std::size_t start = startFrame * Channels;
        if (mix.size() < start + sound.samples.size())
            mix.resize(start + sound.samples.size(), 0.0f);
        for (std::size_t i = 0; i < sound.samples.size(); ++i)
            mix[start + i] += sound.samples[i];
    }
    return mix;
}

// Bricks in upper slots 0, 3, 6, 9 or lower slots 0, 4, 8, as the staff plays them.
inline Placed OnShelf(const std::vector<std::string>& keys, const std::size_t* slots)
{
    Placed placed;
    for (std::size_t i = 0; i < keys.size(); ++i)
        placed.emplace_back(keys[i], slots[i] * SlotFrames);
    return placed;
}

}  // namespace MusicSounds
