#include "support/HeadlessDisplay.h"

#include <SDL.h>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

HeadlessDisplay::HeadlessDisplay()
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    window = PlatformWindow::Create(L"test", false, &error);
    if (!window)
        ADD_FAILURE() << error;
}

HeadlessDisplay::~HeadlessDisplay() = default;

void HeadlessDisplay::ReadBack(IMRenderDevice& device)
{
    pixels = device.Device()->ReadBackBuffer();
    width = device.backBufferWidth;
}

std::uint32_t HeadlessDisplay::Pixel(int x, int y)
{
    return pixels.at(static_cast<std::size_t>(y) * width + x);
}

bool HeadlessDisplay::Save(IMRenderDevice& device, const std::string& name)
{
    std::filesystem::create_directories("screens");
    return device.Device()->WritePng("screens/" + name);
}

std::unique_ptr<DeviceTexture> MakeTexture(
    IMRenderDevice& device, int width, int height, std::uint32_t (*fill)(int x, int y))
{
    auto texture = device.CreatePow2Texture(width, height, PixelFormat::A8R8G8B8);
    if (!texture)
        return nullptr;
    std::uint8_t* bits = texture->Lock();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = fill(x, y);
            std::memcpy(bits + y * texture->Pitch() + x * 4, &p, 4);  // B G R A in memory
        }
    texture->Unlock();
    return texture;
}
