// The melodies as a child sings them, found by pitch tracking the recorded
// flute: each tune stays within a ninth and never leaps wider than a sixth,
// and no two short bricks sound the same pitch at the same moment for more
// than a third of their time.
#include "data/MusicSounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace MusicSounds;

constexpr double Pi = 3.14159265358979323846;

// The tracker works on the mono sum at half the rate, in 10 ms steps, and
// finds pitches from 200 Hz to 2 kHz: well beyond the melodies' range, so a
// note outside it is still seen.
constexpr long TrackRate = SampleRate / 2;
constexpr std::size_t Hop = TrackRate / 100;
constexpr std::size_t Window = 512;
constexpr std::size_t ShortestLag = TrackRate / 2000;
constexpr std::size_t LongestLag = TrackRate / 200;

// The MIDI key sounding in every 10 ms step of a recording, or nothing in a
// rest or between notes (YIN: de Cheveigné and Kawahara, 2002).
std::vector<std::optional<int>> TrackPitch(const std::vector<float>& samples)
{
    std::vector<double> mono(samples.size() / (2 * Channels));
    for (std::size_t i = 0; i < mono.size(); ++i)
        for (std::size_t k = 0; k < 2 * Channels; ++k)
            mono[i] += samples[i * 2 * Channels + k] / (2.0 * Channels);
    double energy = 0.0;
    for (double x : mono)
        energy += x * x;
    const double level = std::sqrt(energy / double(std::max<std::size_t>(1, mono.size())));

    std::vector<std::optional<int>> keys;
    std::vector<double> difference(LongestLag + 2);
    for (std::size_t start = 0; start + Window + LongestLag + 1 < mono.size(); start += Hop) {
        double frameEnergy = 0.0;
        for (std::size_t j = 0; j < Window; ++j)
            frameEnergy += mono[start + j] * mono[start + j];
        if (std::sqrt(frameEnergy / Window) < 0.15 * level) {
            keys.push_back(std::nullopt);
            continue;
        }
        // The cumulative mean normalised difference of the frame and its shifts.
        double sum = 0.0;
        difference[0] = 1.0;
        for (std::size_t lag = 1; lag <= LongestLag + 1; ++lag) {
            double d = 0.0;
            for (std::size_t j = 0; j < Window; ++j) {
                const double delta = mono[start + j] - mono[start + j + lag];
                d += delta * delta;
            }
            sum += d;
            difference[lag] = sum > 0.0 ? d * double(lag) / sum : 1.0;
        }
        std::optional<int> key;
        for (std::size_t lag = ShortestLag; lag <= LongestLag; ++lag) {
            if (difference[lag] >= 0.1)
                continue;
            while (lag < LongestLag && difference[lag + 1] < difference[lag])
                ++lag;
            // A parabola through the minimum and its neighbours places the period between samples.
            const double left = difference[lag - 1], middle = difference[lag], right = difference[lag + 1];
            const double bend = left - 2 * middle + right;
            const double period = double(lag) + (bend > 0.0 ? 0.5 * (left - right) / bend : 0.0);
            const double note = 69.0 + 12.0 * std::log2(double(TrackRate) / period / 440.0);
            if (std::fabs(note - std::round(note)) < 0.3)
                key = int(std::lround(note));
            break;
        }
        keys.push_back(key);
    }
    return keys;
}

// The notes of a track: every key held for at least 120 ms, in order; a key
// played again after a rest or another key counts again. The melodies' notes
// last an eighth (261 ms) or longer; shorter runs are the moments where one
// note's release overlaps the next and the two sound as their common
// undertone.
std::vector<int> Notes(const std::vector<std::optional<int>>& track)
{
    std::vector<int> notes;
    std::size_t run = 0;
    for (std::size_t i = 0; i < track.size(); ++i) {
        run = i > 0 && track[i] && track[i] == track[i - 1] ? run + 1 : 1;
        if (track[i] && run == 12)
            notes.push_back(*track[i]);
    }
    return notes;
}

struct Line {
    int low = 0;
    int high = 0;
    int widestLeap = 0;
};

Line Measure(const std::vector<int>& notes)
{
    Line line;
    if (notes.empty())
        return line;
    line.low = line.high = notes[0];
    for (std::size_t i = 0; i < notes.size(); ++i) {
        line.low = std::min(line.low, notes[i]);
        line.high = std::max(line.high, notes[i]);
        if (i > 0)
            line.widestLeap = std::max(line.widestLeap, std::abs(notes[i] - notes[i - 1]));
    }
    return line;
}

// A flute-like tone (a fundamental and a weaker octave) for each key, 300 ms
// each with 60 ms of rest between them.
std::vector<float> Play(const std::vector<int>& keys)
{
    std::vector<float> samples;
    for (int key : keys) {
        const double frequency = 440.0 * std::pow(2.0, (key - 69) / 12.0);
        for (long f = 0; f < SampleRate * 36 / 100; ++f) {
            const double t = double(f) / SampleRate;
            const double value = f < SampleRate * 30 / 100
                ? 0.3 * std::sin(2 * Pi * frequency * t) + 0.1 * std::sin(4 * Pi * frequency * t)
                : 0.0;
            for (int c = 0; c < Channels; ++c)
                samples.push_back(float(value));
        }
    }
    return samples;
}

TEST(MelodyTracker, FindsEveryNoteOfAKnownTune)
{
    // A tune that goes down to B4 and leaps a tenth from C5 to E6, what the melodies must not do.
    const std::vector<int> keys = {72, 71, 72, 76, 79, 72, 88, 84, 81, 79, 77, 76, 74, 72};
    const std::vector<int> notes = Notes(TrackPitch(Play(keys)));
    EXPECT_EQ(notes, keys);
    const Line line = Measure(notes);
    EXPECT_EQ(line.high - line.low, 17);
    EXPECT_EQ(line.widestLeap, 16);
}

struct Melody {
    const char* name;
    Placed placed;
    std::size_t fewestNotes;  // the tracker must find at least this many, or it did not hear the tune
};

void PrintTo(const Melody& melody, std::ostream* out)
{
    *out << melody.name;
}

class MelodyToSing : public ::testing::TestWithParam<Melody> { };

TEST_P(MelodyToSing, StaysWithinANinthAndLeapsAtMostASixth)
{
    const Melody& melody = GetParam();
    for (const auto& [key, start] : melody.placed)
        ASSERT_TRUE(Get(key).decoded) << key;
    const std::vector<int> notes = Notes(TrackPitch(LayOut(melody.placed)));
    ASSERT_GE(notes.size(), melody.fewestNotes);
    const Line line = Measure(notes);
    EXPECT_LE(line.high - line.low, 14) << "from key " << line.low << " to key " << line.high;
    EXPECT_LE(line.widestLeap, 9);
    RecordProperty("range_semitones", line.high - line.low);
    RecordProperty("widest_leap_semitones", line.widestLeap);
}

INSTANTIATE_TEST_SUITE_P(Tunes, MelodyToSing,
    ::testing::Values(Melody {"TuneToRebuild", {{"126", 0}}, 30},
        Melody {"OtherTune", OnShelf({"141", "142", "143", "144"}, UpperSlots), 30}),
    [](const ::testing::TestParamInfo<Melody>& info) { return std::string(info.param.name); });

// Two bricks that often sound the same pitch at the same moment of their
// course are hard to tell apart.
TEST(ShortBricks, ShareAtMostAThirdOfTheirPitches)
{
    std::vector<std::vector<std::optional<int>>> tracks;
    for (const std::string& key : ShortBricks()) {
        ASSERT_TRUE(Get(key).decoded) << key;
        tracks.push_back(TrackPitch(Get(key).samples));
    }
    double most = 0.0;
    for (std::size_t a = 0; a < tracks.size(); ++a)
        for (std::size_t b = a + 1; b < tracks.size(); ++b) {
            std::size_t either = 0, same = 0;
            for (std::size_t i = 0; i < std::min(tracks[a].size(), tracks[b].size()); ++i) {
                either += tracks[a][i] || tracks[b][i];
                same += tracks[a][i] && tracks[a][i] == tracks[b][i];
            }
            ASSERT_GT(either, tracks[a].size() / 2) << "no pitch heard in " << ShortBricks()[a];
            const double share = double(same) / double(either);
            EXPECT_LE(share, 1.0 / 3.0) << ShortBricks()[a] << " and " << ShortBricks()[b];
            most = std::max(most, share);
        }
    RecordProperty("most_shared", std::to_string(most));
}

}  // namespace
