#pragma once
// A real board under a real main window, driven by injected mouse messages,
// with a hand-advanced clock and a hand-stepped audio output. Records which
// sounds started, from the sound system's own notifications.

#include "app/IMWindow.h"
#include "exercise/Game.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "platform/PlatformWindow.h"
#include "platform/Random.h"

#include <SDL.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

inline std::time_t FixedTime()
{
    return 1'765'000'000;
}

class ExerciseTest : public ::testing::Test {
protected:
    // withAudio false: no audio device can be opened, the program runs silently.
    void StartBoard(bool withAudio = true)
    {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", withAudio ? "dummy" : "no-such-driver", 1);
        SetClock(&clock);
        SetTimeSource(FixedTime);
        std::unique_ptr<AudioOutput> output;
        if (withAudio) {
            audio = new AudioManualOutput(false);
            output.reset(audio);
        }
        const Rect rect {0, 0, 800, 600};
        window = CreateMainWindow(L"test", &rect, true, std::move(output));
        playMessage = RegisterWindowMessage(L"WM_IM_ONSOUNDPLAY");
        // Looked up once, before the board exists: asking the sound system for a
        // name again drops the slots connected to that sound's end.
        for (int n = 126; n <= 145; ++n)
            if (n != 130)
                ids[std::to_wstring(n)] = GetResourceManager()->CreateSound(std::to_wstring(n));
        const Rect board {0, 0, 800, 600};
        game = new Game(window, &board);
        Turn();
    }
    void TearDown() override
    {
        delete window;
        SetClock(nullptr);
        SetTimeSource(nullptr);
    }

    void Pump()
    {
        Msg msg;
        while (PeekMessage(msg, window->Platform()->GetLetterbox())) {
            if (msg.message == playMessage)
                started.push_back(msg.wParam);
            window->WindowProc(msg);
        }
    }
    void Turn()
    {
        Pump();
        window->IdleTurn();
    }
    // Lets ms of time pass on the clock and the audio output together.
    void Wait(int ms, int step = 40)
    {
        for (int t = 0; t < ms; t += step) {
            clock.AdvanceMs(step);
            if (audio)
                audio->AdvanceMs(step);
            Turn();
        }
        if (audio)
            audio->Advance(0);
        Turn();
    }
    void Send(unsigned message, std::uint32_t buttons, int x, int y)
    {
        window->WindowProc({message, buttons, 0, x, y});
        Turn();
    }
    void Move(int x, int y, std::uint32_t buttons = 0) { Send(EventCode::MouseMove, buttons, x, y); }
    void Press(int x, int y)
    {
        Move(x, y);
        Send(EventCode::LeftDown, MouseKey::Left, x, y);
    }
    void Release(int x, int y) { Send(EventCode::LeftUp, 0, x, y); }
    void ClickStaffPlay() { Press(423, 56), Release(423, 56); }
    void ClickGramophone() { Press(603, 340), Release(603, 340); }

    Brick* BrickOf(const wchar_t* sound)
    {
        for (auto& b : game->bricks)
            if (b->soundName == sound)
                return b.get();
        return nullptr;
    }
    // Picks the brick up near its corner and lets it go with its corner at (x, y).
    void Drag(Brick* brick, int x, int y)
    {
        const Point p = brick->picture->GetPosition();
        Press(p.x + 6, p.y + 6);
        Move(x + 6, y + 6, MouseKey::Left);
        Release(x + 6, y + 6);
    }
    std::uint32_t Id(const wchar_t* name) { return ids.at(name); }
    bool Started(const wchar_t* name) { return std::count(started.begin(), started.end(), Id(name)) > 0; }
    bool Playing(const wchar_t* name)
    {
        CSoundStream* stream = GetResourceManager()->FindStream(Id(name));
        return stream && stream->IsPlaying();
    }

    ManualClock clock;
    AudioManualOutput* audio = nullptr;  // owned by the sound system
    IMWindow* window = nullptr;
    Game* game = nullptr;  // owned by the window
    unsigned playMessage = 0;
    std::vector<std::uint32_t> started;         // sound identifiers, in the order they started
    std::map<std::wstring, std::uint32_t> ids;  // sound name -> identifier
};
