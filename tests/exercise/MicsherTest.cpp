// The staff playing its shelves, recognising arrangements and completing.

#include "ExerciseHarness.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class StaffTest : public ExerciseTest {
protected:
    void SetUp() override { StartBoard(); }

    void PlaceUpper(std::initializer_list<const wchar_t*> sounds)
    {
        const int lefts[4] = {116, 191, 265, 341};
        int i = 0;
        for (const wchar_t* s : sounds)
            Drag(BrickOf(s), lefts[i++], 106);
    }
    void PlaceLower(std::initializer_list<const wchar_t*> sounds)
    {
        const int lefts[3] = {116, 216, 318};
        int i = 0;
        for (const wchar_t* s : sounds)
            Drag(BrickOf(s), lefts[i++], 195);
    }
    int completions = 0;
    void CountCompletions()
    {
        game->staff->Completed.connect([this] {
            ++completions;
            return 0L;
        });
    }
    // Lays out both shelves, then presses the staff's play button.
    void PlayShelves(std::initializer_list<const wchar_t*> upper, std::initializer_list<const wchar_t*> lower)
    {
        PlaceUpper(upper);
        PlaceLower(lower);
        CountCompletions();
        started().clear();
        ClickStaffPlay();
    }
};

}  // namespace

TEST_F(StaffTest, SolutionPlaysTheReferencesAndCompletesOnTheSecondPress)
{
    PlayShelves({L"137", L"138", L"139", L"140"}, {L"134", L"135", L"136"});
    Wait(7000);
    EXPECT_TRUE(Started(L"126"));
    EXPECT_TRUE(Started(L"127"));
    for (const wchar_t* brick : {L"137", L"138", L"139", L"140", L"134", L"135", L"136"})
        EXPECT_FALSE(Started(brick)) << "no single brick plays";
    EXPECT_EQ(completions, 0);
    ClickStaffPlay();
    Wait(200);
    EXPECT_EQ(completions, 1) << "stopping the upper reference completes";
    EXPECT_FALSE(game->staff->playing);
}

TEST_F(StaffTest, SolutionCompletesAtThePlayheadsEnd)
{
    PlayShelves({L"137", L"138", L"139", L"140"}, {L"134", L"135", L"136"});
    const Point start = game->staff->playhead->GetPosition();
    Wait(10000);
    EXPECT_GT(game->staff->playhead->GetPosition().x, start.x + 100);
    Wait(16000);
    EXPECT_FALSE(game->staff->playing) << "the playhead ran out after 318 ticks";
    EXPECT_TRUE(game->staff->playhead->IsHidden());
    EXPECT_EQ(game->staff->playhead->GetPosition(), start);
    EXPECT_EQ(completions, 1);
}

TEST_F(StaffTest, SecondArrangementPlaysItsReferencesWithoutCompletion)
{
    PlayShelves({L"141", L"142", L"143", L"144"}, {L"131", L"132", L"133"});
    Wait(27000);
    EXPECT_TRUE(Started(L"128"));
    EXPECT_TRUE(Started(L"129"));
    EXPECT_FALSE(Started(L"141"));
    EXPECT_EQ(completions, 0);
}

TEST_F(StaffTest, IncompleteLowerShelfPlaysItsBricksAtTheirSteps)
{
    PlaceUpper({L"137", L"138", L"139", L"140"});
    Drag(BrickOf(L"134"), 116, 195);
    Drag(BrickOf(L"135"), 216, 195);
    CountCompletions();
    started().clear();
    ClickStaffPlay();
    Wait(200);
    EXPECT_TRUE(Started(L"126"));
    EXPECT_TRUE(Started(L"134")) << "slot 0 plays at once";
    EXPECT_FALSE(Started(L"135"));
    Wait(4 * 2090);
    EXPECT_TRUE(Started(L"135")) << "slot 4 plays at the fifth step";
    Wait(18000);
    EXPECT_EQ(completions, 0);
}

TEST_F(StaffTest, RightBricksInAWrongOrderAreNotRecognised)
{
    PlaceUpper({L"138", L"137", L"139", L"140"});
    started().clear();
    ClickStaffPlay();
    Wait(200);
    EXPECT_FALSE(Started(L"126"));
    EXPECT_TRUE(Started(L"138"));
    EXPECT_FALSE(Started(L"137"));
    Wait(3 * 2090);
    EXPECT_TRUE(Started(L"137")) << "slot 3 plays at the fourth step";
    ClickStaffPlay();
}

TEST_F(StaffTest, SpeakerPulsesWhilePlaying)
{
    ClickStaffPlay();
    const Rect rest {79, 29, 112, 67};
    EXPECT_EQ(game->staff->speaker->GetRect(), rest);
    Wait(80 * 3, 80);
    EXPECT_EQ(game->staff->speaker->GetRect(), (Rect {79, 23, 118, 73})) << "three ticks of growth";
    Wait(80 * 5, 80);
    EXPECT_EQ(game->staff->speaker->GetRect(), (Rect {79, 29, 112, 67})) << "four ticks of shrinking, one of growth";
    ClickStaffPlay();
}

// A machine that draws slowly comes back to the timers late on every turn; the
// playhead still shows the music's place and ends when its 318 ticks are due.
TEST_F(StaffTest, PlayheadKeepsTimeWhenEveryTurnIsLate)
{
    for (const int turnMs : {7, 30, 47, 85, 130}) {
        SCOPED_TRACE("a turn every " + std::to_string(turnMs) + " ms");
        const int start = game->staff->playhead->GetPosition().x;
        ClickStaffPlay();
        int elapsed = 0;
        while (game->staff->playing && elapsed < 30000) {
            // One late turn: time passes, then the loop runs once.
            program->clock.AdvanceMs(turnMs);
            program->audio->AdvanceMs(turnMs);
            Turn();
            elapsed += turnMs;
            if (game->staff->playing) {
                ASSERT_EQ(game->staff->playhead->GetPosition().x - start, std::min(elapsed / 80, 317))
                    << "one pixel for every 80 ms played, at " << elapsed << " ms";
            }
        }
        EXPECT_GE(elapsed, 318 * 80) << "the play ends with its 318th tick";
        EXPECT_LT(elapsed, 318 * 80 + turnMs) << "on the first turn after it is due";
        EXPECT_EQ(game->staff->playhead->GetPosition().x, start);
    }
}

// The slot steps are timed from the play's start: late turns do not add up.
TEST_F(StaffTest, StepsKeepTimeWhenEveryTurnIsLate)
{
    PlaceUpper({L"138", L"137", L"139", L"140"});
    started().clear();
    ClickStaffPlay();
    const int turnMs = 33;
    int elapsed = 0;
    std::vector<int> heard;  // when each brick of slots 3, 6 and 9 started
    for (const wchar_t* sound : {L"137", L"139", L"140"}) {
        while (!Started(sound) && elapsed < 30000) {
            program->clock.AdvanceMs(turnMs);
            program->audio->AdvanceMs(turnMs);
            Turn();
            elapsed += turnMs;
        }
        heard.push_back(elapsed);
    }
    for (int i = 0; i < 3; ++i) {
        const int due = (3 * i + 3) * 2090;
        EXPECT_GE(heard[i], due) << "slot " << 3 * i + 3;
        EXPECT_LT(heard[i], due + 2 * turnMs) << "slot " << 3 * i + 3 << " within a turn of its step";
    }
    ClickStaffPlay();
}
