#pragma once
// A screen dialog under a real main window on the dummy video driver, with a
// hand-advanced clock: messages go through the window procedure, time passes
// only in Wait, and each idle turn runs the update pass, a frame when anything
// is dirty, and the timer pass, as the message loop does.

#include "app/IMWindow.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"

#include <SDL.h>
#include <gtest/gtest.h>

class WindowScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        SetClock(&clock);
        const Rect rect {0, 0, 800, 600};
        window = CreateMainWindow(L"test", &rect, true, std::make_unique<AudioManualOutput>(false));
        manager = GetResourceManager();
        screen = new IMDialogBase(window, nullptr, 0);
        screen->SetFocus(true);
    }
    void TearDown() override
    {
        delete window;
        SetClock(nullptr);
    }

    // Dispatches whatever the platform queued, then one idle turn.
    void Turn()
    {
        Msg msg;
        while (PeekMessage(msg, window->Platform()->GetLetterbox()))
            window->WindowProc(msg);
        window->IdleTurn();
        pixels.clear();
    }
    // Lets ms pass in steps, with an idle turn after each.
    void Wait(int ms, int step = 10)
    {
        for (int t = 0; t < ms; t += step) {
            clock.AdvanceMs(step);
            Turn();
        }
    }
    void Send(unsigned message, std::uint32_t wParam, int x = 0, int y = 0)
    {
        window->WindowProc({message, wParam, 0, x, y});
    }
    void Move(int x, int y, std::uint32_t buttons = 0) { Send(EventCode::MouseMove, buttons, x, y); }
    void Press(int x, int y)
    {
        Move(x, y);
        Send(EventCode::LeftDown, MouseKey::Left, x, y);
    }
    void Release(int x, int y) { Send(EventCode::LeftUp, 0, x, y); }
    void Click(int x, int y) { Press(x, y), Release(x, y); }
    // A key as Windows sends it: key down, the character when it has one, key up.
    void KeyPress(unsigned vk, std::uint32_t character = 0)
    {
        Send(EventCode::KeyDown, vk);
        if (character)
            Send(EventCode::Char, character);
        Send(EventCode::KeyUp, vk);
    }
    // One character message per UTF-16 unit, as text input sends them.
    void Type(std::u16string_view text)
    {
        for (char16_t unit : text)
            Send(EventCode::Char, unit);
    }
    // The back buffer of the last frame drawn.
    std::uint32_t Pixel(int x, int y)
    {
        if (pixels.empty())
            pixels = manager->Device()->ReadBackBuffer();
        return pixels.at(static_cast<std::size_t>(y) * manager->backBufferWidth + x);
    }
    // A fresh frame of the whole tree, read back by the next Pixel.
    void Frame()
    {
        window->SetDirty(true);
        Turn();
    }

    ManualClock clock;
    IMWindow* window = nullptr;
    IMResourceManager* manager = nullptr;
    IMDialogBase* screen = nullptr;  // owned by the window

private:
    std::vector<std::uint32_t> pixels;
};
