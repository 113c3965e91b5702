// The main window: timers on a hand-advanced clock, messages injected into its
// window procedure, frames and quitting.

#include "app/IMWindow.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"
#include "support/ToolkitHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SetClock(&clock);
        const Rect rect {0, 0, 800, 600};
        window = CreateMainWindow(L"test", &rect, true, std::make_unique<AudioManualOutput>());
        DrainQueue();
    }
    void TearDown() override
    {
        delete window;
        SetClock(nullptr);
    }
    // Takes every waiting message; true when the quit message was among them.
    bool DrainQueue()
    {
        bool quit = false;
        Msg msg;
        while (PeekMessage(msg, window->Platform()->GetLetterbox())) {
            if (msg.message == WM_QUIT)
                quit = true;
        }
        return quit;
    }
    // A timer whose firings are counted.
    int CountingTimer(int ms, int& count)
    {
        const int id = window->AddTimer(ms);
        window->ConnectTimer(id, Tracked<EventSlot>(window, [&count](const IMEvent&) { return long(++count); }));
        return id;
    }

    ManualClock clock;
    IMWindow* window = nullptr;
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
    window->WindowProc({WM_SIZE, SIZE_MINIMIZED, 0});
    const auto frames = manager->frameCount;
    window->SetDirty(true);
    clock.AdvanceMs(20);
    window->IdleTurn();
    EXPECT_EQ(manager->frameCount, frames);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(updates, 1);
    window->WindowProc({WM_SIZE, SIZE_RESTORED, 0});
    window->IdleTurn();
    EXPECT_EQ(manager->frameCount, frames + 1);
    EXPECT_FALSE(window->IsDirty()) << "the frame was drawn";
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
    window->WindowProc({WM_PAINT, 0, 0});
    EXPECT_FALSE(GetResourceManager()->IsDeviceLost());
    window->WindowProc({EventCode::MouseMove, MouseKey::Left, 0, 10, 10});
    EXPECT_TRUE(log.Has("c:MouseEntered:523"));
}

TEST_F(MainWindow, CloseRequestSkipsClosingButCloseEmitsIt)
{
    int closing = 0;
    window->ConnectClosing(Tracked<EventSlot>(window, [&](const IMEvent&) { return long(++closing); }));
    window->WindowProc({WM_CLOSE, 0, 0});
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
