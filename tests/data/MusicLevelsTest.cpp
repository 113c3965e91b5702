// How the musical sounds play on the board: every brick is heard as soon as
// it is picked up and never falls silent inside, a shelf played brick by
// brick steps in level exactly as its reference does, the solved staff is as
// loud as the gramophone, the loudest sum the board can play stays under
// -1 dBFS, and small classroom speakers lose little of any sound.
#include "data/MusicSounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace MusicSounds;

constexpr double Pi = 3.14159265358979323846;

// The RMS of every whole stretch of `frames` frames.
std::vector<double> StretchLevels(const std::vector<float>& samples, std::size_t frames)
{
    std::vector<double> levels;
    const std::size_t size = frames * Channels;
    for (std::size_t from = 0; from + size <= samples.size(); from += size)
        levels.push_back(Rms(samples, from, from + size));
    return levels;
}

// Milliseconds from the press until a 5 ms stretch comes within 20 dB of the
// brick's own level: before that a quick press hears nothing.
double HeardAfterMs(const std::vector<float>& samples)
{
    const double level = Rms(samples);
    const std::vector<double> stretches = StretchLevels(samples, SampleRate / 200);
    for (std::size_t i = 0; i < stretches.size(); ++i)
        if (stretches[i] >= 0.1 * level)
            return 5.0 * double(i);
    return 1e9;
}

// The longest run of 10 ms stretches 40 dB below the brick's level, up to its
// last sound (the rest after the last note does not count).
double LongestSilenceMs(const std::vector<float>& samples)
{
    const double level = Rms(samples);
    const std::vector<double> stretches = StretchLevels(samples, SampleRate / 100);
    std::size_t end = stretches.size();
    while (end > 0 && stretches[end - 1] < 0.01 * level)
        --end;
    std::size_t longest = 0, run = 0;
    for (std::size_t i = 0; i < end; ++i) {
        run = stretches[i] < 0.01 * level ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return 10.0 * double(longest);
}

TEST(MusicLevelsMeasure, SeesDeadAirAtTheStartAndInside)
{
    // A tone that starts after 530 ms and pauses for 670 ms: what a brick must not do.
    std::vector<float> samples;
    auto Add = [&](double seconds, double amplitude) {
        for (long f = 0; f < long(seconds * SampleRate); ++f)
            for (int c = 0; c < Channels; ++c)
                samples.push_back(float(amplitude * std::sin(2 * Pi * 440.0 * double(f) / SampleRate)));
    };
    Add(0.53, 0.0);
    Add(1.0, 0.3);
    Add(0.67, 0.0);
    Add(1.0, 0.3);
    Add(0.5, 0.0);
    EXPECT_NEAR(HeardAfterMs(samples), 530.0, 5.0);
    EXPECT_NEAR(LongestSilenceMs(samples), 670.0, 10.0);
}

class MusicBrick : public ::testing::TestWithParam<std::string> { };

TEST_P(MusicBrick, IsHeardAtOnceAndNeverFallsSilentInside)
{
    const Sound& brick = Get(GetParam());
    ASSERT_TRUE(brick.decoded);
    EXPECT_LE(HeardAfterMs(brick.samples), 50.0) << "a quick press would hear nothing";
    EXPECT_LE(LongestSilenceMs(brick.samples), 300.0) << "dead air inside the brick";
}

std::vector<std::string> AllBricks()
{
    std::vector<std::string> bricks = LongBricks();
    bricks.insert(bricks.end(), ShortBricks().begin(), ShortBricks().end());
    return bricks;
}

INSTANTIATE_TEST_SUITE_P(Bricks, MusicBrick, ::testing::ValuesIn(AllBricks()),
    [](const ::testing::TestParamInfo<std::string>& info) { return "Sound" + info.param; });

// A shelf whose bricks the staff plays one by one, and the reference that
// stands for the whole shelf.
struct Shelf {
    const char* name;
    Placed placed;
    std::string reference;
};

void PrintTo(const Shelf& shelf, std::ostream* out)
{
    *out << shelf.name;
}

class MusicShelf : public ::testing::TestWithParam<Shelf> { };

TEST_P(MusicShelf, StepsInLevelFromBrickToBrickAsItsReference)
{
    const Shelf& shelf = GetParam();
    const Sound& reference = Get(shelf.reference);
    ASSERT_TRUE(reference.decoded);
    for (const auto& [key, start] : shelf.placed) {
        const Sound& brick = Get(key);
        ASSERT_TRUE(brick.decoded) << key;
        // A reference shorter than the shelf holds only the start of its last brick.
        const std::size_t from = start * Channels;
        const std::size_t count
            = std::min(brick.samples.size(), reference.samples.size() - std::min(from, reference.samples.size()));
        ASSERT_GT(count, std::size_t(SampleRate / 10 * Channels)) << key << " is not heard in " << shelf.reference;
        const double step = Db(Rms(brick.samples, 0, count)) - Db(Rms(reference.samples, from, from + count));
        EXPECT_NEAR(step, 0.0, 0.5) << key << " against its passage of " << shelf.reference;
    }
}

INSTANTIATE_TEST_SUITE_P(Staff, MusicShelf,
    ::testing::Values(Shelf {"SolvedUpper", OnShelf({"137", "138", "139", "140"}, UpperSlots), "126"},
        Shelf {"SolvedLower", OnShelf({"134", "135", "136"}, LowerSlots), "127"},
        Shelf {"OtherUpper", OnShelf({"141", "142", "143", "144"}, UpperSlots), "128"},
        Shelf {"OtherLower", OnShelf({"131", "132", "133"}, LowerSlots), "129"}),
    [](const ::testing::TestParamInfo<Shelf>& info) { return std::string(info.param.name); });

TEST(MusicMix, SolvedStaffSoundsAsLoudAsTheGramophone)
{
    const Sound& melody = Get("145");
    ASSERT_TRUE(melody.decoded);
    const std::vector<float> staff = LayOut({{"126", 0}, {"127", 0}});
    const double difference = Db(Rms(staff, 0, melody.samples.size())) - Db(Rms(melody.samples));
    EXPECT_NEAR(difference, 0.0, 1.0);
}

// The loudest sum the board can play: the staff with an upper and a lower
// reference together, the gramophone's melody at any moment of them (at the
// very same moment when it is the same music, which is the worst), and a
// brick held by the pupil at its loudest.
TEST(MusicMix, LoudestSumTheBoardCanPlayStaysBelowMinusOneDbfs)
{
    double brickPeak = 0.0;
    for (const std::string& key : AllBricks()) {
        ASSERT_TRUE(Get(key).decoded) << key;
        brickPeak = std::max(brickPeak, Peak(Get(key).samples));
    }
    ASSERT_TRUE(Get("145").decoded);
    const double melodyPeak = Peak(Get("145").samples);
    double worst = 0.0;
    for (const char* upper : {"126", "128"})
        for (const char* lower : {"127", "129"}) {
            const double staffPeak = Peak(LayOut({{upper, 0}, {lower, 0}}));
            worst = std::max(worst, staffPeak + melodyPeak + brickPeak);
        }
    EXPECT_LT(Db(worst), -1.0);
    RecordProperty("worst_case_mix_dbfs", std::to_string(Db(worst)));
}

// Two second-order Butterworth high-pass sections at 180 Hz (RBJ's cookbook
// filter): what a classroom's small speakers leave of a sound.
std::vector<float> ThroughSmallSpeakers(const std::vector<float>& samples)
{
    const double w = 2 * Pi * 180.0 / SampleRate;
    const double alpha = std::sin(w) / (2 * std::sqrt(0.5));
    const double a0 = 1 + alpha;
    const double b0 = (1 + std::cos(w)) / 2 / a0, b1 = -(1 + std::cos(w)) / a0, b2 = b0;
    const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
    std::vector<float> out(samples);
    for (int section = 0; section < 2; ++section)
        for (int c = 0; c < Channels; ++c) {
            double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
            for (std::size_t i = c; i < out.size(); i += Channels) {
                const double x = out[i];
                const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
                x2 = x1, x1 = x, y2 = y1, y1 = y;
                out[i] = float(y);
            }
        }
    return out;
}

TEST(MusicLevelsMeasure, SmallSpeakersDropBassAndKeepTheMiddle)
{
    for (const auto& [frequency, expectedLossDb] : {std::pair {65.0, 35.0}, std::pair {1000.0, 0.0}}) {
        std::vector<float> tone(SampleRate * Channels);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = float(0.5 * std::sin(2 * Pi * frequency * double(i / Channels) / SampleRate));
        const std::vector<float> heard = ThroughSmallSpeakers(tone);
        // Skip the filter's first tenth of a second of settling.
        const std::size_t from = SampleRate / 10 * Channels;
        EXPECT_NEAR(Db(Rms(tone, from)) - Db(Rms(heard, from)), expectedLossDb, 2.0) << frequency << " Hz";
    }
}

class MusicOnSmallSpeakers : public ::testing::TestWithParam<std::string> { };

TEST_P(MusicOnSmallSpeakers, LosesAtMostTwoDb)
{
    const Sound& sound = Get(GetParam());
    ASSERT_TRUE(sound.decoded);
    const double loss = Db(Rms(sound.samples)) - Db(Rms(ThroughSmallSpeakers(sound.samples)));
    EXPECT_LE(loss, 2.0) << "most of the sound lies below 180 Hz";
}

std::vector<std::string> BricksAndReferences()
{
    std::vector<std::string> sounds = AllBricks();
    sounds.insert(sounds.end(), {"126", "127", "128", "129", "145"});
    return sounds;
}

INSTANTIATE_TEST_SUITE_P(Sounds, MusicOnSmallSpeakers, ::testing::ValuesIn(BricksAndReferences()),
    [](const ::testing::TestParamInfo<std::string>& info) { return "Sound" + info.param; });

}  // namespace
