// The instruction: Esc and Space, the keys after the commentary, F1 and its
// repetitions, the sounds stopped on closing, the filmed video it plays.

#include "data/EmbeddedData.h"
#include "media/video/IMTheoraView.h"
#include "render/IMResourceManager.h"
#include "support/AppFixture.h"
#include "toolkit/IMServices.h"

#include <cstdlib>
#include <vector>

namespace {

class Instruction : public ScreensTest {
protected:
    // Looked up before any screen connects to their ends: asking again later
    // would drop the screen's connections.
    std::uint32_t Commentary() { return ids.at(L"153"); }
    bool Playing(std::uint32_t id)
    {
        CSoundStream* stream = GetSoundSystem()->FindStream(id);
        return stream && stream->IsPlaying();
    }
    void SetUp() override
    {
        ScreensTest::SetUp();
        ids[L"153"] = CreateSound(L"153");
        const auto bytes = FindEmbedded(std::string_view("ENDHELPSOUND"));
        ids[L"ENDHELPSOUND"] = GetSoundSystem()->CreateSoundFromMemory(L"ENDHELPSOUND", bytes.data(), bytes.size());
    }
    // Lets the 88 s commentary play out.
    void PlayCommentary() { program.Wait(88500, 250); }
    // The three closing pictures of the screen on top, at layer 1000.
    std::vector<IMControl*> KeyPictures() { return TopScreen()->layers[1000]; }

    std::map<std::wstring, std::uint32_t> ids;
};

}  // namespace

TEST_F(Instruction, EscStartsTheExerciseAtAnyTime)
{
    app->StartExercise();
    program.Wait(2000);
    EXPECT_TRUE(app->instructionActive);
    EXPECT_TRUE(Playing(Commentary()));
    program.Key(VirtualKey::Space);
    EXPECT_TRUE(app->instructionActive) << "Space works only after the commentary";
    program.Key(VirtualKey::Escape);
    EXPECT_FALSE(app->instructionActive);
    EXPECT_NE(app->stepDialog, nullptr) << "the exercise started";
    program.Wait(100);
    EXPECT_FALSE(Playing(Commentary())) << "closing stopped the commentary";
}

// The exercise is built while the instruction closes; by then the video has given its frames back.
TEST_F(Instruction, ClosingGivesTheVideoBackBeforeTheExerciseIsBuilt)
{
    app->StartExercise();
    program.Wait(1000);
    IMDialogBase* instruction = TopScreen();
    IMTheoraView* video = nullptr;
    for (IMControl* child : instruction->layers[0])
        if (auto* clip = dynamic_cast<IMTheoraView*>(child))
            video = clip;
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(video->HasTextures());
    bool exerciseBuilt = false;
    bool videoHeld = true;
    instruction->ConnectClosing(Tracked<EventSlot>(instruction, [&, video](const IMEvent&) {
        exerciseBuilt = app->stepDialog != nullptr;
        videoHeld = video->HasTextures();
        return 0L;
    }));
    program.Key(VirtualKey::Escape);
    EXPECT_TRUE(exerciseBuilt);
    EXPECT_FALSE(videoHeld);
}

TEST_F(Instruction, AfterTheCommentaryTheKeysAppearAndSpaceBlinks)
{
    app->StartExercise();
    PlayCommentary();
    EXPECT_TRUE(program.Started(ids[L"ENDHELPSOUND"]));
    const auto pictures = KeyPictures();
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0]->GetRect().left, 107);
    EXPECT_EQ(pictures[1]->GetRect().left, 500);
    IMControl* space = pictures[2];
    EXPECT_EQ(space->GetRect().left, 237);
    EXPECT_TRUE(program.Screenshot("instruction-end.png"));
    // Shown, hidden, shown... every 500 ms.
    const bool first = space->IsHidden();
    program.Wait(500, 50);
    EXPECT_NE(space->IsHidden(), first);
    program.Wait(500, 50);
    EXPECT_EQ(space->IsHidden(), first);
    program.Key(VirtualKey::Space);
    EXPECT_FALSE(app->instructionActive);
    EXPECT_NE(app->stepDialog, nullptr);
    program.Wait(100);
    EXPECT_FALSE(Playing(ids[L"ENDHELPSOUND"])) << "closing stopped the closing phrase";
}

TEST_F(Instruction, RepetitionsWithF1AreCountedAndAnyKeyClosesThem)
{
    app->StartExercise();
    program.Key(VirtualKey::Escape);
    ASSERT_NE(app->stepDialog, nullptr);
    IMDialogBase* board = TopScreen();
    // F1 opens a repetition; a second F1 closes it and opens nothing.
    program.Key(VirtualKey::F1);
    EXPECT_TRUE(app->instructionActive);
    EXPECT_EQ(app->extraInstructionCalls, 1);
    EXPECT_NE(TopScreen(), board);
    program.Key(VirtualKey::F1);
    program.Turn();
    EXPECT_FALSE(app->instructionActive);
    EXPECT_EQ(app->extraInstructionCalls, 1);
    EXPECT_EQ(TopScreen(), board);
    // A third opens a new one, which any key closes.
    program.Key(VirtualKey::F1);
    EXPECT_EQ(app->extraInstructionCalls, 2);
    program.Key(VirtualKey::KeyA);
    program.Turn();
    EXPECT_FALSE(app->instructionActive);
    EXPECT_EQ(TopScreen(), board);
    // F1 while the first instruction is open is ignored.
    app->StartExercise();
    program.Key(VirtualKey::F1);
    EXPECT_EQ(app->extraInstructionCalls, 2);
}

TEST_F(Instruction, TheCommentarysEndForAClosingScreenShowsNothing)
{
    app->StartExercise();
    program.Wait(75000, 250);  // the commentary's last moments
    // Esc stops the commentary; its end notification arrives while the
    // closed screen still waits to be deleted.
    program.Key(VirtualKey::Escape);
    program.Wait(1000);
    EXPECT_FALSE(program.Started(ids[L"ENDHELPSOUND"]));
    EXPECT_NE(app->stepDialog, nullptr);
    EXPECT_TRUE(app->stepDialog->layers[1000].empty());
}

namespace {

// The mean difference of the colour channels over area between frame a and frame b, b read `shift` rows
// lower.
double MeanDifference(
    const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, const Rect& area, int shift = 0)
{
    double sum = 0.0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t p = a[std::size_t(y) * 800 + x];
            const std::uint32_t q = b[std::size_t(y + shift) * 800 + x];
            for (int bits = 0; bits < 24; bits += 8)
                sum += std::abs(int((p >> bits) & 0xFF) - int((q >> bits) & 0xFF));
        }
    return sum / (3.0 * (area.right - area.left) * (area.bottom - area.top));
}

}  // namespace

// The instruction plays the video filmed from the game (resource 149) over the whole screen from its start,
// 25 frames a second: after 2 s it shows the board standing still, drawn where the board itself is drawn;
// after 7.6 s the hand has pressed the gramophone's button.
TEST_F(Instruction, PlaysTheFilmedVideoOfTheBoardOverTheWholeScreen)
{
    ASSERT_FALSE(FindEmbedded(std::string_view("149")).empty());
    auto frame = [this] {
        program.Pixel(0, 0);
        return GetResourceManager()->Device()->ReadBackBuffer();
    };
    app->StartExercise();
    program.Wait(2000);
    const std::vector<std::uint32_t> still = frame();
    program.Wait(5600);
    const std::vector<std::uint32_t> pressing = frame();
    EXPECT_TRUE(program.Screenshot("instruction-video.png"));
    // Esc: the real board.
    program.Key(VirtualKey::Escape);
    program.Wait(100);
    const std::vector<std::uint32_t> board = frame();
    ASSERT_EQ(board.size(), 800u * 600u);

    // The staff, the wall and the gramophone, which the bank's random layout does not move, match the board
    // up to the video's compression: far more closely than a picture 8 rows off would.
    const Rect top {0, 0, 800, 280};
    EXPECT_LT(MeanDifference(still, board, top), 6.0);
    EXPECT_GT(MeanDifference(still, board, top, 8), 15.0);
    // Below the gramophone's button: the box at 2 s, the hand that pressed the button at 7.6 s.
    const Rect belowButton {585, 340, 630, 390};
    EXPECT_LT(MeanDifference(still, board, belowButton), 8.0);
    EXPECT_GT(MeanDifference(pressing, board, belowButton), 25.0);
}
