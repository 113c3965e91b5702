#pragma once
// The main window: the root of every screen, joined to the platform window.
// The window procedure turns messages into calls on the tree, the message
// loop drains the queue before each idle turn (update pass, a frame when
// something is dirty, the timer pass) and then sleeps until input, a posted
// message or the next due timer, and the timer service runs everything that
// happens later in time.

#include "platform/Messages.h"
#include "toolkit/IMDialogBase.h"
#include "toolkit/IMTimerService.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioOutput.h"
class PlatformWindow;

struct TimerRecord {
    int interval = 0;         // milliseconds
    std::uint64_t start = 0;  // counter reading at creation, then the time the last tick was due
    EventSignal Elapsed;
};

class IMWindow : public IMDialogBase, public IMTimerService {
public:
    explicit IMWindow(std::unique_ptr<PlatformWindow> platformWindow);
    ~IMWindow() override;

    long Detach() override;
    virtual long Render();

    int AddTimer(int ms) override;
    IMConnection ConnectTimer(int id, const EventSlot& slot) override;
    long RemoveTimer(int id) override;

    // One message, as the platform's window procedure receives it.
    void WindowProc(const Msg& msg);
    // One idle turn: update pass and frame (unless the device is lost), timer pass.
    void IdleTurn();
    void TimerPass();
    // How long the loop may sleep after an idle turn when nothing arrives:
    // until the next timer is due, 1 ms while something needs every turn, and
    // never longer than MaxIdleWaitMs.
    int IdleWaitMs() const;
    static constexpr int MaxIdleWaitMs = 1000;

    PlatformWindow* Platform() const { return platformWindow.get(); }

    // The platform asks the program to close (the window manager's close, the
    // session ending, a signal); emitted before the tree is destroyed, which
    // happens without Closing.
    VoidSignal CloseRequested;

    bool suspended = false;  // minimised or hidden: no frames
    int lastTimerId = 0;
    std::map<int, std::unique_ptr<TimerRecord>> timers;

private:
    // Runs the update pass when screens were opened or closed since the last
    // one, so input meets the tree a turn would have left; whether it ran.
    bool SettleBeforeInput();
    // Reports the pointer's arrival at a button press's position when no
    // move has (or the screens changed since), before the press is handled.
    void PointAt(const Msg& msg, bool settled);
    static void Rearm(TimerRecord& timer, std::int64_t now, std::int64_t frequency);

    std::unique_ptr<PlatformWindow> platformWindow;
    // Timers removed while the timer pass runs their signal; deleted after it.
    std::vector<std::unique_ptr<TimerRecord>> retiredTimers;
    bool inTimerPass = false;
    bool presentedOnce = false;  // the debug line of the first frame is written
};

// Creates the platform window, the resource manager (render device, sound,
// skin) and the main window, and shows it. rect gives the client size.
// Raises the resource manager's exceptions; a window that cannot be created
// writes one line to standard error and ends the process with exit code 1.
IMWindow* CreateMainWindow(
    const std::wstring& title, const Rect* rect, bool windowed, std::unique_ptr<AudioOutput> output = nullptr);
// Runs until the quit message arrives; returns its exit code.
int RunMessageLoop(IMWindow* window);
IMWindow* GetMainWindow();
