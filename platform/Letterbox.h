#pragma once
// The 800x600 back buffer is shown scaled into the window, centred between
// black bars; window positions map back to back-buffer pixels.

#include "events/Geometry.h"

#include <algorithm>

struct Letterbox {
    int windowWidth = BackBufferWidth;  // drawable size of the window, updated on resize
    int windowHeight = BackBufferHeight;
    int backBufferWidth = BackBufferWidth;  // fixed for the program's lifetime
    int backBufferHeight = BackBufferHeight;

    double Scale() const
    {
        if (windowWidth <= 0 || windowHeight <= 0)
            return 1.0;
        return std::min(double(windowWidth) / backBufferWidth, double(windowHeight) / backBufferHeight);
    }
    int OffsetX() const { return static_cast<int>((windowWidth - backBufferWidth * Scale()) / 2); }
    int OffsetY() const { return static_cast<int>((windowHeight - backBufferHeight * Scale()) / 2); }

    // Window pixel to back-buffer pixel (positions in the bars fall outside 0..799).
    int ToBackX(int windowX) const { return Floor((windowX - OffsetX()) / Scale()); }
    int ToBackY(int windowY) const { return Floor((windowY - OffsetY()) / Scale()); }

private:
    static int Floor(double v) { return static_cast<int>(v >= 0 ? v : v - 1 + 1e-9); }
};
