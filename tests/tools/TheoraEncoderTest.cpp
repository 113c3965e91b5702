// The clip encoder of tools/video: what it writes decodes with libtheora to the pictures it was given, at
// the size, rate and pixel shape asked for, the same bytes every time; bad settings, misuse and bad picture
// files are refused with a message.

#include "tools/video/TheoraEncoder.h"
#include "support/TheoraClip.h"
#include "tools/video/PngFrame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Colour = std::array<int, 3>;

// Saturated and pale colours alike, as the clips use them.
const Colour Palette[] = {
    {230, 40, 50},
    {40, 120, 230},
    {250, 210, 30},
    {40, 190, 90},
    {255, 255, 255},
    {20, 30, 50},
    {160, 90, 220},
};

Colour Top(int frame)
{
    return Palette[frame % 7];
}
Colour Left(int frame)
{
    return Palette[(frame + 2) % 7];
}
Colour Right(int frame)
{
    return Palette[(frame + 4) % 7];
}

// Frame i: the top quarter in one colour, below it the left and right halves in two others.
std::vector<uint8_t> TestPicture(int width, int height, int frame)
{
    std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Colour c = y < height / 4 ? Top(frame) : x < width / 2 ? Left(frame) : Right(frame);
            for (int k = 0; k < 3; ++k)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + k] = static_cast<uint8_t>(c[k]);
        }
    return rgb;
}

std::vector<unsigned char> Encode(const TheoraSettings& settings, int frames)
{
    std::vector<unsigned char> out;
    TheoraEncoder encoder([&out](const unsigned char* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
    });
    EXPECT_TRUE(encoder.Begin(settings)) << encoder.Error();
    for (int i = 0; i < frames; ++i)
        EXPECT_TRUE(encoder.AddFrame(TestPicture(settings.width, settings.height, i))) << encoder.Error();
    EXPECT_TRUE(encoder.Finish()) << encoder.Error();
    EXPECT_EQ(encoder.FramesAdded(), frames);
    return out;
}

struct Shape {
    const char* name;
    int width, height;
    int fpsNumerator, fpsDenominator;
    int aspectNumerator, aspectDenominator;
    int frames;
};

void PrintTo(const Shape& shape, std::ostream* out)
{
    *out << shape.name;
}

class TheoraEncoderShape : public ::testing::TestWithParam<Shape> { };

TEST_P(TheoraEncoderShape, DecodesToThePicturesGivenAtTheirSizeAndRate)
{
    const Shape& shape = GetParam();
    TheoraSettings settings;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.fpsNumerator = shape.fpsNumerator;
    settings.fpsDenominator = shape.fpsDenominator;
    settings.aspectNumerator = shape.aspectNumerator;
    settings.aspectDenominator = shape.aspectDenominator;
    settings.serial = 0x5A580042;
    settings.keyframeInterval = 4;

    // Encode, then decode everything back.
    const std::vector<unsigned char> bytes = Encode(settings, shape.frames);
    const TheoraClip clip = DecodeTheoraClip(bytes, true);
    ASSERT_TRUE(clip.decoded) << clip.error;

    // The headers say what was asked; the coded frame is the picture rounded up to 16, the picture at its top.
    EXPECT_EQ(clip.serial, 0x5A580042u);
    EXPECT_EQ(clip.pictureWidth, shape.width);
    EXPECT_EQ(clip.pictureHeight, shape.height);
    EXPECT_EQ(clip.frameWidth, (shape.width + 15) / 16 * 16);
    EXPECT_EQ(clip.frameHeight, (shape.height + 15) / 16 * 16);
    EXPECT_EQ(clip.pictureX, 0);
    EXPECT_EQ(clip.pictureY, 0);
    EXPECT_EQ(clip.fpsNumerator, shape.fpsNumerator);
    EXPECT_EQ(clip.fpsDenominator, shape.fpsDenominator);
    EXPECT_EQ(clip.aspectNumerator, shape.aspectNumerator);
    EXPECT_EQ(clip.aspectDenominator, shape.aspectDenominator);
    EXPECT_EQ(clip.otherStreams, 0);
    EXPECT_EQ(clip.frames, shape.frames);
    EXPECT_EQ(clip.lastGranuleFrame, shape.frames - 1);

    // Every frame shows its own three colours in their places, the bottom row included.
    const int w = shape.width, h = shape.height;
    for (int frame = 0; frame < clip.frames; ++frame) {
        const struct {
            int x, y;
            Colour expected;
        } probes[] = {
            {w / 4, h / 8, Top(frame)},
            {w / 4, h * 5 / 8, Left(frame)},
            {w * 3 / 4, h * 5 / 8, Right(frame)},
            {w * 3 / 4, h - 1, Right(frame)},
        };
        for (const auto& probe : probes) {
            const uint8_t* got = clip.Pixel(frame, probe.x, probe.y);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(got[k], probe.expected[k], 10)
                    << "frame " << frame << " at (" << probe.x << ", " << probe.y << "), channel " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TheoraEncoderShape,
    ::testing::Values(Shape {"PraiseClip", 320, 240, 12, 1, 6, 5, 9},
        Shape {"InstructionVideo", 800, 600, 25, 1, 1, 1, 3}, Shape {"PaddedSmall", 40, 36, 30000, 1001, 1, 1, 5}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

TEST(TheoraEncoder, GivesTheSameBytesEveryTimeAndKeepsTheSerial)
{
    TheoraSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.fpsNumerator = 12;
    settings.serial = 7;

    const std::vector<unsigned char> first = Encode(settings, 6);
    const std::vector<unsigned char> second = Encode(settings, 6);
    EXPECT_EQ(first, second);

    settings.serial = 8;
    const std::vector<unsigned char> other = Encode(settings, 6);
    EXPECT_NE(first, other);
    EXPECT_EQ(DecodeTheoraClip(other, false).serial, 8u);
}

struct BadSettings {
    const char* name;
    int width, height, fpsNumerator, fpsDenominator, quality, keyframeInterval;
};

void PrintTo(const BadSettings& bad, std::ostream* out)
{
    *out << bad.name;
}

class TheoraEncoderRefuses : public ::testing::TestWithParam<BadSettings> { };

TEST_P(TheoraEncoderRefuses, SettingsOutOfRangeWithAMessageAndNoOutput)
{
    const BadSettings& bad = GetParam();
    TheoraSettings settings;
    settings.width = bad.width;
    settings.height = bad.height;
    settings.fpsNumerator = bad.fpsNumerator;
    settings.fpsDenominator = bad.fpsDenominator;
    settings.quality = bad.quality;
    settings.keyframeInterval = bad.keyframeInterval;
    std::size_t written = 0;
    TheoraEncoder encoder([&written](const unsigned char*, std::size_t size) {
        written += size;
        return true;
    });
    EXPECT_FALSE(encoder.Begin(settings));
    EXPECT_FALSE(encoder.Error().empty());
    EXPECT_EQ(written, 0u);
    // Nothing can be added to an encoder that did not begin.
    EXPECT_FALSE(encoder.AddFrame(std::vector<uint8_t>(12, 0)));
    EXPECT_FALSE(encoder.Finish());
}

INSTANTIATE_TEST_SUITE_P(Settings, TheoraEncoderRefuses,
    ::testing::Values(BadSettings {"OddWidth", 321, 240, 12, 1, 48, 64},
        BadSettings {"ZeroHeight", 320, 0, 12, 1, 48, 64}, BadSettings {"Huge", 20000, 240, 12, 1, 48, 64},
        BadSettings {"NoFrameRate", 320, 240, 0, 1, 48, 64},
        BadSettings {"NegativeRateDenominator", 320, 240, 12, -1, 48, 64},
        BadSettings {"QualityAbove63", 320, 240, 12, 1, 64, 64}, BadSettings {"NoKeyFrames", 320, 240, 12, 1, 48, 0}),
    [](const ::testing::TestParamInfo<BadSettings>& info) { return std::string(info.param.name); });

TEST(TheoraEncoder, RefusesMisuseWithoutWritingABrokenStream)
{
    TheoraSettings settings;
    settings.width = 32;
    settings.height = 32;
    std::vector<unsigned char> out;
    TheoraEncoder encoder([&out](const unsigned char* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
    });
    ASSERT_TRUE(encoder.Begin(settings));
    EXPECT_FALSE(encoder.Begin(settings)) << "a second Begin";

    // A frame of the wrong size is refused and not counted.
    EXPECT_FALSE(encoder.AddFrame(std::vector<uint8_t>(32 * 31 * 3, 0)));
    EXPECT_EQ(encoder.FramesAdded(), 0);

    // A stream of no frames is refused too.
    EXPECT_FALSE(encoder.Finish());
    EXPECT_NE(encoder.Error().find("one frame"), std::string::npos) << encoder.Error();

    // With one frame it completes, once.
    EXPECT_TRUE(encoder.AddFrame(TestPicture(32, 32, 0)));
    EXPECT_TRUE(encoder.Finish()) << encoder.Error();
    EXPECT_FALSE(encoder.Finish());
    EXPECT_FALSE(encoder.AddFrame(TestPicture(32, 32, 1)));
    const TheoraClip clip = DecodeTheoraClip(out, false);
    ASSERT_TRUE(clip.decoded) << clip.error;
    EXPECT_EQ(clip.frames, 1);
}

TEST(TheoraEncoder, ReportsAnOutputThatCannotTakeThePages)
{
    TheoraSettings settings;
    settings.width = 32;
    settings.height = 32;
    TheoraEncoder encoder([](const unsigned char*, std::size_t) { return false; });
    EXPECT_FALSE(encoder.Begin(settings));
    EXPECT_NE(encoder.Error().find("output"), std::string::npos) << encoder.Error();
}

// ---------------------------------------------------------------------------------------------------------
// Reading PNG frames

std::string TemporaryFile(const std::string& name, const std::vector<char>& bytes)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("zv-png-frame-" + name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::vector<char> FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const std::string CloudPng = std::string(ZV_DATA_DIR) + "pictures/praise/oblako_png.png";

TEST(PngFrame, ReadsATranslucentPictureLaidOnBlack)
{
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(ReadPngFrame(CloudPng, 506, 362, rgb, error)) << error;
    ASSERT_EQ(rgb.size(), 506u * 362u * 3u);
    // The cloud's window is fully transparent: black here. Its golden frame is opaque and bright.
    const uint8_t* window = &rgb[(150u * 506u + 250u) * 3u];
    EXPECT_EQ(window[0] + window[1] + window[2], 0);
    const uint8_t* frame = &rgb[(72u * 506u + 250u) * 3u];
    EXPECT_GT(frame[0], 180);
}

struct BadPng {
    const char* name;
    std::vector<char> bytes;  // empty: the real cloud picture
    int width, height;
    const char* message;  // a part of the error
};

void PrintTo(const BadPng& bad, std::ostream* out)
{
    *out << bad.name;
}

class PngFrameRefuses : public ::testing::TestWithParam<BadPng> { };

TEST_P(PngFrameRefuses, WithAMessageNamingTheFile)
{
    const BadPng& bad = GetParam();
    const std::string path = bad.bytes.empty() ? CloudPng : TemporaryFile(bad.name, bad.bytes);
    std::vector<uint8_t> rgb;
    std::string error;
    EXPECT_FALSE(ReadPngFrame(path, bad.width, bad.height, rgb, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(bad.message), std::string::npos) << error;
    if (!bad.bytes.empty())
        std::remove(path.c_str());
}

std::vector<char> Truncated()
{
    std::vector<char> bytes = FileBytes(CloudPng);
    bytes.resize(bytes.size() / 2);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Files, PngFrameRefuses,
    ::testing::Values(BadPng {"OtherSize", {}, 320, 240, "expected 320 x 240"},
        BadPng {"NotAPicture", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, 506, 362, "not a PNG"},
        BadPng {"CutInHalf", Truncated(), 506, 362, ""}, BadPng {"NoSize", {}, 0, 0, "no picture size"}),
    [](const ::testing::TestParamInfo<BadPng>& info) { return std::string(info.param.name); });

TEST(PngFrame, RefusesAMissingFile)
{
    std::vector<uint8_t> rgb;
    std::string error;
    EXPECT_FALSE(ReadPngFrame("/nonexistent/frame.png", 320, 240, rgb, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

}  // namespace
