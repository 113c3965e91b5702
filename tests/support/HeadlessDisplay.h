#pragma once
// A window on SDL's dummy video driver with a software render device whose back
// buffer the tests read back.

#include "platform/PlatformWindow.h"
#include "render/IMRenderDevice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class HeadlessDisplay {
public:
    HeadlessDisplay();
    ~HeadlessDisplay();

    PlatformWindow& Window() { return *window; }
    // Back-buffer pixel (x, y), ARGB, read back from the last frame drawn.
    std::uint32_t Pixel(int x, int y);
    // Takes a fresh copy of the back buffer for Pixel.
    void ReadBack(IMRenderDevice& device);
    // Writes the back buffer to build-dir-relative path for people to look at.
    static bool Save(IMRenderDevice& device, const std::string& name);

private:
    std::unique_ptr<PlatformWindow> window;
    std::vector<std::uint32_t> pixels;
    int width = 800;
};

// A texture filled by fill(x, y) -> ARGB, sized width x height (power-of-two inside).
std::unique_ptr<DeviceTexture> MakeTexture(
    IMRenderDevice& device, int width, int height, std::uint32_t (*fill)(int x, int y));
