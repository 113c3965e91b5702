// The instruction camera's planner: the stage directions of a script become the hand's way, its button and
// what the board must show when. The stories here are the ones the commentary tells: a wrong brick heard,
// held over the staff and carried back to the bank, and the ending that turns into the board as the game
// begins.

#include "tools/film/Demonstration.h"
#include "tools/film/Directions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A board like the one filmed: two bricks in the bank, the staff's two shelves of slots.
BoardPlaces Places()
{
    BoardPlaces places;
    places.gramophoneButton = {581, 318, 625, 362};
    places.staffButton = {401, 34, 445, 78};
    places.rightOfStaff = {535, 120};
    places.bricks[131] = {40, 330, 138, 369};
    places.bricks[137] = {150, 330, 222, 368};
    places.shelfMiddles = {349};
    places.bankLeft = 40;
    places.bankRight = 222;
    for (int x : {116, 191, 265, 341})
        places.slots[0].push_back({x, 106, x + 72, 144});
    for (int x : {116, 216, 318})
        places.slots[1].push_back({x, 195, x + 98, 234});
    places.solution[0] = {137};
    places.solutionSlots[0] = {0};
    return places;
}

// Reads a script written into a file, as the camera does.
FilmScript Script(const std::string& text)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path()
        / ("zv-demonstration-" + std::to_string(std::hash<std::string> {}(text)) + ".txt");
    std::ofstream(path) << text;
    FilmScript script;
    std::string error;
    EXPECT_TRUE(ReadFilmScript(path.string(), script, error)) << error;
    std::filesystem::remove(path);
    return script;
}

const Expectation* Find(const Demonstration& d, Expectation::Kind kind, int sound)
{
    for (const Expectation& e : d.expectations)
        if (e.kind == kind && e.sound == sound)
            return &e;
    return nullptr;
}

const std::string WrongBrick = "length 20.00\n"
                               "video 1.0-2.0: the hand moves onto brick 131 in the bank; 3.0: it presses the "
                               "brick and holds it, lifted a little, while it sounds; 5.0-6.5: it carries brick 131 "
                               "over the lower shelf of the staff\n"
                               "video 7.0: brick 131 stays held over the full lower shelf; 8.0-9.5: it carries brick "
                               "131 back to its place in the bank and lets it go there; 9.5: brick 131 lies in the "
                               "bank again\n";

}  // namespace

TEST(Demonstration, AWrongBrickIsHeldOverTheStaffAndCarriedBackToItsPlace)
{
    Demonstration demonstration(Places());
    std::string error;
    ASSERT_TRUE(demonstration.Plan(Script(WrongBrick), error)) << error;

    // Taken at 3.0 and held, the button down all the while it is carried.
    EXPECT_FALSE(demonstration.ButtonDownAt(2.9));
    for (double t : {3.0, 5.0, 6.5, 7.0, 8.0, 9.4})
        EXPECT_TRUE(demonstration.ButtonDownAt(t)) << t;
    const Expectation* held = Find(demonstration, Expectation::BrickHeld, 131);
    ASSERT_NE(held, nullptr);
    EXPECT_GT(held->at, 3.0);
    EXPECT_LE(held->at, 6.5);

    // Over the middle slot of the lower shelf by 6.5, still held there at 7.0, the brick lifted a little.
    const Rect middle = Places().slots[1][1];
    const PointF over = demonstration.HandAt(7.0);
    EXPECT_GT(over.x, middle.left);
    EXPECT_LT(over.x, middle.right);
    EXPECT_LT(over.y, middle.bottom);
    EXPECT_GT(over.y, middle.top - 30);

    // Let go at 9.5 where it was taken: the hand is back at its grip on the brick's home.
    EXPECT_FALSE(demonstration.ButtonDownAt(9.5));
    const PointF home = demonstration.HandAt(9.5);
    const PointF taken = demonstration.HandAt(2.9);
    EXPECT_NEAR(home.x, taken.x, 0.5);
    EXPECT_NEAR(home.y, taken.y, 0.5);
    const Expectation* back = Find(demonstration, Expectation::BrickHome, 131);
    ASSERT_NE(back, nullptr);
    EXPECT_NEAR(back->at, 9.54, 1e-9);
}

TEST(Demonstration, CarryingABrickTheHandDoesNotHoldIsAnError)
{
    struct Case {
        const char* what;
        const char* video;
    };
    const Case cases[] = {
        {"over a shelf", "video 1.0-2.0: the hand carries brick 131 over the lower shelf of the staff\n"},
        {"back to the bank", "video 1.0-2.0: it carries brick 131 back to its place in the bank and lets it go\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Demonstration demonstration(Places());
        std::string error;
        EXPECT_FALSE(demonstration.Plan(Script(std::string("length 5.00\n") + c.video), error));
        EXPECT_NE(error.find("does not hold brick 131"), std::string::npos) << error;
    }
}

TEST(Demonstration, TheEndingTurnsIntoTheBoardAndStandsStill)
{
    Demonstration demonstration(Places());
    std::string error;
    ASSERT_TRUE(demonstration.Plan(Script("length 10.00\n"
                                          "video 0.3-4.0: the board, still; the hand rests in the middle of the "
                                          "screen, at (400, 300)\n"
                                          "video 6.0-10.0: the board as the game begins, still; 6.2-8.0: the keycap "
                                          "F1 (skin picture F1Button) shown large in the middle\n"),
        error))
        << error;
    EXPECT_DOUBLE_EQ(demonstration.stillFrom, 6.0);
    ASSERT_EQ(demonstration.keycaps.size(), 1u);
    EXPECT_EQ(demonstration.keycaps[0].name, "F1");
    EXPECT_DOUBLE_EQ(demonstration.keycaps[0].from, 6.2);
    EXPECT_DOUBLE_EQ(demonstration.keycaps[0].to, 8.0);
}
