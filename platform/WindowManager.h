#pragma once
// Whether a window manager runs on the window's display. Only a window manager
// answers a request for full screen; without one the request is never
// answered and SDL waits 100 ms for it in vain. A window manager that follows
// the desktop conventions names its check window on the root window, and that
// window names itself again (a stale name left by a window manager that ended
// does not count). Window systems other than X11 always have one.

struct SDL_Window;

bool HasWindowManager(SDL_Window* window);
