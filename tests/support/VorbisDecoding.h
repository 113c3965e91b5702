#pragma once
// Decodes a whole Ogg Vorbis sound into floats, for the tests that measure
// the program's sounds (levels, durations, silences).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

struct Sound {
    bool decoded = false;
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved

    std::size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
    double Seconds() const { return rate > 0 ? double(Frames()) / rate : 0.0; }
};

// A sound held in memory; decoded stays false for data that is not Vorbis or breaks off.
Sound DecodeVorbis(std::span<const unsigned char> bytes);
// The same for a file.
Sound DecodeVorbisFile(const std::string& path);
