// The gramophone: melody, spinning record, pulsing horn.

#include "ExerciseHarness.h"

TEST_F(ExerciseTest, GramophoneStopsByItselfAtTheMelodysEnd)
{
    StartBoard();
    PlayerExample& gramophone = *game->gramophone;
    ClickGramophone();
    EXPECT_TRUE(gramophone.playing);
    Wait(70 * 2, 70);
    EXPECT_EQ(gramophone.record->texture, GetResourceManager()->FindTexture(L"122")) << "the label turned twice";
    EXPECT_TRUE(Playing(L"145"));
    Wait(24000);
    EXPECT_TRUE(gramophone.playing);
    Wait(3000);  // the end is noticed within a second of the last sample
    EXPECT_FALSE(gramophone.playing) << "the melody's end stops the animation";
    EXPECT_FALSE(Playing(L"145"));
    const Rect horn = gramophone.horn->GetRect();
    Wait(500);
    EXPECT_EQ(gramophone.horn->GetRect(), horn) << "no more ticks";
}

TEST_F(ExerciseTest, GramophoneTwoQuickPressesStopAtOnce)
{
    StartBoard();
    PlayerExample& gramophone = *game->gramophone;
    ClickGramophone();
    Wait(70 * 3, 70);
    const TextureHandle shown = gramophone.record->texture;
    ClickGramophone();
    EXPECT_FALSE(gramophone.playing);
    Wait(500);
    EXPECT_FALSE(Playing(L"145"));
    EXPECT_EQ(gramophone.record->texture, shown) << "the record keeps its last picture";
}

TEST_F(ExerciseTest, HornKeepsItsSizeBetweenPlays)
{
    StartBoard();
    PlayerExample& gramophone = *game->gramophone;
    const Rect created = gramophone.horn->GetRect();
    ClickGramophone();
    Wait(70 * 2, 70);  // frames 1, 2: grows twice
    ClickGramophone();
    Rect expected = created;
    expected.left -= 4;
    expected.top -= 8;
    EXPECT_EQ(gramophone.horn->GetRect(), expected);
    ClickGramophone();
    Wait(70 * 3, 70);  // frames 3 (grow), 4, 5 (shrink)
    ClickGramophone();
    expected.left -= 2 - 4;
    expected.top -= 4 - 8;
    EXPECT_EQ(gramophone.horn->GetRect(), expected);
    EXPECT_EQ(gramophone.frame, 6);
}

TEST_F(ExerciseTest, SilentGramophoneAnimatesUntilPressedAgain)
{
    StartBoard(false);
    PlayerExample& gramophone = *game->gramophone;
    EXPECT_EQ(gramophone.melody, 0u);
    ClickGramophone();
    Wait(30000, 200);
    EXPECT_TRUE(gramophone.playing);
    ClickGramophone();
    EXPECT_FALSE(gramophone.playing);
}

TEST_F(ExerciseTest, DestroyedBoardLeavesNothingRunning)
{
    StartBoard();
    ClickGramophone();
    ClickStaffPlay();
    Wait(300);
    const std::size_t timersBefore = window->timers.size();
    EXPECT_GE(timersBefore, 2u);
    game->Close();
    Turn();
    EXPECT_TRUE(window->timers.empty());
    Wait(1000);  // the stop notification arrives and finds no slot
    EXPECT_FALSE(Playing(L"145"));
}
