#pragma once
// The render state of the resource manager: the device with its 800x600 back
// buffer, the one drawing primitive (a textured, colour-modulated, optionally
// rotated rectangle), the drawing origin and viewport the paint pass moves, the
// frame counters, and the device-loss protocol.
//
// Integer pixel edges land on pixel edges, so a picture drawn into a rectangle
// of its own size at an integer position lands texel for pixel.

#include "events/Geometry.h"
#include "platform/GraphicsDevice.h"

#include <cstdint>
#include <memory>

class PlatformWindow;

struct Viewport {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

class IMRenderDevice {
public:
    IMRenderDevice();
    virtual ~IMRenderDevice();

    // 0 on success, 1 when the device cannot be created. Raises
    // std::runtime_error "Can't init Direct3D" without a window system and
    // "Can't init DisplayMode" when the display mode cannot be read.
    int InitDevice(int refreshRate, PlatformWindow* window, bool windowed, int width, int height);
    bool IsDeviceLost();
    bool RestoreDevice();

    // Smallest power-of-two sides holding width x height (at least 1 each).
    // Raises std::bad_alloc when texture memory is exhausted; nullptr on other failures.
    std::unique_ptr<DeviceTexture> CreatePow2Texture(int width, int height, PixelFormat format);

    // Draws source (image texels; null: the whole imageRect) of texture into
    // dest moved by drawOrigin, colour-modulated, rotated by angle radians
    // about dest's centre. An empty dest draws nothing and changes nothing.
    void DrawDeviceTexture(DeviceTexture& texture, const Rect& imageRect, const Rect& dest, const Rect* source,
        std::uint32_t colour, float angle);

    Viewport GetViewport() const;
    void SetViewport(const Viewport& viewport);

    // Frame sequence of the main window: clear to opaque black, then present.
    void BeginFrame();
    void EndFrame();
    // The window lost what it showed (exposed, resized): the next frame is
    // presented whole instead of only where it changed.
    void RepaintWindow();

    GraphicsDevice* Device() const { return device.get(); }

    Point drawOrigin;  // added to every destination; the paint pass moves and restores it
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    std::uint32_t startTime = 0;   // millisecond clock at creation, read at shutdown
    std::uint32_t frameCount = 0;  // idle turns counted by the main window

protected:
    // Called by RestoreDevice before the device is created again: every device
    // texture must be released (their pixel copies stay).
    virtual void EvictAllTextures() { }

    std::unique_ptr<GraphicsDevice> device;  // null when creation failed
    bool windowed = false;
    bool deviceLost = false;  // latched; cleared only by a successful InitDevice
    int refreshRate = 0;
    PlatformWindow* window = nullptr;  // the main window, not owned
};

// Smallest power of two >= n (1 for n <= 0).
int NextPowerOfTwo(int n);

// The program's one render device (the resource manager), reached by the
// toolkit's paint pass; null when none exists (then nothing is drawn).
IMRenderDevice* GetRenderDevice();
void SetRenderDevice(IMRenderDevice* device);
