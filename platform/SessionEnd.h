#pragma once
// The end of the user's session (logging off, shutting down) while the program runs. On Linux it arrives as SIGHUP
// or SIGTERM, which CloseOnQuitSignals turns into the close message. On Windows the window is asked with
// WM_QUERYENDSESSION and told with WM_ENDSESSION, and the system may end the process as soon as the window has
// answered the second, before the message loop turns again: so `save` runs right there, on the main thread, before
// the answer.

#include <functional>

struct SDL_Window;

// Runs `save` once when the session ends under `window` (Windows); does nothing on Linux, where the signals serve.
void SaveWhenTheSessionEnds(SDL_Window* window, std::function<void()> save);
