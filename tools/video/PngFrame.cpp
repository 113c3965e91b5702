#include "tools/video/PngFrame.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// libpng reports errors through longjmp; the message is kept here for the caller.
void OnPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    longjmp(png_jmpbuf(png), 1);
}

void OnPngWarning(png_structp, png_const_charp) { }

}  // namespace

bool ReadPngFrame(const std::string& path, int width, int height, std::vector<uint8_t>& rgb, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = path + ": no picture size to read it at";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = path + ": cannot open";
        return false;
    }
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature
        || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = path + ": not a PNG file";
        return false;
    }
    std::string pngError;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &pngError, OnPngError, OnPngWarning);
    if (!png) {
        error = path + ": out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    // Sized before setjmp and left alone after it, so a longjmp back here finds them as they were.
    std::vector<uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    std::vector<png_bytep> rows(height);
    for (int row = 0; row < height; ++row)
        rows[row] = &rgba[static_cast<std::size_t>(row) * width * 4];
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        error = path + ": " + (pngError.empty() ? "broken PNG" : pngError);
        return false;
    }
    png_init_io(png, file.get());
    png_set_sig_bytes(png, sizeof signature);
    png_read_info(png, info);
    const png_uint_32 fileWidth = png_get_image_width(png, info);
    const png_uint_32 fileHeight = png_get_image_height(png, info);
    if (fileWidth != static_cast<png_uint_32>(width) || fileHeight != static_cast<png_uint_32>(height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = path + ": " + std::to_string(fileWidth) + " x " + std::to_string(fileHeight) + " pixels, expected "
            + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t pixel = 0; pixel < static_cast<std::size_t>(width) * height; ++pixel) {
        const unsigned alpha = rgba[pixel * 4 + 3];
        for (int c = 0; c < 3; ++c)
            rgb[pixel * 3 + c] = static_cast<uint8_t>((rgba[pixel * 4 + c] * alpha + 127) / 255);
    }
    return true;
}
