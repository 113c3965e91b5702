// The scroll bar on a real main window: its layout, clamping, the auto-repeat
// of held arrows and track pieces on the hand-advanced clock, and the slider
// drag that follows the mouse relative to the press.

#include "toolkit/IMScroll.h"
#include "support/WindowScreen.h"

namespace {

// The example bar: 16 by 236, so the track is 204 long.
constexpr Rect BarRect {300, 100, 316, 336};

class ScrollTest : public WindowScreen {
protected:
    void SetUp() override
    {
        WindowScreen::SetUp();
        scroll = new IMScroll(screen, &BarRect);
        scroll->ConnectScrolled([this](const IMEvent& e, int p) {
            EXPECT_EQ(e.source, scroll);
            emitted.push_back(p);
            emittedAt.push_back(Now());
            return 0L;
        });
        Turn();
    }
    int Now() const { return int(clock.Counter() / 1000) - start; }
    // Screen position of a point in the bar.
    int X(int x) const { return BarRect.left + x; }
    int Y(int y) const { return BarRect.top + y; }
    Rect SliderRect() const { return scroll->slider->GetRect(); }

    IMScroll* scroll = nullptr;
    std::vector<int> emitted;    // positions reported by Scrolled
    std::vector<int> emittedAt;  // when, in ms since the start of the test
    int start = 1000;            // the manual clock starts at one second
};

}  // namespace

TEST_F(ScrollTest, LayoutFollowsThePosition)
{
    struct Case {
        int position;
        Rect slider, upper, lower;
    };
    const Case cases[] {
        {0, {0, 16, 16, 36}, {0, 16, 16, 32}, {0, 36, 16, 220}},
        {50, {0, 118, 16, 138}, {0, 16, 16, 134}, {0, 138, 16, 220}},
        {90, {0, 199, 16, 219}, {0, 16, 16, 215}, {0, 220, 16, 220}},
    };
    EXPECT_EQ(scroll->upButton->GetRect(), (Rect {0, 0, 16, 16}));
    EXPECT_EQ(scroll->downButton->GetRect(), (Rect {0, 220, 16, 236}));
    EXPECT_EQ(scroll->backPicture->GetRect(), (Rect {0, 0, 16, 236}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        scroll->SetScrollPosition(c.position);
        EXPECT_EQ(scroll->position, c.position);
        EXPECT_EQ(SliderRect(), c.slider) << "slider 20 high: 204 * 10 / 100";
        EXPECT_EQ(scroll->trackUpper->GetRect(), c.upper);
        EXPECT_EQ(scroll->trackLower->GetRect(), c.lower);
    }

    // Drawn: the slider's picture is where the layout says, the track where it left.
    scroll->SetScrollPosition(0);
    Frame();
    const std::uint32_t sliderAtTop = Pixel(X(8), Y(26));
    const std::uint32_t trackAtBottom = Pixel(X(8), Y(209));
    scroll->SetScrollPosition(90);
    Frame();
    EXPECT_EQ(Pixel(X(8), Y(209)), sliderAtTop) << "the same row of the slider, 183 pixels lower";
    EXPECT_NE(Pixel(X(8), Y(209)), trackAtBottom);
    EXPECT_NE(Pixel(X(8), Y(26)), sliderAtTop);
}

TEST_F(ScrollTest, SetScrollPositionClampsAndEmitsOnlyOnChange)
{
    struct Case {
        int asked;
        int stored;
        bool emits;
    };
    const Case cases[] {
        {50, 50, true},
        {50, 50, false},
        {200, 90, true},
        {91, 90, false},
        {-5, 0, true},
        {0, 0, false},
        {1, 1, true},
    };
    for (const Case& c : cases) {
        emitted.clear();
        scroll->SetScrollPosition(c.asked);
        EXPECT_EQ(scroll->position, c.stored) << c.asked;
        EXPECT_EQ(emitted, c.emits ? std::vector<int> {c.stored} : std::vector<int> {}) << c.asked;
    }
}

TEST_F(ScrollTest, HeldDownArrowRepeatsAfter500msThenEvery50ms)
{
    const std::size_t timers = window->timers.size();
    Press(X(8), Y(228));
    EXPECT_EQ(scroll->position, 1) << "one step at once";
    Wait(700);
    Release(X(8), Y(228));
    Wait(1000);
    EXPECT_EQ(emitted, (std::vector<int> {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(emittedAt, (std::vector<int> {0, 500, 550, 600, 650, 700}));
    EXPECT_EQ(window->timers.size(), timers) << "no repeat timer outlives the repeat";

    // The up arrow steps back the same way.
    emitted.clear();
    Press(X(8), Y(8));
    Wait(550);
    Release(X(8), Y(8));
    EXPECT_EQ(emitted, (std::vector<int> {5, 4, 3}));
}

TEST_F(ScrollTest, LeavingTheArrowStopsTheRepeat)
{
    Press(X(8), Y(228));
    Wait(600);
    const int reached = scroll->position;
    EXPECT_EQ(reached, 4);
    Move(X(40), Y(228), MouseKey::Left);  // off the button, still held
    Wait(1000);
    EXPECT_EQ(scroll->position, reached);
    Release(X(40), Y(228));
    Wait(500);
    EXPECT_EQ(scroll->position, reached);
}

TEST_F(ScrollTest, QuickSecondPressStepsToo)
{
    Click(X(8), Y(228));
    Send(EventCode::LeftDoubleClick, MouseKey::Left, X(8), Y(228));
    Release(X(8), Y(228));
    EXPECT_EQ(scroll->position, 2);
}

TEST_F(ScrollTest, PressOnTheTrackMovesOnePage)
{
    // Below the slider: a page down; held, it repeats like the arrows.
    Click(X(8), Y(150));
    EXPECT_EQ(scroll->position, 10);
    EXPECT_EQ(SliderRect().top, 16 + 20);
    // Above it: a page up.
    Click(X(8), Y(20));
    EXPECT_EQ(scroll->position, 0);
    Press(X(8), Y(200));
    Wait(600);
    Release(X(8), Y(200));
    EXPECT_EQ(emitted, (std::vector<int> {10, 0, 10, 20, 30, 40}));
}

TEST_F(ScrollTest, HeldTrackStopsWhenTheSliderReachesTheMouse)
{
    Press(X(8), Y(150));
    Wait(2000);
    // The slider now lies under the mouse, which has left the track.
    EXPECT_TRUE(SliderRect().top <= 150 && 150 < SliderRect().bottom) << SliderRect().top;
    const int reached = scroll->position;
    Wait(500);
    EXPECT_EQ(scroll->position, reached);
    Release(X(8), Y(150));
}

TEST_F(ScrollTest, SliderFollowsTheMouseRelativeToThePress)
{
    // Pressed 7 pixels below its top; a move of 51 moves it by 51 as well.
    Press(X(8), Y(23));
    Move(X(9), Y(23 + 51), MouseKey::Left);
    EXPECT_EQ(SliderRect(), (Rect {0, 16 + 51, 16, 16 + 51 + 20}));
    EXPECT_EQ(scroll->position, 25) << "floor(100 * 51 / 204 + 0.5)";
    // Sideways drift does not matter; moves keep adding up.
    Move(X(60), Y(23 + 51 + 10), MouseKey::Left);
    EXPECT_EQ(SliderRect().top, 16 + 61);
    EXPECT_EQ(scroll->position, 30) << "floor(100 * 61 / 204 + 0.5)";
    // Past the end the slider stops at the bottom of the track.
    Move(X(8), Y(500), MouseKey::Left);
    EXPECT_EQ(SliderRect().top, 236 - 16 - 20);
    EXPECT_EQ(scroll->position, 90);
    Move(X(8), Y(-300), MouseKey::Left);
    EXPECT_EQ(SliderRect().top, 16);
    EXPECT_EQ(scroll->position, 0);
    Release(X(8), Y(-300));
}

TEST_F(ScrollTest, AReleaseAnywhereEndsTheDrag)
{
    Press(X(8), Y(26));
    Move(X(8), Y(76), MouseKey::Left);
    const int dragged = scroll->position;
    EXPECT_GT(dragged, 0);
    // Released far from the bar.
    Release(700, 500);
    Move(X(8), Y(150));
    Move(X(8), Y(200));
    EXPECT_EQ(scroll->position, dragged);
    EXPECT_FALSE(scroll->dragConnection.connected());

    // Leaving the window ends a drag too.
    Press(X(8), SliderRect().top + Y(2));
    EXPECT_TRUE(scroll->dragConnection.connected());
    window->OnMouseLeave(IMMouseEvent(window, EventCode::MouseLeave, 0, 900, 900));
    EXPECT_FALSE(scroll->dragConnection.connected());
}

TEST_F(ScrollTest, NullRectHugsTheParentsRightEdge)
{
    IMDialogBase* panel = screen->CreateDialog(100, 50, 400, 300, 0);
    auto* side = new IMScroll(panel, nullptr);
    EXPECT_EQ(side->GetRect(), (Rect {384, 0, 400, 300}));
    EXPECT_EQ(side->downButton->GetRect(), (Rect {0, 284, 16, 300}));
}

TEST_F(ScrollTest, OddRangesAndSizesNeverBreakTheBar)
{
    struct Case {
        const char* story;
        Rect rect;
        int minimum, maximum, page, position;
    };
    const Case cases[] {
        {"an empty range", {0, 0, 16, 236}, 0, 0, 10, 0},
        {"a page larger than the range", {0, 0, 16, 236}, 0, 50, 100, -50},
        {"a bar shorter than its arrows", {0, 0, 16, 20}, 0, 100, 10, 5},
        {"a bar of no size", {0, 0, 0, 0}, 0, 100, 10, 5},
        {"huge numbers", {0, 0, 16, 236}, -2'000'000'000, 2'000'000'000, 1'000'000'000, 0},
        {"a range that does not start at 0", {0, 0, 16, 236}, 100, 200, 10, 145},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.story);
        auto* odd = new IMScroll(screen, &c.rect);
        odd->minimum = c.minimum;
        odd->maximum = c.maximum;
        odd->page = c.page;
        odd->position = c.position;
        odd->UpdateLayout();
        odd->SetPosition(500, 100);
        Turn();
        for (IMControl* part : std::initializer_list<IMControl*> {
                 odd->upButton, odd->downButton, odd->trackUpper, odd->trackLower, odd->slider}) {
            EXPECT_GE(part->GetRect().Width(), 0);
            EXPECT_GE(part->GetRect().Height(), 0);
        }
        // Steps, a drag and a frame.
        Click(508, 105);
        Press(508, odd->slider->GetRect().top + 101);
        Move(508, 400, MouseKey::Left);
        Release(508, 400);
        Frame();
        odd->Close();
        Turn();
    }
    // The bar whose range starts at 100 shows position 145 in the middle of its track.
    Rect r {0, 0, 16, 236};
    auto* shifted = new IMScroll(screen, &r);
    shifted->minimum = 100;
    shifted->maximum = 200;
    shifted->position = 145;
    shifted->UpdateLayout();
    EXPECT_EQ(shifted->slider->GetRect().top, 16 + 204 * 45 / 100);
}
