#pragma once
// The program's message queue over SDL's event queue: input arrives as
// translated window messages, other threads post registered messages into the
// same queue (so everything keeps its order and is handled on the main thread),
// and the quit message ends the loop.
//
// Provides: registered message numbers, posting from any thread, the quit
// message, peeking with translation, the 1 ms wait. Leaves out: window
// handles (there is one window) and message filtering.

#include <cstdint>
#include <string_view>

#include "platform/Letterbox.h"

// Message numbers the queue produces besides the input messages.
inline constexpr unsigned WM_QUIT = 0x0012;
inline constexpr unsigned WM_SIZE = 0x0005;
inline constexpr unsigned WM_PAINT = 0x000F;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_SHOWWINDOW = 0x0018;
inline constexpr unsigned WM_ENTERSIZEMOVE = 0x0231;
inline constexpr unsigned WM_EXITSIZEMOVE = 0x0232;
inline constexpr unsigned WM_MOUSELEAVE = 0x02A3;
// Not a Windows number: the pointer came into the client area (the toolkit's 523).
inline constexpr unsigned WM_MOUSEENTER = 523;

// SIZE_* values in wParam of WM_SIZE.
inline constexpr std::uint32_t SIZE_RESTORED = 0;
inline constexpr std::uint32_t SIZE_MINIMIZED = 1;

struct Msg {
    unsigned message = 0;      // window message number
    std::uint32_t wParam = 0;  // as Windows fills it for this message
    std::uint32_t lParam = 0;  // as Windows fills it; mouse positions live in x and y instead
    int x = 0;                 // mouse messages: position in back-buffer coordinates
    int y = 0;
};

// A number from 0xC000 upward, the same for the same name during the run.
unsigned RegisterWindowMessage(std::wstring_view name);

// Thread-safe; returns false when the queue is not available (SDL's event
// subsystem not initialised) or full.
bool PostMessage(unsigned message, std::uint32_t wParam, std::uint32_t lParam);
void PostQuitMessage(int exitCode);

// Takes the next message that the program knows, translating input events
// through the letterbox; events it does not know are dropped. False when the
// queue holds nothing more.
bool PeekMessage(Msg& out, const Letterbox& letterbox);

// Waits at most timeoutMs for something to arrive in the queue.
void WaitMessage(int timeoutMs);
