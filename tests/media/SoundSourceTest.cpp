// Opening and decoding the Ogg Vorbis data of a sound.

#include "media/sound/SoundSource.h"
#include "data/EmbeddedData.h"
#include "support/VorbisFixture.h"

#include <gtest/gtest.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Encode(int rate, int channels, std::int64_t frames)
{
    VorbisParams params;
    params.rate = rate;
    params.channels = channels;
    params.frames = frames;
    return EncodeVorbis(params);
}

// Everything ReadPcm gives in pieces of `piece` bytes.
std::vector<unsigned char> ReadAll(SoundSource& source, std::uint32_t piece = 88200)
{
    std::vector<unsigned char> all;
    std::vector<unsigned char> chunk(piece);
    for (;;) {
        const std::uint32_t got = source.ReadPcm(chunk.data(), piece);
        if (got == 0)
            return all;
        EXPECT_EQ(got % source.BytesPerFrame(), 0u) << "whole frames only";
        all.insert(all.end(), chunk.begin(), chunk.begin() + got);
    }
}

}  // namespace

TEST(SoundSource, OpensMemoryWithTheHeaderFormatAndExactLength)
{
    struct Case {
        int rate, channels;
        std::int64_t frames;
    };
    for (const Case c :
        {Case {44100, 2, 44100}, Case {44000, 2, 22001}, Case {22050, 1, 10000}, Case {11025, 2, 4999}}) {
        const auto bytes = Encode(c.rate, c.channels, c.frames);
        SoundSource source;
        ASSERT_TRUE(source.OpenMemory(bytes.data(), bytes.size())) << c.rate;
        EXPECT_EQ(source.Rate(), c.rate);
        EXPECT_EQ(source.Channels(), c.channels);
        EXPECT_EQ(source.BytesPerFrame(), c.channels * 2);
        EXPECT_EQ(source.TotalFrames(), c.frames) << "memory sources are not shortened";

        // The whole sound, in odd-sized pieces, then nothing; rewinding gives it again.
        const auto first = ReadAll(source, 1003 * 4);
        EXPECT_EQ(first.size(), static_cast<std::size_t>(c.frames * c.channels * 2));
        EXPECT_EQ(source.ReadPcm(std::vector<unsigned char>(64).data(), 64), 0u);
        ASSERT_TRUE(source.Rewind());
        EXPECT_EQ(ReadAll(source), first);
    }
}

TEST(SoundSource, OpensFilesLikeMemoryAndRefusesMissingOnes)
{
    const auto bytes = Encode(44100, 2, 30000);
    const auto path = WriteTemporaryFile(bytes, "zv-source");
    {
        SoundSource fromFile, fromMemory;
        ASSERT_TRUE(fromFile.OpenFile(path.wstring()));
        ASSERT_TRUE(fromMemory.OpenMemory(bytes.data(), bytes.size()));
        EXPECT_EQ(fromFile.TotalFrames(), 30000);
        EXPECT_EQ(ReadAll(fromFile), ReadAll(fromMemory));
    }
    // Closed first: Windows removes no file that is open.
    std::filesystem::remove(path);

    SoundSource missing;
    EXPECT_FALSE(missing.OpenFile(L"/no/such/folder/sound.ogg"));
    EXPECT_FALSE(missing.OpenFile(std::filesystem::temp_directory_path().wstring())) << "a folder";
    EXPECT_EQ(missing.ReadPcm(std::vector<unsigned char>(8).data(), 8), 0u);
    EXPECT_FALSE(missing.Rewind());
}

// Bad bytes never crash and never decode more than the sound's length.
TEST(SoundSource, SurvivesDataThatIsNotAWholeOggVorbisStream)
{
    const auto good = Encode(44100, 2, 44100);
    const std::size_t full = 44100 * 4;
    std::vector<std::pair<std::string, std::vector<unsigned char>>> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"text", std::vector<unsigned char> {'n', 'o', 't', ' ', 'o', 'g', 'g'}});
    cases.push_back({"headers only", std::vector<unsigned char>(good.begin(), good.begin() + 200)});
    cases.push_back({"half", std::vector<unsigned char>(good.begin(), good.begin() + good.size() / 2)});
    auto corrupt = good;
    for (std::size_t i = good.size() / 3; i < good.size() / 3 + 400; ++i)
        corrupt[i] ^= 0x5A;
    cases.push_back({"corrupt middle", corrupt});
    auto noise = good;
    for (std::size_t i = 4000; i < noise.size(); i += 7)
        noise[i] = static_cast<unsigned char>(i * 31);
    cases.push_back({"noisy body", noise});

    for (const auto& [name, bytes] : cases) {
        SoundSource source;
        if (!source.OpenMemory(bytes.data(), bytes.size()))
            continue;  // refused: CreateSound returns 0
        EXPECT_LE(ReadAll(source).size(), full) << name;
        EXPECT_LE(source.TotalFrames(), 44100) << name;
    }
    SoundSource nothing;
    EXPECT_FALSE(nothing.OpenMemory(nullptr, 10));
    EXPECT_FALSE(nothing.OpenMemory(cases[1].second.data(), cases[1].second.size()));
}

TEST(SoundSource, RefusesMoreThanTwoChannels)
{
    const auto surround = Encode(44100, 3, 4410);  // (libvorbisenc leaks when it encodes 5.1)
    SoundSource source;
    EXPECT_FALSE(source.OpenMemory(surround.data(), surround.size()));
}

TEST(SoundSource, MissingResourceNumbersDoNotOpen)
{
    SoundSource source;
    EXPECT_FALSE(source.OpenResource(130)) << "130 does not exist";
    EXPECT_FALSE(source.OpenResource(999999));
}

// Resource sounds lose 0.02 s worth of bytes, counted as frames: 3528 at 44100 Hz stereo.
TEST(SoundSource, ResourceSoundsAreShortenedAgainstTheirMemoryLength)
{
    const auto embedded = FindEmbedded(std::string_view("126"));
    if (embedded.empty())
        GTEST_SKIP() << "resource 126 is not embedded yet";
    SoundSource resource, memory;
    ASSERT_TRUE(resource.OpenResource(126));
    ASSERT_TRUE(memory.OpenMemory(embedded.data(), embedded.size()));
    ASSERT_EQ(memory.Rate(), 44100);
    ASSERT_EQ(memory.Channels(), 2);
    EXPECT_EQ(resource.TotalFrames(), memory.TotalFrames() - 3528);
    EXPECT_EQ(ReadAll(resource).size(), static_cast<std::size_t>(resource.TotalFrames()) * 4);
}

// The samples are the decoder's own 16-bit output, including sounds that the
// encoder's ringing pushes beyond full scale, in mono and stereo and in the
// pieces the sound buffer asks for.
TEST(SoundSource, DecodesTheSamplesOfTheDecodersOwn16BitOutput)
{
    struct Case {
        int channels;
        float amplitude;
        std::uint32_t piece;
    };
    for (const Case c : {Case {2, 0.4f, 88200}, Case {2, 3.0f, 1003 * 4}, Case {1, 3.0f, 22050}, Case {1, 0.9f, 2}}) {
        VorbisParams params;
        params.channels = c.channels;
        params.frames = 30011;
        params.amplitude = c.amplitude;
        params.rich = true;
        const auto bytes = EncodeVorbis(params);
        const auto path = WriteTemporaryFile(bytes, "zv-reference");

        std::vector<unsigned char> reference;
        OggVorbis_File file {};
        ASSERT_EQ(ov_fopen(path.string().c_str(), &file), 0);
        std::vector<char> chunk(4096);
        int link = 0;
        for (long got; (got = ov_read(&file, chunk.data(), static_cast<int>(chunk.size()), 0, 2, 1, &link)) > 0;)
            reference.insert(reference.end(), chunk.begin(), chunk.begin() + got);
        ov_clear(&file);
        std::filesystem::remove(path);

        SoundSource source;
        ASSERT_TRUE(source.OpenMemory(bytes.data(), bytes.size()));
        const auto ours = ReadAll(source, c.piece);
        ASSERT_EQ(ours.size(), reference.size()) << c.channels << " channels, amplitude " << c.amplitude;
        EXPECT_TRUE(ours == reference) << c.channels << " channels, amplitude " << c.amplitude;
        if (c.amplitude > 1) {
            std::vector<std::int16_t> samples(reference.size() / 2);
            std::memcpy(samples.data(), reference.data(), reference.size());
            EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 32767; }))
                << "the loud case reaches full scale";
        }
    }
}

// Two files one after the other make a chained stream. A chain that keeps the
// format plays through; one that turns from stereo to mono ends where it turns.
TEST(SoundSource, PlaysAChainUntilItsNumberOfChannelsChanges)
{
    struct Case {
        int secondChannels;
        std::size_t expectedBytes;
    };
    for (const Case c : {Case {2, (12000 + 8000) * 4}, Case {1, 12000 * 4}}) {
        VorbisParams first;
        first.frames = 12000;
        VorbisParams second;
        second.channels = c.secondChannels;
        second.frames = 8000;
        second.serial = 0x5A57;
        auto bytes = EncodeVorbis(first);
        const auto tail = EncodeVorbis(second);
        bytes.insert(bytes.end(), tail.begin(), tail.end());

        SoundSource source;
        ASSERT_TRUE(source.OpenMemory(bytes.data(), bytes.size()));
        EXPECT_EQ(source.Channels(), 2);
        // From the beginning, as every playback starts (vorbisfile leaves a chain opened at its last link).
        ASSERT_TRUE(source.Rewind());
        EXPECT_EQ(ReadAll(source, 4096).size(), c.expectedBytes) << c.secondChannels << " channels in the second link";
    }
}
