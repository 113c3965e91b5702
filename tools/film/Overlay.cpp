#include "tools/film/Overlay.h"

#include <algorithm>
#include <cmath>
#include <png.h>

bool OverlayPicture::Load(const std::string& path, std::string& error)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    pixels.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const float alpha = bytes[i + 3] / 255.0f;
        for (int c = 0; c < 3; ++c)
            pixels[i + c] = bytes[i + c] / 255.0f * alpha;
        pixels[i + 3] = alpha;
    }
    return true;
}

void OverlayPicture::DrawOnto(std::vector<std::uint8_t>& frame, int frameWidth, int frameHeight, double x, double y,
    double scale, double opacity) const
{
    if (width == 0 || height == 0 || scale <= 0.0 || opacity <= 0.0)
        return;
    const int left = std::max(0, static_cast<int>(std::floor(x)));
    const int top = std::max(0, static_cast<int>(std::floor(y)));
    const int right = std::min(frameWidth, static_cast<int>(std::ceil(x + width * scale)));
    const int bottom = std::min(frameHeight, static_cast<int>(std::ceil(y + height * scale)));
    // A texel of the picture, transparent outside it.
    auto texel = [&](int tx, int ty, int c) -> float {
        if (tx < 0 || ty < 0 || tx >= width || ty >= height)
            return 0.0f;
        return pixels[(static_cast<std::size_t>(ty) * width + tx) * 4 + c];
    };
    for (int py = top; py < bottom; ++py) {
        // The pixel's centre in the picture's texels.
        const double sy = (py + 0.5 - y) / scale - 0.5;
        const int ty = static_cast<int>(std::floor(sy));
        const float fy = static_cast<float>(sy - ty);
        for (int px = left; px < right; ++px) {
            const double sx = (px + 0.5 - x) / scale - 0.5;
            const int tx = static_cast<int>(std::floor(sx));
            const float fx = static_cast<float>(sx - tx);
            float value[4];
            for (int c = 0; c < 4; ++c) {
                const float upper = texel(tx, ty, c) * (1 - fx) + texel(tx + 1, ty, c) * fx;
                const float lower = texel(tx, ty + 1, c) * (1 - fx) + texel(tx + 1, ty + 1, c) * fx;
                value[c] = (upper * (1 - fy) + lower * fy) * static_cast<float>(opacity);
            }
            if (value[3] <= 0.0f)
                continue;
            std::uint8_t* out = &frame[(static_cast<std::size_t>(py) * frameWidth + px) * 3];
            for (int c = 0; c < 3; ++c) {
                const float blended = value[c] * 255.0f + out[c] * (1.0f - value[3]);
                out[c] = static_cast<std::uint8_t>(std::clamp(std::lround(blended), 0L, 255L));
            }
        }
    }
}
