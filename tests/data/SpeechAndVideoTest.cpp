// The speech and the praise clips as the program carries them (data/catalogue/speech.txt and video.txt,
// read back from the embedded table): every sound decodes with the rate, channels and exact length the
// screens rely on, at -16 LUFS with peaks under -1 dBFS, with its words where its source puts them (the
// commentary's sentences at the times the instruction video is filmed to); every clip is a silent Ogg
// Theora stream of 320 x 240 at 12 frames a second that outlasts its word and moves all along.
//
// The sounds are made by tools/speech/generate, the clips by tools/video/generate.

#include "Catalogue.h"
#include "data/EmbeddedData.h"
#include "support/TheoraClip.h"
#include "support/VorbisDecoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DataDir = ZV_DATA_DIR;

// ---------------------------------------------------------------------------------------------------------
// Reading the catalogue, the sources and the embedded sounds
// ---------------------------------------------------------------------------------------------------------

// key -> kind of every entry of a catalogue fragment.
std::map<std::string, std::string> KindsOf(const std::string& fragment)
{
    std::map<std::string, std::string> kinds;
    for (const CatalogueEntry& entry : ReadCatalogue(fragment)) {
        EXPECT_FALSE(kinds.count(entry.key)) << entry.key << " is listed twice in " << fragment;
        kinds[entry.key] = entry.kind;
    }
    return kinds;
}

// The blocks of a speech source: "name value" lines, blocks separated by blank lines, '#' comments.
using Block = std::map<std::string, std::string>;

std::vector<Block> ReadBlocks(const std::string& path)
{
    std::vector<Block> blocks(1);
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (line.find_first_not_of(" \t") == std::string::npos) {
            if (!blocks.back().empty())
                blocks.emplace_back();
            continue;
        }
        const std::size_t space = line.find(' ');
        blocks.back()[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    if (blocks.back().empty())
        blocks.pop_back();
    return blocks;
}

// Each embedded sound decoded once for the whole test program.
const Sound& Get(const std::string& key)
{
    static std::map<std::string, Sound> cache;
    auto found = cache.find(key);
    if (found == cache.end())
        found = cache.emplace(key, DecodeVorbis(FindEmbedded(key))).first;
    return found->second;
}

// ---------------------------------------------------------------------------------------------------------
// Measuring
// ---------------------------------------------------------------------------------------------------------

// Integrated loudness after ITU-R BS.1770 (K-weighting, 400 ms blocks every 100 ms, the absolute gate at
// -70 LUFS and the relative gate 10 LU under the ungated mean), the measure the generators level to.
double IntegratedLoudness(const Sound& sound)
{
    const double rate = double(sound.rate);
    // The two K-weighting stages, designed for this rate as libebur128 does.
    double k = std::tan(std::numbers::pi * 1681.974450955533 / rate);
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
    double q = 0.7071752369554196;
    double a0 = 1.0 + k / q + k * k;
    const double shelfB[3] = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0};
    const double shelfA[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    k = std::tan(std::numbers::pi * 38.13547087602444 / rate);
    q = 0.5003270373238773;
    a0 = 1.0 + k / q + k * k;
    const double highB[3] = {1.0, -2.0, 1.0};
    const double highA[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};

    const std::size_t frames = sound.Frames();
    std::vector<double> power(frames, 0.0);  // K-weighted squares, summed over the channels
    for (int c = 0; c < sound.channels; ++c) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const double x = sound.samples[i * sound.channels + c];
            const double y = shelfB[0] * x + shelfB[1] * x1 + shelfB[2] * x2 - shelfA[1] * y1 - shelfA[2] * y2;
            const double z = highB[0] * y + highB[1] * y1 + highB[2] * y2 - highA[1] * z1 - highA[2] * z2;
            x2 = x1, x1 = x, y2 = y1, y1 = y, z2 = z1, z1 = z;
            power[i] += z * z;
        }
    }
    const std::size_t block = std::size_t(rate * 0.4), step = std::size_t(rate * 0.1);
    std::vector<double> blocks;
    for (std::size_t start = 0; start + block <= frames; start += step) {
        double sum = 0;
        for (std::size_t i = start; i < start + block; ++i)
            sum += power[i];
        blocks.push_back(sum / double(block));
    }
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int count = 0;
        for (double b : blocks)
            if (-0.691 + 10.0 * std::log10(b + 1e-30) > gate)
                sum += b, ++count;
        return count ? sum / count : 0.0;
    };
    const double ungated = gatedMean(-70.0);
    return -0.691 + 10.0 * std::log10(gatedMean(-0.691 + 10.0 * std::log10(ungated + 1e-30) - 10.0) + 1e-30);
}

double PeakDb(const Sound& sound)
{
    float peak = 0.0f;
    for (float s : sound.samples)
        peak = std::max(peak, std::fabs(s));
    return peak > 0.0f ? 20.0 * std::log10(peak) : -1000.0;
}

// RMS level of the seconds [from, to) over all channels, in dBFS.
double LevelDb(const Sound& sound, double from, double to)
{
    const std::size_t first = std::size_t(std::max(0.0, from) * sound.rate);
    const std::size_t last = std::min(sound.Frames(), std::size_t(std::max(0.0, to) * sound.rate));
    double sum = 0;
    for (std::size_t i = first * sound.channels; i < last * sound.channels; ++i)
        sum += double(sound.samples[i]) * sound.samples[i];
    const std::size_t count = (last > first ? last - first : 0) * sound.channels;
    return count && sum > 0 ? 10.0 * std::log10(sum / count) : -1000.0;
}

constexpr double Silent = -55.0;  // dBFS: under this a stretch is heard as silence
constexpr double Voiced = -32.0;  // dBFS: over this the voice is speaking

// ---------------------------------------------------------------------------------------------------------
// The sounds
// ---------------------------------------------------------------------------------------------------------

struct SpokenSound {
    const char* key;
    long rate;
    std::size_t frames;
};

// The praise words are 2 s each (the device's rate); the closing phrase and the commentary are the
// 44000 Hz stereo sounds the instruction plays, 5.2 s and 88 s.
const SpokenSound SpokenSounds[] = {
    {"bravo_sound", 44100, 88200},
    {"gotovo_sound", 44100, 88200},
    {"molodec_sound", 44100, 88200},
    {"otlichno_sound", 44100, 88200},
    {"ura_sound", 44100, 88200},
    {"ENDHELPSOUND", 44000, 228800},
    {"153", 44000, 3872000},
};

void PrintTo(const SpokenSound& sound, std::ostream* out)
{
    *out << sound.key;
}

TEST(SpeechCatalogue, ListsEverySpokenSoundOnceAsOggAndEmbedsIt)
{
    std::set<std::string> expected;
    for (const SpokenSound& sound : SpokenSounds)
        expected.insert(sound.key);
    std::set<std::string> listed;
    for (const auto& [key, kind] : KindsOf("speech.txt")) {
        listed.insert(key);
        EXPECT_EQ(kind, "ogg") << key;
    }
    EXPECT_EQ(listed, expected);
    for (const EmbeddedFile& file : EmbeddedFiles()) {
        if (expected.count(std::string(file.key))) {
            EXPECT_EQ(file.kind, "ogg") << file.key;
        }
    }
}

class SpeechSound : public ::testing::TestWithParam<SpokenSound> { };

TEST_P(SpeechSound, DecodesWithItsRateChannelsAndExactLength)
{
    const Sound& sound = Get(GetParam().key);
    ASSERT_TRUE(sound.decoded) << GetParam().key << " is not embedded as Ogg Vorbis";
    EXPECT_EQ(sound.rate, GetParam().rate);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.Frames(), GetParam().frames);
}

TEST_P(SpeechSound, IsAtMinus16LufsWithPeaksUnderMinus1Dbfs)
{
    const Sound& sound = Get(GetParam().key);
    ASSERT_TRUE(sound.decoded);
    EXPECT_NEAR(IntegratedLoudness(sound), -16.0, 0.5);
    EXPECT_LE(PeakDb(sound), -1.0);
}

TEST_P(SpeechSound, BeginsAndEndsInSilence)
{
    const Sound& sound = Get(GetParam().key);
    ASSERT_TRUE(sound.decoded);
    const double end = sound.Seconds();
    EXPECT_LT(LevelDb(sound, 0.0, 0.05), Silent) << "starts with a sound";
    // The last 20 ms of a numbered sound are never played, so nothing may be said there.
    EXPECT_LT(LevelDb(sound, end - 0.05, end), Silent) << "ends in the middle of a sound";
}

INSTANTIATE_TEST_SUITE_P(Speech, SpeechSound, ::testing::ValuesIn(SpokenSounds),
    [](const ::testing::TestParamInfo<SpokenSound>& info) { return std::string("Sound") + info.param.key; });

// The voice speaks where the sources say: a praise word from its start, its chime from the sparkle time.
TEST(SpeechPhrases, SpeakFromTheirStartAndChimeAtTheirSparkle)
{
    const std::vector<Block> phrases = ReadBlocks(DataDir + "src/speech/phrases.txt");
    ASSERT_EQ(phrases.size(), 6u);
    for (const Block& phrase : phrases) {
        const std::string key = phrase.at("key");
        const Sound& sound = Get(key);
        ASSERT_TRUE(sound.decoded) << key;
        const double start = std::stod(phrase.at("start"));
        EXPECT_LT(LevelDb(sound, 0.0, start - 0.02), Silent) << key << " before its words";
        EXPECT_GT(LevelDb(sound, start, start + 0.2), Voiced) << key << " at its words";
        if (phrase.count("sparkle")) {
            const double sparkle = std::stod(phrase.at("sparkle"));
            EXPECT_LT(LevelDb(sound, sparkle - 0.08, sparkle - 0.01), Silent) << key << ": no pause before the chime";
            EXPECT_GT(LevelDb(sound, sparkle, sparkle + 0.3), Voiced) << key << ": no chime";
        }
    }
}

// The instruction video is filmed to the sentence times of commentary.txt: each sentence must begin at its
// time, out of a pause or out of the game's sound turned down under it.
TEST(SpeechCommentary, SentencesBeginAtTheTimesTheVideoFollows)
{
    const std::vector<Block> blocks = ReadBlocks(DataDir + "src/speech/commentary.txt");
    ASSERT_GE(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].at("key"), "153");
    const Sound& sound = Get("153");
    ASSERT_TRUE(sound.decoded);
    EXPECT_NEAR(sound.Seconds(), std::stod(blocks[0].at("length")), 1e-4);
    double previous = -1.0;
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const double at = std::stod(blocks[i].at("at"));
        EXPECT_GT(at, previous);
        EXPECT_FALSE(blocks[i].at("video").empty()) << "the sentence at " << at << " s has no stage direction";
        const double before = LevelDb(sound, at - 0.2, at - 0.01);
        const double words = LevelDb(sound, at, at + 0.2);
        EXPECT_GT(words, Voiced) << "nothing said at " << at << " s";
        EXPECT_GT(words - before, 8.0) << "the sentence at " << at << " s does not stand out of what comes before it";
        previous = at;
    }
}

// The commentary carries what the game plays in the video, from the moment the video shows it: the melody
// when the gramophone's button is pressed, a brick's piece when a brick is pressed and held, and gives
// each room to be heard alone before the next sentence (3 s for the melody, 2 s for a brick).
struct Demonstrated {
    const char* clause;  // words of the stage direction that starts it
    double room;         // seconds heard alone at least
};

TEST(SpeechCommentary, CarriesTheSoundsTheVideoShowsWithRoomToHearThem)
{
    const Demonstrated demonstrated[] = {
        {"the melody plays", 3.0},
        {"presses the brick and holds it", 2.0},
    };
    const std::vector<Block> blocks = ReadBlocks(DataDir + "src/speech/commentary.txt");
    const Sound& sound = Get("153");
    ASSERT_TRUE(sound.decoded);
    for (const Demonstrated& d : demonstrated) {
        int found = 0;
        for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
            // The clauses of the stage direction, each at the last time given before it.
            std::istringstream clauses(blocks[i].at("video"));
            std::string clause;
            double at = -1.0;
            while (std::getline(clauses, clause, ';')) {
                const std::size_t colon = clause.find(": ");
                if (colon != std::string::npos && clause.find_first_not_of(" 0123456789.-") >= colon)
                    at = std::stod(clause.substr(clause.find_first_not_of(' '), colon));
                if (at < 0.0 || clause.find(d.clause) == std::string::npos)
                    continue;
                ++found;
                SCOPED_TRACE(testing::Message() << d.clause << " at " << at << " s");
                const double next = std::stod(blocks[i + 1].at("at"));
                EXPECT_GE(next - at, d.room) << "the next sentence leaves no room to hear it";
                EXPECT_GT(LevelDb(sound, at + 0.3, at + d.room - 0.5), Silent) << "nothing to hear";
            }
        }
        EXPECT_GT(found, 0) << "the video never shows " << d.clause;
    }
}

// ---------------------------------------------------------------------------------------------------------
// The clips
// ---------------------------------------------------------------------------------------------------------

struct PraiseClip {
    const char* key;
    const char* sound;  // the word the praise plays with it
};

const PraiseClip PraiseClips[] = {
    {"bravo_video", "bravo_sound"},
    {"gotovo_video", "gotovo_sound"},
    {"molodec_video", "molodec_sound"},
    {"otlichno_video", "otlichno_sound"},
    {"ura_video", "ura_sound"},
};

void PrintTo(const PraiseClip& clip, std::ostream* out)
{
    *out << clip.key;
}

const TheoraClip& GetClip(const std::string& key)
{
    static std::map<std::string, TheoraClip> cache;
    auto found = cache.find(key);
    if (found == cache.end())
        found = cache.emplace(key, DecodeTheoraClip(FindEmbedded(key), true)).first;
    return found->second;
}

TEST(VideoCatalogue, ListsEveryPraiseClipOnceAsOgv)
{
    std::set<std::string> expected;
    for (const PraiseClip& clip : PraiseClips)
        expected.insert(clip.key);
    std::set<std::string> listed;
    for (const auto& [key, kind] : KindsOf("video.txt")) {
        listed.insert(key);
        EXPECT_EQ(kind, "ogv") << key;
    }
    EXPECT_EQ(listed, expected);
}

// Mean RGB of the rows [top, bottom) of one picture.
std::array<double, 3> MeanColour(const TheoraClip& clip, int frame, int top, int bottom)
{
    std::array<double, 3> sum {};
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < clip.pictureWidth; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += clip.Pixel(frame, x, y)[c];
    for (double& value : sum)
        value /= double(bottom - top) * clip.pictureWidth;
    return sum;
}

class VideoClip : public ::testing::TestWithParam<PraiseClip> { };

TEST_P(VideoClip, IsASilentTheoraStreamOf320By240At12FramesASecond)
{
    const TheoraClip& clip = GetClip(GetParam().key);
    ASSERT_TRUE(clip.decoded) << GetParam().key << ": " << clip.error;
    EXPECT_EQ(clip.pictureWidth, 320);
    EXPECT_EQ(clip.pictureHeight, 240);
    EXPECT_EQ(clip.frameWidth, 320);
    EXPECT_EQ(clip.frameHeight, 240);
    EXPECT_EQ(clip.pictureX, 0);
    EXPECT_EQ(clip.pictureY, 0);
    EXPECT_EQ(clip.fpsNumerator, 12);
    EXPECT_EQ(clip.fpsDenominator, 1);
    EXPECT_EQ(clip.otherStreams, 0) << "a clip carries no sound track";
    // Every frame is a packet of its own and the last page's granule position names the last frame.
    EXPECT_EQ(clip.lastGranuleFrame, clip.frames - 1);
}

TEST_P(VideoClip, OutlastsItsWordByAMomentAndNoMore)
{
    const TheoraClip& clip = GetClip(GetParam().key);
    const Sound& word = Get(GetParam().sound);
    ASSERT_TRUE(clip.decoded);
    ASSERT_TRUE(word.decoded);
    // The exercise screen closes when the clip ends: the whole word and its chime must have been heard.
    EXPECT_GE(clip.Seconds(), word.Seconds());
    EXPECT_LE(clip.Seconds(), 3.0);
}

TEST_P(VideoClip, MovesInEveryFrameOnAColourfulPicture)
{
    const TheoraClip& clip = GetClip(GetParam().key);
    ASSERT_TRUE(clip.decoded);
    ASSERT_EQ(clip.pictures.size(), std::size_t(clip.frames));
    for (int frame = 0; frame < clip.frames; ++frame) {
        // Sky along the top, grass along the bottom.
        const std::array<double, 3> sky = MeanColour(clip, frame, 0, 24);
        EXPECT_GT(sky[2], sky[0] + 30) << "frame " << frame << ": no sky";
        const std::array<double, 3> grass = MeanColour(clip, frame, 216, 240);
        EXPECT_GT(grass[1], grass[0] + 30) << "frame " << frame << ": no grass";
        if (frame == 0)
            continue;
        // Nothing stands still: the rays turn and the note speaks or celebrates.
        const std::vector<uint8_t>& a = clip.pictures[frame - 1];
        const std::vector<uint8_t>& b = clip.pictures[frame];
        double difference = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            difference += std::abs(int(a[i]) - int(b[i]));
        EXPECT_GT(difference / a.size(), 0.5) << "frame " << frame << " repeats the one before";
    }
}

INSTANTIATE_TEST_SUITE_P(Praise, VideoClip, ::testing::ValuesIn(PraiseClips),
    [](const ::testing::TestParamInfo<PraiseClip>& info) { return std::string(info.param.key); });

}  // namespace
