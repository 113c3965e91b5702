// libFuzzer target: opening and decoding arbitrary bytes as a memory sound,
// then playing what decodes through a sound buffer of its format. Built and
// run by tools/fuzz/run-sound (the ZV_FUZZ build). Built with ZV_WRITE_SEEDS it is
// instead a program that writes a few valid sounds as the starting corpus.

#include "data/EmbeddedData.h"
#include "media/sound/SoundSource.h"
#include "platform/AudioManualOutput.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// No media are embedded in the fuzzer: every resource number is missing.
std::vector<EmbeddedFile> BuildEmbeddedTable()
{
    return {};
}

#ifndef ZV_WRITE_SEEDS

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SoundSource source;
    if (!source.OpenMemory(data, size))
        return 0;
    // One second of the source's format in two halves, as a stream uses it.
    AudioManualOutput output(false);
    const AudioFormat format {source.Channels(), source.Rate()};
    const auto frameBytes = static_cast<std::uint32_t>(format.BlockAlign());
    const std::uint32_t half = static_cast<std::uint32_t>(format.rate) / 2 * frameBytes;
    auto buffer = output.CreateBuffer(format, half * 2);
    if (!buffer)
        return 0;
    const auto length = static_cast<std::uint64_t>(source.TotalFrames()) * frameBytes;
    buffer->Play(true);
    for (int pass = 0; pass < 2; ++pass) {
        std::uint64_t decoded = 0;
        for (std::uint32_t offset = 0;; offset = half - offset) {
            std::span<unsigned char> region;
            if (buffer->Lock(offset, half, region) != AudioResult::Ok)
                __builtin_trap();
            const std::uint32_t got = source.ReadPcm(region.data(), half);
            buffer->Unlock(region);
            decoded += got;
            if (decoded > length)
                __builtin_trap();  // more samples than the sound is long
            if (got == 0)
                break;
            output.Advance(4410);
        }
        if (!source.Rewind())
            break;
    }
    buffer.reset();
    return 0;
}

#else

#include "support/VorbisFixture.h"

#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::filesystem::path folder = argv[1];
    struct Seed {
        int rate, channels;
        std::int64_t frames;
    };
    int n = 0;
    for (const Seed seed : {Seed {44100, 2, 3000}, Seed {22050, 1, 2500}, Seed {44000, 2, 5000}, Seed {11025, 2, 1}}) {
        VorbisParams params;
        params.rate = seed.rate;
        params.channels = seed.channels;
        params.frames = seed.frames;
        params.quality = 0.0f;
        const auto bytes = EncodeVorbis(params);
        std::ofstream(folder / ("seed-" + std::to_string(n++) + ".ogg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}

#endif
