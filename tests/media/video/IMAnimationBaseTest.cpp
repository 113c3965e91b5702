// The clip control: frames follow the wall clock at the chosen period, late
// turns jump ahead, the end is reported once, a restart rewinds.

#include "VideoHarness.h"

#include <string>

namespace {

using ClipTiming = VideoScreen;

std::vector<unsigned char> FlatClip(int frames, int width = 64, int height = 48)
{
    TheoraParams params;
    params.frames = frames;
    params.width = width;
    params.height = height;
    return EncodeTheora(params);
}

}  // namespace

TEST_F(ClipTiming, OneSecondReachesTheFrameOfThePeriod)
{
    struct Row {
        int period;  // 1/60000 s
        int frame;   // reached after one second
    };
    for (const Row row : {Row {2400, 25}, Row {5000, 12}}) {
        SCOPED_TRACE("period " + std::to_string(row.period));
        clip = FlatClip(30);
        ClipControl* control = OpenClip(clip);
        control->framePeriod = row.period;
        control->Start();
        // Ten-millisecond turns: every frame gets its turn.
        Play(990);
        EXPECT_EQ(control->GetCurrentFrame(), row.frame - 1);
        Play(10);
        EXPECT_EQ(control->ClockFrame(), row.frame);
        EXPECT_EQ(control->GetCurrentFrame(), row.frame);
        EXPECT_EQ(FrameOnScreen(), row.frame);
        control->Close();
        drive->Turn();
    }
}

TEST_F(ClipTiming, StartSignalsThenPlaysFromTheFirstFrame)
{
    clip = FlatClip(10);
    ClipControl* control = OpenClip(clip);
    std::vector<std::string> log;
    IMLifetime lifetime;
    auto record = [&](const char* what) {
        return Tracked<EventSlot>(&lifetime, [&log, what, control](const IMEvent& e) {
            log.push_back(std::string(what) + (e.source == control ? ":control:" : ":other:") + std::to_string(e.code));
            return 0L;
        });
    };
    control->Started.connect(record("Started"));
    control->FrameAdvanced.connect(record("FrameAdvanced"));
    control->Finished.connect(record("Finished"));

    // Start: both signals, in this order, from the control with code 0.
    control->Start();
    EXPECT_EQ(log, (std::vector<std::string> {"Started:control:0", "FrameAdvanced:control:0"}));
    EXPECT_TRUE(control->playing);
    EXPECT_TRUE(control->forward);
    // The first frame period keeps the blank picture: frame 0 is already on screen as far as the count goes.
    Play(30);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(FrameOnScreen(), -1);
    // Then one FrameAdvanced per frame; the picture shown is the one decoded a frame ago.
    Play(10);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(control->GetCurrentFrame(), 1);
    EXPECT_EQ(FrameOnScreen(), 0);
    Play(40);
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(FrameOnScreen(), 2);
}

TEST_F(ClipTiming, BlankPictureUntilTheFirstFrame)
{
    clip = FlatClip(10);
    ClipControl* control = OpenClip(clip);
    // Right after OpenVideo the view shows its front texture, still black.
    ASSERT_TRUE(control->HasTextures());
    EXPECT_TRUE(control->hasTexture);
    EXPECT_EQ(control->texture, control->FrontTexture());
    const TextureRecord* front = manager->GetRecord(control->FrontTexture());
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->format, PixelFormat::X8R8G8B8);
    EXPECT_EQ(front->imageRect, (Rect {0, 0, 64, 48}));
    EXPECT_EQ(control->GetSourceRect(), (Rect {0, 0, 64, 48}));
    const std::uint8_t* bits = front->texture->Lock();
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(bits[y * front->texture->Pitch() + x * 4 + c], 0) << x << "," << y;
    EXPECT_EQ(PixelOnScreen(), 0xFF000000u);
    // Frame 0 is already decoded, into the other texture.
    EXPECT_EQ(control->MaxDecoded(), 1);
    EXPECT_EQ(control->ConvertedFrames(), 1);
    control->framePeriod = 2400;
    control->Start();
    drive->Turn();
    EXPECT_EQ(PixelOnScreen(), 0xFF000000u) << "still blank at the start";
    Play(40);
    EXPECT_EQ(FrameOnScreen(), 0);
}

TEST_F(ClipTiming, StallJumpsToTheFrameTheClockReached)
{
    clip = FlatClip(30);
    ClipControl* control = OpenClip(clip);
    EmissionCounter advanced;
    advanced.Watch(control->FrameAdvanced);
    control->framePeriod = 2400;
    control->Start();
    Play(200);
    ASSERT_EQ(control->GetCurrentFrame(), 5);
    const int emitted = advanced.count;
    const int converted = control->ConvertedFrames();
    EXPECT_EQ(control->MaxDecoded(), 7) << "one frame ahead of frame 5";

    // Half a second without a turn, then one turn: frame 17 at once.
    clock.AdvanceMs(500);
    drive->Turn();
    EXPECT_EQ(control->GetCurrentFrame(), 17);
    EXPECT_EQ(advanced.count, emitted + 1) << "one step, not twelve";
    EXPECT_EQ(control->MaxDecoded(), 19) << "everything up to the frame after 17 is decoded";
    EXPECT_EQ(control->ConvertedFrames(), converted + 1) << "the skipped frames are not converted";
    EXPECT_EQ(FrameOnScreen(), 6) << "the picture decoded ahead before the stall";
    Play(40);
    EXPECT_EQ(control->GetCurrentFrame(), 18);
    EXPECT_EQ(FrameOnScreen(), 18);
}

TEST_F(ClipTiming, FinishedOnceAtTheFirstTurnAfterTheLastFrame)
{
    struct Row {
        int period;
        int frames;
        int finishMs;  // when the frame after the last one is due
    };
    for (const Row row : {Row {2400, 10, 400}, Row {5000, 6, 500}, Row {2400, 1, 40}}) {
        SCOPED_TRACE("period " + std::to_string(row.period) + ", " + std::to_string(row.frames) + " frames");
        clip = FlatClip(row.frames);
        ClipControl* control = OpenClip(clip);
        EmissionCounter finished;
        finished.Watch(control->Finished);
        control->framePeriod = row.period;
        control->Start();
        Play(row.finishMs - 1, 1);
        EXPECT_EQ(finished.count, 0);
        EXPECT_TRUE(control->playing);
        Play(1);
        EXPECT_EQ(finished.count, 1);
        EXPECT_FALSE(control->playing);
        EXPECT_EQ(control->GetLastFrame(), row.frames - 1);
        Play(1000);
        EXPECT_EQ(finished.count, 1) << "reported once";
        // The picture stays on the last frame.
        EXPECT_EQ(control->GetCurrentFrame(), row.frames - 1);
        EXPECT_EQ(FrameOnScreen(), row.frames - 1);
        control->Close();
        drive->Turn();
    }
}

TEST_F(ClipTiming, LongClipFinishesAfterItsLastFrameWasDue)
{
    // 1923 frames at 25 a second: frame 1922 is due at 76.88 s, the end at 76.92 s.
    clip = FlatClip(1923, 16, 16);
    ClipControl* control = OpenClip(clip);
    EmissionCounter finished;
    finished.Watch(control->Finished);
    control->framePeriod = 2400;
    control->Start();
    Play(76919, 40);
    EXPECT_EQ(control->GetCurrentFrame(), 1922);
    EXPECT_EQ(finished.count, 0);
    Play(1);
    EXPECT_EQ(finished.count, 1);
    EXPECT_EQ(control->GetLastFrame(), 1922);
}

TEST_F(ClipTiming, RestartRewinds)
{
    clip = FlatClip(10);
    ClipControl* control = OpenClip(clip);
    EmissionCounter finished;
    finished.Watch(control->Finished);
    control->framePeriod = 2400;
    control->Start();
    Play(500);
    ASSERT_EQ(finished.count, 1);

    // Again from the start: the decoder goes back to the headers.
    control->Start();
    drive->Turn();
    EXPECT_EQ(control->GetCurrentFrame(), 0);
    EXPECT_EQ(control->GetLastFrame(), 9) << "the end stays known";
    Play(80);
    EXPECT_EQ(control->GetCurrentFrame(), 2);
    EXPECT_EQ(FrameOnScreen(), 2);
    Play(240);
    EXPECT_EQ(FrameOnScreen(), 8);
    EXPECT_EQ(finished.count, 1);
    Play(80);
    EXPECT_EQ(finished.count, 2);
    EXPECT_EQ(FrameOnScreen(), 9);
}

TEST_F(ClipTiming, LostDeviceDecodesWithoutUploading)
{
    clip = FlatClip(20);
    ClipControl* control = OpenClip(clip);
    control->framePeriod = 2400;
    control->Start();
    Play(120);
    const int converted = control->ConvertedFrames();
    const int decoded = control->MaxDecoded();
    manager->Device()->MarkLost();
    Play(200);
    EXPECT_EQ(control->GetCurrentFrame(), 8);
    EXPECT_EQ(control->MaxDecoded(), decoded + 5);
    EXPECT_EQ(control->ConvertedFrames(), converted) << "nothing uploaded while the device is lost";
}

TEST_F(ClipTiming, TwoViewsHaveTheirOwnTextureNames)
{
    clip = FlatClip(3);
    ClipControl* first = OpenClip(clip);
    ClipControl* second = OpenClip(clip);
    const std::wstring names[] = {
        manager->GetRecord(first->FrontTexture())->name,
        manager->GetRecord(first->BackTexture())->name,
        manager->GetRecord(second->FrontTexture())->name,
        manager->GetRecord(second->BackTexture())->name,
    };
    // "IMTheoraView1" and "IMTheoraView2" followed by one counter value per view.
    const std::wstring number = names[0].substr(13);
    EXPECT_EQ(names[0], L"IMTheoraView1" + number);
    EXPECT_EQ(names[1], L"IMTheoraView2" + number);
    const std::wstring next = std::to_wstring(std::stoul(number) + 1);
    EXPECT_EQ(names[2], L"IMTheoraView1" + next);
    EXPECT_EQ(names[3], L"IMTheoraView2" + next);
    // Closing the views gives the textures back.
    first->Close();
    second->Close();
    drive->Turn();
    for (const std::wstring& name : names)
        EXPECT_EQ(manager->FindTexture(name), manager->slotCount) << "left behind";
}
