#pragma once
// Whether the display draws with a graphics card, so that OpenGL is worth
// loading: an X server offers direct rendering (DRI3 or DRI2) only then. Xvfb
// and servers without a card offer neither, and OpenGL there is Mesa drawing
// on the CPU, which costs the LLVM code generator (tens of megabytes) and is
// no faster than SDL's own software renderer. The dummy and offscreen drivers
// have no card; on Windows the card is missing when the primary display is
// Microsoft's basic display adapter; other window systems are taken to have one.

struct SDL_Window;

bool HasGraphicsCard(SDL_Window* window);
