// The audio output stand-ins: sound buffers, the mixer, the hand-stepped
// output and its wake events, and the SDL device.

#include "platform/AudioDevice.h"
#include "platform/AudioManualOutput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t Second = AudioOutput::Rate;

// Writes `values` (interleaved samples) at byte offset of buffer through a lock.
void Write(AudioBuffer& buffer, std::uint32_t offset, const std::vector<std::int16_t>& values)
{
    std::span<unsigned char> region;
    ASSERT_EQ(buffer.Lock(offset, static_cast<std::uint32_t>(values.size() * 2), region), AudioResult::Ok);
    std::memcpy(region.data(), values.data(), region.size());
    ASSERT_EQ(buffer.Unlock(region), AudioResult::Ok);
}

std::vector<std::int16_t> Ramp(std::size_t count, int start = 1)
{
    std::vector<std::int16_t> values(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<std::int16_t>(start + static_cast<int>(i));
    return values;
}

int ZeroCrossings(const std::vector<std::int16_t>& samples, std::size_t fromFrame, std::size_t frames)
{
    int crossings = 0;
    for (std::size_t f = fromFrame + 1; f < fromFrame + frames; ++f)
        if ((samples[2 * (f - 1)] < 0) != (samples[2 * f] < 0))
            ++crossings;
    return crossings;
}

}  // namespace

TEST(AudioBuffer, CreationAcceptsMonoAndStereoWholeFramesOnly)
{
    struct Case {
        AudioFormat format;
        std::uint32_t bytes;
        bool created;
    };
    const Case cases[] = {
        {{2, 44100}, 176400, true},
        {{1, 22050}, 44100, true},
        {{2, 11025}, 44100, true},
        {{2, 192000}, 768000, true},
        {{0, 44100}, 1000, false},
        {{3, 44100}, 1200, false},
        {{2, 0}, 1000, false},
        {{2, 200000}, 1000, false},
        {{2, 44100}, 0, false},
        {{2, 44100}, 1002, false},
        {{1, 44100}, 1001, false},
        {{2, 44100}, 64u << 20, false},
    };
    AudioManualOutput output;
    for (const Case& c : cases) {
        auto buffer = output.CreateBuffer(c.format, c.bytes);
        EXPECT_EQ(buffer != nullptr, c.created)
            << c.format.channels << " channels, " << c.format.rate << " Hz, " << c.bytes << " bytes";
        if (buffer) {
            EXPECT_EQ(buffer->Bytes(), c.bytes);
        }
    }
}

TEST(AudioBuffer, PlaysOnceThenStopsAtPositionZero)
{
    AudioManualOutput output;
    auto buffer = output.CreateBuffer({2, 44100}, 400);  // 100 frames
    Write(*buffer, 0, Ramp(200));

    // Play it once and then some silence.
    ASSERT_EQ(buffer->Play(false), AudioResult::Ok);
    output.Advance(150);

    const auto& out = output.Samples();
    ASSERT_EQ(out.size(), 300u);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 200), Ramp(200));
    EXPECT_EQ(std::vector<std::int16_t>(out.begin() + 200, out.end()), std::vector<std::int16_t>(100, 0));
    EXPECT_FALSE(buffer->IsPlaying());
    std::uint32_t cursor = 99;
    buffer->GetCurrentPosition(cursor);
    EXPECT_EQ(cursor, 0u);
}

TEST(AudioBuffer, LoopingWrapsAndStopKeepsThePosition)
{
    AudioManualOutput output;
    auto buffer = output.CreateBuffer({1, 44100}, 200);  // 100 mono frames
    Write(*buffer, 0, Ramp(100));

    // From frame 40, 250 frames: the ring three times over, partly.
    ASSERT_EQ(buffer->SetCurrentPosition(80), AudioResult::Ok);
    buffer->Play(true);
    output.Advance(250);
    buffer->Stop();
    output.Advance(10);

    const auto& out = output.Samples();
    for (std::size_t f = 0; f < 250; ++f) {
        const auto expected = static_cast<std::int16_t>(1 + (40 + f) % 100);
        ASSERT_EQ(out[2 * f], expected) << "frame " << f;
        ASSERT_EQ(out[2 * f + 1], expected) << "mono plays on both sides";
    }
    EXPECT_EQ(out[2 * 255], 0);
    std::uint32_t cursor = 0;
    buffer->GetCurrentPosition(cursor);
    EXPECT_EQ(cursor, (40 + 250) % 100 * 2u);
    EXPECT_EQ(buffer->SetCurrentPosition(200), AudioResult::Failed) << "past the end";
}

// A one-second ring at any rate takes one second of output to go round, and a
// tone keeps its pitch.
TEST(AudioBuffer, ResamplesWithCorrectPitchAndLength)
{
    for (const int rate : {11025, 22050, 44000, 44100, 48000, 96000}) {
        AudioManualOutput output;
        auto buffer = output.CreateBuffer({2, rate}, static_cast<std::uint32_t>(rate) * 4);
        std::vector<std::int16_t> tone(static_cast<std::size_t>(rate) * 2);
        for (int f = 0; f < rate; ++f) {
            tone[2 * f] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 441.0 * f / rate));
            tone[2 * f + 1] = tone[2 * f];
        }
        Write(*buffer, 0, tone);
        buffer->Play(true);

        output.Advance(Second / 2);
        std::uint32_t cursor = 0;
        buffer->GetCurrentPosition(cursor);
        EXPECT_NEAR(cursor / 4.0, rate / 2.0, 1.0) << rate << " Hz: half a second of output";
        output.Advance(Second / 2);
        buffer->GetCurrentPosition(cursor);
        EXPECT_TRUE(cursor / 4 <= 1 || cursor / 4 >= static_cast<std::uint32_t>(rate) - 1)
            << rate << " Hz: round once, at frame " << cursor / 4;
        EXPECT_NEAR(ZeroCrossings(output.Samples(), 0, Second), 2 * 441, 2) << rate << " Hz";
        buffer->Stop();
    }
}

TEST(AudioBuffer, LockedRegionsWrapRoundTheEndAndReachTheMixerAtUnlock)
{
    AudioManualOutput output;
    auto buffer = output.CreateBuffer({1, 44100}, 20);  // 10 mono frames
    Write(*buffer, 0, Ramp(10, 100));

    // Lock the last 3 and first 2 frames: the region holds what is there.
    std::span<unsigned char> region;
    ASSERT_EQ(buffer->Lock(14, 10, region), AudioResult::Ok);
    std::vector<std::int16_t> seen(5);
    std::memcpy(seen.data(), region.data(), 10);
    EXPECT_EQ(seen, (std::vector<std::int16_t> {107, 108, 109, 100, 101}));

    // One lock at a time; a foreign region does not unlock.
    std::span<unsigned char> second;
    EXPECT_EQ(buffer->Lock(0, 2, second), AudioResult::Failed);
    unsigned char foreign[10] = {};
    EXPECT_EQ(buffer->Unlock(std::span<unsigned char>(foreign, 10)), AudioResult::Failed);

    // Written but not unlocked: the mixer still plays the old samples.
    const std::vector<std::int16_t> fresh {-1, -2, -3, -4, -5};
    std::memcpy(region.data(), fresh.data(), 10);
    buffer->Play(true);
    output.Advance(10);
    EXPECT_EQ(output.Samples()[0], 100);
    ASSERT_EQ(buffer->Unlock(region), AudioResult::Ok);
    output.ClearSamples();
    output.Advance(10);
    std::vector<std::int16_t> left;
    for (std::size_t f = 0; f < 10; ++f)
        left.push_back(output.Samples()[2 * f]);
    EXPECT_EQ(left, (std::vector<std::int16_t> {-4, -5, 102, 103, 104, 105, 106, -1, -2, -3}));

    // Misaligned or out-of-range requests fail.
    EXPECT_EQ(buffer->Lock(1, 2, region), AudioResult::Failed);
    EXPECT_EQ(buffer->Lock(0, 3, region), AudioResult::Failed);
    EXPECT_EQ(buffer->Lock(20, 2, region), AudioResult::Failed);
    EXPECT_EQ(buffer->Lock(0, 22, region), AudioResult::Failed);
    buffer->Stop();
}

TEST(AudioBuffer, LostBuffersAreSilentUntilRestoredAndWrittenAgain)
{
    AudioManualOutput output;
    auto buffer = output.CreateBuffer({2, 44100}, 40);
    Write(*buffer, 0, Ramp(20));
    buffer->Play(true);

    output.LoseBuffers();
    std::span<unsigned char> region;
    EXPECT_EQ(buffer->Lock(0, 40, region), AudioResult::Lost);
    output.Advance(10);
    EXPECT_EQ(output.Samples(), std::vector<std::int16_t>(20, 0)) << "a lost buffer plays silence";
    EXPECT_TRUE(buffer->IsPlaying()) << "and keeps its cursor moving";

    ASSERT_EQ(buffer->Restore(), AudioResult::Ok);
    Write(*buffer, 0, Ramp(20, 7));
    output.ClearSamples();
    output.Advance(10);
    EXPECT_EQ(output.Samples(), Ramp(20, 7));
    buffer->Stop();
}

TEST(AudioOutput, MixesEveryPlayingBufferAndLimitsTheSum)
{
    AudioManualOutput output;
    auto a = output.CreateBuffer({2, 44100}, 16);
    auto b = output.CreateBuffer({1, 44100}, 8);
    auto idle = output.CreateBuffer({2, 44100}, 16);
    Write(*a, 0, {1000, -1000, 30000, -30000, 5, 6, 7, 8});
    Write(*b, 0, {100, 5000, -5, 0});
    Write(*idle, 0, {9, 9, 9, 9, 9, 9, 9, 9});
    a->Play(true);
    b->Play(true);

    // Quiet sums pass as they are; the loud ones go through the limiter.
    output.Advance(4);
    EXPECT_EQ(output.Samples(),
        (std::vector<std::int16_t> {1100, -900, AudioOutput::Limit(35000), AudioOutput::Limit(-25000), 0, 1, 7, 8}));
    a->Stop();
    b->Stop();
}

TEST(AudioOutput, LimiterPassesQuietSumsAndBendsLoudOnesBelowFullScale)
{
    struct Case {
        std::int32_t sum;
        int low, high;  // the limited sample lies in [low, high]
    };
    const Case cases[] = {
        {0, 0, 0},
        {1, 1, 1},
        {-1, -1, -1},
        {12345, 12345, 12345},
        {AudioOutput::LimiterKnee, AudioOutput::LimiterKnee, AudioOutput::LimiterKnee},
        {-AudioOutput::LimiterKnee, -AudioOutput::LimiterKnee, -AudioOutput::LimiterKnee},
        {AudioOutput::LimiterKnee + 1, AudioOutput::LimiterKnee, AudioOutput::LimiterKnee + 1},  // no corner
        {32767, 29000, 31000},         // one full-scale sound: 0.8 dB under full scale
        {2 * 32767, 32000, 32700},     // two of them
        {-2 * 32768, -32700, -32000},  //
        {8 * 32767, 32700, 32766},     // eight: still off the rail
        {INT32_MAX, 32700, 32766},
        {INT32_MIN, -32766, -32700},
    };
    for (const Case& c : cases) {
        const int limited = AudioOutput::Limit(c.sum);
        EXPECT_GE(limited, c.low) << c.sum;
        EXPECT_LE(limited, c.high) << c.sum;
    }

    // Over the whole range of eight summed sounds the curve rises steadily and is symmetric.
    int previous = AudioOutput::Limit(-8 * 32768);
    for (std::int32_t sum = -8 * 32768 + 3; sum <= 8 * 32767; sum += 3) {
        const int limited = AudioOutput::Limit(sum);
        ASSERT_GE(limited, previous) << sum;
        ASSERT_LE(limited - previous, 3) << sum;
        ASSERT_EQ(AudioOutput::Limit(-sum), -limited) << sum;
        previous = limited;
    }
}

// Two full-scale sines in step add up to twice full scale. A wrapping mixer
// would turn every crest upside down, a clipping one would flatten it for a
// third of each half wave; the limiter keeps the sine's shape.
TEST(AudioOutput, TwoFullScaleSinesAreLimitedSmoothly)
{
    AudioManualOutput output;
    std::vector<std::int16_t> sine(2 * Second);
    for (std::uint32_t f = 0; f < Second; ++f)
        sine[2 * f] = sine[2 * f + 1]
            = static_cast<std::int16_t>(std::lround(32767 * std::sin(2 * M_PI * 441.0 * f / Second)));
    auto first = output.CreateBuffer({2, 44100}, Second * 4);
    auto second = output.CreateBuffer({2, 44100}, Second * 4);
    Write(*first, 0, sine);
    Write(*second, 0, sine);
    first->Play(false);
    second->Play(false);
    output.Advance(Second);

    const auto& out = output.Samples();
    ASSERT_EQ(out.size(), sine.size());
    int loudest = 0, longestRun = 1, run = 1;
    std::vector<std::pair<int, int>> sumAndOut;  // left channel
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i] > 0, sine[i] > 0) << "wrapped at sample " << i;
        ASSERT_EQ(out[i] < 0, sine[i] < 0) << "wrapped at sample " << i;
        loudest = std::max(loudest, std::abs(static_cast<int>(out[i])));
        if (i >= 2) {
            run = out[i] == out[i - 2] && std::abs(out[i]) > 30000 ? run + 1 : 1;  // one channel: every other sample
            longestRun = std::max(longestRun, run);
        }
        if (i % 2 == 0)
            sumAndOut.emplace_back(2 * sine[i], out[i]);
    }
    EXPECT_LT(loudest, 32767) << "flattened against the rail";
    EXPECT_GT(loudest, 32000) << "the limiter should use the room up to full scale";
    EXPECT_LE(longestRun, 2) << "a flat crest: clipped, not limited";
    // A louder sum never comes out softer, so the wave keeps its shape.
    std::sort(sumAndOut.begin(), sumAndOut.end());
    for (std::size_t i = 1; i < sumAndOut.size(); ++i)
        ASSERT_GE(sumAndOut[i].second, sumAndOut[i - 1].second) << "at a sum of " << sumAndOut[i].first;
    first->Stop();
    second->Stop();
}

// Wake-ups of feeding threads run on playback time: every 20 ms of it, and at
// once when signalled; Advance waits for the thread before mixing on.
TEST(AudioManualOutput, FeedingThreadsWakeOnPlaybackTime)
{
    AudioManualOutput output;
    auto event = output.CreateWakeEvent();
    std::vector<std::uint64_t> wakes;  // written by the thread, read after it ended
    std::atomic<bool> finish {false};
    event->BeginFeeding();
    std::thread feeder([&] {
        for (;;) {
            const WakeReason reason = event->Wait(std::chrono::milliseconds(20));
            wakes.push_back(output.FramesPlayed());
            if (reason == WakeReason::Signalled && finish)
                break;
        }
        event->EndFeeding();
    });

    // Ten turns of 20 ms, advanced in uneven steps.
    output.Advance(1000);
    output.Advance(7 * 882 - 1000);
    output.Advance(3 * 882);
    finish = true;
    event->Set();
    feeder.join();
    output.Advance(882);  // nobody to wait for now

    std::vector<std::uint64_t> expected;
    for (std::uint64_t k = 1; k <= 10; ++k)
        expected.push_back(k * 882);
    expected.push_back(10 * 882);  // the signalled wake-up, without time passing
    EXPECT_EQ(wakes, expected);
}

TEST(AutoResetEvent, ASetBeforeTheWaitIsKeptAndConsumedOnce)
{
    AutoResetEvent event;
    event.Set();
    EXPECT_EQ(event.Wait(std::chrono::milliseconds(0)), WakeReason::Signalled);
    EXPECT_EQ(event.Wait(std::chrono::milliseconds(1)), WakeReason::TimedOut);
}

// The device's feeding threads wake together on a shared beat, each within one period.
TEST(BeatWakeEvent, EndsTheWaitOnTheNextBeatOfTheSteadyClock)
{
    using namespace std::chrono;
    using Time = BeatWakeEvent::Clock::time_point;
    struct Case {
        nanoseconds now;
        milliseconds period;
        nanoseconds beat;
    };
    for (const Case c : {
             Case {0ns, 20ms, 20ms}, Case {1ns, 20ms, 20ms}, Case {19'999'999ns, 20ms, 20ms},
             Case {20ms, 20ms, 40ms},  // a wait started on the beat lasts a whole period
             Case {hours(24 * 400) + 37ms, 20ms, hours(24 * 400) + 40ms}, Case {37ms, 0ms, 37ms},  // no period: no wait
         }) {
        const Time now(duration_cast<BeatWakeEvent::Clock::duration>(c.now));
        EXPECT_EQ(BeatWakeEvent::NextBeat(now, c.period).time_since_epoch(), c.beat) << c.now.count() << " ns";
    }

    BeatWakeEvent event;
    event.Set();
    EXPECT_EQ(event.Wait(milliseconds(20)), WakeReason::Signalled);
    EXPECT_EQ(event.Wait(milliseconds(1)), WakeReason::TimedOut);
}

TEST(AudioDevice, OpensThroughSDLOrReportsNoDevice)
{
    // SDL's dummy driver opens like a real device, without a sound card.
    const char* previous = SDL_getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto device = OpenAudioDevice();
    ASSERT_NE(device, nullptr) << SDL_GetError();
    auto buffer = device->CreateBuffer({2, 44100}, 176400);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->Play(true), AudioResult::Ok);
    buffer.reset();
    device.reset();

    // A driver that does not exist: no device, so the program would run silently.
    SDL_setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(OpenAudioDevice(), nullptr);
    SDL_setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
}
