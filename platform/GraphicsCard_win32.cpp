#include "platform/GraphicsCard.h"

#include <SDL.h>

#include <string>

#include <windows.h>

namespace {

bool IsVideoDriver(const char* name)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && SDL_strcmp(driver, name) == 0;
}

// The adapter Windows puts in place when no graphics card's driver is installed (a virtual machine, a remote
// session): Direct3D there is drawn on the CPU.
bool IsBasicDisplayAdapter(const std::wstring& name)
{
    return name == L"Microsoft Basic Display Adapter" || name == L"Microsoft Basic Render Driver";
}

}  // namespace

bool HasGraphicsCard(SDL_Window*)
{
    if (IsVideoDriver("dummy") || IsVideoDriver("offscreen"))
        return false;
    DISPLAY_DEVICEW device {};
    device.cb = sizeof device;
    for (DWORD number = 0; ::EnumDisplayDevicesW(nullptr, number, &device, 0); ++number) {
        if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE)
            return !IsBasicDisplayAdapter(device.DeviceString);
        device = {};
        device.cb = sizeof device;
    }
    return true;
}
