// The musical sounds of data/catalogue/music.txt: every file decodes with the
// rate, channels and length the exercise relies on, stays under -1 dBFS, starts
// and ends without a click, and the bricks laid on the staff the way the staff
// plays them add up to the reference recordings and the gramophone's melody.
//
// The sounds are made by tools/music/generate from data/src/music/.
#include "Catalogue.h"
#include "data/MusicSounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace MusicSounds;

// Every musical sound and its length in frames.
const std::map<std::string, std::size_t>& ExpectedFrames()
{
    // clang-format off
    static const std::map<std::string, std::size_t> frames = {
        {"126", 1224657}, {"127", 1224657},                          // 27.77 s
        {"128", 848925},  {"129", 848925},                           // 19.25 s
        {"131", LongBrickFrames},  {"132", LongBrickFrames},  {"133", LongBrickFrames},
        {"134", LongBrickFrames},  {"135", LongBrickFrames},  {"136", LongBrickFrames},
        {"137", ShortBrickFrames}, {"138", ShortBrickFrames}, {"139", ShortBrickFrames},
        {"140", ShortBrickFrames}, {"141", ShortBrickFrames}, {"142", ShortBrickFrames},
        {"143", ShortBrickFrames}, {"144", ShortBrickFrames},
        {"145", 1105587},                                            // 25.07 s
    };
    // clang-format on
    return frames;
}

// Normalised correlation (cosine of the angle between the two signals).
double Correlation(const std::vector<float>& a, const std::vector<float>& b, std::size_t samples)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < samples; ++i) {
        const double x = i < a.size() ? a[i] : 0.0;
        const double y = i < b.size() ? b[i] : 0.0;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

TEST(MusicCatalogue, ListsEverySoundOnceAsOgg)
{
    std::set<std::string> listed;
    for (const CatalogueEntry& entry : ReadCatalogue("music.txt")) {
        EXPECT_TRUE(listed.insert(entry.key).second) << entry.key << " is listed twice";
        EXPECT_EQ(entry.kind, "ogg") << entry.key;
        EXPECT_EQ(entry.path, "sounds/" + entry.key + ".ogg") << entry.key;
    }
    std::set<std::string> expected;
    for (const auto& [key, frames] : ExpectedFrames())
        expected.insert(key);
    EXPECT_EQ(listed, expected);
}

class MusicSound : public ::testing::TestWithParam<std::string> { };

TEST_P(MusicSound, DecodesWithItsRateChannelsAndLength)
{
    const Sound& sound = Get(GetParam());
    ASSERT_TRUE(sound.decoded) << "sounds/" << GetParam() << ".ogg does not decode";
    EXPECT_EQ(sound.rate, SampleRate);
    EXPECT_EQ(sound.channels, Channels);
    EXPECT_EQ(sound.Frames(), ExpectedFrames().at(GetParam()));
}

TEST_P(MusicSound, PeaksAtMostMinusOneDbfsAndIsNotSilent)
{
    const Sound& sound = Get(GetParam());
    ASSERT_TRUE(sound.decoded);
    EXPECT_LE(PeakDb(sound.samples, 0, sound.samples.size()), -1.0);
    double energy = 0.0;
    for (float s : sound.samples)
        energy += double(s) * s;
    const double rmsDb = 10.0 * std::log10(energy / std::max<std::size_t>(1, sound.samples.size()));
    EXPECT_GT(rmsDb, -35.0) << "far too quiet";
}

TEST_P(MusicSound, StartsAndEndsWithoutAClick)
{
    const Sound& sound = Get(GetParam());
    ASSERT_TRUE(sound.decoded);
    const std::size_t edge = 32 * Channels;  // 0.7 ms
    EXPECT_LT(PeakDb(sound.samples, 0, edge), -40.0) << "starts with a jump";
    EXPECT_LT(PeakDb(sound.samples, sound.samples.size() - edge, sound.samples.size()), -40.0) << "ends with a jump";
}

std::vector<std::string> CatalogueKeys()
{
    std::vector<std::string> keys;
    for (const auto& [key, frames] : ExpectedFrames())
        keys.push_back(key);
    return keys;
}

INSTANTIATE_TEST_SUITE_P(Sounds, MusicSound, ::testing::ValuesIn(CatalogueKeys()),
    [](const ::testing::TestParamInfo<std::string>& info) { return "Sound" + info.param; });

// What the staff plays against the recording that stands for it. Short bricks
// stand in upper slots 0, 3, 6 and 9, long bricks in lower slots 0, 4 and 8.
struct Arrangement {
    const char* name;
    Placed placed;
    std::string reference;
    std::size_t frames;  // compared over this many frames (0: the reference's length)
};

std::vector<Arrangement> Arrangements()
{
    return {
        {"SolvedUpperShelf", OnShelf({"137", "138", "139", "140"}, UpperSlots), "126", 25 * SampleRate},
        {"SolvedLowerShelf", OnShelf({"134", "135", "136"}, LowerSlots), "127", 25 * SampleRate},
        {"SolvedStaff", {{"126", 0}, {"127", 0}}, "145", 0},
        {"OtherUpperShelf", OnShelf({"141", "142", "143", "144"}, UpperSlots), "128", 0},
        {"OtherLowerShelf", OnShelf({"131", "132", "133"}, LowerSlots), "129", 0},
    };
}

void PrintTo(const Arrangement& arrangement, std::ostream* out)
{
    *out << arrangement.name;
}

class MusicArrangement : public ::testing::TestWithParam<Arrangement> { };

TEST_P(MusicArrangement, SoundsLikeItsReference)
{
    const Arrangement& arrangement = GetParam();
    const Sound& reference = Get(arrangement.reference);
    ASSERT_TRUE(reference.decoded);
    for (const auto& [key, start] : arrangement.placed)
        ASSERT_TRUE(Get(key).decoded) << key;
    const std::size_t frames = arrangement.frames ? arrangement.frames : reference.Frames();
    ASSERT_LE(frames, reference.Frames());
    const double correlation = Correlation(LayOut(arrangement.placed), reference.samples, frames * Channels);
    EXPECT_GT(correlation, 0.95) << arrangement.name << " against " << arrangement.reference;
    RecordProperty("correlation", std::to_string(correlation));
}

INSTANTIATE_TEST_SUITE_P(Staff, MusicArrangement, ::testing::ValuesIn(Arrangements()),
    [](const ::testing::TestParamInfo<Arrangement>& info) { return info.param.name; });

// Every brick is its own phrase: no two bricks are copies of each other, and
// no brick of the other tune is a copy of a brick of the tune to rebuild.
TEST(MusicBricks, AreAllDifferent)
{
    const std::vector<std::string> bricks
        = {"131", "132", "133", "134", "135", "136", "137", "138", "139", "140", "141", "142", "143", "144"};
    for (std::size_t i = 0; i < bricks.size(); ++i)
        for (std::size_t j = i + 1; j < bricks.size(); ++j) {
            const Sound& a = Get(bricks[i]);
            const Sound& b = Get(bricks[j]);
            if (a.Frames() != b.Frames())
                continue;  // a long and a short brick never stand in the same place
            EXPECT_LT(std::fabs(Correlation(a.samples, b.samples, a.samples.size())), 0.5)
                << bricks[i] << " and " << bricks[j] << " sound alike";
        }
}

}  // namespace
