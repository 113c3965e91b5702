// libFuzzer target: arbitrary bytes through the PNG and JPEG decoders into
// textures of a headless software device. Built by tools/fuzz/run-images.
// Built with ZV_WRITE_SEEDS it is instead a program that writes a few JPEG
// files of the kinds the decoder meets (colour and grey, baseline and
// progressive, with restart markers) as part of the starting corpus.

#include "platform/PlatformWindow.h"
#include "render/IMRenderDevice.h"
#include "render/ImageDecoding.h"

#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#ifdef ZV_WRITE_SEEDS

#include <jpeglib.h>

namespace {

struct JpegSeed {
    const char* name;
    int width;
    int height;
    bool grey;
    bool progressive;
    int restartRows;  // 0 for none
    int quality;
};

// A picture with edges and gradients, so that every block has something to code.
std::vector<unsigned char> Pattern(const JpegSeed& seed)
{
    const int channels = seed.grey ? 1 : 3;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(seed.width * seed.height * channels));
    for (int y = 0; y < seed.height; ++y)
        for (int x = 0; x < seed.width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels[static_cast<std::size_t>((y * seed.width + x) * channels + c)] = static_cast<unsigned char>(
                    ((x * 255) / seed.width + c * 80 + (((x / 4) + (y / 4)) % 2) * 60 + y * 3) & 0xFF);
    return pixels;
}

bool WriteJpeg(const std::string& path, const JpegSeed& seed)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(seed.width);
    info.image_height = static_cast<JDIMENSION>(seed.height);
    info.input_components = seed.grey ? 1 : 3;
    info.in_color_space = seed.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, seed.quality, TRUE);
    if (seed.progressive)
        jpeg_simple_progression(&info);
    info.restart_in_rows = seed.restartRows;
    jpeg_start_compress(&info, TRUE);
    const std::vector<unsigned char> pixels = Pattern(seed);
    const int stride = seed.width * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<std::size_t>(info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write-seeds <corpus folder>\n");
        return 2;
    }
    const JpegSeed seeds[] = {
        {"colour.jpg", 48, 32, false, false, 0, 80},
        {"grey.jpg", 16, 16, true, false, 0, 75},
        {"progressive.jpg", 40, 24, false, true, 0, 60},
        {"restarts.jpg", 33, 17, false, false, 1, 90},
    };
    for (const JpegSeed& seed : seeds)
        if (!WriteJpeg(std::string(argv[1]) + "/" + seed.name, seed))
            return 1;
    return 0;
}

#else

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

#endif
