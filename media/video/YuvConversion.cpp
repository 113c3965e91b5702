#include "media/video/YuvConversion.h"

#include <algorithm>
#include <cstring>

#if defined(ZV_HAVE_SSE2_CONVERSION)
#include <emmintrin.h>
#endif

namespace {

// What one call writes: `rows` rows of `columns` pixels from `area` of the frame.
struct Layout {
    Rect area;        // the picture, limited to the planes
    int columns = 0;  // pixels written per row: the picture's, then the padding
    int rows = 0;     // rows written
};

int RoundUpTo16(int n)
{
    return (n + 15) & ~15;
}

Layout PlanLayout(const YuvFrame& frame, const Rect& picture, int pitch, int rows)
{
    Layout layout;
    if (!frame.y.data || !frame.u.data || !frame.v.data || pitch < 4 || rows <= 0)
        return layout;
    const int shiftX = frame.chromaShiftX, shiftY = frame.chromaShiftY;
    // Luma columns and rows whose chroma sample exists in both chroma planes.
    const long long chromaColumns = static_cast<long long>(std::min(frame.u.width, frame.v.width)) << shiftX;
    const long long chromaRows = static_cast<long long>(std::min(frame.u.height, frame.v.height)) << shiftY;
    const int planeRight = static_cast<int>(std::min<long long>(frame.y.width, chromaColumns));
    const int planeBottom = static_cast<int>(std::min<long long>(frame.y.height, chromaRows));
    layout.area = {std::max(picture.left, 0), std::max(picture.top, 0), std::min(picture.right, planeRight),
        std::min(picture.bottom, planeBottom)};
    const int visible = std::min(layout.area.Width(), pitch / 4);
    layout.rows = std::min(layout.area.Height(), rows);
    if (visible <= 0 || layout.rows <= 0)
        return Layout {};
    // The padding on the right: up to a multiple of 16 where both the row and the planes have room.
    layout.columns = std::max(visible, std::min({RoundUpTo16(visible), pitch / 4, planeRight - layout.area.left}));
    return layout;
}

const std::uint8_t* Row(const YuvPlane& plane, int row)
{
    return plane.data + static_cast<std::ptrdiff_t>(row) * plane.stride;
}

int Saturate16(int value)
{
    return std::clamp(value, -32768, 32767);
}

std::uint8_t ClampToByte(int value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// One pixel, step by step as the 16-bit lanes of the SSE2 version compute it.
void ConvertPixel(int luma, int cb, int cr, std::uint8_t* out)
{
    const int y = (luma - 16) * 74;
    const int u = cb - 128;
    const int v = cr - 128;
    const int r = Saturate16(y + 102 * v) >> 6;
    const int g = Saturate16(Saturate16(y - 25 * u) - 52 * v) >> 6;
    const int b = Saturate16(y + 129 * u) >> 6;
    out[0] = ClampToByte(b);
    out[1] = ClampToByte(g);
    out[2] = ClampToByte(r);
    out[3] = 0;
}

void ConvertRow(const YuvFrame& frame, const Layout& layout, int row, std::uint8_t* out, int firstColumn)
{
    const int frameRow = layout.area.top + row;
    const std::uint8_t* y = Row(frame.y, frameRow);
    const std::uint8_t* u = Row(frame.u, frameRow >> frame.chromaShiftY);
    const std::uint8_t* v = Row(frame.v, frameRow >> frame.chromaShiftY);
    for (int c = firstColumn; c < layout.columns; ++c) {
        const int x = layout.area.left + c;
        ConvertPixel(y[x], u[x >> frame.chromaShiftX], v[x >> frame.chromaShiftX], out + 4 * c);
    }
}

#if defined(ZV_HAVE_SSE2_CONVERSION)

// The multipliers, hidden from the optimiser: it would otherwise turn each
// multiplication into a longer chain of shifts and additions.
__m128i Opaque(__m128i value)
{
    asm("" : "+x"(value));
    return value;
}

// Eight luma samples as (Y - 16) * 74 in 16-bit lanes.
__m128i Luma8(const std::uint8_t* samples)
{
    const __m128i y
        = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples)), _mm_setzero_si128());
    return _mm_mullo_epi16(_mm_sub_epi16(y, _mm_set1_epi16(16)), Opaque(_mm_set1_epi16(74)));
}

// Four chroma samples, each doubled for the two pixels it covers, minus 128.
__m128i Chroma8(const std::uint8_t* samples)
{
    std::int32_t four;
    std::memcpy(&four, samples, sizeof four);
    __m128i c = _mm_cvtsi32_si128(four);
    c = _mm_unpacklo_epi8(c, c);
    c = _mm_unpacklo_epi8(c, _mm_setzero_si128());
    return _mm_sub_epi16(c, _mm_set1_epi16(128));
}

// Shifts, clamps (the unsigned pack saturates) and writes 8 pixels as B, G, R, 0.
void Store8(__m128i r, __m128i g, __m128i b, std::uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i r8 = _mm_packus_epi16(_mm_srai_epi16(r, 6), zero);
    const __m128i g8 = _mm_packus_epi16(_mm_srai_epi16(g, 6), zero);
    const __m128i b8 = _mm_packus_epi16(_mm_srai_epi16(b, 6), zero);
    const __m128i bg = _mm_unpacklo_epi8(b8, g8);
    const __m128i r0 = _mm_unpacklo_epi8(r8, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(bg, r0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(bg, r0));
}

// The chroma terms of 8 pixels: 102 (V - 128), 25 (U - 128), 52 (V - 128), 129 (U - 128).
struct ChromaTerms8 {
    __m128i red, greenU, greenV, blue;
};

ChromaTerms8 ChromaTerms(const std::uint8_t* u, const std::uint8_t* v)
{
    const __m128i cb = Chroma8(u);
    const __m128i cr = Chroma8(v);
    return {_mm_mullo_epi16(cr, Opaque(_mm_set1_epi16(102))), _mm_mullo_epi16(cb, Opaque(_mm_set1_epi16(25))),
        _mm_mullo_epi16(cr, Opaque(_mm_set1_epi16(52))), _mm_mullo_epi16(cb, Opaque(_mm_set1_epi16(129)))};
}

void Convert8(const std::uint8_t* luma, const ChromaTerms8& c, std::uint8_t* out)
{
    const __m128i y = Luma8(luma);
    Store8(_mm_adds_epi16(y, c.red), _mm_subs_epi16(_mm_subs_epi16(y, c.greenU), c.greenV), _mm_adds_epi16(y, c.blue),
        out);
}

#endif

}  // namespace

void ConvertYuvToXrgbPlain(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows)
{
    const Layout layout = PlanLayout(frame, picture, pitch, rows);
    for (int r = 0; r < layout.rows; ++r)
        ConvertRow(frame, layout, r, bits + static_cast<std::ptrdiff_t>(r) * pitch, 0);
}

#if defined(ZV_HAVE_SSE2_CONVERSION)

void ConvertYuvToXrgbSse2(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows)
{
    const Layout layout = PlanLayout(frame, picture, pitch, rows);
    // Two rows share a chroma row only in 4:2:0 with the picture on even luma
    // coordinates; everything else goes pixel by pixel.
    if (frame.chromaShiftX != 1 || frame.chromaShiftY != 1 || (layout.area.left & 1) || (layout.area.top & 1)) {
        ConvertYuvToXrgbPlain(frame, picture, bits, pitch, rows);
        return;
    }
    const int vectorColumns = layout.columns & ~7;
    for (int r = 0; r < layout.rows; r += 2) {
        // A last odd row is converted as a pair with itself.
        const int second = std::min(r + 1, layout.rows - 1);
        const int frameRow = layout.area.top + r;
        const std::uint8_t* y0 = Row(frame.y, frameRow) + layout.area.left;
        const std::uint8_t* y1 = Row(frame.y, layout.area.top + second) + layout.area.left;
        const std::uint8_t* u = Row(frame.u, frameRow >> 1) + layout.area.left / 2;
        const std::uint8_t* v = Row(frame.v, frameRow >> 1) + layout.area.left / 2;
        std::uint8_t* out0 = bits + static_cast<std::ptrdiff_t>(r) * pitch;
        std::uint8_t* out1 = bits + static_cast<std::ptrdiff_t>(second) * pitch;
        for (int c = 0; c < vectorColumns; c += 8) {
            // The two rows share the chroma terms.
            const ChromaTerms8 terms = ChromaTerms(u + c / 2, v + c / 2);
            Convert8(y0 + c, terms, out0 + 4 * c);
            Convert8(y1 + c, terms, out1 + 4 * c);
        }
        if (vectorColumns < layout.columns) {
            ConvertRow(frame, layout, r, out0, vectorColumns);
            ConvertRow(frame, layout, second, out1, vectorColumns);
        }
    }
}

#endif

void ConvertYuvToXrgb(const YuvFrame& frame, const Rect& picture, std::uint8_t* bits, int pitch, int rows)
{
#if defined(ZV_HAVE_SSE2_CONVERSION)
    ConvertYuvToXrgbSse2(frame, picture, bits, pitch, rows);
#else
    ConvertYuvToXrgbPlain(frame, picture, bits, pitch, rows);
#endif
}
