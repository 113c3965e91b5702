// A quick hand on a slow machine: everything a pupil does between two frames
// arrives in one turn of the loop (a screen closed, the pointer moved onto a
// brick, the press, the drag and the release over a slot). The brick must be
// picked up, sound and land in the slot, as it does when every event gets a
// frame of its own.

#include "exercise/Game.h"
#include "support/AppFixture.h"

#include <vector>

namespace {

constexpr Point UpperSlot0 {116, 106};
constexpr Point ResultScreenSpot {400, 420};

class QuickHand : public AppFixture {
protected:
    // From the start popup to the board, the first instruction skipped; notes where the bank's first brick lies
    // and its sound (a board of the same second lays its bank out alike).
    void ReachBoard()
    {
        app->ShowStartPopup();
        program.Turn();
        StartWithName(L"Маша");
        program.Key(VirtualKey::Escape);
        ASSERT_NE(app->board, nullptr);
        first = app->board->bricks.front()->picture->GetPosition();
        sound = app->board->bricks.front()->soundName;
    }

    // Messages delivered back to back through the window procedure, then one idle turn.
    void OneTurn(const std::vector<Msg>& messages)
    {
        for (const Msg& m : messages)
            program.window->WindowProc(m);
        program.Turn();
    }
    static std::vector<Msg> KeyMessages(unsigned key)
    {
        return {{EventCode::KeyDown, key, 1, 0, 0}, {EventCode::Char, key, 1, 0, 0},
            {EventCode::KeyUp, key, 0xC0000001u, 0, 0}};
    }
    static std::vector<Msg> ClickMessages(Point p)
    {
        return {{EventCode::LeftDown, MouseKey::Left, 0, p.x, p.y}, {EventCode::LeftUp, 0, 0, p.x, p.y}};
    }
    // A drag of the brick whose picture lies at `from` onto the upper shelf's first slot; with `move` false the
    // pointer's arrival on the brick is not reported before the press, which comes as `press`.
    static std::vector<Msg> DragMessages(Point from, bool move = true, unsigned press = EventCode::LeftDown)
    {
        const Point grab {from.x + 6, from.y + 6};
        const Point to {UpperSlot0.x + 6, UpperSlot0.y + 6};
        std::vector<Msg> m;
        if (move)
            m.push_back({EventCode::MouseMove, 0, 0, grab.x, grab.y});
        m.push_back({press, MouseKey::Left, 0, grab.x, grab.y});
        m.push_back({EventCode::MouseMove, MouseKey::Left, 0, (grab.x + to.x) / 2, (grab.y + to.y) / 2});
        m.push_back({EventCode::MouseMove, MouseKey::Left, 0, to.x, to.y});
        m.push_back({EventCode::LeftUp, 0, 0, to.x, to.y});
        return m;
    }
    // The middle of the button at place.
    Point MiddleOf(const ScreenPlace& place)
    {
        IMButtonBase* button = ButtonAt(place);
        const Rect r = button ? button->GetRect() : Rect {};
        return {place.at.x + r.Width() / 2, place.at.y + r.Height() / 2};
    }
    static std::vector<Msg> Join(std::vector<Msg> a, const std::vector<Msg>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    // The first brick of the bank sounded and lies in the first upper slot.
    void ExpectDraggedIntoTheSlot()
    {
        ASSERT_NE(app->board, nullptr);
        Brick* brick = nullptr;
        for (const auto& b : app->board->bricks)
            if (b->soundName == sound)
                brick = b.get();
        ASSERT_NE(brick, nullptr);
        EXPECT_TRUE(program.Started(brick->sound)) << "the brick sounded when it was picked up";
        EXPECT_FALSE(brick->dragging) << "the release let it go";
        EXPECT_EQ(app->board->staff->upperSlots[0].brick, brick) << "it lies in the slot it was dropped on";
    }

    Point first;         // the bank's first brick
    std::wstring sound;  // and its sound
};

}  // namespace

TEST_F(QuickHand, MoveAndPressInOneTurnPicksTheBrickUp)
{
    ReachBoard();
    OneTurn(DragMessages(first));
    ExpectDraggedIntoTheSlot();
}

TEST_F(QuickHand, APressWhoseMoveWasNeverReportedPicksTheBrickUp)
{
    ReachBoard();
    program.Move(700, 580);
    OneTurn(DragMessages(first, false));
    ExpectDraggedIntoTheSlot();
}

TEST_F(QuickHand, APressSoonAfterAClickNearbyPicksTheBrickUp)
{
    ReachBoard();
    program.Click(first.x + 2, first.y + 2);
    // Quick and close to the click before, the press counts as a double click.
    OneTurn(DragMessages(first, true, EventCode::LeftDoubleClick));
    ExpectDraggedIntoTheSlot();
}

TEST_F(QuickHand, TheExitPanelCancelledInTheSameTurn)
{
    ReachBoard();
    program.Key(VirtualKey::F12);
    ASSERT_NE(app->exitPanel, nullptr);
    const Point cancel = MiddleOf(Places::PanelCancel);
    program.Move(cancel.x, cancel.y);
    OneTurn(Join(ClickMessages(cancel), DragMessages(first)));
    EXPECT_EQ(app->exitPanel, nullptr);
    ExpectDraggedIntoTheSlot();
}

TEST_F(QuickHand, TheRepeatedInstructionClosedWithEscInTheSameTurn)
{
    ReachBoard();
    program.Key(VirtualKey::F1);
    program.Wait(2000, 100);
    ASSERT_TRUE(app->instructionActive);
    OneTurn(Join(KeyMessages(VirtualKey::Escape), DragMessages(first)));
    EXPECT_FALSE(app->instructionActive);
    ExpectDraggedIntoTheSlot();
}

TEST_F(QuickHand, TheNextAttemptStartedFromThePraisedResultInTheSameTurn)
{
    ReachBoard();
    Emit(app->board->staff->Completed);
    program.Wait(3500, 50);
    program.Move(ResultScreenSpot.x, ResultScreenSpot.y);
    program.Click(ResultScreenSpot.x, ResultScreenSpot.y);
    // The next attempt's start row tells a new board from the old one (a heap may well give it the same address).
    const auto rows = [this] {
        const auto listing = app->report->Listing({});
        return listing ? listing->rows.size() : std::size_t {0};
    };
    const std::size_t rowsOfThePraisedAttempt = rows();
    OneTurn(Join(KeyMessages(VirtualKey::Return), DragMessages(first)));
    ASSERT_NE(app->board, nullptr);
    ASSERT_GT(rows(), rowsOfThePraisedAttempt) << "Enter started the next attempt";
    ExpectDraggedIntoTheSlot();
}
