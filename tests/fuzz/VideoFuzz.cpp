// libFuzzer target: arbitrary bytes opened as an Ogg Theora clip in the clip
// control on a headless software device, every frame shown until the end or
// an error, then a rewind; and the same bytes decoded frame by frame with
// both colour conversions into a buffer of exactly the picture's size, which
// must agree. Only the documented errors may come out. Built and run by
// tools/fuzz/run-video (the ZV_FUZZ build). Built with ZV_WRITE_SEEDS it is
// instead a program that writes a few valid clips as the starting corpus.

#include "data/EmbeddedData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// No media are embedded in the fuzzer: the skin is missing, which the
// resource manager survives.
std::vector<EmbeddedFile> BuildEmbeddedTable()
{
    return {};
}

#ifndef ZV_WRITE_SEEDS

#include "media/video/IMAnimationBase.h"
#include "media/video/TheoraClip.h"
#include "platform/AudioManualOutput.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

// Frames shown or converted per input at most: enough to pass a few key
// frames, few enough to keep each run short; large pictures get fewer.
constexpr int MaxFrames = 40;
constexpr long long PixelBudget = 4'000'000;

int FramesFor(long long pictureArea)
{
    return static_cast<int>(std::clamp<long long>(PixelBudget / std::max(pictureArea, 1LL), 3, MaxFrames));
}

std::unique_ptr<PlatformWindow> window;

// Every text a damaged clip may raise; anything else is a fault.
void CheckError(const std::runtime_error& error)
{
    static const char* const known[] = {
        "eof searched, terminate...",
        "error during ogg_stream_init",
        "error during ogg_stream_pagein",
        "error during ogg_stream_packetout",
        "error during theora_decode_header (corrupt stream)",
        "eof searched. terminate...",
        "error during theora_decode_packetin...",
        "error during theora_decode_YUVout...",
    };
    for (const char* text : known)
        if (std::strcmp(error.what(), text) == 0)
            return;
    std::fprintf(stderr, "unexpected error text: %s\n", error.what());
    std::abort();
}

void ShowEveryFrame(const std::uint8_t* data, std::size_t size)
{
    IMAnimationBase<IMTheoraView> control(nullptr, 0);
    try {
        control.OpenVideo(data, size);
    } catch (const std::runtime_error& error) {
        CheckError(error);
    }
    // ShowFrame never raises: a broken frame ends the clip.
    const int frames
        = FramesFor(static_cast<long long>(control.GetSourceRect().Width()) * control.GetSourceRect().Height());
    for (int n = 1; n <= frames && n <= static_cast<long long>(control.GetLastFrame()) + 1; ++n)
        control.ShowFrame(n);
    if (control.GetCurrentFrame() > control.GetLastFrame() + 1LL)
        std::abort();
    control.ShowFrame(0);
    control.ShowFrame(2);
}

void ConvertEveryFrame(const std::uint8_t* data, std::size_t size)
{
    TheoraClip clip;
    try {
        clip.Open(data, size);
        const Rect picture = clip.PictureRect();
        const int pitch = picture.Width() * 4;
        const int frames = FramesFor(static_cast<long long>(picture.Width()) * picture.Height());
        for (int n = 0; n < frames && clip.NextFrame(); ++n) {
            // Exactly the picture: a write past it is a heap overflow.
            std::vector<std::uint8_t> plain(static_cast<std::size_t>(pitch) * picture.Height());
            ConvertYuvToXrgbPlain(clip.Picture(), picture, plain.data(), pitch, picture.Height());
#if defined(ZV_HAVE_SSE2_CONVERSION)
            std::vector<std::uint8_t> simd(plain.size());
            ConvertYuvToXrgbSse2(clip.Picture(), picture, simd.data(), pitch, picture.Height());
            if (simd != plain)
                std::abort();
#endif
        }
    } catch (const std::runtime_error& error) {
        CheckError(error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    window = PlatformWindow::Create(L"fuzz", false, &error);
    if (!window) {
        std::fprintf(stderr, "no headless window: %s\n", error.c_str());
        std::abort();
    }
    CreateResourceManager(true, window.get(), std::make_unique<AudioManualOutput>(false));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ShowEveryFrame(data, size);
    ConvertEveryFrame(data, size);
    return 0;
}

#else

#include "support/TheoraFixture.h"

#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::filesystem::path folder = argv[1];
    struct Seed {
        int width, height, x, y, frames, quality;
    };
    const Seed seeds[] = {
        {16, 16, 0, 0, 3, 63},
        {37, 29, 3, 5, 4, 40},
        {48, 32, 2, 4, 6, 10},
        {8, 8, 0, 0, 1, 63},
    };
    int n = 0;
    for (const Seed& seed : seeds) {
        TheoraParams params;
        params.width = seed.width;
        params.height = seed.height;
        params.pictureX = seed.x;
        params.pictureY = seed.y;
        params.frames = seed.frames;
        params.quality = seed.quality;
        params.keyframeInterval = 2;
        params.paint = [](int frame, YuvImage& picture) {
            for (int i = 0; i < static_cast<int>(picture.y.size()); ++i)
                picture.y[i] = static_cast<std::uint8_t>(i * 7 + frame * 40);
            for (int i = 0; i < static_cast<int>(picture.u.size()); ++i) {
                picture.u[i] = static_cast<std::uint8_t>(i * 13 + frame * 20);
                picture.v[i] = static_cast<std::uint8_t>(255 - i * 11);
            }
        };
        const auto bytes = EncodeTheora(params);
        std::ofstream(folder / ("seed-" + std::to_string(n++) + ".ogv"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}

#endif
