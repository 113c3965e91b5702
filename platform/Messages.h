#pragma once
// The program's message queue over SDL's event queue: input arrives as
// translated window messages, other threads post registered messages into the
// same queue (so everything keeps its order and is handled on the main thread),
// and the quit message ends the loop.
//
// Provides: registered message numbers, posting from any thread, the quit
// message, peeking with translation, the wait. The message numbers are in
// events/Codes.h. Leaves out: window
// handles (there is one window) and message filtering.

#include "events/Codes.h"
#include "platform/Letterbox.h"

#include <cstdint>
#include <string_view>

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

// Turns SIGINT, SIGTERM and SIGHUP (Ctrl+C, a shutdown, a closed session)
// into the platform's close request: the next PeekMessage returns
// WindowMessage::Close, so the program saves and ends in order.
void CloseOnQuitSignals();
// Whether a close request taken by PeekMessage came from one of those signals:
// the session is ending, and nobody is there to answer a question.
bool ClosedBySignal();

// Waits at most timeoutMs for something to arrive in the queue.
void WaitMessage(int timeoutMs);
