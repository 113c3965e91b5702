#pragma once
// A screen dialog under a real main window, for toolkit controls that need
// the window's timers and focus: the program harness with one focused screen.
// Input is dispatched without a turn (Send), so a test sees the state right
// after a message; Turn and Wait run the idle turns.

#include "render/IMResourceManager.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>
#include <string_view>

class WindowScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = program.StartWindow();
        manager = GetResourceManager();
        screen = new IMDialogBase(window, nullptr, 0);
        screen->SetFocus(true);
    }

    void Turn()
    {
        program.Turn();
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
    // A key as the platform sends it: key down, the character when it has one, key up.
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

    ProgramHarness program;
    ManualClock& clock = program.clock;
    IMWindow* window = nullptr;  // owned by the harness
    IMResourceManager* manager = nullptr;
    IMDialogBase* screen = nullptr;  // owned by the window

private:
    std::vector<std::uint32_t> pixels;
};
