// A typical frame on the software renderer: one opaque 800x600 picture, 60
// translucent pictures of about 100x40 and 200 glyph-sized pictures (10x18).
// Prints Google Benchmark's figures; the median is what to compare.

#include "platform/PlatformWindow.h"
#include "render/IMRenderDevice.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

std::unique_ptr<DeviceTexture> Filled(IMRenderDevice& device, int w, int h, std::uint32_t argb)
{
    auto texture = device.CreatePow2Texture(w, h, PixelFormat::A8R8G8B8);
    std::uint8_t* bits = texture->Lock();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(bits + y * texture->Pitch() + x * 4, &argb, 4);
    texture->Unlock();
    return texture;
}

void Frame(benchmark::State& state)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    auto window = PlatformWindow::Create(L"bench", false, &error);
    IMRenderDevice device;
    if (!window || device.InitDevice(75, window.get(), true, 800, 600) != 0) {
        state.SkipWithError("no device");
        return;
    }
    auto backdrop = Filled(device, 800, 600, 0xFF336699);
    auto picture = Filled(device, 100, 40, 0xC0FFAA00);
    auto glyph = Filled(device, 10, 18, 0x80072134);
    for (auto _ : state) {
        device.BeginFrame();
        device.DrawDeviceTexture(*backdrop, {0, 0, 800, 600}, {0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0.0f);
        for (int i = 0; i < 60; ++i) {
            const int x = (i * 97) % 700, y = (i * 53) % 560;
            device.DrawDeviceTexture(*picture, {0, 0, 100, 40}, {x, y, x + 100, y + 40}, nullptr, 0xFFFFFFFF, 0.0f);
        }
        for (int i = 0; i < 200; ++i) {
            const int x = 20 + (i % 60) * 12, y = 100 + (i / 60) * 20;
            device.DrawDeviceTexture(*glyph, {0, 0, 10, 18}, {x, y, x + 10, y + 18}, nullptr, 0xFFFFFFFF, 0.0f);
        }
        device.EndFrame();
    }
}
BENCHMARK(Frame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
