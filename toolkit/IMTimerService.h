#pragma once
// The main window's timers, reachable from the layers below the application
// (the caret, the scroll bar's auto-repeat, the exercise's steps) without
// including it. Identifiers count from 1 and are never reused; timers are
// periodic until removed.

#include "events/IMSignal.h"

class IMTimerService {
public:
    virtual ~IMTimerService() = default;
    virtual int AddTimer(int ms) = 0;
    // An empty connection for 0 or an identifier that names no timer.
    virtual IMConnection ConnectTimer(int id, const EventSlot& slot) = 0;
    // Nothing for 0 or an identifier that names no timer.
    virtual long RemoveTimer(int id) = 0;

    // Something needs an idle turn every frame (a playing clip) from Hold
    // until the matching Release; meanwhile the loop waits at most 1 ms.
    void HoldEveryTurn() { ++everyTurnHolders; }
    void ReleaseEveryTurn()
    {
        if (everyTurnHolders > 0)
            --everyTurnHolders;
    }
    bool NeedsEveryTurn() const { return everyTurnHolders > 0; }

private:
    int everyTurnHolders = 0;
};

// The main window's timer service; null before it exists and after it is gone.
IMTimerService* GetTimerService();
void SetTimerService(IMTimerService* service);
