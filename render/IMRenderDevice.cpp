#include "render/IMRenderDevice.h"

#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/PlatformWindow.h"

#include <cstdlib>
#include <stdexcept>

int NextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n && p < (1 << 30))
        p *= 2;
    return p;
}

IMRenderDevice::IMRenderDevice()
    : startTime(GetClock().Milliseconds())
{
}

IMRenderDevice::~IMRenderDevice() = default;

int IMRenderDevice::InitDevice(int rate, PlatformWindow* w, bool isWindowed, int width, int height)
{
    if (w == nullptr || !GraphicsDevice::IsVideoAvailable())
        throw std::runtime_error("Can't init Direct3D");
    if (!GraphicsDevice::CanReadDisplayMode())
        throw std::runtime_error("Can't init DisplayMode");
    windowed = isWindowed;
    window = w;
    refreshRate = rate;
    // The back buffer keeps the program's own size in both modes; the window
    // shows it scaled.
    backBufferWidth = width;
    backBufferHeight = height;
    device.reset();
    std::string error;
    device = GraphicsDevice::Create(*window, width, height, &error);
    if (!device) {
        OutputDebugString(error);
        return 1;
    }
    deviceLost = false;
    return 0;
}

bool IMRenderDevice::IsDeviceLost()
{
    if (!deviceLost)
        deviceLost = device == nullptr || device->IsLost();
    return deviceLost;
}

bool IMRenderDevice::RestoreDevice()
{
    EvictAllTextures();
    if (deviceLost)
        deviceLost = InitDevice(refreshRate, window, windowed, backBufferWidth, backBufferHeight) != 0;
    return !deviceLost;
}

std::unique_ptr<DeviceTexture> IMRenderDevice::CreatePow2Texture(int width, int height, PixelFormat format)
{
    if (!device)
        return nullptr;
    return device->CreateTexture(NextPowerOfTwo(width), NextPowerOfTwo(height), format);
}

void IMRenderDevice::DrawDeviceTexture(DeviceTexture& texture, const Rect& imageRect, const Rect& dest,
    const Rect* source, std::uint32_t colour, float angle)
{
    if (!device || dest.left >= dest.right || dest.top >= dest.bottom)
        return;
    const Rect s = source ? *source : imageRect;
    const float x = float(drawOrigin.x + dest.left);
    const float y = float(drawOrigin.y + dest.top);
    const float w = float(dest.Width());
    const float h = float(dest.Height());
    if (angle == 0.0f) {
        device->Draw(texture, s, x, y, w, h, colour, 0.0f);
        return;
    }
    // A rotated draw samples a rectangle of the source's size from the
    // texture's top-left corner.
    device->Draw(texture, Rect {0, 0, s.Width(), s.Height()}, x, y, w, h, colour, angle);
}

Viewport IMRenderDevice::GetViewport() const
{
    if (!device)
        return {0, 0, backBufferWidth, backBufferHeight};
    const Rect clip = device->GetClip();
    return {clip.left, clip.top, clip.Width(), clip.Height()};
}

void IMRenderDevice::SetViewport(const Viewport& v)
{
    if (device)
        device->SetClip({v.x, v.y, v.x + v.width, v.y + v.height});
}

void IMRenderDevice::BeginFrame()
{
    if (device)
        device->Clear(0xFF000000);
}

void IMRenderDevice::EndFrame()
{
    if (device)
        device->Present();
}

void IMRenderDevice::RepaintWindow()
{
    if (device)
        device->InvalidateWindow();
}

namespace {
IMRenderDevice* theRenderDevice = nullptr;  // main thread only
}

IMRenderDevice* GetRenderDevice()
{
    return theRenderDevice;
}
void SetRenderDevice(IMRenderDevice* device)
{
    theRenderDevice = device;
}
