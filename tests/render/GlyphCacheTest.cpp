// The font engine over the carried Liberation Sans files, the glyph cache's
// per-character queries, the path built from an outline, and the glyph
// pictures rendered from it into the texture table.

#include "platform/AudioManualOutput.h"
#include "platform/FontEngine.h"
#include "render/IMGlyphCache.h"
#include "render/IMResourceManager.h"
#include "support/HeadlessDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t Ink = 0xFF072134;             // the text colour of the screens
constexpr std::uint32_t TextBackground = 0x00AFAFAF;  // the text views' background

std::uint32_t Texel(const TextureRecord& record, int x, int y)
{
    return record.texture ? record.texture->Texel(x, y) : 0;
}

std::vector<std::uint32_t> AllTexels(const TextureRecord& record)
{
    std::vector<std::uint32_t> texels;
    for (int y = 0; y < record.texHeight; ++y)
        for (int x = 0; x < record.texWidth; ++x)
            texels.push_back(Texel(record, x, y));
    return texels;
}

int Alpha(std::uint32_t argb)
{
    return int(argb >> 24);
}

// The rows and columns holding any ink (alpha above the background's) of a picture.
struct InkBox {
    int left = 1 << 20;
    int right = -1;  // inclusive
    int top = 1 << 20;
    int bottom = -1;  // inclusive
    bool Empty() const { return right < 0; }
};

InkBox FindInk(const TextureRecord& record)
{
    InkBox box;
    for (int y = 0; y < record.imageRect.bottom; ++y)
        for (int x = 0; x < record.imageRect.right; ++x)
            if (Alpha(Texel(record, x, y)) > 0) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// An outline record written by hand, to drive the path builder with known values.
class OutlineBytes {
public:
    void Polygon(std::int32_t x, std::int32_t y)
    {
        polygonAt = bytes.size();
        Put32(0);
        Put32(OutlinePolygonType);
        Put32(std::uint32_t(x));
        Put32(std::uint32_t(y));
    }
    void Curve(std::uint16_t type, const std::vector<std::pair<std::int32_t, std::int32_t>>& points)
    {
        Put16(type);
        Put16(std::uint16_t(points.size()));
        for (const auto& [x, y] : points) {
            Put32(std::uint32_t(x));
            Put32(std::uint32_t(y));
        }
        const auto size = std::uint32_t(bytes.size() - polygonAt);
        std::memcpy(bytes.data() + polygonAt, &size, 4);
    }
    std::vector<std::uint8_t> bytes;

private:
    void Put32(std::uint32_t v)
    {
        bytes.resize(bytes.size() + 4);
        std::memcpy(bytes.data() + bytes.size() - 4, &v, 4);
    }
    void Put16(std::uint16_t v)
    {
        bytes.resize(bytes.size() + 2);
        std::memcpy(bytes.data() + bytes.size() - 2, &v, 2);
    }
    std::size_t polygonAt = 0;
};

class GlyphCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = CreateResourceManager(true, &display.Window(), std::make_unique<AudioManualOutput>());
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override { DestroyResourceManager(); }

    IMGlyphCache& Cache() { return manager->glyphCache; }

    // A glyph picture under a key naming everything that changes it.
    TextureHandle Glyph(wchar_t ch, int height, bool bold, bool underline = false, std::uint32_t colour = Ink,
        std::uint32_t background = TextBackground)
    {
        const std::wstring key = L"glyph " + std::to_wstring(unsigned(ch)) + L" " + std::to_wstring(height)
            + (bold ? L"b" : L"") + (underline ? L"u" : L"") + L" " + std::to_wstring(colour) + L" "
            + std::to_wstring(background);
        return manager->CreateGlyphTexture(key, ch, colour, height, L"Arial", false, bold, underline, background);
    }

    const TextureRecord& Record(TextureHandle handle)
    {
        const TextureRecord* record = manager->GetRecord(handle);
        EXPECT_NE(record, nullptr);
        static const TextureRecord none;
        return record ? *record : none;
    }

    int Advance(std::size_t font, wchar_t ch)
    {
        const AbcWidths& abc = Cache().GetAbcWidths(font, ch);
        return abc.a + abc.b + abc.c;
    }

    HeadlessDisplay display;
    IMResourceManager* manager = nullptr;
};

// ---------------------------------------------------------------------------
// Fonts and metrics

TEST_F(GlyphCacheTest, CellHeightIsAscentPlusDescent)
{
    for (int height : {14, 16, 18, 20, 25, 40})
        for (bool bold : {false, true}) {
            SCOPED_TRACE(testing::Message() << height << (bold ? " bold" : ""));
            const std::size_t font = Cache().GetFont(L"Arial", height, bold, false, false);
            const FontTextMetrics& m = Cache().fonts[font]->metrics;
            EXPECT_EQ(m.height, height);
            EXPECT_EQ(m.ascent + m.descent, height);
            EXPECT_GT(m.descent, 0);
            EXPECT_GT(m.ascent, 3 * m.descent) << "Liberation Sans sits high in its cell";
            EXPECT_GT(m.aveCharWidth, height / 4);
            EXPECT_LT(m.aveCharWidth, height);
            EXPECT_GE(m.internalLeading, 0);
            EXPECT_GE(m.externalLeading, 0);
            EXPECT_EQ(m.weight, bold ? 700 : 400);
        }
}

TEST_F(GlyphCacheTest, UnderlineSharesTheFontCreatedFirst)
{
    // The font is made by the underlined request; the plain one finds it.
    const std::size_t underlined = Cache().GetFont(L"Arial", 18, false, false, true);
    const PlatformFont* platformFont = Cache().fonts[underlined]->hFont.get();
    ASSERT_NE(platformFont, nullptr);
    EXPECT_EQ(Cache().GetFont(L"Arial", 18, false, false, false), underlined);

    // Pictures with and without the bar still come from that one font.
    Glyph(L'a', 18, false, true);
    Glyph(L'a', 18, false, false);
    ASSERT_EQ(Cache().fonts.size(), 1u);
    EXPECT_EQ(Cache().fonts[0]->hFont.get(), platformFont);
    EXPECT_EQ(Cache().fonts[0]->underline, 1);

    // Any other identity field makes another font.
    EXPECT_NE(Cache().GetFont(L"Arial", 18, true, false, false), underlined);
    EXPECT_NE(Cache().GetFont(L"Arial", 18, false, true, false), underlined);
    EXPECT_NE(Cache().GetFont(L"Arial", 19, false, false, false), underlined);
    EXPECT_NE(Cache().GetFont(L"Verdana", 18, false, false, false), underlined);
    EXPECT_EQ(Cache().fonts.size(), 5u);
}

TEST_F(GlyphCacheTest, UnknownFacesFallBackToLiberationSans)
{
    const std::size_t arial = Cache().GetFont(L"Arial", 20, false, false, false);
    const std::size_t unknown = Cache().GetFont(L"No Such Face", 20, false, false, false);
    ASSERT_NE(Cache().fonts[unknown]->hFont, nullptr);
    for (wchar_t ch : std::wstring(L"AЖm "))
        EXPECT_EQ(Advance(unknown, ch), Advance(arial, ch)) << "character " << unsigned(ch);
}

TEST_F(GlyphCacheTest, CyrillicCharactersHaveOutlinesAndSensibleWidths)
{
    for (int height : {12, 14, 16, 18, 20, 22, 25, 30})
        for (bool bold : {false, true}) {
            const std::size_t font = Cache().GetFont(L"Arial", height, bold, false, false);
            const FontTextMetrics& m = Cache().fonts[font]->metrics;
            for (wchar_t ch : std::wstring(L"ЖБЁЙЩЫДжбёщыйуЗвонкары")) {
                SCOPED_TRACE(testing::Message() << height << (bold ? " bold " : " ") << unsigned(ch));
                EXPECT_GT(Cache().GetOutlineSize(font, ch), OutlinePolygonHeaderSize);
                const int advance = Advance(font, ch);
                EXPECT_GE(advance, height / 3);
                EXPECT_LE(advance, height);
                const GlyphMetrics& g = Cache().GetGlyphMetrics(font, ch);
                EXPECT_EQ(g.cellIncX, advance);
                EXPECT_GE(g.originY, 1);
                // Hinting lifts the accents of Ё and Й by up to a pixel at some sizes.
                const bool tallAccent = ch == L'Ё' || ch == L'Й';
                EXPECT_LE(g.originY, m.ascent + (tallAccent ? 1 : 0)) << "ink above the cell would be cut off";
                EXPECT_GE(int(g.blackBoxY) - g.originY, 0);
                EXPECT_LE(int(g.blackBoxY) - g.originY, m.descent) << "ink below the cell would be cut off";
            }
            // Ж is wider than ы is wider than г, in either weight.
            EXPECT_GE(Advance(font, L'Ж'), Advance(font, L'ы'));
            EXPECT_GT(Advance(font, L'ы'), Advance(font, L'г'));
        }
}

TEST_F(GlyphCacheTest, AbcWidthsAgreeWithGlyphMetrics)
{
    const std::size_t font = Cache().GetFont(L"Arial", 25, false, false, false);
    for (wchar_t ch : std::wstring(L"HНjуЖf1 ")) {
        SCOPED_TRACE(unsigned(ch));
        const AbcWidths& abc = Cache().GetAbcWidths(font, ch);
        const GlyphMetrics& g = Cache().GetGlyphMetrics(font, ch);
        EXPECT_EQ(abc.a, g.originX);
        EXPECT_EQ(abc.b, int(g.blackBoxX));
        EXPECT_EQ(abc.a + abc.b + abc.c, g.cellIncX);
        EXPECT_EQ(g.cellIncY, 0);
    }
    // A space has no outline (nothing to fill) but a width.
    EXPECT_EQ(Cache().GetOutlineSize(font, L' '), 0);
    EXPECT_GT(Advance(font, L' '), 0);
}

TEST_F(GlyphCacheTest, NativeOutlineRecordsAreWellFormed)
{
    const std::size_t font = Cache().GetFont(L"Arial", 25, true, false, false);
    for (wchar_t ch : std::wstring(L"ОЖ8%@")) {
        SCOPED_TRACE(unsigned(ch));
        const int size = Cache().GetOutlineSize(font, ch);
        ASSERT_GT(size, 0);
        ASSERT_LE(size, OutlineBufferSize);
        const std::uint8_t* bytes = Cache().GetOutline(font, ch);
        int polygons = 0;
        int at = 0;
        while (at < size) {
            std::uint32_t polygonSize, type;
            std::memcpy(&polygonSize, bytes + at, 4);
            std::memcpy(&type, bytes + at + 4, 4);
            EXPECT_EQ(type, OutlinePolygonType);
            ASSERT_LE(at + int(polygonSize), size);
            int curve = at + OutlinePolygonHeaderSize;
            while (curve < at + int(polygonSize)) {
                std::uint16_t curveType, count;
                std::memcpy(&curveType, bytes + curve, 2);
                std::memcpy(&count, bytes + curve + 2, 2);
                EXPECT_TRUE(curveType == OutlineLines || curveType == OutlineQSpline);
                EXPECT_GE(count, curveType == OutlineQSpline ? 2 : 1);
                curve += OutlineCurveHeaderSize + count * OutlinePointSize;
            }
            EXPECT_EQ(curve, at + int(polygonSize)) << "the curves fill their polygon exactly";
            at += int(polygonSize);
            ++polygons;
        }
        EXPECT_EQ(at, size);
        EXPECT_GE(polygons, ch == L'Ж' ? 1 : 2);
    }
}

// ---------------------------------------------------------------------------
// The path of a character

TEST_F(GlyphCacheTest, PathFollowsTheOutlineInFixedPoint)
{
    // A hand-made outline under a private-use character of a 25-pixel font
    // (descent 5): a line, then a three-point spline whose implied midpoint
    // has odd negative sums, so halving must truncate towards zero.
    const std::size_t font = Cache().GetFont(L"Arial", 25, false, false, false);
    GlyphFont& f = *Cache().fonts[font];
    ASSERT_EQ(f.metrics.descent, 5);
    const wchar_t ch = 0xE000;
    OutlineBytes outline;
    outline.Polygon(0x18000, -0x20000);                  // (1.5, -2)
    outline.Curve(OutlineLines, {{0x40000, -0x20000}});  // (4, -2)
    outline.Curve(OutlineQSpline, {{-3, 0x50001}, {0, 0x60000}, {0x10000, 0x70000}});
    f.abcWidths[ch] = {0, 6, 1};
    f.outlines[ch] = outline.bytes;
    f.outlines[ch].resize(OutlineBufferSize);
    f.outlineSizes[ch] = int(outline.bytes.size());

    const GlyphPath path = Cache().BuildPath(font, ch, false);
    const std::vector<GlyphPath::Vertex> expected = {
        {GlyphPath::MoveTo, 1.5, -2 + 5.0},
        {GlyphPath::LineTo, 4, -2 + 5.0},
        {GlyphPath::Curve3, -3 / 65536.0, 0x50001 / 65536.0 + 5},
        {GlyphPath::Curve3, -1 / 65536.0, 0x58000 / 65536.0 + 5},  // (-3 + 0) / 2 and (0x50001 + 0x60000) / 2
        {GlyphPath::Curve3, 0, 6 + 5.0},
        {GlyphPath::Curve3, 1, 7 + 5.0},
        {GlyphPath::EndPolygonClosed, 0, 0},
        {GlyphPath::Stop, 0, 0},
    };
    ASSERT_EQ(path.Vertices().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(path.Vertices()[i].command, expected[i].command);
        EXPECT_DOUBLE_EQ(path.Vertices()[i].x, expected[i].x);
        EXPECT_DOUBLE_EQ(path.Vertices()[i].y, expected[i].y);
    }

    // With the bar, its rectangle follows the outline, before the stop.
    const GlyphPath underlined = Cache().BuildPath(font, ch, true);
    const std::vector<GlyphPath::Vertex> bar = {
        {GlyphPath::MoveTo, 0, 2.5},
        {GlyphPath::LineTo, 7, 2.5},
        {GlyphPath::LineTo, 7, 5 / 15.0},
        {GlyphPath::LineTo, 0, 5 / 15.0},
        {GlyphPath::EndPolygonClosed, 0, 0},
        {GlyphPath::Stop, 0, 0},
    };
    ASSERT_EQ(underlined.Vertices().size(), expected.size() - 1 + bar.size());
    for (std::size_t i = 0; i < bar.size(); ++i) {
        const GlyphPath::Vertex& v = underlined.Vertices()[expected.size() - 1 + i];
        EXPECT_EQ(v.command, bar[i].command);
        EXPECT_DOUBLE_EQ(v.x, bar[i].x);
        EXPECT_DOUBLE_EQ(v.y, bar[i].y);
    }
}

TEST_F(GlyphCacheTest, RefusedOutlineGivesABackgroundPictureOfTheAdvance)
{
    const std::size_t font = Cache().GetFont(L"Arial", 20, false, false, false);
    GlyphFont& f = *Cache().fonts[font];
    const wchar_t ch = 0xE001;
    f.abcWidths[ch] = {1, 5, 2};
    f.outlines[ch].assign(OutlineBufferSize, 0);
    f.outlineSizes[ch] = -1;

    const GlyphPath path = Cache().BuildPath(font, ch, true);
    EXPECT_TRUE(path.Vertices().empty()) << "a refused outline ends the path at once";

    const TextureRecord& record = Record(Glyph(ch, 20, false));
    EXPECT_EQ(record.imageRect, (Rect {0, 0, 8, 20}));
    EXPECT_TRUE(FindInk(record).Empty());
}

// ---------------------------------------------------------------------------
// Glyph pictures

TEST_F(GlyphCacheTest, TwoRequestsForOneKeyRenderOnce)
{
    const TextureHandle first
        = manager->CreateGlyphTexture(L"k", L'Ж', Ink, 25, L"Arial", false, true, false, TextBackground);
    ASSERT_LT(first, manager->slotCount);
    const std::vector<std::uint32_t> pixels = AllTexels(Record(first));

    // Another style under the same key: nothing is rendered, no font is made.
    const TextureHandle second
        = manager->CreateGlyphTexture(L"k", L'Б', 0xFFFF0000, 14, L"Arial", true, false, true, 0xFFFFFFFF);
    EXPECT_EQ(second, first);
    EXPECT_EQ(Record(first).refCount, 2);
    EXPECT_EQ(Cache().fonts.size(), 1u);
    EXPECT_EQ(AllTexels(Record(first)), pixels);

    manager->ReleaseTexture(second);
    manager->ReleaseTexture(first);
    EXPECT_EQ(manager->FindTexture(L"k"), manager->slotCount);
}

TEST_F(GlyphCacheTest, SpaceIsBackgroundOnlyWithTheSpaceAdvance)
{
    for (int height : {14, 25})
        for (std::uint32_t background : {0x00AFAFAFu, 0x80FF2040u, 0xFFFFFFFFu}) {
            SCOPED_TRACE(testing::Message() << height << " " << std::hex << background);
            const TextureRecord& record = Record(Glyph(L' ', height, false, false, Ink, background));
            const std::size_t font = Cache().GetFont(L"Arial", height, false, false, false);
            EXPECT_EQ(record.imageRect, (Rect {0, 0, Advance(font, L' '), height}));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < record.imageRect.right; ++x)
                    ASSERT_EQ(Texel(record, x, y), background) << x << "," << y;
        }
}

TEST_F(GlyphCacheTest, UnderlineBarSpansTheAdvanceBetweenItsHeights)
{
    for (int height : {16, 25, 40}) {
        SCOPED_TRACE(height);
        const TextureRecord& record = Record(Glyph(L' ', height, false, true, 0xFF000000, 0));
        const std::size_t font = Cache().GetFont(L"Arial", height, false, false, false);
        const double descent = Cache().fonts[font]->metrics.descent;
        const double low = descent / 15;
        const double high = descent * 0.5;
        const int width = record.imageRect.right;
        ASSERT_EQ(width, Advance(font, L' '));
        // Row k from the bottom covers heights k to k + 1; its alpha is the
        // share of that band the bar covers, the same in every column.
        for (int k = 0; k < height; ++k) {
            const double covered = std::clamp(std::min(high, k + 1.0) - std::max(low, double(k)), 0.0, 1.0);
            for (int x = 0; x < width; ++x)
                ASSERT_NEAR(Alpha(Texel(record, x, height - 1 - k)), covered * 255, 3) << "row " << k << " x " << x;
        }
    }
}

// Colour and background pairs: each picture pixel must be the background
// blended with the colour at some alpha by the glyph rule.
struct BlendCase {
    std::uint32_t colour;
    std::uint32_t background;
};

std::uint32_t Blend(std::uint32_t colour, std::uint32_t background, unsigned alpha)
{
    if (alpha == 255)
        return colour | 0xFF000000;
    std::uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const int p = int(background >> shift) & 0xFF;
        const int c = int(colour >> shift) & 0xFF;
        out |= std::uint32_t(((c - p) * int(alpha) + p * 256) >> 8) << shift;
    }
    const unsigned a = background >> 24;
    return out | (alpha + a - ((alpha * a + 255) >> 8)) << 24;
}

TEST_F(GlyphCacheTest, CoverageBlendsTheColourOverTheBackground)
{
    const BlendCase cases[] = {
        {0xFF000000, 0x00AFAFAF},  // the text views' case
        {0xFF000000, 0x80FFFFFF},  // a half-transparent background keeps part of its alpha
        {0x80072134, 0x00FFFFFF},  // a translucent colour never reaches full alpha
    };
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.colour << " on " << c.background);
        const TextureRecord& record = Record(Glyph(L'О', 25, false, false, c.colour, c.background));
        const unsigned maxAlpha = (c.colour >> 24) * 256 >> 8;
        int partial = 0;
        for (int y = 0; y < 25; ++y)
            for (int x = 0; x < record.imageRect.right; ++x) {
                const std::uint32_t p = Texel(record, x, y);
                bool explained = false;
                for (unsigned alpha = 0; alpha <= maxAlpha && !explained; ++alpha)
                    explained = Blend(c.colour, c.background, alpha) == p;
                ASSERT_TRUE(explained) << std::hex << p << " at " << std::dec << x << "," << y;
                partial += p != c.background && Alpha(p) != 255;
            }
        EXPECT_GT(partial, 8) << "the edges are anti-aliased";
    }

    // The text views' case at half coverage: alpha about half, grey to black.
    const TextureRecord& bar = Record(Glyph(L' ', 25, false, true, 0xFF000000, 0x00AFAFAF));
    const std::uint32_t half = Texel(bar, 0, 25 - 1 - 2);  // row 2 from the bottom: heights 2 to 2.5
    EXPECT_NEAR(Alpha(half), 128, 2);
    EXPECT_GT(half & 0xFF, 0u);
    EXPECT_LT(half & 0xFF, 0xAFu);
    EXPECT_EQ(half & 0xFF, (half >> 8) & 0xFF);
    EXPECT_EQ(Texel(bar, 0, 0), 0x00AFAFAFu) << "outside the glyph stays fully transparent";
}

// Straight-edged letters: their ink fills the black box exactly, on the
// baseline, upright.
TEST_F(GlyphCacheTest, InkFillsTheBlackBoxOnTheBaseline)
{
    for (int height : {14, 18, 25})
        for (bool bold : {false, true})
            for (wchar_t ch : std::wstring(L"НТШEL")) {
                SCOPED_TRACE(testing::Message() << height << (bold ? " bold " : " ") << unsigned(ch));
                const TextureRecord& record = Record(Glyph(ch, height, bold, false, Ink, 0));
                const std::size_t font = Cache().GetFont(L"Arial", height, bold, false, false);
                const GlyphMetrics& g = Cache().GetGlyphMetrics(font, ch);
                const int descent = Cache().fonts[font]->metrics.descent;
                const InkBox ink = FindInk(record);
                ASSERT_FALSE(ink.Empty());
                EXPECT_EQ(ink.left, g.originX);
                EXPECT_EQ(ink.right, g.originX + int(g.blackBoxX) - 1);
                EXPECT_EQ(ink.top, height - descent - g.originY);
                EXPECT_EQ(ink.bottom, height - descent - 1) << "capitals stand on the baseline";
                EXPECT_LT(ink.right, record.imageRect.right) << "nothing past the advance";
            }
}

TEST_F(GlyphCacheTest, BoldCyrillicEnHasItsStemsAndBar)
{
    const TextureRecord& record = Record(Glyph(L'Н', 25, true, false, Ink, 0));
    const std::size_t font = Cache().GetFont(L"Arial", 25, true, false, false);
    const GlyphMetrics& g = Cache().GetGlyphMetrics(font, L'Н');
    const int bottom = 25 - 5 - 1;  // the row just above the baseline
    const int top = bottom - g.originY + 1;
    const int left = g.originX;
    const int right = left + int(g.blackBoxX) - 1;
    const int middle = (left + right) / 2;
    const auto stemWidth = [&](int from, int y) {
        double sum = 0;
        for (int x = from; x < from + 5; ++x)
            sum += Alpha(Texel(record, x, y)) / 255.0;
        return sum;
    };
    int barRows = 0;
    for (int y = top; y <= bottom; ++y) {
        SCOPED_TRACE(y);
        // Stems are solid in their middle and about three pixels wide in every row.
        EXPECT_EQ(Alpha(Texel(record, left + 1, y)), 255);
        EXPECT_EQ(Alpha(Texel(record, right - 1, y)), 255);
        const bool bar = Alpha(Texel(record, middle, y)) > 0;
        if (!bar) {
            EXPECT_NEAR(stemWidth(left, y), 3.2, 0.5);
            EXPECT_NEAR(stemWidth(right - 4, y), 3.2, 0.5);
        }
        barRows += Alpha(Texel(record, middle, y)) == 255;
    }
    EXPECT_GE(barRows, 2) << "the bar is solid";
    EXPECT_LE(barRows, 3);
    EXPECT_EQ(Alpha(Texel(record, middle, top)), 0) << "open at the top";
    EXPECT_EQ(Alpha(Texel(record, middle, bottom)), 0) << "open at the bottom";
    EXPECT_EQ(Alpha(Texel(record, left, top - 1)), 0) << "nothing above the capital height";
    for (int x = 0; x < record.imageRect.right; ++x)
        for (int y = bottom + 1; y < 25; ++y)
            EXPECT_EQ(Alpha(Texel(record, x, y)), 0) << "nothing below the baseline at " << x << "," << y;
}

TEST_F(GlyphCacheTest, ItalicAndBoldUseTheirOwnFaces)
{
    // Italic leans: the left stem of Н starts further right at the top than at the bottom.
    const TextureHandle italic
        = manager->CreateGlyphTexture(L"italic Н", L'Н', Ink, 25, L"Arial", true, false, false, 0);
    const TextureRecord& record = Record(italic);
    const auto firstInk = [&](int y) {
        for (int x = 0; x < record.imageRect.right; ++x)
            if (Alpha(Texel(record, x, y)) > 128)
                return x;
        return -1;
    };
    const std::size_t font = Cache().GetFont(L"Arial", 25, false, true, false);
    const GlyphMetrics& g = Cache().GetGlyphMetrics(font, L'Н');
    const int top = 25 - 5 - g.originY;
    EXPECT_GE(firstInk(top + 1) - firstInk(25 - 5 - 2), 2);

    // Bold is wider than regular.
    const std::size_t regular = Cache().GetFont(L"Arial", 25, false, false, false);
    const std::size_t bold = Cache().GetFont(L"Arial", 25, true, false, false);
    EXPECT_GT(Cache().GetGlyphMetrics(bold, L'ы').blackBoxX, Cache().GetGlyphMetrics(regular, L'ы').blackBoxX);
    EXPECT_GT(Advance(bold, L'ы'), Advance(regular, L'ы'));
}

TEST_F(GlyphCacheTest, DescendersGoBelowTheBaselineAndStayInTheCell)
{
    for (wchar_t ch : std::wstring(L"уДрg")) {
        SCOPED_TRACE(unsigned(ch));
        const TextureRecord& record = Record(Glyph(ch, 25, false, false, Ink, 0));
        const InkBox ink = FindInk(record);
        EXPECT_GT(ink.bottom, 25 - 5 - 1);
        EXPECT_LE(ink.bottom, 24);
        EXPECT_GT(ink.top, 0);
    }
}

TEST_F(GlyphCacheTest, OutOfTextureMemoryEvictsAnotherTexture)
{
    GraphicsDevice& device = *manager->Device();
    const TextureHandle blank = manager->CreateBlankTexture(L"blank", 64, 64, PixelFormat::A8R8G8B8);
    device.SetTextureBudget(device.TextureBytes() + 256);
    const TextureHandle glyph = Glyph(L'Ж', 25, false);
    ASSERT_LT(glyph, manager->slotCount);
    EXPECT_FALSE(FindInk(Record(glyph)).Empty());
    EXPECT_NE(Record(glyph).texture, nullptr);
    EXPECT_EQ(Record(0).texture, nullptr) << "the lowest other texture made room";
    EXPECT_NE(blank, manager->slotCount);
}

// ---------------------------------------------------------------------------
// A picture for people: labels in both weights at three sizes, drawn side by
// side over white as a text view would draw them, then a few enlarged so that
// the anti-aliasing can be judged.

class GlyphPictureTest : public GlyphCacheTest {
protected:
    // Draws text at (x, y) with every picture enlarged zoom times; returns its width.
    int DrawLabel(const std::wstring& text, int height, bool bold, int x, int y, int zoom)
    {
        const int start = x;
        for (wchar_t ch : text) {
            const TextureHandle h = Glyph(ch, height, bold);
            const Rect image = manager->ImageRect(h);
            manager->DrawTexture(h, {x, y, x + image.right * zoom, y + image.bottom * zoom}, nullptr, 0xFFFFFFFF, 0.0f);
            x += image.right * zoom;
        }
        return x - start;
    }
};

TEST_F(GlyphPictureTest, LabelsPicture)
{
    manager->BeginFrame();
    manager->Device()->Clear(0xFFFFFFFF);
    int y = 10;
    std::vector<std::pair<int, int>> lines;  // top and height of every line at natural size
    for (int height : {14, 18, 25})
        for (bool bold : {false, true}) {
            EXPECT_GT(DrawLabel(L"Звонкары   Привет, Маша!", height, bold, 10, y, 1), 10 * height / 2);
            lines.emplace_back(y, height);
            y += height + 6;
        }
    DrawLabel(L"Звонкары Маша!", 14, false, 10, y, 4);
    DrawLabel(L"Привет", 25, true, 420, y, 3);
    y += 14 * 4;
    DrawLabel(L"Звонкары Маша!", 14, true, 10, y, 4);
    display.ReadBack(*manager);
    EXPECT_TRUE(HeadlessDisplay::Save(*manager, "glyphs.png"));

    // Ink landed in every line: its darkest pixel is the ink itself.
    for (const auto& [top, height] : lines) {
        int darkest = 255 * 3;
        for (int row = top; row < top + height; ++row)
            for (int x = 10; x < 400; ++x) {
                const std::uint32_t p = display.Pixel(x, row);
                darkest = std::min(darkest, int(p & 0xFF) + int((p >> 8) & 0xFF) + int((p >> 16) & 0xFF));
            }
        EXPECT_LE(darkest, 0x07 + 0x21 + 0x34 + 6) << "line at " << top;
    }
}

}  // namespace
