// The colour conversion of decoded frames: the fixed-point formula for a table
// of samples, and the SSE2 and plain versions against a reference on every
// plane layout the decoder can hand out.

#include "media/video/YuvConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using ConvertFunction = void (*)(const YuvFrame&, const Rect&, std::uint8_t*, int, int);

struct Version {
    const char* name;
    ConvertFunction convert;
};

std::vector<Version> Versions()
{
    std::vector<Version> versions {{"plain", &ConvertYuvToXrgbPlain}, {"chosen", &ConvertYuvToXrgb}};
#if defined(ZV_HAVE_SSE2_CONVERSION)
    versions.push_back({"sse2", &ConvertYuvToXrgbSse2});
#endif
    return versions;
}

// A plane in its own buffer, stored top-down or bottom-up.
struct OwnedPlane {
    std::vector<std::uint8_t> bytes;
    YuvPlane plane;

    OwnedPlane(int width, int height, bool bottomUp, std::mt19937& random)
        : bytes(static_cast<std::size_t>(width + 5) * height)
    {
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random() & 0xFF);
        const std::ptrdiff_t stride = width + 5;
        plane.width = width;
        plane.height = height;
        plane.stride = bottomUp ? -stride : stride;
        plane.data = bottomUp ? bytes.data() + (height - 1) * stride : bytes.data();
    }
    OwnedPlane(int width, int height, std::uint8_t value)
        : bytes(static_cast<std::size_t>(width) * height, value)
    {
        plane = {bytes.data(), width, width, height};
    }
    std::uint8_t At(int x, int y) const { return plane.data[y * plane.stride + x]; }
};

// The formula written out in plain integers: no 16-bit lanes, just the clamp.
void Reference(int luma, int cb, int cr, std::uint8_t out[4])
{
    const int y = (luma - 16) * 74;
    out[0] = static_cast<std::uint8_t>(std::clamp((y + 129 * (cb - 128)) >> 6, 0, 255));
    out[1] = static_cast<std::uint8_t>(std::clamp((y - 25 * (cb - 128) - 52 * (cr - 128)) >> 6, 0, 255));
    out[2] = static_cast<std::uint8_t>(std::clamp((y + 102 * (cr - 128)) >> 6, 0, 255));
    out[3] = 0;
}

constexpr std::uint8_t Canary = 0xA5;

}  // namespace

TEST(YuvConversion, SamplesFollowTheFixedPointFormula)
{
    struct Row {
        int y, u, v;
        int r, g, b;
    };
    // Worked by hand from the formula; the 255s and 0s are the clamps.
    const Row table[] = {
        {16, 128, 128, 0, 0, 0},         // black
        {235, 128, 128, 253, 253, 253},  // studio white: 219 * 74 / 64
        {255, 128, 128, 255, 255, 255},  // above white: 276 clamps
        {0, 128, 128, 0, 0, 0},          // below black: -19 clamps
        {17, 128, 128, 1, 1, 1},
        {128, 128, 128, 129, 129, 129},
        {100, 90, 200, 211, 53, 20},
        {0, 0, 0, 0, 135, 0},            // red and blue below 0, green from the chroma alone
        {255, 255, 255, 255, 123, 255},  // blue's sum 34069 saturates in 16 bits rather than wrapping
        {255, 255, 128, 255, 226, 255},
        {255, 0, 255, 255, 223, 18},
        {0, 255, 0, 0, 35, 237},
        {81, 90, 240, 253, 0, 0},  // green just below 0 (-64 >> 6 = -1)
        {145, 54, 34, 0, 254, 0},
        {41, 240, 110, 0, 0, 254},
        {200, 16, 16, 34, 255, 0},
    };
    for (const Version& version : Versions())
        for (const Row& row : table) {
            SCOPED_TRACE(std::string(version.name) + " Y=" + std::to_string(row.y) + " U=" + std::to_string(row.u)
                + " V=" + std::to_string(row.v));
            // 16 x 2 pixels of the one colour, a whole step of both loops.
            OwnedPlane y(16, 2, static_cast<std::uint8_t>(row.y));
            OwnedPlane u(8, 1, static_cast<std::uint8_t>(row.u));
            OwnedPlane v(8, 1, static_cast<std::uint8_t>(row.v));
            const YuvFrame frame {y.plane, u.plane, v.plane, 1, 1};
            std::vector<std::uint8_t> out(16 * 2 * 4, Canary);
            version.convert(frame, {0, 0, 16, 2}, out.data(), 16 * 4, 2);
            for (int p = 0; p < 32; ++p) {
                ASSERT_EQ(out[p * 4 + 0], row.b) << "pixel " << p;
                ASSERT_EQ(out[p * 4 + 1], row.g) << "pixel " << p;
                ASSERT_EQ(out[p * 4 + 2], row.r) << "pixel " << p;
                ASSERT_EQ(out[p * 4 + 3], 0) << "pixel " << p;
            }
        }
}

TEST(YuvConversion, VersionsMatchTheReferenceOnEveryLayout)
{
    struct Layout {
        int frameWidth, frameHeight;
        Rect picture;
        int shiftX, shiftY;
        bool bottomUp;
        int pitch;  // bytes; 0: exactly the picture's width
        int rows;   // 0: exactly the picture's height
    };
    const Layout layouts[] = {
        {16, 16, {0, 0, 16, 16}, 1, 1, false, 0, 0},
        {64, 48, {0, 0, 64, 48}, 1, 1, true, 0, 0},         // bottom-up planes, as libtheora hands them out
        {48, 32, {0, 0, 37, 29}, 1, 1, false, 0, 0},        // odd size, a row so tight that nothing pads
        {48, 32, {0, 0, 37, 29}, 1, 1, false, 64 * 4, 32},  // the same in a power-of-two texture: pads to 48
        {48, 32, {2, 4, 39, 33}, 1, 1, true, 64 * 4, 32},   // even offset: still two rows at a time
        {48, 32, {3, 5, 40, 32}, 1, 1, false, 64 * 4, 32},  // odd offset: chroma pairs shift
        {32, 16, {0, 0, 1, 1}, 1, 1, false, 0, 0},          // one pixel
        {32, 16, {0, 0, 7, 3}, 1, 1, false, 8 * 4, 8},      // a texture narrower than the padding
        {32, 32, {0, 0, 32, 32}, 1, 0, false, 0, 0},        // 4:2:2
        {32, 32, {1, 1, 30, 31}, 0, 0, true, 32 * 4, 32},   // 4:4:4
        {32, 32, {0, 0, 40, 40}, 1, 1, false, 64 * 4, 64},  // a picture larger than its frame is cut
        {32, 32, {0, 0, 32, 32}, 1, 1, false, 16 * 4, 8},   // a texture smaller than the picture is not overrun
    };
    std::mt19937 random(2024);
    for (const Layout& layout : layouts) {
        const Rect& picture = layout.picture;
        SCOPED_TRACE("frame " + std::to_string(layout.frameWidth) + "x" + std::to_string(layout.frameHeight)
            + " picture " + std::to_string(picture.left) + "," + std::to_string(picture.top) + " "
            + std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()));
        const int chromaWidth = layout.frameWidth >> layout.shiftX;
        const int chromaHeight = layout.frameHeight >> layout.shiftY;
        OwnedPlane y(layout.frameWidth, layout.frameHeight, layout.bottomUp, random);
        OwnedPlane u(chromaWidth, chromaHeight, layout.bottomUp, random);
        OwnedPlane v(chromaWidth, chromaHeight, layout.bottomUp, random);
        const YuvFrame frame {y.plane, u.plane, v.plane, layout.shiftX, layout.shiftY};
        const int pitch = layout.pitch ? layout.pitch : picture.Width() * 4;
        const int rows = layout.rows ? layout.rows : picture.Height();
        // The part of the picture inside the frame and the target.
        const int visibleWidth = std::min({picture.right, layout.frameWidth}) - picture.left;
        const int width = std::min(visibleWidth, pitch / 4);
        const int height = std::min(std::min(picture.bottom, layout.frameHeight) - picture.top, rows);
        // Padding: up to a multiple of 16 where the row and the frame have room.
        const int padded = std::max(width, std::min({(width + 15) & ~15, pitch / 4, layout.frameWidth - picture.left}));

        std::vector<std::vector<std::uint8_t>> outputs;
        for (const Version& version : Versions()) {
            SCOPED_TRACE(version.name);
            // One row of canaries past the end catches writes below the target.
            std::vector<std::uint8_t> out(static_cast<std::size_t>(pitch) * (rows + 1), Canary);
            version.convert(frame, picture, out.data(), pitch, rows);
            for (int r = 0; r <= rows; ++r)
                for (int c = 0; c < pitch / 4; ++c) {
                    const std::uint8_t* got = out.data() + r * pitch + c * 4;
                    if (r < height && c < width) {
                        std::uint8_t want[4];
                        const int fx = picture.left + c, fy = picture.top + r;
                        Reference(y.At(fx, fy), u.At(fx >> layout.shiftX, fy >> layout.shiftY),
                            v.At(fx >> layout.shiftX, fy >> layout.shiftY), want);
                        ASSERT_TRUE(std::equal(want, want + 4, got)) << "pixel " << c << "," << r;
                    } else if (r >= height || c >= padded) {
                        ASSERT_TRUE(std::all_of(got, got + 4, [](std::uint8_t b) { return b == Canary; }))
                            << "written outside at " << c << "," << r;
                    }
                }
            outputs.push_back(std::move(out));
        }
        for (std::size_t k = 1; k < outputs.size(); ++k)
            EXPECT_EQ(outputs[k], outputs[0]) << Versions()[k].name << " differs from " << Versions()[0].name;
    }
}

TEST(YuvConversion, NothingIsWrittenWithoutPlanesOrRoom)
{
    std::mt19937 random(7);
    OwnedPlane y(16, 16, false, random), u(8, 8, false, random), v(8, 8, false, random);
    const YuvFrame whole {y.plane, u.plane, v.plane, 1, 1};
    YuvFrame noChroma = whole;
    noChroma.u.data = nullptr;
    struct Case {
        const char* what;
        YuvFrame frame;
        Rect picture;
        int pitch, rows;
    };
    const Case cases[] = {
        {"no chroma plane", noChroma, {0, 0, 16, 16}, 64, 16},
        {"empty picture", whole, {4, 4, 4, 9}, 64, 16},
        {"picture outside the frame", whole, {16, 0, 32, 16}, 64, 16},
        {"negative picture", whole, {-8, -8, 0, 0}, 64, 16},
        {"no rows", whole, {0, 0, 16, 16}, 64, 0},
        {"a pitch below one pixel", whole, {0, 0, 16, 16}, 3, 16},
    };
    for (const Version& version : Versions())
        for (const Case& c : cases) {
            std::vector<std::uint8_t> out(64 * 17, Canary);
            version.convert(c.frame, c.picture, out.data(), c.pitch, c.rows);
            EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == Canary; }))
                << version.name << ": " << c.what;
        }
}
