#include "app/IMWindow.h"

#include "platform/AudioOutput.h"
#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
IMWindow* mainWindow = nullptr;  // process-wide, main thread only
}

IMWindow* GetMainWindow()
{
    return mainWindow;
}

IMWindow::IMWindow(std::unique_ptr<PlatformWindow> window)
    : IMDialogBase(nullptr, nullptr, 0)
    , platformWindow(std::move(window))
{
}

IMWindow::~IMWindow()
{
    // A loop ended by a quit message from elsewhere leaves screens alive; they
    // still release their pictures and sounds before the resource manager goes.
    ForEachChild([](IMControl* child) { child->Destroy(IMEvent(child, EventCode::Close)); });
    FlushRemovals();
    DestroyResourceManager();
    if (mainWindow == this)
        mainWindow = nullptr;
    if (GetTimerService() == this)
        SetTimerService(nullptr);
    // Timers go with their signals; the platform window last of all.
    timers.clear();
    retiredTimers.clear();
}

// The root has no parent to leave: closing it ends the program.
long IMWindow::Detach()
{
    PostQuitMessage(0);
    return 0;
}

// ---------------------------------------------------------------------------
// Window procedure

void IMWindow::WindowProc(const Msg& msg)
{
    IMResourceManager* manager = GetResourceManager();
    if (manager && manager->HandleSoundMessage(msg.message, msg.wParam, msg.lParam))
        return;
    switch (msg.message) {
    case WindowMessage::Size:
        // A new size shows the back buffer at a new scale, bars included:
        // the whole window is drawn again.
        suspended = msg.wParam == SizeKind::Minimized;
        if (manager)
            manager->RepaintWindow();
        SetDirty(true);
        return;
    case WindowMessage::Paint:
        if (manager && manager->IsDeviceLost() && !manager->RestoreDevice())
            return;
        // The window's pixels were lost: present all of the next frame, not only what changed.
        if (manager)
            manager->RepaintWindow();
        SetDirty(true);
        return;
    case WindowMessage::Close:
        // The platform's close request: whatever must not be lost is saved by
        // CloseRequested's slots; the tree then goes without Closing.
        Emit(CloseRequested);
        Destroy(IMEvent(this, EventCode::Close));
        return;
    case WindowMessage::ShowWindow:
        suspended = msg.wParam == 0;
        return;
    case EventCode::KeyDown:
    case EventCode::KeyUp:
    case EventCode::Char:
    case EventCode::SysKeyDown:
    case EventCode::SysKeyUp:
        OnKey(IMKeyboardEvent(this, msg.message, msg.wParam, msg.lParam));
        return;
    case EventCode::MouseEnter:
        OnMouseEnter(IMMouseEvent(this, msg.message, msg.wParam, msg.x, msg.y));
        return;
    case EventCode::MouseLeave:
        OnMouseLeave(IMMouseEvent(this, msg.message, msg.wParam, msg.x, msg.y));
        return;
    case EventCode::MouseMove:
        if (manager && manager->IsDeviceLost())
            return;
        SettleBeforeInput();
        OnMouseMove(IMMouseEvent(this, msg.message, msg.wParam, msg.x, msg.y));
        return;
    case EventCode::LeftDown:
    case EventCode::LeftDoubleClick:
    case EventCode::RightDown:
    case EventCode::MiddleDown:
        PointAt(msg, SettleBeforeInput());
        OnMouseButton(IMMouseEvent(this, msg.message, msg.wParam, msg.x, msg.y));
        return;
    case EventCode::LeftUp:
    case EventCode::RightUp:
    case EventCode::MiddleUp:
    case EventCode::Wheel:
        SettleBeforeInput();
        OnMouseButton(IMMouseEvent(this, msg.message, msg.wParam, msg.x, msg.y));
        return;
    default:
        return;
    }
}

namespace {

// The buttons held just before a button press: all but the one it presses.
std::uint32_t ButtonsBefore(const Msg& msg)
{
    switch (msg.message) {
    case EventCode::LeftDown:
    case EventCode::LeftDoubleClick:
        return msg.wParam & ~MouseKey::Left;
    case EventCode::RightDown:
        return msg.wParam & ~MouseKey::Right;
    case EventCode::MiddleDown:
        return msg.wParam & ~MouseKey::Middle;
    default:
        return msg.wParam;
    }
}

}  // namespace

bool IMWindow::SettleBeforeInput()
{
    // On a slow machine the events of a quick hand share one turn: a screen
    // closed by a click is still in its parent's layers (and a screen opened
    // by it still pending) when the next move or press arrives, so the press
    // would go to the screen that has gone. The update pass a faster machine
    // runs between them is run here instead; only the frame waits.
    if (!HasPendingChanges())
        return false;
    Update(IMEvent(this, EventCode::Update));
    return true;
}

void IMWindow::PointAt(const Msg& msg, bool settled)
{
    // Controls learn what is under the mouse from moves. A press whose
    // position no move has reported (the pointer arrived with the press, or
    // came back into the window), or that meets a hover left over from before
    // a change of the screens, first moves the pointer there, so the press
    // reaches what is under it. Releases are left as they come: a drag ends
    // where its last move left it.
    const Point p {msg.x, msg.y};
    if (!settled && p == lastMousePos && HoverIsCurrent(p))
        return;
    IMResourceManager* manager = GetResourceManager();
    if (manager && manager->IsDeviceLost())
        return;
    OnMouseMove(IMMouseEvent(this, EventCode::MouseMove, ButtonsBefore(msg), p.x, p.y));
}

// ---------------------------------------------------------------------------
// Idle turn

void IMWindow::IdleTurn()
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager || !manager->IsDeviceLost()) {
        Update(IMEvent(this, EventCode::Update));
        Render();
    }
    if (!timers.empty())
        TimerPass();
}

long IMWindow::Render()
{
    if (suspended)
        return 0;
    IMResourceManager* manager = GetResourceManager();
    if (IsDirty() && manager) {
        manager->BeginFrame();
        Draw(IMEvent(this, EventCode::Paint));
        ++manager->frameCount;
        manager->EndFrame();
        SetDirty(false);
        if (!presentedOnce) {
            // On the monotonic clock, so that a launcher can tell the start-up time.
            presentedOnce = true;
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            OutputDebugString("first frame presented at " + std::to_string(ms.count()) + " ms");
        }
    } else if (manager) {
        ++manager->frameCount;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Timers

int IMWindow::AddTimer(int ms)
{
    auto record = std::make_unique<TimerRecord>();
    record->interval = ms;
    record->start = GetClock().Counter();
    timers[++lastTimerId] = std::move(record);
    return lastTimerId;
}

IMConnection IMWindow::ConnectTimer(int id, const EventSlot& slot)
{
    auto it = timers.find(id);
    if (id == 0 || it == timers.end())
        return {};
    return it->second->Elapsed.connect(slot);
}

long IMWindow::RemoveTimer(int id)
{
    auto it = timers.find(id);
    if (id == 0 || it == timers.end())
        return 0;
    it->second->Elapsed.disconnect_all_slots();
    // Its signal may be the one emitting right now.
    if (inTimerPass)
        retiredTimers.push_back(std::move(it->second));
    timers.erase(it);
    return 0;
}

void IMWindow::TimerPass()
{
    const Clock& clock = GetClock();
    const std::int64_t now = static_cast<std::int64_t>(clock.Counter());
    const std::int64_t frequency = static_cast<std::int64_t>(clock.Frequency());
    const IMEvent e(this, 0);
    inTimerPass = true;
    // The next timer is looked up after each one is handled, so slots may remove
    // any timer, their own included; timers made during the pass start after
    // `now` and are not due in it.
    for (auto it = timers.begin(); it != timers.end();) {
        const int id = it->first;
        TimerRecord& timer = *it->second;
        const std::int64_t elapsed = (now - static_cast<std::int64_t>(timer.start)) * 1000 / frequency;
        if (elapsed >= timer.interval) {
            Rearm(timer, now, frequency);
            Emit(timer.Elapsed, e);
        }
        it = timers.upper_bound(id);
    }
    inTimerPass = false;
    retiredTimers.clear();
}

// A periodic timer keeps its own schedule: the next tick is due one interval
// after the tick that was due, not after the late turn that fired it, so a
// steady tick (the staff's playhead) does not fall behind by a turn's delay
// every time. A timer that missed a whole interval (the machine stalled, the
// window was dragged) starts a fresh schedule from now instead of firing its
// missed ticks in a burst.
void IMWindow::Rearm(TimerRecord& timer, std::int64_t now, std::int64_t frequency)
{
    const std::int64_t interval = static_cast<std::int64_t>(timer.interval) * frequency / 1000;
    const std::int64_t due = static_cast<std::int64_t>(timer.start) + interval;
    timer.start = static_cast<std::uint64_t>(interval > 0 && now - due < interval ? due : now);
}

int IMWindow::IdleWaitMs() const
{
    if (NeedsEveryTurn())
        return 1;
    const Clock& clock = GetClock();
    const std::int64_t now = static_cast<std::int64_t>(clock.Counter());
    const std::int64_t frequency = static_cast<std::int64_t>(clock.Frequency());
    std::int64_t wait = MaxIdleWaitMs;
    for (const auto& [id, timer] : timers) {
        // Rounded up, so that the timer is due when the wait ends, never before.
        const std::int64_t due = static_cast<std::int64_t>(timer->start) + timer->interval * frequency / 1000;
        const std::int64_t remaining = (due - now) * 1000;
        wait = std::min(wait, remaining <= 0 ? 0 : (remaining + frequency - 1) / frequency);
    }
    return static_cast<int>(wait);
}

// ---------------------------------------------------------------------------
// Creation and the loop

IMWindow* CreateMainWindow(
    const std::wstring& title, const Rect* rect, bool windowed, std::unique_ptr<AudioOutput> output)
{
    (void)rect;  // the back buffer is always 800x600; the window shows it scaled
    std::string error;
    auto platformWindow = PlatformWindow::Create(title, !windowed, &error);
    if (!platformWindow) {
        std::fprintf(stderr, "zvonkary: %s\n", error.c_str());
        std::exit(1);
    }
    PlatformWindow* window = platformWindow.get();
    CreateResourceManager(windowed, window, std::move(output));
    mainWindow = new IMWindow(std::move(platformWindow));
    SetTimerService(mainWindow);
    window->Show();
    return mainWindow;
}

int RunMessageLoop(IMWindow* window)
{
    for (;;) {
        Msg msg;
        while (PeekMessage(msg, window->Platform()->GetLetterbox())) {
            if (msg.message == WindowMessage::Quit)
                return static_cast<int>(msg.wParam);
            window->WindowProc(msg);
        }
        window->IdleTurn();
        WaitMessage(window->IdleWaitMs());
    }
}
