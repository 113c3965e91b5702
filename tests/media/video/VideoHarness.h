#pragma once
// A clip control on a headless screen with the hand-advanced clock: the
// screen's update and paint passes as the main window runs them, and the
// frame the picture shows, read back from the back buffer.

#include "media/video/IMAnimationBase.h"
#include "platform/Clock.h"
#include "support/TheoraFixture.h"
#include "support/ToolkitScreen.h"

#include <vector>

using ClipControl = IMAnimationBase<IMTheoraView>;

class VideoScreen : public ToolkitScreen {
protected:
    void SetUp() override
    {
        ToolkitScreen::SetUp();
        SetClock(&clock);
    }
    void TearDown() override
    {
        ToolkitScreen::TearDown();
        SetClock(nullptr);
    }

    // A clip control placed at ClipPlace in the root, with the clip opened.
    ClipControl* OpenClip(const std::vector<unsigned char>& bytes)
    {
        auto* control = new ClipControl(root.get(), 0);
        control->OpenVideo(bytes.data(), bytes.size());
        control->SetRect({ClipPlace.x, ClipPlace.y, ClipPlace.x + 64, ClipPlace.y + 48});
        drive->Turn();  // the control goes live
        return control;
    }

    // Moves the clock on by ms in turns of at most step ms, an update pass after each.
    void Play(int ms, int step = 10)
    {
        for (int done = 0; done < ms;) {
            const int now = std::min(step, ms - done);
            clock.AdvanceMs(static_cast<std::uint64_t>(now));
            done += now;
            drive->Turn();
        }
    }

    // The frame of the default painting on screen, -1 for none (black: the blank picture).
    int FrameOnScreen()
    {
        Frame();
        return FrameOfPixel(display.Pixel(ClipPlace.x + 20, ClipPlace.y + 20));
    }
    std::uint32_t PixelOnScreen()
    {
        Frame();
        return display.Pixel(ClipPlace.x + 20, ClipPlace.y + 20);
    }

    static constexpr Point ClipPlace {100, 80};
    ManualClock clock;
    std::vector<unsigned char> clip;  // kept alive while a view reads it
};

// Counts the emissions of a signal.
struct EmissionCounter {
    int count = 0;
    IMLifetime lifetime;
    void Watch(EventSignal& signal)
    {
        signal.connect(Tracked<EventSlot>(&lifetime, [this](const IMEvent&) {
            ++count;
            return 0L;
        }));
    }
};
