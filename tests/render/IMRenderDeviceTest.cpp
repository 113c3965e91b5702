// The drawing primitive, read back pixel by pixel from the software renderer.

#include "render/IMRenderDevice.h"
#include "support/HeadlessDisplay.h"

#include <SDL.h>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Distinct opaque texels, so a misplaced or resampled pixel shows.
std::uint32_t Pattern(int x, int y)
{
    return 0xFF000000u | (x * 2 << 16) | (y * 6 << 8) | ((x + y) & 0xFF);
}
std::uint32_t OpaqueRed(int, int)
{
    return 0xFFFF0000u;
}
std::uint32_t HalfGreen(int, int)
{
    return 0x8000FF00u;
}

class RenderDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(device.InitDevice(75, &display.Window(), true, 800, 600), 0);
        device.BeginFrame();
    }
    void ReadBack() { display.ReadBack(device); }

    HeadlessDisplay display;
    IMRenderDevice device;
};

}  // namespace

TEST_F(RenderDeviceTest, PictureLandsTexelForPixel)
{
    auto texture = MakeTexture(device, 97, 39, Pattern);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->Width(), 128);
    EXPECT_EQ(texture->Height(), 64);
    device.DrawDeviceTexture(*texture, {0, 0, 97, 39}, {10, 20, 107, 59}, nullptr, 0xFFFFFFFF, 0.0f);
    ReadBack();
    for (int y = 19; y <= 59; ++y)
        for (int x = 9; x <= 107; ++x) {
            const bool inside = x >= 10 && x <= 106 && y >= 20 && y <= 58;
            ASSERT_EQ(display.Pixel(x, y), inside ? Pattern(x - 10, y - 20) : 0xFF000000u) << x << "," << y;
        }
}

TEST_F(RenderDeviceTest, ColourModulation)
{
    auto red = MakeTexture(device, 4, 4, OpaqueRed);
    // Half alpha with white colour: half the picture's opacity over black.
    device.DrawDeviceTexture(*red, {0, 0, 4, 4}, {0, 0, 4, 4}, nullptr, 0x80FFFFFF, 0.0f);
    // Black colour keeps the picture's own alpha: a half-transparent green turns half black.
    auto green = MakeTexture(device, 4, 4, HalfGreen);
    auto white = MakeTexture(device, 4, 4, [](int, int) { return 0xFFFFFFFFu; });
    device.DrawDeviceTexture(*white, {0, 0, 4, 4}, {10, 0, 14, 4}, nullptr, 0xFFFFFFFF, 0.0f);
    device.DrawDeviceTexture(*green, {0, 0, 4, 4}, {10, 0, 14, 4}, nullptr, 0xFF000000, 0.0f);
    ReadBack();
    const std::uint32_t halfRed = display.Pixel(1, 1);
    EXPECT_NEAR(int((halfRed >> 16) & 0xFF), 128, 2);
    EXPECT_EQ(halfRed & 0xFFFF, 0u);
    const std::uint32_t halfBlack = display.Pixel(11, 1);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((halfBlack >> shift) & 0xFF), 127, 2) << shift;
}

TEST_F(RenderDeviceTest, DrawOriginMovesEveryDestination)
{
    auto red = MakeTexture(device, 10, 10, OpaqueRed);
    device.drawOrigin = {100, 50};
    device.DrawDeviceTexture(*red, {0, 0, 10, 10}, {0, 0, 10, 10}, nullptr, 0xFFFFFFFF, 0.0f);
    ReadBack();
    EXPECT_EQ(display.Pixel(100, 50), 0xFFFF0000u);
    EXPECT_EQ(display.Pixel(109, 59), 0xFFFF0000u);
    EXPECT_EQ(display.Pixel(110, 60), 0xFF000000u);
    EXPECT_EQ(display.Pixel(99, 49), 0xFF000000u);
    EXPECT_EQ(display.Pixel(0, 0), 0xFF000000u);
}

TEST_F(RenderDeviceTest, ViewportClips)
{
    auto red = MakeTexture(device, 50, 50, OpaqueRed);
    device.SetViewport({20, 20, 10, 10});
    device.DrawDeviceTexture(*red, {0, 0, 50, 50}, {0, 0, 50, 50}, nullptr, 0xFFFFFFFF, 0.0f);
    const Viewport v = device.GetViewport();
    EXPECT_EQ(v.x, 20);
    EXPECT_EQ(v.width, 10);
    // An empty viewport clips everything.
    device.SetViewport({40, 40, 0, 0});
    device.DrawDeviceTexture(*red, {0, 0, 50, 50}, {0, 0, 50, 50}, nullptr, 0xFFFFFFFF, 0.0f);
    device.SetViewport({0, 0, 800, 600});
    ReadBack();
    EXPECT_EQ(display.Pixel(20, 20), 0xFFFF0000u);
    EXPECT_EQ(display.Pixel(29, 29), 0xFFFF0000u);
    EXPECT_EQ(display.Pixel(30, 30), 0xFF000000u);
    EXPECT_EQ(display.Pixel(19, 19), 0xFF000000u);
    EXPECT_EQ(display.Pixel(45, 45), 0xFF000000u);
}

TEST_F(RenderDeviceTest, EmptyDestinationDrawsNothing)
{
    auto red = MakeTexture(device, 10, 10, OpaqueRed);
    for (Rect dest : {Rect {5, 5, 5, 15}, Rect {5, 5, 15, 5}, Rect {15, 5, 5, 15}}) {
        device.DrawDeviceTexture(*red, {0, 0, 10, 10}, dest, nullptr, 0xFFFFFFFF, 0.0f);
        device.DrawDeviceTexture(*red, {0, 0, 10, 10}, dest, nullptr, 0xFFFFFFFF, 1.0f);
    }
    ReadBack();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(display.Pixel(x, y), 0xFF000000u);
}

TEST_F(RenderDeviceTest, QuarterTurnPutsTopLeftBottomLeft)
{
    // Red top-left quadrant of a 20x20 picture, white elsewhere.
    auto texture
        = MakeTexture(device, 20, 20, [](int x, int y) { return x < 10 && y < 10 ? 0xFFFF0000u : 0xFFFFFFFFu; });
    device.DrawDeviceTexture(*texture, {0, 0, 20, 20}, {100, 100, 120, 120}, nullptr, 0xFFFFFFFF, 4.712389f);
    ReadBack();
    EXPECT_EQ(display.Pixel(104, 115), 0xFFFF0000u) << "bottom-left quadrant";
    EXPECT_EQ(display.Pixel(104, 104), 0xFFFFFFFFu);
    EXPECT_EQ(display.Pixel(115, 104), 0xFFFFFFFFu);
    EXPECT_EQ(display.Pixel(115, 115), 0xFFFFFFFFu);
}

TEST_F(RenderDeviceTest, PowerOfTwoSizes)
{
    struct Case {
        int width, height, texWidth, texHeight;
    };
    for (Case c : {Case {800, 600, 1024, 1024}, Case {1, 1, 1, 1}, Case {21, 21, 32, 32}, Case {0, -3, 1, 1},
             Case {64, 65, 64, 128}}) {
        auto texture = device.CreatePow2Texture(c.width, c.height, PixelFormat::A8R8G8B8);
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->Width(), c.texWidth) << c.width;
        EXPECT_EQ(texture->Height(), c.texHeight) << c.height;
    }
}

TEST_F(RenderDeviceTest, TextureBudgetOverflowRaisesBadAlloc)
{
    device.Device()->SetTextureBudget(device.Device()->TextureBytes() + 64 * 64 * 4);
    auto fits = device.CreatePow2Texture(64, 64, PixelFormat::A8R8G8B8);
    ASSERT_TRUE(fits);
    EXPECT_THROW(device.CreatePow2Texture(2, 2, PixelFormat::A8R8G8B8), std::bad_alloc);
    fits.reset();  // freeing makes room again
    EXPECT_TRUE(device.CreatePow2Texture(2, 2, PixelFormat::A8R8G8B8));
}

TEST_F(RenderDeviceTest, VideoFormatIsOpaque)
{
    auto texture = device.CreatePow2Texture(4, 4, PixelFormat::X8R8G8B8);
    std::uint8_t* bits = texture->Lock();
    for (int i = 0; i < 4 * 4 * 4; i += 4) {
        bits[i] = 0x30;  // blue, with a zero fourth byte
        bits[i + 3] = 0;
    }
    texture->Unlock();
    device.DrawDeviceTexture(*texture, {0, 0, 4, 4}, {0, 0, 4, 4}, nullptr, 0xFFFFFFFF, 0.0f);
    ReadBack();
    EXPECT_EQ(display.Pixel(2, 2), 0xFF000030u);
}

// A lock of part of a texture writes back that rectangle, made opaque, and nothing else.
TEST_F(RenderDeviceTest, PartialLockWritesBackOnlyItsRectangle)
{
    auto texture = device.CreatePow2Texture(8, 8, PixelFormat::X8R8G8B8);
    std::uint8_t* bits = texture->Lock();
    std::fill(bits, bits + 8 * 8 * 4, std::uint8_t {0x10});  // dark grey everywhere
    texture->Unlock();
    const auto paintBlue = [&texture](const Rect& area) {
        std::uint8_t* bits = texture->Lock(area);
        for (int y = 0; y < area.bottom - area.top; ++y)
            for (int x = 0; x < area.right - area.left; ++x) {
                std::uint8_t* texel = bits + y * texture->Pitch() + x * 4;
                texel[0] = 0x80;  // blue, fourth byte left zero
                texel[1] = texel[2] = texel[3] = 0;
            }
        texture->Unlock();
    };
    paintBlue({2, 1, 5, 3});
    device.DrawDeviceTexture(*texture, {0, 0, 8, 8}, {0, 0, 8, 8}, nullptr, 0xFFFFFFFF, 0.0f);
    ReadBack();
    EXPECT_EQ(display.Pixel(2, 1), 0xFF000080u);
    EXPECT_EQ(display.Pixel(4, 2), 0xFF000080u);
    EXPECT_EQ(display.Pixel(5, 2), 0xFF101010u);  // right of it: the earlier upload
    EXPECT_EQ(display.Pixel(3, 3), 0xFF101010u);  // below it
    EXPECT_EQ(display.Pixel(1, 1), 0xFF101010u);  // left of it
    // A rectangle reaching outside the texture is clipped to it.
    paintBlue({6, 6, 8, 8});
    std::uint8_t* corner = texture->Lock({7, 7, 100, 100});
    corner[1] = 0x40;  // green in the last texel
    texture->Unlock();
    device.DrawDeviceTexture(*texture, {0, 0, 8, 8}, {0, 0, 8, 8}, nullptr, 0xFFFFFFFF, 0.0f);
    ReadBack();
    EXPECT_EQ(display.Pixel(6, 6), 0xFF000080u);
    EXPECT_EQ(display.Pixel(7, 7), 0xFF004080u);
}

TEST_F(RenderDeviceTest, LostLatchIsNotTestedAgain)
{
    EXPECT_FALSE(device.IsDeviceLost());
    SDL_Event reset {};
    reset.type = SDL_RENDER_TARGETS_RESET;
    SDL_PushEvent(&reset);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_TRUE(device.IsDeviceLost());
    EXPECT_TRUE(device.RestoreDevice());
    EXPECT_FALSE(device.IsDeviceLost());
    // A device that cannot be restored stays lost and says so.
    device.Device()->MarkLost();
    EXPECT_TRUE(device.IsDeviceLost());
}

TEST(RenderDevice, NoWindowSystemRaises)
{
    IMRenderDevice device;
    EXPECT_THROW(device.InitDevice(75, nullptr, true, 800, 600), std::runtime_error);
}

namespace {

// The window's pixel (x, y) as presented, XRGB with the top byte dropped.
std::uint32_t WindowPixel(GraphicsDevice& device, int x, int y)
{
    int w = 0, h = 0;
    const std::vector<std::uint32_t> pixels = device.ReadWindow(&w, &h);
    return pixels.at(std::size_t(y) * w + x) & 0xFFFFFF;
}

long Area(const std::vector<Rect>& rects)
{
    long area = 0;
    for (const Rect& r : rects)
        area += long(r.Width()) * r.Height();
    return area;
}

}  // namespace

TEST_F(RenderDeviceTest, PresentSendsOnlyWhatChanged)
{
    GraphicsDevice& graphics = *device.Device();
    auto red = MakeTexture(device, 40, 40, OpaqueRed);
    auto white = MakeTexture(device, 1, 16, [](int, int) { return 0xFFFFFFFFu; });
    // The first frame goes out whole.
    device.DrawDeviceTexture(*red, {0, 0, 40, 40}, {100, 100, 140, 140}, nullptr, 0xFFFFFFFF, 0.0f);
    device.EndFrame();
    EXPECT_EQ(Area(graphics.LastPresented()), 800L * 600);
    EXPECT_EQ(WindowPixel(graphics, 120, 120), 0xFF0000u);

    // The same frame drawn again sends nothing.
    device.BeginFrame();
    device.DrawDeviceTexture(*red, {0, 0, 40, 40}, {100, 100, 140, 140}, nullptr, 0xFFFFFFFF, 0.0f);
    device.EndFrame();
    EXPECT_TRUE(graphics.LastPresented().empty());

    // A caret appears: only its pixels go out, and the window shows it.
    device.BeginFrame();
    device.DrawDeviceTexture(*red, {0, 0, 40, 40}, {100, 100, 140, 140}, nullptr, 0xFFFFFFFF, 0.0f);
    device.DrawDeviceTexture(*white, {0, 0, 1, 16}, {300, 200, 301, 216}, nullptr, 0xFFFFFFFF, 0.0f);
    device.EndFrame();
    ASSERT_EQ(graphics.LastPresented().size(), 1u);
    EXPECT_TRUE(graphics.LastPresented()[0].Contains({300, 207}));
    EXPECT_LE(Area(graphics.LastPresented()), 3L * 18);
    EXPECT_EQ(WindowPixel(graphics, 300, 207), 0xFFFFFFu);
    EXPECT_EQ(WindowPixel(graphics, 120, 120), 0xFF0000u) << "what did not change stays";
}

TEST_F(RenderDeviceTest, ASizeChangeAndARepaintPresentTheWholeWindow)
{
    GraphicsDevice& graphics = *device.Device();
    auto red = MakeTexture(device, 40, 40, OpaqueRed);
    auto frame = [&](int x) {
        device.BeginFrame();
        device.DrawDeviceTexture(*red, {0, 0, 40, 40}, {x, 100, x + 40, 140}, nullptr, 0xFFFFFFFF, 0.0f);
        device.EndFrame();
    };
    frame(100);

    // The window grows to 1280x1024: bars above and below, the picture at 1.6 times.
    SDL_SetWindowSize(display.Window().Handle(), 1280, 1024);
    frame(500);
    int w = 0, h = 0;
    graphics.ReadWindow(&w, &h);
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 1024);
    EXPECT_EQ(Area(graphics.LastPresented()), 1280L * 1024);
    EXPECT_EQ(WindowPixel(graphics, 640, 10), 0u) << "the bar above";
    EXPECT_EQ(WindowPixel(graphics, 640, 1015), 0u) << "the bar below";
    EXPECT_EQ(WindowPixel(graphics, 520 * 16 / 10, 32 + 120 * 16 / 10), 0xFF0000u) << "the square moved";
    EXPECT_EQ(WindowPixel(graphics, 120 * 16 / 10, 32 + 120 * 16 / 10), 0u) << "its old place is cleared";

    // The window lost its pixels (an expose): the next frame, though unchanged, goes out whole.
    device.RepaintWindow();
    frame(500);
    EXPECT_EQ(Area(graphics.LastPresented()), 1280L * 1024);
    EXPECT_EQ(WindowPixel(graphics, 520 * 16 / 10, 32 + 120 * 16 / 10), 0xFF0000u);
    // And the next change is partial again.
    frame(502);
    EXPECT_LT(Area(graphics.LastPresented()), 100L * 100);
    EXPECT_EQ(WindowPixel(graphics, 541 * 16 / 10, 32 + 120 * 16 / 10), 0xFF0000u);
}
