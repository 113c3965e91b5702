#pragma once
// The clip control: a picture control whose animated view V advances with the
// wall clock at a frame period the screen chooses, and which tells the screen
// when the clip has run out. IMAnimationBase<IMTheoraView> shows the
// instruction video and the praise clips.

#include "media/video/IMTheoraView.h"
#include "platform/Clock.h"
#include "toolkit/IMTimerService.h"
#include "toolkit/IMViewControl.h"

#include <algorithm>
#include <climits>
#include <cstdint>

template <class V> class IMAnimationBase : public IMViewControl<V> {
public:
    IMAnimationBase(IMDialogBase* parent, int layer)
        : IMViewControl<V>(parent, layer)
    {
    }
    ~IMAnimationBase() override { SetPlaying(false); }

    // Plays from frame 0, timed from now.
    void Start();
    // Stops playing; the picture stays.
    void Finish();
    // Shows the frame the clock has reached, or finishes once it is past the last one.
    long OnIdle() override;

    // The frame the clock has reached since Start.
    std::int64_t ClockFrame() const;

    std::uint64_t startTime = 0;      // high-resolution counter at Start
    std::int32_t framePeriod = 2400;  // one frame in 1/60000 s: 2400 is 25 frames a second, 5000 is 12
    bool playing = false;             // Start sets it, Finish clears it
    bool forward = true;              // direction of play; Start plays forwards
    EventSignal Started;              // from Start
    EventSignal Finished;             // from Finish
    EventSignal FrameAdvanced;        // from Start and before every new frame

private:
    void SetPlaying(bool on);
};

template <class V> void IMAnimationBase<V>::Start()
{
    Emit(Started, IMEvent(this, EventCode::StateChanged));
    Emit(FrameAdvanced, IMEvent(this, EventCode::StateChanged));
    SetPlaying(true);
    forward = true;
    startTime = GetClock().Counter();
}

template <class V> void IMAnimationBase<V>::Finish()
{
    SetPlaying(false);
    Emit(Finished, IMEvent(this, EventCode::StateChanged));
}

template <class V> void IMAnimationBase<V>::SetPlaying(bool on)
{
    if (on == playing)
        return;
    playing = on;
    // A playing clip needs every idle turn; the loop may sleep otherwise.
    if (IMTimerService* timers = GetTimerService())
        on ? timers->HoldEveryTurn() : timers->ReleaseEveryTurn();
}

template <class V> std::int64_t IMAnimationBase<V>::ClockFrame() const
{
    const Clock& clock = GetClock();
    const std::uint64_t now = clock.Counter();
    const std::uint64_t ticks = now > startTime ? now - startTime : 0;
    const std::uint64_t frequency = std::max<std::uint64_t>(clock.Frequency(), 1);
    // ticks * 60000 / frequency, without overflowing on a long run.
    const std::uint64_t elapsed = ticks / frequency * 60000 + ticks % frequency * 60000 / frequency;
    return static_cast<std::int64_t>(elapsed / static_cast<std::uint64_t>(std::max(framePeriod, 1)));
}

template <class V> long IMAnimationBase<V>::OnIdle()
{
    if (!playing)
        return 0;
    const std::int64_t w = ClockFrame();
    const int first = V::GetFirstFrame();
    const int last = V::GetLastFrame();
    // Wraps on purpose: while the last frame is unknown (INT_MAX) the count is
    // negative and so large that the remainder leaves w as it is.
    const auto count
        = static_cast<std::int32_t>(static_cast<std::uint32_t>(last) + 1u - static_cast<std::uint32_t>(first));
    std::int64_t k = count != 0 ? w % count : w;
    if (!forward)
        k = (static_cast<std::int64_t>(last) - k) - first;
    const std::int64_t target = std::clamp<std::int64_t>(k + first, INT_MIN, INT_MAX);
    // Past the last frame the clip finishes even when the remainder lands on
    // the frame on screen (a one-frame clip would otherwise never finish).
    if (w > static_cast<std::int64_t>(last) - first) {
        Finish();
        return 0;
    }
    if (target == V::GetCurrentFrame())
        return 0;
    Emit(FrameAdvanced, IMEvent(this, EventCode::StateChanged));
    V::ShowFrame(static_cast<int>(target));
    // Decoding ahead may have met the end just now (a one-frame clip, a stall past the end).
    if (w > static_cast<std::int64_t>(V::GetLastFrame()) - first)
        Finish();
    return 0;
}

extern template class IMAnimationBase<IMTheoraView>;
