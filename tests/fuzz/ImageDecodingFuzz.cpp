// libFuzzer target: arbitrary bytes through the PNG and JPEG decoders into
// textures of a headless software device. Built by tools/fuzz/run-images.

#include "platform/PlatformWindow.h"
#include "render/IMRenderDevice.h"
#include "render/ImageDecoding.h"

#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace {
std::unique_ptr<PlatformWindow> window;
std::unique_ptr<IMRenderDevice> device;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    window = PlatformWindow::Create(L"fuzz", false, &error);
    device = std::make_unique<IMRenderDevice>();
    if (!window || device->InitDevice(75, window.get(), true, 800, 600) != 0) {
        std::fprintf(stderr, "no headless device: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const unsigned char> bytes(data, size);
    DecodedTexture png, jpeg;
    if (DecodePngMemory(bytes, *device, png) && (png.width <= 0 || png.height <= 0 || !png.texture))
        std::abort();
    if (DecodeJpegMemory(bytes, *device, jpeg) && (jpeg.width <= 0 || jpeg.height <= 0 || !jpeg.texture))
        std::abort();
    return 0;
}
