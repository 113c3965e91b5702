#include "platform/WindowPresenter.h"

#include "platform/Letterbox.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// (256 - weight) parts of p and weight parts of q, two channels at a time; opaque.
inline std::uint32_t Mix(std::uint32_t p, std::uint32_t q, std::uint32_t weight)
{
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t redBlue = (((p & 0xFF00FFu) * keep + (q & 0xFF00FFu) * weight) >> 8) & 0xFF00FFu;
    const std::uint32_t green = (((p & 0x00FF00u) * keep + (q & 0x00FF00u) * weight) >> 8) & 0x00FF00u;
    return 0xFF000000u | redBlue | green;
}

// out[x] = Mix(upper[x], lower[x], weight) for width pixels. With SSE2 four
// pixels at a time, each channel computed exactly as Mix does.
void MixRows(
    const std::uint32_t* upper, const std::uint32_t* lower, std::uint32_t weight, std::uint32_t* out, std::size_t width)
{
    std::size_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowerPart = _mm_set1_epi16(short(weight));
    const __m128i upperPart = _mm_set1_epi16(short(256 - weight));
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= width; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + x));
        // Per channel a * (256 - w) + b * w is at most 255 * 256: it fits 16 bits unsigned.
        const __m128i low = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), upperPart),
                                               _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), lowerPart)),
            8);
        const __m128i high = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), upperPart),
                                                _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), lowerPart)),
            8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_packus_epi16(low, high), opaque));
    }
#endif
    for (; x < width; ++x)
        out[x] = Mix(upper[x], lower[x], weight);
}

}  // namespace

// ---------------------------------------------------------------------------
// The scale's tables

// Window pixel i samples the back buffer at (i + 0.5) * backSize / windowSize - 0.5,
// computed in integers so that every build and every partial update agrees.
void WindowPresenter::Taps::Build(int back, int window)
{
    backSize = back;
    first.assign(std::size_t(std::max(window, 0)), 0);
    weight.assign(first.size(), 0);
    const std::int64_t denominator = 2 * std::int64_t(window);
    for (int i = 0; i < window; ++i) {
        const std::int64_t numerator = (2 * std::int64_t(i) + 1) * back - window;
        if (numerator <= 0)
            continue;  // left of the first pixel's centre: the first pixel alone
        const std::int64_t whole = numerator / denominator;
        if (whole >= back - 1) {
            first[i] = back - 1;  // right of the last pixel's centre: the last pixel alone
            continue;
        }
        first[i] = int(whole);
        weight[i] = std::uint32_t(((numerator % denominator) * 256 + denominator / 2) / denominator);
    }
}

void WindowPresenter::Taps::Reading(int from, int to, int& begin, int& end) const
{
    // Pixel i reads first[i] and first[i] + 1; first never decreases.
    begin = int(std::lower_bound(first.begin(), first.end(), from - 1) - first.begin());
    end = int(std::upper_bound(first.begin(), first.end(), to - 1) - first.begin());
}

// ---------------------------------------------------------------------------
// Presenting

WindowPresenter::WindowPresenter(int backBufferWidth, int backBufferHeight)
    : backWidth(backBufferWidth)
    , backHeight(backBufferHeight)
    , shown(std::size_t(backBufferWidth) * backBufferHeight)
{
}

void WindowPresenter::Resize(const PixelRows& window)
{
    windowPixels = window.pixels;
    windowWidth = window.width;
    windowHeight = window.height;
    // The same placement as the one mouse positions are mapped back through.
    Letterbox letterbox;
    letterbox.windowWidth = window.width;
    letterbox.windowHeight = window.height;
    letterbox.backBufferWidth = backWidth;
    letterbox.backBufferHeight = backHeight;
    const double scale = letterbox.Scale();
    const int left = std::max(0, letterbox.OffsetX());
    const int top = std::max(0, letterbox.OffsetY());
    const int width = std::min(window.width - left, int(std::lround(backWidth * scale)));
    const int height = std::min(window.height - top, int(std::lround(backHeight * scale)));
    picture = {left, top, left + std::max(0, width), top + std::max(0, height)};
    columns.Build(backWidth, picture.Width());
    rows.Build(backHeight, picture.Height());
    shownValid = false;
}

std::vector<Rect> WindowPresenter::Present(const PixelRows& back, const PixelRows& window)
{
    if (window.pixels != windowPixels || window.width != windowWidth || window.height != windowHeight)
        Resize(window);
    if (picture.Width() <= 0 || picture.Height() <= 0 || back.width != backWidth || back.height != backHeight)
        return {};
    if (!shownValid) {
        // A new window: the bars once, then the whole picture.
        for (int y = 0; y < window.height; ++y)
            std::fill_n(window.Row(y), window.width, 0xFF000000u);
        ScaleArea(back, window, {0, 0, picture.Width(), picture.Height()});
        Remember(back, {0, 0, backWidth, backHeight});
        shownValid = true;
        return {{0, 0, window.width, window.height}};
    }
    std::vector<Rect> written;
    for (const Rect& band : ChangedBands(back)) {
        Remember(back, band);
        Rect area;
        columns.Reading(band.left, band.right, area.left, area.right);
        rows.Reading(band.top, band.bottom, area.top, area.bottom);
        if (area.left >= area.right || area.top >= area.bottom)
            continue;
        ScaleArea(back, window, area);
        written.push_back(
            {area.left + picture.left, area.top + picture.top, area.right + picture.left, area.bottom + picture.top});
    }
    return written;
}

std::vector<Rect> WindowPresenter::ChangedBands(const PixelRows& back) const
{
    std::vector<Rect> bands;
    const std::size_t rowBytes = std::size_t(backWidth) * 4;
    for (int y = 0; y < backHeight; ++y) {
        const std::uint32_t* now = back.Row(y);
        const std::uint32_t* before = shown.data() + std::size_t(y) * backWidth;
        if (std::memcmp(now, before, rowBytes) == 0)
            continue;
        int left = 0;
        while (now[left] == before[left])
            ++left;
        int right = backWidth;
        while (now[right - 1] == before[right - 1])
            --right;
        if (!bands.empty() && bands.back().bottom == y) {
            Rect& band = bands.back();
            band.left = std::min(band.left, left);
            band.right = std::max(band.right, right);
            band.bottom = y + 1;
        } else {
            bands.push_back({left, y, right, y + 1});
        }
    }
    return bands;
}

void WindowPresenter::Remember(const PixelRows& back, const Rect& band)
{
    for (int y = band.top; y < band.bottom; ++y)
        std::memcpy(shown.data() + std::size_t(y) * backWidth + band.left, back.Row(y) + band.left,
            std::size_t(band.Width()) * 4);
}

void WindowPresenter::ScaleRow(const std::uint32_t* backRow, int begin, int end, std::uint32_t* out) const
{
    const int last = backWidth - 1;
    int i = begin;
#if defined(__SSE2__)
    // Two window pixels at a time: their two samples side by side, weighted per pixel.
    const __m128i zero = _mm_setzero_si128();
    const __m128i whole = _mm_set1_epi16(256);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 2 <= end; i += 2) {
        const int x0 = columns.first[i];
        const int x1 = columns.first[i + 1];
        const __m128i left = _mm_unpacklo_epi8(
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(backRow[x0])), _mm_cvtsi32_si128(int(backRow[x1]))), zero);
        const __m128i right
            = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(backRow[std::min(x0 + 1, last)])),
                                    _mm_cvtsi32_si128(int(backRow[std::min(x1 + 1, last)]))),
                zero);
        const short w0 = short(columns.weight[i]);
        const short w1 = short(columns.weight[i + 1]);
        const __m128i rightPart = _mm_set_epi16(w1, w1, w1, w1, w0, w0, w0, w0);
        const __m128i leftPart = _mm_sub_epi16(whole, rightPart);
        const __m128i mixed
            = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(left, leftPart), _mm_mullo_epi16(right, rightPart)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_packus_epi16(mixed, mixed), opaque));
        out += 2;
    }
#endif
    for (; i < end; ++i) {
        const int x = columns.first[i];
        *out++ = Mix(backRow[x], backRow[std::min(x + 1, last)], columns.weight[i]);
    }
}

// area: window pixels relative to the picture's top-left corner.
void WindowPresenter::ScaleArea(const PixelRows& back, const PixelRows& window, const Rect& area)
{
    const std::size_t width = std::size_t(area.Width());
    upper.resize(width);
    lower.resize(width);
    // The back-buffer rows now held, horizontally scaled, in upper and lower.
    int upperRow = -1;
    int lowerRow = -1;
    for (int y = area.top; y < area.bottom; ++y) {
        const int top = rows.first[y];
        const int bottom = std::min(top + 1, backHeight - 1);
        if (top != upperRow) {
            if (top == lowerRow) {
                std::swap(upper, lower);
                std::swap(upperRow, lowerRow);
            } else {
                ScaleRow(back.Row(top), area.left, area.right, upper.data());
                upperRow = top;
            }
        }
        if (bottom != lowerRow) {
            ScaleRow(back.Row(bottom), area.left, area.right, lower.data());
            lowerRow = bottom;
        }
        std::uint32_t* out = window.Row(picture.top + y) + picture.left + area.left;
        const std::uint32_t weight = rows.weight[y];
        if (weight == 0) {
            std::memcpy(out, upper.data(), width * 4);
            continue;
        }
        MixRows(upper.data(), lower.data(), weight, out, width);
    }
}
