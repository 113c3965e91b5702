#pragma once
// Small Ogg Vorbis files made on the fly with libvorbisenc, for tests and
// benchmarks that must not wait for the program's own media.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

struct VorbisParams {
    int rate = 44100;             // frames per second
    int channels = 2;             // 1 or 2 (more for the refusal tests)
    std::int64_t frames = 44100;  // exact length; Vorbis keeps it through the granule position
    float amplitude = 0.4f;       // peak of the tone, full scale 1
    double frequency = 440.0;     // left channel; the right one sounds a fifth higher
    bool rich = false;            // chords with overtones and a little noise, as music costs to decode
    float quality = 0.4f;         // libvorbisenc VBR quality, -0.1 to 1
    int serial = 0x5A56;          // the logical stream's serial number; links of a chain differ
};

// The complete Ogg Vorbis file.
std::vector<unsigned char> EncodeVorbis(const VorbisParams& params);

// Writes bytes to a new file under the system's temporary folder and returns its path.
std::filesystem::path WriteTemporaryFile(const std::vector<unsigned char>& bytes, std::string_view stem);
