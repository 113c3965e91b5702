#pragma once
// PNG and JPEG bytes into textures: the picture fills the texture from its
// top-left corner as B, G, R, A bytes (straight alpha); the texture has
// power-of-two sides. Each returns false when the bytes are not its format or
// are broken (one line on standard error); std::bad_alloc from texture
// creation passes through so that the caller can free texture memory and retry.

#include "platform/GraphicsDevice.h"

#include <memory>
#include <span>
#include <string>

class IMRenderDevice;

struct DecodedTexture {
    std::unique_ptr<DeviceTexture> texture;
    int width = 0;  // the picture's own size
    int height = 0;
};

bool DecodePngMemory(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out);
bool DecodeJpegMemory(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out);
bool DecodePngFile(const std::string& path, IMRenderDevice& device, DecodedTexture& out);
bool DecodeJpegFile(const std::string& path, IMRenderDevice& device, DecodedTexture& out);

// The width and height a PNG's header declares, without decoding it; false
// when the bytes do not start with a PNG signature and header.
bool ReadPngSize(std::span<const unsigned char> data, int& width, int& height);

// PNG first, JPEG when the bytes are not PNG or do not decode.
bool DecodePicture(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out);
