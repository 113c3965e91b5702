// The window's pixels: what changed in the back buffer is sent, and what a
// partial update writes is exactly what a whole present would show.

#include "platform/WindowPresenter.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// A picture in its own memory, with a pitch wider than its rows so that the
// presenter must use the pitch.
struct Picture {
    int width;
    int height;
    std::vector<std::uint32_t> memory;

    Picture(int w, int h, std::uint32_t fill = 0xFF000000u)
        : width(w)
        , height(h)
        , memory(std::size_t(w + 3) * h, fill)
    {
    }
    PixelRows Rows() { return {memory.data(), width, height, (width + 3) * 4}; }
    std::uint32_t& At(int x, int y) { return memory[std::size_t(y) * (width + 3) + x]; }
};

std::uint32_t Pattern(int x, int y)
{
    return 0xFF000000u | ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF);
}

Picture Back()
{
    Picture back(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            back.At(x, y) = Pattern(x, y);
    return back;
}

// What a fresh presenter shows for back in a window of the given size.
Picture WholePresent(Picture& back, int width, int height)
{
    Picture window(width, height, 0x12345678u);
    WindowPresenter presenter(800, 600);
    presenter.Present(back.Rows(), window.Rows());
    return window;
}

void ExpectSameWindow(Picture& a, Picture& b)
{
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y;
}

bool Inside(const std::vector<Rect>& rects, int x, int y)
{
    for (const Rect& r : rects)
        if (r.Contains({x, y}))
            return true;
    return false;
}

struct Size {
    int width;
    int height;
    Rect picture;  // where the back buffer lands
};

class WindowPresenterSizes : public ::testing::TestWithParam<Size> {
protected:
    // The back buffer's pattern presented once into a window of the size under test.
    void ShowFirstFrame() { presenter.Present(back.Rows(), window.Rows()); }

    Picture back = Back();
    Picture window {GetParam().width, GetParam().height};
    WindowPresenter presenter {800, 600};
};

}  // namespace

TEST_P(WindowPresenterSizes, FirstPresentDrawsTheBarsAndThePictureWhole)
{
    const Size size = GetParam();
    Picture back = Back();
    Picture window(size.width, size.height, 0x12345678u);
    WindowPresenter presenter(800, 600);
    // The whole window is sent, bars included.
    const std::vector<Rect> sent = presenter.Present(back.Rows(), window.Rows());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Rect {0, 0, size.width, size.height}));
    EXPECT_EQ(presenter.Picture(), size.picture);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            if (!size.picture.Contains({x, y})) {
                ASSERT_EQ(window.At(x, y), 0xFF000000u) << "bar at " << x << "," << y;
            }
        }
    // Enlarged, the picture's corners show the back buffer's corners (shrunk, they blend with their neighbours).
    const Rect p = size.picture;
    if (p.Width() >= 800) {
        EXPECT_EQ(window.At(p.left, p.top), Pattern(0, 0));
        EXPECT_EQ(window.At(p.right - 1, p.bottom - 1), Pattern(799, 599));
    }
}

TEST_P(WindowPresenterSizes, OnlyWhatChangedIsSentAndItMatchesAWholePresent)
{
    const Size size = GetParam();
    ShowFirstFrame();
    // Nothing changed: nothing is sent.
    EXPECT_TRUE(presenter.Present(back.Rows(), window.Rows()).empty());

    // A 1x16 caret, a pixel in a corner, and a block elsewhere change.
    std::mt19937 random(7);
    for (int y = 200; y < 216; ++y)
        back.At(401, y) = 0xFF072134u;
    back.At(799, 0) = 0xFFFFFFFFu;
    for (int y = 500; y < 540; ++y)
        for (int x = 20; x < 90; ++x)
            back.At(x, y) = 0xFF000000u | (random() & 0xFFFFFF);
    const std::vector<Rect> sent = presenter.Present(back.Rows(), window.Rows());

    // Every window pixel equals what a whole present of the new frame shows...
    Picture whole = WholePresent(back, size.width, size.height);
    ExpectSameWindow(window, whole);
    // ...and the changed pixels lie inside what was sent, which stays small.
    const Rect p = size.picture;
    const double scale = double(p.Width()) / 800;
    EXPECT_TRUE(Inside(sent, p.left + int(401.5 * scale), p.top + int(207 * scale)));
    EXPECT_TRUE(Inside(sent, p.right - 1, p.top));
    EXPECT_TRUE(Inside(sent, p.left + int(50 * scale), p.top + int(520 * scale)));
    long area = 0;
    for (const Rect& r : sent)
        area += long(r.Width()) * r.Height();
    EXPECT_LT(area, long((80 * 50 + 20 * 25 + 10) * (scale + 1) * (scale + 1)));
}

TEST_P(WindowPresenterSizes, ASizeChangeDrawsTheWholeWindowAgain)
{
    const Size size = GetParam();
    Picture back = Back();
    WindowPresenter presenter(800, 600);
    Picture small(640, 480);
    presenter.Present(back.Rows(), small.Rows());
    // The frame changes while the window grows: the new window gets bars and
    // every pixel of the new frame, not only the change.
    back.At(10, 10) = 0xFFFFFFFFu;
    Picture window(size.width, size.height, 0x12345678u);
    const std::vector<Rect> sent = presenter.Present(back.Rows(), window.Rows());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Rect {0, 0, size.width, size.height}));
    Picture whole = WholePresent(back, size.width, size.height);
    ExpectSameWindow(window, whole);
}

TEST_P(WindowPresenterSizes, AfterInvalidateTheWholeFrameIsSentAgain)
{
    const Size size = GetParam();
    ShowFirstFrame();
    // The window's pixels were lost (an expose): a full redraw of the same
    // frame is sent whole and puts every pixel back.
    std::fill(window.memory.begin(), window.memory.end(), 0xFFABCDEFu);
    presenter.Invalidate();
    const std::vector<Rect> sent = presenter.Present(back.Rows(), window.Rows());
    ASSERT_EQ(sent.size(), 1u);
    Picture whole = WholePresent(back, size.width, size.height);
    ExpectSameWindow(window, whole);
    // And changes after it are partial again.
    back.At(100, 100) = 0xFF00FF00u;
    const std::vector<Rect> next = presenter.Present(back.Rows(), window.Rows());
    ASSERT_EQ(next.size(), 1u);
    EXPECT_LT(next[0].Width(), 8);
    EXPECT_LT(next[0].Height(), 8);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowPresenterSizes,
    ::testing::Values(Size {800, 600, {0, 0, 800, 600}}, Size {1280, 1024, {0, 32, 1280, 992}},
        Size {1920, 1080, {240, 0, 1680, 1080}}, Size {1366, 768, {171, 0, 1195, 768}},
        Size {640, 480, {0, 0, 640, 480}}));

TEST(WindowPresenter, UnscaledPictureIsCopiedPixelForPixel)
{
    Picture back = Back();
    Picture window = WholePresent(back, 800, 600);
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 3)
            ASSERT_EQ(window.At(x, y), Pattern(x, y)) << x << "," << y;
}

TEST(WindowPresenter, ScaledPictureBlendsNeighbours)
{
    // Two columns, black and white: at 1.6 times the window pixels between
    // their centres are grey, brighter towards the white one.
    Picture back(800, 600);
    for (int y = 0; y < 600; ++y)
        back.At(1, y) = 0xFFFFFFFFu;
    Picture window = WholePresent(back, 1280, 1024);
    const int row = 32 + 100;
    EXPECT_EQ(window.At(0, row), 0xFF000000u);
    const std::uint32_t between = window.At(2, row) & 0xFF;
    EXPECT_GT(between, 0u);
    EXPECT_LT(between, 0xFFu);
    EXPECT_LT(window.At(1, row) & 0xFF, between);
}
