// The board: the bank, picking up, dragging and dropping bricks.

#include "ExerciseHarness.h"
#include "platform/Random.h"

namespace {

std::time_t seconds = 0;
std::time_t Seconds()
{
    return seconds;
}

bool IsShortPicture(const Brick& b)
{
    return b.picture->GetWidth() == 72;
}

}  // namespace

TEST_F(ExerciseTest, BankLaysOutFourteenBricksOnTheShelvesForManySeeds)
{
    StartBoard();
    SetTimeSource(Seconds);
    const int shelfTops[4] = {309, 377, 453, 518};
    for (seconds = 0; seconds < 40; ++seconds) {
        const Rect rect {0, 0, 800, 600};
        auto* board = new Game(window, &rect);
        ASSERT_EQ(board->bricks.size(), 14u);
        int shortBricks = 0;
        for (const auto& b : board->bricks) {
            const Rect r = b->picture->GetRect();
            EXPECT_TRUE(std::count(std::begin(shelfTops), std::end(shelfTops), r.top)) << r.top;
            EXPECT_GE(r.left, 38);
            EXPECT_LE(r.right, 416);
            const int sound = std::stoi(b->soundName);
            // Short sounds always get short pictures, long ones long pictures.
            EXPECT_EQ(IsShortPicture(*b), sound >= 137) << sound;
            shortBricks += IsShortPicture(*b);
        }
        EXPECT_EQ(shortBricks, 8);
        board->Close();
        Turn();
    }
}

TEST_F(ExerciseTest, BoardsOfTheSameSecondAreAlike)
{
    StartBoard();
    const Rect rect {0, 0, 800, 600};
    auto* twin = new Game(window, &rect);
    for (std::size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(twin->bricks[i]->soundName, game->bricks[i]->soundName);
        EXPECT_EQ(twin->bricks[i]->picture->GetRect(), game->bricks[i]->picture->GetRect());
    }
}

TEST_F(ExerciseTest, HeldBrickSoundsAndSnapsIntoTheSlotUnderIt)
{
    StartBoard();
    Brick* brick = BrickOf(L"138");
    const Point home = brick->picture->GetPosition();
    Press(home.x + 6, home.y + 6);
    EXPECT_TRUE(brick->dragging);
    EXPECT_EQ(game->GetLayerOf(brick->picture), 20);
    Wait(100);
    EXPECT_TRUE(Playing(L"138")) << "the brick sounds while held";
    // Dropped a little right of upper slot 3: it lands exactly in slot 3.
    Move(195 + 6, 110 + 6, MouseKey::Left);
    Release(195 + 6, 110 + 6);
    Wait(40);
    EXPECT_FALSE(Playing(L"138")) << "releasing stops it";
    EXPECT_EQ(brick->picture->GetPosition(), (Point {191, 106}));
    EXPECT_TRUE(game->staff->upperSlots[3].occupied);
    EXPECT_EQ(game->staff->upperSlots[3].brick, brick);
    EXPECT_EQ(game->GetLayerOf(brick->picture), 10);

    // Picked up again: the slot is free at once.
    Press(197, 112);
    EXPECT_FALSE(game->staff->upperSlots[3].occupied);
    // Dropped on the wall, it goes home.
    Move(700, 50, MouseKey::Left);
    Release(700, 50);
    EXPECT_EQ(brick->picture->GetPosition(), home);
}

TEST_F(ExerciseTest, FittingRulesOnAShelf)
{
    StartBoard();
    Brick* longBrick = BrickOf(L"134");
    // Upper slot 9: 341 + 97 > 416, so it goes to the leftmost upper slot where it fits.
    Drag(longBrick, 341, 106);
    EXPECT_EQ(longBrick->picture->GetPosition(), (Point {116, 106}));
    // A short brick dropped over it goes to the first later slot under it where it fits.
    Brick* shortBrick = BrickOf(L"137");
    Drag(shortBrick, 150, 106);
    EXPECT_EQ(shortBrick->picture->GetPosition().y, 106);
    EXPECT_GE(shortBrick->picture->GetPosition().x, 116 + longBrick->picture->GetWidth());

    // Four short bricks at most, at slots 0, 3, 6 and 9.
    Brick* shorts[4] = {BrickOf(L"141"), BrickOf(L"142"), BrickOf(L"143"), BrickOf(L"144")};
    const int lefts[4] = {116, 191, 265, 341};
    for (int i = 0; i < 4; ++i)
        Drag(shorts[i], lefts[i], 195);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(shorts[i]->picture->GetPosition(), (Point {lefts[i], 195}));
    Brick* fifth = BrickOf(L"140");
    const Point home = fifth->picture->GetPosition();
    Drag(fifth, 200, 195);
    EXPECT_EQ(fifth->picture->GetPosition(), home) << "a full shelf sends it home";
}

TEST_F(ExerciseTest, LostReleaseKeepsTheBrickHeld)
{
    StartBoard();
    Brick* first = BrickOf(L"131");
    Brick* second = BrickOf(L"132");
    const Point firstHome = first->picture->GetPosition();
    const Point secondHome = second->picture->GetPosition();
    Press(firstHome.x + 6, firstHome.y + 6);
    // The button was released outside the window: moves without the button do not drag.
    Move(300, 50);
    EXPECT_EQ(first->picture->GetPosition(), firstHome);
    EXPECT_TRUE(first->dragging);
    // A press on a second brick picks it up too; a release drops only the first one.
    Press(secondHome.x + 6, secondHome.y + 6);
    EXPECT_TRUE(second->dragging);
    Release(700, 50);
    EXPECT_FALSE(first->dragging);
    EXPECT_TRUE(second->dragging);
    Release(700, 50);
    EXPECT_FALSE(second->dragging);
    EXPECT_EQ(second->picture->GetPosition(), secondHome);
}

TEST_F(ExerciseTest, WithoutSoundDraggingWorksSilently)
{
    StartBoard(false);
    EXPECT_FALSE(GetResourceManager()->HasOutput());
    Brick* brick = BrickOf(L"137");
    EXPECT_EQ(brick->sound, 0u);
    Drag(brick, 116, 106);
    EXPECT_EQ(game->staff->upperSlots[0].brick, brick);
}

TEST_F(ExerciseTest, BricksAreDrawnWhereTheyWereDroppedAndHeld)
{
    StartBoard();
    // The empty slot and the spot the held brick will reach, before any move.
    const std::uint32_t emptySlot = program->Pixel(116 + 30, 106 + 20);
    const std::uint32_t emptyWall = program->Pixel(280 + 20, 160 + 20);
    Drag(BrickOf(L"137"), 116, 106);
    Drag(BrickOf(L"138"), 191, 106);
    Drag(BrickOf(L"134"), 116, 195);
    Brick* held = BrickOf(L"139");
    const Point p = held->picture->GetPosition();
    Press(p.x + 6, p.y + 6);
    Move(280 + 6, 160 + 6, MouseKey::Left);
    // The placed brick covers its slot, the held one is drawn at the pointer.
    EXPECT_NE(program->Pixel(116 + 30, 106 + 20), emptySlot);
    EXPECT_NE(program->Pixel(280 + 20, 160 + 20), emptyWall);
    EXPECT_TRUE(program->Screenshot("board.png"));
    Release(280 + 6, 160 + 6);
}
