#pragma once
// Drawing over SDL_Renderer: an 800x600 back buffer, textures that are
// streaming ARGB8888 ones whose system-memory pixels Lock hands out, a draw
// that is a copy with colour and alpha modulation, blending and rotation, the
// clip rectangle as the viewport, and Present, which scales the back buffer
// into the window with letterbox bars.
//
// With a graphics card the back buffer is a target texture and every present
// scales all of it. Without one (the software renderer) the back buffer is a
// surface in memory and the window's own pixels are kept between frames:
// Present sends only the window rectangles whose pixels changed
// (WindowPresenter), which is what keeps an idle screen cheap at 1920x1080.
//
// A texture-memory budget makes running out of memory real: creating a texture
// beyond it raises std::bad_alloc. Render-target and device resets from SDL
// latch "lost" until the device is created again.
//
// Leaves out: mipmaps (only the top level is ever used), depth, shaders.

#include "events/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PlatformWindow;
class WindowPresenter;
struct SDL_Renderer;
struct SDL_Surface;
struct SDL_Texture;
struct SDL_Window;
class GraphicsDevice;

enum class PixelFormat {
    A8R8G8B8,  // 32 bits, B G R A in memory, straight alpha
    X8R8G8B8,  // the same layout, the fourth byte ignored: opaque (video frames)
};

// One device texture. Destroy it before its device.
class DeviceTexture {
public:
    ~DeviceTexture();
    DeviceTexture(const DeviceTexture&) = delete;
    DeviceTexture& operator=(const DeviceTexture&) = delete;

    int Width() const { return width; }
    int Height() const { return height; }
    PixelFormat Format() const { return format; }
    int Pitch() const { return width * 4; }

    // The top level's pixels, rows Pitch() bytes apart, written back to the
    // device by Unlock. They keep what was last written; lock once at a time.
    std::uint8_t* Lock();
    // Only the texels inside `area` (clipped to the texture): returns its
    // top-left texel, and Unlock writes back that rectangle alone. A video
    // frame fills part of its power-of-two texture, and uploading the rest
    // every frame would cost as much again.
    std::uint8_t* Lock(const Rect& area);
    void Unlock();
    // The texel at (x, y) as ARGB, read without writing anything back; 0 outside.
    std::uint32_t Texel(int x, int y);
    // The block at the top-left corner whose texels are all opaque, as found
    // by the last Unlock; draws from inside it need no blending.
    int OpaqueWidth() const { return opaqueWidth; }
    int OpaqueHeight() const { return opaqueHeight; }

private:
    friend class GraphicsDevice;
    DeviceTexture(GraphicsDevice& device, SDL_Texture* texture, int width, int height, PixelFormat format);

    GraphicsDevice& device;
    SDL_Texture* texture;  // owned
    int width;             // power-of-two sides
    int height;
    PixelFormat format;
    // The pixels live in the SDL texture (a streaming one, which keeps its
    // own copy in system memory): no second copy here.
    std::uint8_t* locked = nullptr;  // the top-left texel of the whole texture while locked
    Rect lockedArea;
    std::vector<std::uint8_t> scratch;  // handed out when SDL cannot lock
    int opaqueWidth = 0;                // the opaque top-left block, found on Unlock
    int opaqueHeight = 0;

    void FindOpaqueBlock();
    std::size_t Bytes() const;
};

class GraphicsDevice {
public:
    // Nullptr and a reason in *error when no renderer or back buffer can be made.
    // The dummy video driver (tests, benchmarks) gets the software renderer;
    // elsewhere an accelerated one is tried first.
    static std::unique_ptr<GraphicsDevice> Create(
        PlatformWindow& window, int backBufferWidth, int backBufferHeight, std::string* error);
    // Whether the video system is up, so that a device can be made at all.
    static bool IsVideoAvailable();
    // Whether the display's current mode can be read.
    static bool CanReadDisplayMode();
    ~GraphicsDevice();
    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    // Raises std::bad_alloc when the budget cannot hold it; nullptr on other failures.
    std::unique_ptr<DeviceTexture> CreateTexture(int width, int height, PixelFormat format);

    void Clear(std::uint32_t argb);
    // Copies source (texels) of texture into dest (back-buffer pixels, float
    // edges), modulated by colour, blended, rotated by angle radians clockwise
    // about dest's centre.
    void Draw(DeviceTexture& texture, const Rect& source, float destX, float destY, float destW, float destH,
        std::uint32_t colour, float angle);
    void SetClip(const Rect& clip);
    Rect GetClip() const { return clip; }
    void Present();
    // The window's pixels are no longer what was presented (exposed, resized):
    // the next Present sends the whole window.
    void InvalidateWindow();
    // The window rectangles the last Present sent to the screen.
    const std::vector<Rect>& LastPresented() const { return lastPresented; }
    // Read-back of the window as presented, row after row, XRGB; its size in *width and *height.
    std::vector<std::uint32_t> ReadWindow(int* width, int* height);

    // Read-back of the back buffer, row after row, ARGB.
    std::vector<std::uint32_t> ReadBackBuffer();
    bool WritePng(const std::string& path);

    bool IsLost() const { return lost; }
    void MarkLost() { lost = true; }

    void SetTextureBudget(std::size_t bytes) { budget = bytes; }
    std::size_t TextureBytes() const { return textureBytes; }
    int BackBufferWidth() const { return backBufferWidth; }
    int BackBufferHeight() const { return backBufferHeight; }

private:
    friend class DeviceTexture;
    GraphicsDevice() = default;
    static int WatchEvents(void* device, union SDL_Event* event);
    bool CreateSoftware(int width, int height, std::string* error);
    bool CreateAccelerated(int width, int height, std::string* error);
    void PresentScaled();
    void PresentChanges();
    SDL_Surface* PresentTarget(SDL_Surface* windowSurface);

    SDL_Window* window = nullptr;                // not owned
    SDL_Renderer* renderer = nullptr;            // owned
    SDL_Texture* backBuffer = nullptr;           // owned render target, with a graphics card
    SDL_Surface* backSurface = nullptr;          // owned back buffer of the software renderer
    SDL_Surface* converted = nullptr;            // owned: the window's picture when its pixel format is not XRGB
    std::unique_ptr<WindowPresenter> presenter;  // software renderer only
    std::vector<Rect> lastPresented;
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    Rect clip;                        // the viewport, in back-buffer pixels
    bool lost = false;                // latched by SDL's reset events
    std::size_t budget = 512u << 20;  // bytes of texture memory allowed
    std::size_t textureBytes = 0;     // bytes held by live textures
};
