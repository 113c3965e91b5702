// The video view: the error texts of damaged clips, what is left after an
// error, the converted picture against the formula, and a clip that breaks in
// the middle.

#include "VideoHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/VorbisFixture.h"

namespace {

using TheoraViewTest = VideoScreen;

// The names of the view textures alive in the table.
int VideoTexturesAlive(const IMResourceManager& manager)
{
    return static_cast<int>(std::count_if(manager.nameToSlot.begin(), manager.nameToSlot.end(),
        [](const auto& entry) { return entry.first.starts_with(L"IMTheoraView"); }));
}

// A full-range gradient: luma along both axes, Cb along x, Cr along y.
void Gradient(int, YuvImage& picture)
{
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.y[y * picture.width + x] = static_cast<std::uint8_t>(std::min(255, x * 5 + y * 3));
    for (int y = 0; y < picture.ChromaHeight(); ++y)
        for (int x = 0; x < picture.ChromaWidth(); ++x) {
            picture.u[y * picture.ChromaWidth() + x] = static_cast<std::uint8_t>(std::min(255, x * 14));
            picture.v[y * picture.ChromaWidth() + x] = static_cast<std::uint8_t>(std::max(0, 255 - y * 17));
        }
}

std::uint32_t Expected(const YuvFrame& frame, int x, int y)
{
    const int luma = frame.y.data[y * frame.y.stride + x];
    const int cb = frame.u.data[(y >> frame.chromaShiftY) * frame.u.stride + (x >> frame.chromaShiftX)];
    const int cr = frame.v.data[(y >> frame.chromaShiftY) * frame.v.stride + (x >> frame.chromaShiftX)];
    const int l = (luma - 16) * 74;
    const auto channel = [](int value) { return static_cast<std::uint32_t>(std::clamp(value >> 6, 0, 255)); };
    return 0xFF000000u | channel(l + 102 * (cr - 128)) << 16 | channel(l - 25 * (cb - 128) - 52 * (cr - 128)) << 8
        | channel(l + 129 * (cb - 128));
}

}  // namespace

TEST_F(TheoraViewTest, DamagedClipsRaiseTheirTextAndLeaveNothingBehind)
{
    TheoraParams params;
    params.frames = 4;
    const std::vector<unsigned char> good = EncodeTheora(params);
    const std::vector<OggPageSpan> pages = OggPages(good);
    ASSERT_GE(pages.size(), 4u) << "identification, comment and setup pages, frames";
    const auto firstPages = [&](std::size_t count) {
        return std::vector<unsigned char>(good.begin(), good.begin() + pages[count].offset);
    };

    struct Case {
        std::string what;
        std::vector<unsigned char> bytes;
        const char* error;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, "eof searched, terminate..."});
    cases.push_back({"not Ogg", std::vector<unsigned char>(20000, 'x'), "eof searched, terminate..."});
    cases.push_back({"only the identification page", firstPages(1), "eof searched, terminate..."});
    VorbisParams vorbis;
    vorbis.frames = 4410;
    cases.push_back({"Ogg without Theora", EncodeVorbis(vorbis), "eof searched. terminate..."});
    cases.push_back({"setup header missing", firstPages(2), "eof searched. terminate..."});
    {
        auto bytes = firstPages(3);
        bytes.resize(bytes.size() - 100);
        cases.push_back({"setup header cut short", bytes, "eof searched. terminate..."});
    }
    {
        // The comment page is missing: a hole in the stream.
        auto bytes = good;
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(pages[1].offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(pages[2].offset));
        cases.push_back({"header page missing", bytes, "error during ogg_stream_packetout"});
    }
    {
        auto bytes = good;
        bytes[pages[0].offset + 4] = 1;  // an Ogg version nobody knows
        RepairPageChecksum(bytes, pages[0]);
        cases.push_back({"unknown page version", bytes, "error during ogg_stream_pagein"});
    }
    {
        TheoraParams broken = params;
        broken.tamper = [](int packet, std::vector<unsigned char>& bytes) {
            if (packet == 1)
                bytes.resize(9);  // the comment header without its vendor string
        };
        cases.push_back(
            {"corrupt comment header", EncodeTheora(broken), "error during theora_decode_header (corrupt stream)"});
    }
    {
        TheoraParams huge = params;
        huge.width = 2064;
        huge.height = 16;
        huge.frames = 1;
        cases.push_back(
            {"picture too large", EncodeTheora(huge), "error during theora_decode_header (corrupt stream)"});
    }
    {
        TheoraParams broken = params;
        broken.tamper = [](int packet, std::vector<unsigned char>& bytes) {
            if (packet == 3)
                BreakPacket(bytes);
        };
        cases.push_back({"corrupt first frame", EncodeTheora(broken), "error during theora_decode_packetin..."});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clip = c.bytes;
        auto control = std::make_unique<ClipControl>(nullptr, 0);
        try {
            control->OpenVideo(clip.data(), clip.size());
            ADD_FAILURE() << "no error raised";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        EXPECT_EQ(VideoTexturesAlive(*manager), 0);
        EXPECT_FALSE(control->hasTexture) << "nothing is shown";
        EXPECT_EQ(control->GetLastFrame(), -1) << "no frames";
        // A screen that starts it anyway goes on: the clip finishes at the first turn.
        EmissionCounter finished;
        finished.Watch(control->Finished);
        control->Start();
        clock.AdvanceMs(10);
        control->OnIdle();
        EXPECT_EQ(finished.count, 1);
        control->ShowFrame(3);
        // Destroying the view afterwards returns.
        control.reset();
        EXPECT_EQ(VideoTexturesAlive(*manager), 0);
    }
}

TEST_F(TheoraViewTest, ClipBrokenInTheMiddleEndsOnItsLastGoodFrame)
{
    struct Row {
        int broken;  // the frame whose packet the decoder rejects
        int stepMs;  // turns this far apart
    };
    for (const Row row : {Row {6, 10}, Row {6, 200}, Row {1, 10}}) {
        SCOPED_TRACE("frame " + std::to_string(row.broken) + " broken, turns " + std::to_string(row.stepMs) + " ms");
        TheoraParams params;
        params.frames = 12;
        params.tamper = [&row](int packet, std::vector<unsigned char>& bytes) {
            if (packet == 3 + row.broken)
                BreakPacket(bytes);
        };
        clip = EncodeTheora(params);
        ClipControl* control = OpenClip(clip);
        EmissionCounter finished;
        finished.Watch(control->Finished);
        control->framePeriod = 2400;
        control->Start();
        Play(row.broken * 40 + 1000, row.stepMs);
        EXPECT_EQ(finished.count, 1);
        EXPECT_EQ(control->GetLastFrame(), row.broken - 1);
        EXPECT_EQ(control->GetCurrentFrame(), row.broken - 1);
        if (row.stepMs == 10) {
            EXPECT_EQ(FrameOnScreen(), row.broken - 1) << "the last good frame stays";
        }
        // Played again, it stops at the same place.
        control->Start();
        Play(row.broken * 40 + 1000, row.stepMs);
        EXPECT_EQ(finished.count, 2);
        control->Close();
        drive->Turn();
    }
    EXPECT_EQ(VideoTexturesAlive(*manager), 0);
}

TEST_F(TheoraViewTest, PictureIsTheFormulaAppliedToTheDecodedFrame)
{
    struct Row {
        int width, height, x, y;  // picture size and place in the coded frame
    };
    for (const Row row : {Row {64, 48, 0, 0}, Row {37, 29, 0, 0}, Row {40, 30, 2, 4}, Row {37, 29, 3, 5}}) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + " at " + std::to_string(row.x) + ","
            + std::to_string(row.y));
        TheoraParams params;
        params.width = row.width;
        params.height = row.height;
        params.pictureX = row.x;
        params.pictureY = row.y;
        params.frames = 3;
        params.paint = Gradient;
        clip = EncodeTheora(params);
        // The decoded planes of frame 0, from a decoder of our own.
        TheoraClip reference;
        reference.Open(clip.data(), clip.size());
        ASSERT_TRUE(reference.NextFrame());
        const YuvFrame frame = reference.Picture();
        const Rect picture = reference.PictureRect();
        ASSERT_EQ(picture, (Rect {row.x, row.y, row.x + row.width, row.y + row.height}));

        ClipControl* control = OpenClip(clip);
        control->SetSize(row.width, row.height);
        control->framePeriod = 2400;
        control->Start();
        Play(40);  // frame 0 on screen
        Frame();
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x)
                ASSERT_EQ(display.Pixel(ClipPlace.x + x, ClipPlace.y + y), Expected(frame, row.x + x, row.y + y))
                    << "pixel " << x << "," << y;
        control->Close();
        drive->Turn();
    }
}

TEST_F(TheoraViewTest, SecondClipReplacesTheFirst)
{
    TheoraParams params;
    params.frames = 5;
    clip = EncodeTheora(params);
    TheoraParams larger = params;
    larger.width = 32;
    larger.height = 32;
    const std::vector<unsigned char> other = EncodeTheora(larger);
    ClipControl* control = OpenClip(clip);
    const std::wstring before = manager->GetRecord(control->FrontTexture())->name;
    control->OpenVideo(other.data(), other.size());
    EXPECT_EQ(VideoTexturesAlive(*manager), 2);
    EXPECT_EQ(manager->FindTexture(before), manager->slotCount) << "the first pair is released";
    EXPECT_EQ(control->texture, control->FrontTexture());
    EXPECT_EQ(control->GetSourceRect(), (Rect {0, 0, 32, 32}));
    EXPECT_EQ(control->GetLastFrame(), IMTheoraView::UnknownLastFrame);
    // A failed third clip leaves nothing shown and nothing held.
    const std::vector<unsigned char> junk(100, 'j');
    EXPECT_THROW(control->OpenVideo(junk.data(), junk.size()), std::runtime_error);
    EXPECT_EQ(VideoTexturesAlive(*manager), 0);
    EXPECT_FALSE(control->hasTexture);
}

TEST(TheoraViewWithoutScreen, DecodesWithoutAResourceManager)
{
    // No resource manager: no textures, but the clip still plays by the clock.
    ManualClock clock;
    SetClock(&clock);
    TheoraParams params;
    params.frames = 3;
    const std::vector<unsigned char> clip = EncodeTheora(params);
    {
        ClipControl control(nullptr, 0);
        control.OpenVideo(clip.data(), clip.size());
        EXPECT_FALSE(control.HasTextures());
        EmissionCounter finished;
        finished.Watch(control.Finished);
        control.Start();
        for (int turn = 0; turn < 20; ++turn) {
            clock.AdvanceMs(10);
            control.OnIdle();
        }
        EXPECT_EQ(finished.count, 1);
        EXPECT_EQ(control.GetLastFrame(), 2);
    }
    SetClock(nullptr);
}
