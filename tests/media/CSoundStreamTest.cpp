// Streams: the one-second buffer in two halves, the decoding thread, end
// detection, Play/Stop and labels, all on the hand-stepped output.

#include "SoundHarness.h"
#include "platform/AudioOutput.h"

#include <algorithm>
#include <cmath>

using SoundStream = SoundHarness;

// Output frames from `from` on, `count` of them (interleaved stereo).
static std::vector<std::int16_t> Slice(
    const std::vector<std::int16_t>& samples, std::uint64_t from, std::uint64_t count)
{
    return {samples.begin() + static_cast<std::ptrdiff_t>(2 * from),
        samples.begin() + static_cast<std::ptrdiff_t>(2 * (from + count))};
}

// A sound shorter than half a buffer: the prefill pads it, the first refill
// finds nothing (1), the next one also (2), the third stops it: the end comes
// about one second of playback after the start.
TEST_F(SoundStream, ASoundShorterThanHalfABufferEndsAboutOneSecondAfterItStarts)
{
    const std::uint32_t id = MakeSound(L"short", 0.2);
    ASSERT_EQ(id, 1u);
    const std::uint64_t start = output->FramesPlayed();
    ASSERT_TRUE(system->Play(id));

    const std::uint64_t ended = RunUntilEnded(id);

    ASSERT_NE(ended, 0u);
    EXPECT_GE(ended - start, Second);
    EXPECT_LE(ended - start, Second + 3 * Tick);
    const auto [first, last] = AudibleSpan(output->Samples());
    EXPECT_NEAR(static_cast<double>(last - first), 0.2 * Second, 100);
    EXPECT_FALSE(system->FindStream(id)->IsPlaying());
}

// Sounds of every rate the program uses last as long as they should, and end
// within one second of playback after their last sample.
TEST_F(SoundStream, SoundsOfAnyRateLastTheirLength)
{
    struct Case {
        int rate, channels;
        double seconds;
    };
    for (const Case c : {Case {44100, 2, 2.3}, Case {22050, 2, 1.7}, Case {44000, 2, 2.0}, Case {11025, 1, 1.3}}) {
        SCOPED_TRACE(c.rate);
        output->ClearSamples();
        const std::uint64_t start = output->FramesPlayed();
        const std::uint32_t id = MakeSound(std::to_wstring(c.rate).c_str(), c.seconds, c.rate, c.channels);
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(system->Play(id));

        const std::uint64_t ended = RunUntilEnded(id);

        const auto [first, last] = AudibleSpan(output->Samples());
        EXPECT_LE(first, 50u);
        EXPECT_NEAR(static_cast<double>(last - first), c.seconds * Second, 0.002 * Second);
        ASSERT_NE(ended, 0u);
        EXPECT_GT(ended - start, static_cast<std::uint64_t>(c.seconds * Second));
        EXPECT_LE(ended - start, static_cast<std::uint64_t>((c.seconds + 1.1) * Second));
    }
}

TEST_F(SoundStream, PlayWhilePlayingChangesNothing)
{
    const std::uint32_t id = MakeSound(L"tune", 1.5);
    CSoundStream* stream = system->FindStream(id);
    ASSERT_TRUE(stream->Play());
    Run(10 * Tick);

    // The stream refuses; the system still says yes; no second start notification.
    EXPECT_FALSE(stream->Play());
    EXPECT_TRUE(system->Play(id));
    const std::uint64_t ended = RunUntilEnded(id);

    ASSERT_NE(ended, 0u);
    const std::vector<Notification> seen = Of(id);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, PlayMessage());
    EXPECT_EQ(seen[1].message, PauseMessage());
    const auto [first, last] = AudibleSpan(output->Samples());
    EXPECT_NEAR(static_cast<double>(last - first), 1.5 * Second, 100) << "played once, not restarted";
}

TEST_F(SoundStream, StopOnAStoppedStreamReturnsFalseAndPostsNothing)
{
    const std::uint32_t id = MakeSound(L"tune", 0.5);
    CSoundStream* stream = system->FindStream(id);
    EXPECT_FALSE(stream->Stop());
    EXPECT_TRUE(system->Stop(id)) << "the identifier exists";
    Run(Tick);
    EXPECT_TRUE(Of(id).empty());
}

// Stop returns once the thread has ended: its end notification is already
// queued, but the Ended slots run only when the queue is dispatched.
TEST_F(SoundStream, StopReturnsAfterTheThreadAndEndedRunsLaterFromTheQueue)
{
    const std::uint32_t id = MakeSound(L"long", 3.0);
    std::vector<std::uint32_t> ended;
    system->ConnectSoundEnded(id, [&](std::uint32_t which) {
        ended.push_back(which);
        return 0L;
    });
    system->Play(id);
    Run(25 * Tick);

    ASSERT_TRUE(system->Stop(id));

    EXPECT_FALSE(system->FindStream(id)->IsPlaying());
    EXPECT_TRUE(ended.empty()) << "not before the queue is dispatched";
    Dispatch();  // no playback time passes
    EXPECT_EQ(ended, std::vector<std::uint32_t> {id});
    const auto seen = Of(id);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].message, PauseMessage());
    EXPECT_EQ(seen[1].frame, 25 * Tick);

    // Nothing more comes, and the output is silent after the stop.
    output->ClearSamples();
    Run(2 * Second);
    EXPECT_EQ(Of(id).size(), 2u);
    EXPECT_EQ(AudibleSpan(output->Samples()), std::make_pair(std::uint64_t {0}, std::uint64_t {0}));
}

TEST_F(SoundStream, PlayRightAfterTheEndStartsAgainFromTheBeginning)
{
    const std::uint32_t id = MakeSound(L"tune", 1.2);
    system->ConnectSoundEnded(id, [this](std::uint32_t which) {
        // Restart from the end handler, as a repeat button would.
        system->Play(which);
        return 0L;
    });
    const std::uint64_t firstStart = output->FramesPlayed();
    system->Play(id);
    const std::uint64_t firstEnd = RunUntilEnded(id);
    ASSERT_NE(firstEnd, 0u);
    const std::uint64_t secondStart = output->FramesPlayed();
    system->FindStream(id)->Ended.disconnect_all_slots();
    ASSERT_NE(RunUntilEnded(id), 0u);

    const std::uint64_t length = static_cast<std::uint64_t>(1.2 * Second);
    EXPECT_EQ(Slice(output->Samples(), secondStart, length), Slice(output->Samples(), firstStart, length));
    const auto seen = Of(id);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2].message, PlayMessage());
}

// Two streams at once: the output is exactly the sum of each played alone, as
// the mixer's limiter passes it (the two tones together peak above its knee).
TEST_F(SoundStream, TwoStreamsPlayingAtOnceAreMixed)
{
    const std::uint32_t a = MakeSound(L"a", 1.0, 44100, 2, 440);
    const std::uint32_t b = MakeSound(L"b", 0.7, 44000, 2, 587);
    const std::uint64_t length = Second + Second / 2;

    // Each alone, with a second of silence after it, then both together.
    const std::uint64_t aStart = output->FramesPlayed();
    system->Play(a);
    ASSERT_NE(RunUntilEnded(a), 0u);
    Run(Second);
    const std::uint64_t bStart = output->FramesPlayed();
    system->Play(b);
    ASSERT_NE(RunUntilEnded(b), 0u);
    Run(Second);
    const std::uint64_t bothStart = output->FramesPlayed();
    system->Play(a);
    system->Play(b);
    ASSERT_NE(RunUntilEnded(a), 0u);
    RunUntilEnded(b);

    const auto& out = output->Samples();
    const auto alone = Slice(out, aStart, length);
    const auto other = Slice(out, bStart, length);
    const auto both = Slice(out, bothStart, length);
    std::vector<std::int16_t> sum(alone.size());
    std::transform(alone.begin(), alone.end(), other.begin(), sum.begin(),
        [](std::int16_t x, std::int16_t y) { return AudioOutput::Limit(x + y); });
    const auto mismatch = std::mismatch(both.begin(), both.end(), sum.begin());
    EXPECT_TRUE(mismatch.first == both.end())
        << "first difference at output frame " << (mismatch.first - both.begin()) / 2 << ": " << *mismatch.first
        << " against " << *mismatch.second;
    EXPECT_NE(AudibleSpan(other).second, 0u);
}

// Another program takes the device while a sound plays: the buffer is
// restored at the next refill and the sound still ends.
TEST_F(SoundStream, ALostBufferIsRestoredAndTheSoundStillEnds)
{
    const std::uint32_t id = MakeSound(L"tune", 2.0);
    system->Play(id);
    Run(30 * Tick);
    output->LoseBuffers();
    const std::uint64_t ended = RunUntilEnded(id);
    EXPECT_NE(ended, 0u);
    EXPECT_LE(ended, static_cast<std::uint64_t>(3.2 * Second));
}

TEST_F(SoundStream, LabelsFallDueOnPlaybackTimeAndRunTheirCallbackOnce)
{
    const std::uint32_t id = MakeSound(L"tune", 1.0);
    CSoundStream* stream = system->FindStream(id);
    int calls = 0;
    stream->AddLabel(300, [&] { ++calls; });

    system->Play(id);
    ASSERT_NE(RunUntilEnded(id), 0u);
    system->Play(id);
    ASSERT_NE(RunUntilEnded(id), 0u);

    std::vector<Notification> labels;
    for (const Notification& n : notifications)
        if (n.message == LabelMessage())
            labels.push_back(n);
    ASSERT_EQ(labels.size(), 1u) << "a label falls due once";
    EXPECT_EQ(labels[0].wParam, id);
    EXPECT_EQ(labels[0].lParam, 300u);
    EXPECT_GE(labels[0].frame, static_cast<std::uint64_t>(0.3 * Second));
    EXPECT_LE(labels[0].frame, static_cast<std::uint64_t>(0.3 * Second) + Tick);
    EXPECT_EQ(calls, 1);
}

// Damaged data plays what can be decoded and ends; the thread never sticks.
TEST_F(SoundStream, DamagedDataEndsEarlyInsteadOfHanging)
{
    VorbisParams params;
    params.frames = 3 * 44100;
    const auto good = EncodeVorbis(params);
    auto holes = good;
    for (std::size_t i = good.size() / 4; i < good.size(); i += 3)
        holes[i] ^= 0xFF;
    keep.push_back(holes);
    keep.push_back(std::vector<unsigned char>(good.begin(), good.begin() + good.size() / 3));

    for (std::size_t k = keep.size() - 2; k < keep.size(); ++k) {
        const std::uint32_t id
            = system->CreateSoundFromMemory(L"damaged" + std::to_wstring(k), keep[k].data(), keep[k].size());
        if (id == 0)
            continue;
        const std::uint64_t start = output->FramesPlayed();
        system->Play(id);
        const std::uint64_t ended = RunUntilEnded(id, 10 * Second);
        ASSERT_NE(ended, 0u) << "case " << k;
        EXPECT_LE(ended - start, 4 * Second + Second / 5);
    }
}

TEST_F(SoundStream, DestroyingTheSystemStopsPlayingStreams)
{
    const std::uint32_t a = MakeSound(L"a", 5.0);
    const std::uint32_t b = MakeSound(L"b", 5.0);
    system->Play(a);
    system->Play(b);
    Run(10 * Tick);

    output = nullptr;
    system.reset();  // joins both threads; their notifications find no stream

    Dispatch();
    EXPECT_EQ(std::count_if(notifications.begin(), notifications.end(),
                  [](const Notification& n) { return n.message == PauseMessage(); }),
        2);
}
