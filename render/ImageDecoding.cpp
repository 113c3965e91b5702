#include "render/ImageDecoding.h"

#include "render/IMRenderDevice.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <png.h>
#include <vector>

namespace {

// Pictures larger than this are refused before any memory is taken for them:
// the largest the program carries is 800x600, and a forged header must not
// make it allocate hundreds of megabytes.
constexpr int MaxPictureSide = 2048;

// ---------------------------------------------------------------------------
// PNG

struct PngReader {
    std::span<const unsigned char> data;
    std::size_t offset = 0;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->data.size() - reader->offset)
        png_error(png, "unexpected end of data");
    std::copy_n(reader->data.data() + reader->offset, count, out);
    reader->offset += count;
}

[[noreturn]] void PngError(png_structp png, png_const_charp message)
{
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) { }

// The decode proper; its locals that must survive longjmp live in the caller.
bool ReadPng(png_structp png, png_infop info, PngReader& reader, IMRenderDevice& device, DecodedTexture& out,
    std::vector<png_bytep>& rows)
{
    png_set_read_fn(png, &reader, ReadPngBytes);
    png_set_sig_bytes(png, 8);
    reader.offset = 8;
    png_set_user_limits(png, MaxPictureSide, MaxPictureSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE && bitDepth <= 8)
        png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // Compositing onto a background chunk removes the alpha channel too, so
    // such pictures get the opaque filler as well.
    png_color_16p background = nullptr;
    const bool hasBackground = png_get_bKGD(png, info, &background) != 0;
    const bool hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
    if (!hasAlpha || hasBackground)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    if (hasBackground)
        png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    double gamma = 0.0;
    if (png_get_gAMA(png, info, &gamma))
        png_set_gamma(png, 2.2, gamma);
    png_read_update_info(png, info);
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    if (png_get_rowbytes(png, info) != width * 4)
        png_error(png, "unexpected pixel layout");

    // Owned by the caller's result at once, so a longjmp out of the reading
    // below cannot leak it.
    out.texture = device.CreatePow2Texture(int(width), int(height), PixelFormat::A8R8G8B8);
    if (!out.texture)
        return false;
    std::uint8_t* bits = out.texture->Lock();
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = bits + std::size_t(y) * out.texture->Pitch();
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    out.texture->Unlock();
    out.width = int(width);
    out.height = int(height);
    return true;
}

// ---------------------------------------------------------------------------
// JPEG

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    info->err->format_message(info, message);
    std::fprintf(stderr, "libjpeg error: %s\n", message);
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilent(j_common_ptr, int) { }

bool ReadFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

}  // namespace

bool DecodePngMemory(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out)
{
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    PngReader reader {data};
    std::vector<png_bytep> rows;
    DecodedTexture result;
    bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0)
        ok = ReadPng(png, info, reader, device, result, rows);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (ok)
        out = std::move(result);
    return ok;
}

namespace {

// The decode proper; everything it owns lives in the caller so that a longjmp
// out of the library leaves nothing behind.
void ReadJpeg(jpeg_decompress_struct& cinfo, std::span<const unsigned char> data, IMRenderDevice& device,
    DecodedTexture& result, std::vector<unsigned char>& row)
{
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.out_color_space != JCS_CMYK)
        cinfo.out_color_space = JCS_RGB;  // grey pictures come out as RGB
    if (cinfo.image_width > MaxPictureSide || cinfo.image_height > MaxPictureSide)
        return;
    jpeg_start_decompress(&cinfo);
    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    const int components = cinfo.output_components;
    if (components != 3 && components != 4)
        return;
    result.texture = device.CreatePow2Texture(width, height, PixelFormat::A8R8G8B8);
    if (!result.texture)
        return;
    std::uint8_t* bits = result.texture->Lock();
    row.resize(std::size_t(width) * components);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW rowPointer = row.data();
        jpeg_read_scanlines(&cinfo, &rowPointer, 1);
        std::uint8_t* target = bits + std::size_t(y) * result.texture->Pitch();
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row.data() + x * components;
            target[x * 4 + 0] = p[2];
            target[x * 4 + 1] = p[1];
            target[x * 4 + 2] = p[0];
            target[x * 4 + 3] = components == 4 ? p[3] : 0xFF;
        }
    }
    result.texture->Unlock();
    jpeg_finish_decompress(&cinfo);
    result.width = width;
    result.height = height;
}

}  // namespace

bool DecodeJpegMemory(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out)
{
    if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    jpeg_decompress_struct cinfo {};
    JpegError error {};
    cinfo.err = jpeg_std_error(&error.manager);
    // The library's own handler ends the process; ours returns a failure.
    error.manager.error_exit = JpegErrorExit;
    error.manager.emit_message = JpegSilent;
    DecodedTexture result;
    std::vector<unsigned char> row;
    bool ok = false;
    if (setjmp(error.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        ReadJpeg(cinfo, data, device, result, row);
        ok = result.width > 0;
    }
    jpeg_destroy_decompress(&cinfo);
    if (ok)
        out = std::move(result);
    return ok;
}

bool DecodePngFile(const std::string& path, IMRenderDevice& device, DecodedTexture& out)
{
    std::vector<unsigned char> bytes;
    return ReadFile(path, bytes) && DecodePngMemory(bytes, device, out);
}

bool DecodeJpegFile(const std::string& path, IMRenderDevice& device, DecodedTexture& out)
{
    std::vector<unsigned char> bytes;
    return ReadFile(path, bytes) && DecodeJpegMemory(bytes, device, out);
}

bool ReadPngSize(std::span<const unsigned char> data, int& width, int& height)
{
    // Signature (8), then the first chunk: length (4), "IHDR" (4), width (4), height (4), big-endian.
    static const unsigned char header[] = {'I', 'H', 'D', 'R'};
    if (data.size() < 24 || png_sig_cmp(data.data(), 0, 8) != 0 || std::memcmp(data.data() + 12, header, 4) != 0)
        return false;
    auto number = [&](std::size_t at) {
        return std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 | std::uint32_t(data[at + 2]) << 8
            | std::uint32_t(data[at + 3]);
    };
    const std::uint32_t w = number(16);
    const std::uint32_t h = number(20);
    // The PNG limit; anything larger or empty is broken and left to the decoder to refuse.
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu || w > 65536 || h > 65536)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

bool DecodePicture(std::span<const unsigned char> data, IMRenderDevice& device, DecodedTexture& out)
{
    return DecodePngMemory(data, device, out) || DecodeJpegMemory(data, device, out);
}
