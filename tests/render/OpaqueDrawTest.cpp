// Opaque pictures are copied rather than blended: the result must be exactly
// what blending gives, whatever part of the picture is drawn, however it is
// stretched, rotated or tinted.

#include "render/IMRenderDevice.h"
#include "support/HeadlessDisplay.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// A background whose every pixel differs, so anything drawn over it shows.
std::uint32_t Backdrop(int x, int y)
{
    return 0xFF000000u | ((x * 5) & 0xFF) << 16 | ((y * 7) & 0xFF) << 8 | 0x40;
}
std::uint32_t Opaque(int x, int y)
{
    return 0xFF000000u | (0x80 + x * 9) << 16 | (0x20 + y * 11) << 8 | 0xC0;
}
// Opaque but for one half-transparent texel at (1, 1).
std::uint32_t OneTranslucent(int x, int y)
{
    return x == 1 && y == 1 ? 0x80FF0000u : Opaque(x, y);
}

// Straight-alpha blend of src over dst with the colour's alpha applied.
std::uint32_t Blend(std::uint32_t src, std::uint32_t dst, std::uint32_t colourAlpha = 0xFF)
{
    const int a = int(src >> 24) * int(colourAlpha) / 255;
    std::uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const int s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
        out |= std::uint32_t((s * a + d * (255 - a)) / 255) << shift;
    }
    return out;
}

bool Near(std::uint32_t a, std::uint32_t b)
{
    for (int shift : {0, 8, 16, 24})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 2)
            return false;
    return true;
}

class OpaqueDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(device.InitDevice(75, &display.Window(), true, 800, 600), 0);
        device.BeginFrame();
        backdrop = MakeTexture(device, 64, 64, Backdrop);
        device.DrawDeviceTexture(*backdrop, {0, 0, 64, 64}, {0, 0, 64, 64}, nullptr, 0xFFFFFFFF, 0.0f);
    }

    HeadlessDisplay display;
    IMRenderDevice device;
    std::unique_ptr<DeviceTexture> backdrop;
};

}  // namespace

TEST_F(OpaqueDraw, FindsTheOpaqueBlockOfEachPicture)
{
    struct Case {
        int w, h;
        std::uint32_t (*fill)(int, int);
        int opaqueW, opaqueH;
    };
    const Case cases[] {
        {4, 4, Opaque, 4, 4},
        {3, 3, Opaque, 3, 3},  // in a 4 by 4 texture whose padding stays transparent
        {4, 4, OneTranslucent, 4, 1},
        {4, 4, [](int, int) { return 0x00FFFFFFu; }, 0, 0},
        {4, 4, [](int x, int y) { return x == 0 && y == 0 ? 0xFE000000u : 0xFF000000u; }, 0, 0},
    };
    for (const Case& c : cases) {
        auto texture = MakeTexture(device, c.w, c.h, c.fill);
        ASSERT_TRUE(texture);
        EXPECT_EQ(texture->OpaqueWidth(), c.opaqueW) << c.w;
        EXPECT_EQ(texture->OpaqueHeight(), c.opaqueH) << c.w;
    }
}

TEST_F(OpaqueDraw, LooksExactlyAsBlendingWould)
{
    auto opaque = MakeTexture(device, 4, 4, Opaque);
    auto partly = MakeTexture(device, 4, 4, OneTranslucent);
    auto small = MakeTexture(device, 3, 3, Opaque);
    struct Case {
        const char* story;
        DeviceTexture* texture;
        Rect source;
        Rect dest;
        std::uint32_t colour;
        float angle;
    };
    const Case cases[] {
        {"copied", opaque.get(), {0, 0, 4, 4}, {2, 2, 6, 6}, 0xFFFFFFFF, 0.0f},
        {"stretched", opaque.get(), {0, 0, 4, 4}, {10, 2, 26, 18}, 0xFFFFFFFF, 0.0f},
        {"tinted", opaque.get(), {1, 1, 3, 3}, {30, 2, 34, 6}, 0xFF808080, 0.0f},
        {"half transparent colour", opaque.get(), {0, 0, 4, 4}, {40, 2, 44, 6}, 0x80FFFFFF, 0.0f},
        {"a translucent texel inside", partly.get(), {0, 0, 4, 4}, {2, 30, 6, 34}, 0xFFFFFFFF, 0.0f},
        {"the opaque rows only", partly.get(), {0, 0, 4, 1}, {10, 30, 14, 31}, 0xFFFFFFFF, 0.0f},
        {"reaching into the padding", small.get(), {0, 0, 4, 4}, {20, 30, 24, 34}, 0xFFFFFFFF, 0.0f},
    };
    for (const Case& c : cases)
        device.DrawDeviceTexture(*c.texture, c.source, c.dest, nullptr, c.colour, c.angle);
    display.ReadBack(device);

    auto texel = [&](const Case& c, int x, int y) -> std::uint32_t {
        // Nearest texel of the source for the pixel (x, y) of dest; beyond the
        // picture the texture is transparent.
        const int u = c.source.left + (x - c.dest.left) * c.source.Width() / c.dest.Width();
        const int v = c.source.top + (y - c.dest.top) * c.source.Height() / c.dest.Height();
        if (c.texture == small.get() && (u >= 3 || v >= 3))
            return 0;
        return c.texture == partly.get() ? OneTranslucent(u, v) : Opaque(u, v);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.story);
        for (int y = c.dest.top; y < c.dest.bottom; ++y)
            for (int x = c.dest.left; x < c.dest.right; ++x) {
                std::uint32_t src = texel(c, x, y);
                if ((c.colour & 0xFFFFFF) != 0xFFFFFF) {
                    const std::uint32_t m = c.colour & 0xFF;  // grey tint: every channel alike
                    src = (src & 0xFF000000u) | ((src >> 16 & 0xFF) * m / 255) << 16
                        | ((src >> 8 & 0xFF) * m / 255) << 8 | (src & 0xFF) * m / 255;
                }
                const std::uint32_t expected = Blend(src, Backdrop(x, y), c.colour >> 24);
                ASSERT_TRUE(Near(display.Pixel(x, y), expected))
                    << x << "," << y << ": " << std::hex << display.Pixel(x, y) << " not " << expected;
            }
    }
}

TEST_F(OpaqueDraw, RotatedPicturesLeaveTheCornersAlone)
{
    // A 8 by 2 bar turned a quarter: only a 2 by 8 upright strip is covered.
    auto bar = MakeTexture(device, 8, 2, Opaque);
    device.DrawDeviceTexture(*bar, {0, 0, 8, 2}, {20, 20, 28, 22}, nullptr, 0xFFFFFFFF, float(M_PI / 2));
    display.ReadBack(device);
    for (int x : {20, 21, 26, 27})
        for (int y : {20, 21})
            EXPECT_EQ(display.Pixel(x, y), Backdrop(x, y)) << x << "," << y;
    EXPECT_NE(display.Pixel(24, 19), Backdrop(24, 19)) << "the turned bar itself";
}

TEST_F(OpaqueDraw, ShrunkPicturesFilterAsWhenBlended)
{
    // The same texels twice; in the second a translucent texel just below the
    // drawn part keeps it on the blending path. Shrinking filters linearly,
    // and both must come out alike.
    auto copied = MakeTexture(device, 8, 8, Opaque);
    auto blended
        = MakeTexture(device, 8, 8, [](int x, int y) { return x == 0 && y == 4 ? 0x80000000u : Opaque(x, y); });
    ASSERT_EQ(copied->OpaqueHeight(), 8);
    ASSERT_EQ(blended->OpaqueHeight(), 4);
    struct Case {
        Rect source, dest;
    };
    const Case cases[] {
        {{0, 0, 8, 4}, {0, 0, 5, 3}},
        {{2, 1, 7, 4}, {0, 0, 3, 2}},
        {{0, 0, 8, 4}, {0, 0, 8, 2}},
    };
    int y = 0;
    for (const Case& c : cases) {
        const Rect a {c.dest.left, y, c.dest.right, y + c.dest.Height()};
        const Rect b {c.dest.left + 20, y, c.dest.right + 20, y + c.dest.Height()};
        device.DrawDeviceTexture(*copied, {0, 0, 8, 8}, a, &c.source, 0xFFFFFFFF, 0.0f);
        device.DrawDeviceTexture(*blended, {0, 0, 8, 8}, b, &c.source, 0xFFFFFFFF, 0.0f);
        y += 10;
    }
    display.ReadBack(device);
    y = 0;
    for (const Case& c : cases) {
        for (int dy = 0; dy < c.dest.Height(); ++dy)
            for (int x = c.dest.left; x < c.dest.right; ++x)
                EXPECT_EQ(display.Pixel(x, y + dy), display.Pixel(x + 20, y + dy)) << x << "," << y + dy;
        y += 10;
    }
}
