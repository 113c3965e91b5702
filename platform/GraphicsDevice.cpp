#include "platform/GraphicsDevice.h"

#include "platform/DebugOutput.h"
#include "platform/GraphicsCard.h"
#include "platform/PlatformWindow.h"
#include "platform/WindowPresenter.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <png.h>

// ---------------------------------------------------------------------------
// DeviceTexture

DeviceTexture::DeviceTexture(GraphicsDevice& device, SDL_Texture* texture, int width, int height, PixelFormat format)
    : device(device)
    , texture(texture)
    , width(width)
    , height(height)
    , format(format)
{
    device.textureBytes += Bytes();
}

DeviceTexture::~DeviceTexture()
{
    if (locked)
        SDL_UnlockTexture(texture);
    device.textureBytes -= Bytes();
    SDL_DestroyTexture(texture);
}

std::size_t DeviceTexture::Bytes() const
{
    return static_cast<std::size_t>(width) * height * 4;
}

std::uint8_t* DeviceTexture::Lock()
{
    return Lock(Rect {0, 0, width, height});
}

std::uint8_t* DeviceTexture::Lock(const Rect& area)
{
    if (locked || !scratch.empty())
        Unlock();
    const int left = std::clamp(area.left, 0, width);
    const int top = std::clamp(area.top, 0, height);
    lockedArea = {left, top, std::clamp(area.right, left, width), std::clamp(area.bottom, top, height)};
    if (lockedArea.right == left || lockedArea.bottom == top)
        lockedArea = {0, 0, 1, 1};  // an empty area: hand out a real texel, never null
    const SDL_Rect rect {
        lockedArea.left, lockedArea.top, lockedArea.right - lockedArea.left, lockedArea.bottom - lockedArea.top};
    const std::size_t offset = (static_cast<std::size_t>(lockedArea.top) * width + lockedArea.left) * 4;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, &rect, &pixels, &pitch) != 0 || pitch != Pitch()) {
        OutputDebugString(std::string("cannot lock a texture: ") + SDL_GetError());
        if (pixels)
            SDL_UnlockTexture(texture);
        // Callers write without checking: give them somewhere harmless, dropped at Unlock.
        scratch.assign(Bytes(), 0);
        return scratch.data() + offset;
    }
    locked = static_cast<std::uint8_t*>(pixels) - offset;
    return static_cast<std::uint8_t*>(pixels);
}

void DeviceTexture::Unlock()
{
    if (!locked) {
        std::vector<std::uint8_t>().swap(scratch);
        return;
    }
    if (format == PixelFormat::X8R8G8B8) {
        // The device ignores the fourth byte of these; our blender does not, so make it opaque.
        for (int y = lockedArea.top; y < lockedArea.bottom; ++y) {
            std::uint8_t* row = locked + static_cast<std::size_t>(y) * Pitch();
            for (int x = lockedArea.left; x < lockedArea.right; ++x)
                row[x * 4 + 3] = 0xFF;
        }
        opaqueWidth = width;
        opaqueHeight = height;
    } else {
        FindOpaqueBlock();
    }
    SDL_UnlockTexture(texture);
    locked = nullptr;
}

std::uint32_t DeviceTexture::Texel(int x, int y)
{
    std::uint32_t p = 0;
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    if (locked) {
        std::memcpy(&p, locked + (static_cast<std::size_t>(y) * width + x) * 4, 4);
        return p;
    }
    // A streaming texture's lock hands out the pixels it holds: one texel's worth.
    const SDL_Rect rect {x, y, 1, 1};
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, &rect, &pixels, &pitch) != 0)
        return 0;
    std::memcpy(&p, pixels, 4);
    SDL_UnlockTexture(texture);
    return p;
}

// Pictures sit in the top-left corner of their power-of-two texture, the rest
// transparent: an opaque picture yields a block of exactly its size, one with
// transparent corners an empty block.
void DeviceTexture::FindOpaqueBlock()
{
    auto opaque = [this](int x, int y) { return locked[(static_cast<std::size_t>(y) * width + x) * 4 + 3] == 0xFF; };
    int w = 0;
    while (w < width && opaque(w, 0))
        ++w;
    int h = 0;
    while (h < height && opaque(0, h))
        ++h;
    // The block ends at the first row with a texel that is not opaque.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!opaque(x, y)) {
                h = y;
                break;
            }
    opaqueWidth = h > 0 ? w : 0;
    opaqueHeight = w > 0 ? h : 0;
}

// ---------------------------------------------------------------------------
// GraphicsDevice

namespace {

// SDL_RENDER_DRIVER in the environment chooses the renderer; otherwise a
// machine without a graphics card draws with the software renderer straight
// into the window (no OpenGL at all), one with a card with OpenGL.
bool UseSoftwareRenderer(SDL_Window* window)
{
    const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (chosen != nullptr && *chosen != '\0')
        return SDL_strcmp(chosen, "software") == 0;
    return !HasGraphicsCard(window);
}

}  // namespace

bool GraphicsDevice::IsVideoAvailable()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

bool GraphicsDevice::CanReadDisplayMode()
{
    SDL_DisplayMode mode;
    return SDL_GetCurrentDisplayMode(0, &mode) == 0;
}

std::unique_ptr<GraphicsDevice> GraphicsDevice::Create(
    PlatformWindow& platformWindow, int width, int height, std::string* error)
{
    std::unique_ptr<GraphicsDevice> device(new GraphicsDevice);
    device->window = platformWindow.Handle();
    device->backBufferWidth = width;
    device->backBufferHeight = height;
    device->clip = {0, 0, width, height};
    const bool software = UseSoftwareRenderer(device->window);
    OutputDebugString(std::string("renderer: ") + (software ? "software" : "accelerated"));
    const bool made = (!software && device->CreateAccelerated(width, height, error))
        || device->CreateSoftware(width, height, error);
    if (!made)
        return nullptr;
    SDL_AddEventWatch(&GraphicsDevice::WatchEvents, device.get());
    return device;
}

// The software renderer draws into a surface of our own; Present scales what
// changed into the window's pixels.
bool GraphicsDevice::CreateSoftware(int width, int height, std::string* error)
{
    // Otherwise SDL makes a hidden OpenGL window to decide whether to back
    // the window's pixels with a texture, loading the whole GL stack.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (backBuffer)
        SDL_DestroyTexture(backBuffer);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    backBuffer = nullptr;
    renderer = nullptr;
    backSurface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    renderer = backSurface ? SDL_CreateSoftwareRenderer(backSurface) : nullptr;
    if (!renderer) {
        if (error)
            *error = std::string("cannot create the renderer: ") + SDL_GetError();
        return false;
    }
    presenter = std::make_unique<WindowPresenter>(width, height);
    return true;
}

bool GraphicsDevice::CreateAccelerated(int width, int height, std::string* error)
{
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (renderer)
        backBuffer = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width, height);
    if (!backBuffer || SDL_SetRenderTarget(renderer, backBuffer) != 0) {
        const std::string reason = std::string("no accelerated renderer: ") + SDL_GetError();
        OutputDebugString(reason);
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

GraphicsDevice::~GraphicsDevice()
{
    SDL_DelEventWatch(&GraphicsDevice::WatchEvents, this);
    if (backBuffer)
        SDL_DestroyTexture(backBuffer);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(backSurface);
    SDL_FreeSurface(converted);
}

int GraphicsDevice::WatchEvents(void* device, SDL_Event* event)
{
    if (event->type == SDL_RENDER_TARGETS_RESET || event->type == SDL_RENDER_DEVICE_RESET)
        static_cast<GraphicsDevice*>(device)->lost = true;
    return 1;
}

std::unique_ptr<DeviceTexture> GraphicsDevice::CreateTexture(int width, int height, PixelFormat format)
{
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
    if (width <= 0 || height <= 0)
        return nullptr;
    if (textureBytes + bytes > budget)
        throw std::bad_alloc();
    SDL_Texture* texture
        = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture) {
        OutputDebugString(std::string("cannot create a texture: ") + SDL_GetError());
        return nullptr;
    }
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    return std::unique_ptr<DeviceTexture>(new DeviceTexture(*this, texture, width, height, format));
}

void GraphicsDevice::Clear(std::uint32_t argb)
{
    SDL_RenderSetClipRect(renderer, nullptr);
    SDL_SetRenderDrawColor(renderer, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
    SDL_RenderClear(renderer);
    SetClip(clip);
}

void GraphicsDevice::Draw(DeviceTexture& texture, const Rect& source, float destX, float destY, float destW,
    float destH, std::uint32_t colour, float angle)
{
    SDL_Texture* t = texture.texture;
    SDL_SetTextureColorMod(t, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    SDL_SetTextureAlphaMod(t, colour >> 24);
    // Magnification samples the nearest texel, minification filters linearly.
    const bool magnified = destW >= float(source.Width()) && destH >= float(source.Height());
    SDL_SetTextureScaleMode(t, magnified ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    // Opaque texels drawn unrotated and opaque cover what lies below exactly as
    // blending would, so they are copied instead: many times faster on the
    // software renderer (a screen's backdrop, stretched fills, scroll bars).
    // Linear filtering also reads the texels around the source, which must be
    // opaque too unless the source ends at the texture's own edge.
    auto covered = [magnified](int edge, int block, int size) {
        return magnified ? edge <= block : edge < block || (edge == block && block == size);
    };
    const bool opaque = angle == 0.0f && (colour >> 24) == 0xFF && source.left >= 0 && source.top >= 0
        && covered(source.right, texture.opaqueWidth, texture.width)
        && covered(source.bottom, texture.opaqueHeight, texture.height);
    SDL_SetTextureBlendMode(t, opaque ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
    const SDL_Rect src {source.left, source.top, source.Width(), source.Height()};
    const SDL_FRect dst {destX, destY, destW, destH};
    if (angle == 0.0f)
        SDL_RenderCopyF(renderer, t, &src, &dst);
    else
        SDL_RenderCopyExF(renderer, t, &src, &dst, double(angle) * 180.0 / M_PI, nullptr, SDL_FLIP_NONE);
}

void GraphicsDevice::SetClip(const Rect& r)
{
    clip = r;
    const SDL_Rect rect {r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height())};
    if (rect.w == 0 || rect.h == 0) {
        // SDL treats an empty clip rectangle as "no clipping"; a one-pixel clip far
        // outside the back buffer clips everything instead.
        const SDL_Rect nowhere {-10, -10, 1, 1};
        SDL_RenderSetClipRect(renderer, &nowhere);
        return;
    }
    SDL_RenderSetClipRect(renderer, &rect);
}

void GraphicsDevice::Present()
{
    if (presenter)
        PresentChanges();
    else
        PresentScaled();
    SetClip(clip);
}

void GraphicsDevice::InvalidateWindow()
{
    if (presenter)
        presenter->Invalidate();
}

// With a graphics card: the whole back buffer, scaled, between black bars.
void GraphicsDevice::PresentScaled()
{
    int outW = 0, outH = 0;
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    const double scale = std::min(double(outW) / backBufferWidth, double(outH) / backBufferHeight);
    const int w = static_cast<int>(backBufferWidth * scale);
    const int h = static_cast<int>(backBufferHeight * scale);
    const SDL_Rect dst {(outW - w) / 2, (outH - h) / 2, w, h};
    SDL_RenderSetClipRect(renderer, nullptr);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_SetTextureScaleMode(backBuffer, SDL_ScaleModeLinear);
    SDL_SetTextureBlendMode(backBuffer, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, backBuffer, nullptr, &dst);
    SDL_RenderPresent(renderer);
    if (SDL_SetRenderTarget(renderer, backBuffer) != 0)
        lost = true;
    lastPresented = {{0, 0, outW, outH}};
}

namespace {

bool IsXrgb(const SDL_PixelFormat* format)
{
    return format->BytesPerPixel == 4 && format->Rmask == 0x00FF0000u && format->Gmask == 0x0000FF00u
        && format->Bmask == 0x000000FFu;
}

PixelRows Rows(SDL_Surface* surface)
{
    return {static_cast<std::uint32_t*>(surface->pixels), surface->w, surface->h, surface->pitch};
}

}  // namespace

// The surface the presenter writes: the window's own, or one in XRGB beside it
// whose changed rectangles are converted into the window's format.
SDL_Surface* GraphicsDevice::PresentTarget(SDL_Surface* windowSurface)
{
    if (IsXrgb(windowSurface->format))
        return windowSurface;
    if (!converted || converted->w != windowSurface->w || converted->h != windowSurface->h) {
        SDL_FreeSurface(converted);
        converted = SDL_CreateRGBSurfaceWithFormat(0, windowSurface->w, windowSurface->h, 32, SDL_PIXELFORMAT_RGB888);
    }
    return converted;
}

// Without a graphics card: only the window rectangles whose pixels changed.
void GraphicsDevice::PresentChanges()
{
    lastPresented.clear();
    // The renderer may still hold queued draws.
    SDL_RenderFlush(renderer);
    SDL_Surface* windowSurface = SDL_GetWindowSurface(window);
    SDL_Surface* target = windowSurface ? PresentTarget(windowSurface) : nullptr;
    if (!target) {
        OutputDebugString(std::string("cannot reach the window's pixels: ") + SDL_GetError());
        return;
    }
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0)
        return;
    lastPresented = presenter->Present(Rows(backSurface), Rows(target));
    if (SDL_MUSTLOCK(target))
        SDL_UnlockSurface(target);
    if (lastPresented.empty())
        return;
    std::vector<SDL_Rect> rects;
    for (const Rect& r : lastPresented) {
        SDL_Rect rect {r.left, r.top, r.Width(), r.Height()};
        if (target != windowSurface)
            SDL_BlitSurface(target, &rect, windowSurface, &rect);
        rects.push_back(rect);
    }
    if (SDL_UpdateWindowSurfaceRects(window, rects.data(), int(rects.size())) != 0)
        OutputDebugString(std::string("cannot show the window's pixels: ") + SDL_GetError());
}

std::vector<std::uint32_t> GraphicsDevice::ReadWindow(int* width, int* height)
{
    std::vector<std::uint32_t> pixels;
    *width = *height = 0;
    if (!presenter) {
        SDL_GetRendererOutputSize(renderer, width, height);
        pixels.resize(std::size_t(*width) * *height);
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), *width * 4);
        SDL_SetRenderTarget(renderer, backBuffer);
        SetClip(clip);
        return pixels;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface)
        return pixels;
    *width = surface->w;
    *height = surface->h;
    pixels.resize(std::size_t(*width) * *height);
    if (SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels, surface->pitch,
            SDL_PIXELFORMAT_RGB888, pixels.data(), surface->w * 4)
        != 0)
        OutputDebugString(std::string("cannot read the window: ") + SDL_GetError());
    return pixels;
}

std::vector<std::uint32_t> GraphicsDevice::ReadBackBuffer()
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(backBufferWidth) * backBufferHeight);
    SDL_RenderSetClipRect(renderer, nullptr);
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), backBufferWidth * 4) != 0)
        OutputDebugString(std::string("cannot read the back buffer: ") + SDL_GetError());
    SetClip(clip);
    return pixels;
}

bool GraphicsDevice::WritePng(const std::string& path)
{
    const std::vector<std::uint32_t> pixels = ReadBackBuffer();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;  // survives libpng's longjmp
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, backBufferWidth, backBufferHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(static_cast<std::size_t>(backBufferWidth) * 3);
        for (int y = 0; y < backBufferHeight; ++y) {
            for (int x = 0; x < backBufferWidth; ++x) {
                const std::uint32_t p = pixels[static_cast<std::size_t>(y) * backBufferWidth + x];
                row[x * 3 + 0] = (p >> 16) & 0xFF;
                row[x * 3 + 1] = (p >> 8) & 0xFF;
                row[x * 3 + 2] = p & 0xFF;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}
