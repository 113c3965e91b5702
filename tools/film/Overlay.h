#pragma once
// Pictures laid over the filmed frames: the hand and the keycaps, read from PNG files with their
// transparency and drawn onto an RGB frame, at any position and size, blended by their alpha.

#include <cstdint>
#include <string>
#include <vector>

struct OverlayPicture {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;  // premultiplied RGBA, 0 to 1, rows from the top

    // False with `error` set when the file cannot be read as a PNG picture.
    bool Load(const std::string& path, std::string& error);

    // Draws the picture onto frame (frameWidth x frameHeight RGB triplets) with its top-left corner at
    // (x, y), scaled by `scale` (bilinear) and faded by `opacity`.
    void DrawOnto(std::vector<std::uint8_t>& frame, int frameWidth, int frameHeight, double x, double y,
        double scale = 1.0, double opacity = 1.0) const;
};
