// The main window: timers on a hand-advanced clock, messages injected into its
// window procedure, frames and quitting.

#include "app/IMWindow.h"
#include "render/IMResourceManager.h"
#include "support/ProgramHarness.h"
#include "support/ToolkitHarness.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { window = program.StartWindow(); }
    // Handles every waiting message; true when the quit message was among them.
    bool DrainQueue()
    {
        program.quit = false;
        program.Pump();
        return program.quit;
    }
    // A timer whose firings are counted.
    int CountingTimer(int ms, int& count)
    {
        const int id = window->AddTimer(ms);
        window->ConnectTimer(id, Tracked<EventSlot>(window, [&count](const IMEvent&) { return long(++count); }));
        return id;
    }

    ProgramHarness program;
    ManualClock& clock = program.clock;
    IMWindow* window = nullptr;  // owned by the harness
};

}  // namespace

TEST_F(MainWindow, PeriodicTimerFiresEveryInterval)
{
    int count = 0;
    CountingTimer(500, count);
    for (int ms = 0; ms < 2600; ms += 100) {
        clock.AdvanceMs(100);
        window->TimerPass();
    }
    EXPECT_EQ(count, 5);
}

// Turns that come late do not push a periodic timer's schedule later: an 80 ms
// timer served every 30 ms, or every 7 ms, ticks 318 times in 25.44 s.
TEST_F(MainWindow, LateTurnsKeepAPeriodicTimerOnSchedule)
{
    for (const int turnMs : {7, 30, 50, 79}) {
        SCOPED_TRACE("a turn every " + std::to_string(turnMs) + " ms");
        int count = 0;
        const int id = CountingTimer(80, count);
        int elapsed = 0;
        while (elapsed + turnMs <= 318 * 80) {
            clock.AdvanceMs(turnMs);
            elapsed += turnMs;
            window->TimerPass();
        }
        EXPECT_EQ(count, elapsed / 80);
        window->RemoveTimer(id);
    }
}

// A stall longer than the interval (a window being dragged) fires the timer
// once, not once for every tick it missed, and the ticks go on from then.
TEST_F(MainWindow, StalledTimerStartsAFreshScheduleWithoutABurst)
{
    int count = 0;
    CountingTimer(100, count);
    clock.AdvanceMs(1050);
    window->TimerPass();
    window->TimerPass();
    EXPECT_EQ(count, 1);
    clock.AdvanceMs(99);
    window->TimerPass();
    EXPECT_EQ(count, 1) << "due 100 ms after the late firing";
    clock.AdvanceMs(1);
    window->TimerPass();
    EXPECT_EQ(count, 2);
}

TEST_F(MainWindow, ReplacedTimerIsNotFiredInTheSamePass)
{
    int calls = 0;
    int current = window->AddTimer(100);
    std::function<long(const IMEvent&)> step = [&](const IMEvent&) {
        ++calls;
        window->RemoveTimer(current);
        clock.AdvanceMs(300);  // the slot runs long
        current = window->AddTimer(100);
        window->ConnectTimer(current, Tracked<EventSlot>(window, step));
        return 0L;
    };
    window->ConnectTimer(current, Tracked<EventSlot>(window, step));
    clock.AdvanceMs(100);
    window->TimerPass();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(current, 2);
    clock.AdvanceMs(100);
    window->TimerPass();
    EXPECT_EQ(calls, 2) << "called again one interval later";
}

TEST_F(MainWindow, TimerRemovedDuringThePassDoesNotFire)
{
    int later = 0;
    int laterId = 0;
    const int first = window->AddTimer(100);
    window->ConnectTimer(
        first, Tracked<EventSlot>(window, [&](const IMEvent&) { return window->RemoveTimer(laterId); }));
    laterId = CountingTimer(100, later);
    clock.AdvanceMs(150);
    window->TimerPass();
    EXPECT_EQ(later, 0);
    EXPECT_EQ(window->timers.count(laterId), 0u);
}

TEST_F(MainWindow, IdentifiersKeepGrowingAndBadIdentifiersDoNothing)
{
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(window->AddTimer(10), i);
    for (int i = 1; i <= 5; ++i)
        window->RemoveTimer(i);
    EXPECT_EQ(window->AddTimer(10), 6);
    EXPECT_FALSE(window->ConnectTimer(0, EventSlot([](const IMEvent&) { return 0L; })).connected());
    EXPECT_FALSE(window->ConnectTimer(3, EventSlot([](const IMEvent&) { return 0L; })).connected());
    EXPECT_EQ(window->RemoveTimer(0), 0);
    EXPECT_EQ(window->RemoveTimer(3), 0);
    EXPECT_EQ(GetTimerService(), window);
}

TEST_F(MainWindow, MinimisedWindowKeepsUpdatingButDoesNotDraw)
{
    IMResourceManager* manager = GetResourceManager();
    int ticks = 0, updates = 0;
    CountingTimer(10, ticks);
    window->Updated.connect(Tracked<EventSlot>(window, [&](const IMEvent&) { return long(++updates); }));
    window->WindowProc({WindowMessage::Size, SizeKind::Minimized, 0});
    const auto frames = manager->frameCount;
    window->SetDirty(true);
    clock.AdvanceMs(20);
    window->IdleTurn();
    EXPECT_EQ(manager->frameCount, frames);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(updates, 1);
    window->WindowProc({WindowMessage::Size, SizeKind::Restored, 0});
    window->IdleTurn();
    EXPECT_EQ(manager->frameCount, frames + 1);
    EXPECT_FALSE(window->IsDirty()) << "the frame was drawn";
}

TEST_F(MainWindow, NewWindowSizeRedrawsEverything)
{
    IMResourceManager* manager = GetResourceManager();
    window->IdleTurn();
    ASSERT_FALSE(window->IsDirty());
    const auto frames = manager->frameCount;
    // Going full screen on a larger desktop: the bars and the picture are drawn anew.
    window->WindowProc({WindowMessage::Size, SizeKind::Restored, 0});
    EXPECT_TRUE(window->IsDirty());
    window->IdleTurn();
    EXPECT_EQ(manager->frameCount, frames + 1);
    EXPECT_FALSE(window->IsDirty());
}

TEST_F(MainWindow, PointerEnteringAndLeavingTheWindowReachesTheTree)
{
    SignalLog log;
    log.Watch(window, "root");
    window->WindowProc({EventCode::MouseEnter, 0, 0, 10, 10});
    EXPECT_TRUE(window->IsHovered());
    EXPECT_TRUE(log.Has("root:MouseEntered:523"));
    window->WindowProc({EventCode::MouseLeave, 0, 0, 10, 10});
    EXPECT_FALSE(window->IsHovered());
    EXPECT_TRUE(log.Has("root:MouseLeft:675"));
}

TEST_F(MainWindow, MouseMovesAreDroppedWhileTheDeviceIsLost)
{
    auto* c = new TestControl(window, 0, {0, 0, 100, 100}, "c");
    window->IdleTurn();
    SignalLog log;
    log.Watch(c, "c");
    GetResourceManager()->Device()->MarkLost();
    window->WindowProc({EventCode::MouseMove, 0, 0, 10, 10});
    EXPECT_FALSE(log.Has("c:MouseEntered:523"));
    EXPECT_EQ(window->lastMousePos, (Point {0, 0}));
    window->WindowProc({EventCode::LeftDown, MouseKey::Left, 0, 10, 10});
    EXPECT_TRUE(window->IsPressed()) << "a press reaches the root";
    // The next paint message restores the device.
    window->WindowProc({WindowMessage::Paint, 0, 0});
    EXPECT_FALSE(GetResourceManager()->IsDeviceLost());
    window->WindowProc({EventCode::MouseMove, MouseKey::Left, 0, 10, 10});
    EXPECT_TRUE(log.Has("c:MouseEntered:523"));
}

TEST_F(MainWindow, CloseRequestSkipsClosingButCloseEmitsIt)
{
    int closing = 0;
    window->ConnectClosing(Tracked<EventSlot>(window, [&](const IMEvent&) { return long(++closing); }));
    window->WindowProc({WindowMessage::Close, 0, 0});
    EXPECT_EQ(closing, 0);
    EXPECT_TRUE(DrainQueue()) << "the root's Detach posts the quit message";

    window->Close();
    EXPECT_EQ(closing, 1);
    EXPECT_TRUE(DrainQueue());
}

TEST_F(MainWindow, HeldKeyRepeatsReachTheRoot)
{
    std::vector<std::uint32_t> keys;
    window->ConnectKeyDown(Tracked<KeySlot>(window, [&](const IMKeyboardEvent& e) {
        keys.push_back(e.wParam);
        return 0L;
    }));
    window->WindowProc({EventCode::KeyDown, VirtualKey::F1, 1});
    window->WindowProc({EventCode::KeyDown, VirtualKey::F1, 1u | (1u << 30)});
    window->WindowProc({EventCode::KeyDown, VirtualKey::F1, 1u | (1u << 30)});
    window->WindowProc({EventCode::KeyUp, VirtualKey::F1, 0xC0000001u});
    EXPECT_EQ(keys, (std::vector<std::uint32_t> {112, 112, 112}));
}

TEST_F(MainWindow, IdleWaitLastsUntilTheNextTimerIsDue)
{
    EXPECT_EQ(window->IdleWaitMs(), IMWindow::MaxIdleWaitMs) << "nothing to wait for";
    int ticks = 0;
    CountingTimer(500, ticks);
    CountingTimer(300, ticks);
    EXPECT_EQ(window->IdleWaitMs(), 300);
    clock.AdvanceUs(200'400);
    EXPECT_EQ(window->IdleWaitMs(), 100) << "99.6 ms rounded up: never woken before it is due";
    clock.AdvanceMs(100);
    EXPECT_EQ(window->IdleWaitMs(), 0);
    window->TimerPass();
    EXPECT_EQ(ticks, 1) << "due exactly when the wait ended";
    EXPECT_EQ(window->IdleWaitMs(), 200) << "the 500 ms timer is next";
    // A playing clip needs every turn.
    window->HoldEveryTurn();
    EXPECT_EQ(window->IdleWaitMs(), 1);
    window->ReleaseEveryTurn();
    EXPECT_EQ(window->IdleWaitMs(), 200);
}
