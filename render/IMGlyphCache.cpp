#include "render/IMGlyphCache.h"

#include "data/EmbeddedData.h"
#include "platform/DebugOutput.h"
#include "render/CurveFlattening.h"
#include "render/IMResourceManager.h"

#include <agg_basics.h>
#include <agg_color_rgba.h>
#include <agg_conv_curve.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>

#include <algorithm>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Reading the native outline

std::uint32_t Read32(const std::uint8_t* p)
{
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

std::uint16_t Read16(const std::uint8_t* p)
{
    std::uint16_t value;
    std::memcpy(&value, p, 2);
    return value;
}

// A FIXED coordinate: the low word is the fraction, the high word the signed
// integer part.
double FixedToDouble(std::int32_t raw)
{
    const auto fraction = static_cast<std::uint16_t>(static_cast<std::uint32_t>(raw) & 0xFFFF);
    const auto integer = static_cast<std::int16_t>(static_cast<std::uint32_t>(raw) >> 16);
    return fraction / 65536.0 + integer;
}

struct RawPoint {
    std::int32_t x;
    std::int32_t y;
};

RawPoint ReadPoint(const std::uint8_t* p)
{
    return {static_cast<std::int32_t>(Read32(p)), static_cast<std::int32_t>(Read32(p + 4))};
}

// Midway between two implied on-curve neighbours, on the raw values, so that
// the halving truncates towards zero exactly as integer division does.
RawPoint Midpoint(const RawPoint& a, const RawPoint& b)
{
    return {static_cast<std::int32_t>((std::int64_t(a.x) + b.x) / 2),
        static_cast<std::int32_t>((std::int64_t(a.y) + b.y) / 2)};
}

// Appends the points of an outline to a path, moving the baseline up by descent.
class OutlineToPath {
public:
    OutlineToPath(GlyphPath& path, double descent)
        : path(path)
        , descent(descent)
    {
    }

    void Add(std::uint8_t command, const RawPoint& p)
    {
        path.Add(command, FixedToDouble(p.x), FixedToDouble(p.y) + descent);
    }

    // One TTPOLYCURVE's points (n of them at points).
    void AddCurve(std::uint16_t type, const std::uint8_t* points, int n)
    {
        if (type == OutlineLines) {
            for (int i = 0; i < n; ++i)
                Add(GlyphPath::LineTo, ReadPoint(points + i * OutlinePointSize));
        } else if (type == OutlineQSpline) {
            for (int i = 0; i + 1 < n; ++i) {
                const RawPoint control = ReadPoint(points + i * OutlinePointSize);
                const RawPoint following = ReadPoint(points + (i + 1) * OutlinePointSize);
                Add(GlyphPath::Curve3, control);
                Add(GlyphPath::Curve3, i == n - 2 ? following : Midpoint(control, following));
            }
        }
    }

    // One TTPOLYGONHEADER and its curves; false when the record runs past end.
    bool AddPolygon(const std::uint8_t*& at, const std::uint8_t* end)
    {
        if (end - at < OutlinePolygonHeaderSize)
            return false;
        const std::uint32_t polygonSize = Read32(at);
        if (polygonSize < std::uint32_t(OutlinePolygonHeaderSize) || polygonSize > std::size_t(end - at))
            return false;
        const std::uint8_t* polygonEnd = at + polygonSize;
        Add(GlyphPath::MoveTo, ReadPoint(at + 8));
        const std::uint8_t* curve = at + OutlinePolygonHeaderSize;
        while (polygonEnd - curve >= OutlineCurveHeaderSize) {
            const std::uint16_t type = Read16(curve);
            const int n = Read16(curve + 2);
            const std::uint8_t* points = curve + OutlineCurveHeaderSize;
            if (polygonEnd - points < std::ptrdiff_t(n) * OutlinePointSize)
                return false;
            AddCurve(type, points, n);
            curve = points + n * OutlinePointSize;
        }
        path.Add(GlyphPath::EndPolygonClosed, 0, 0);
        at = polygonEnd;
        return true;
    }

private:
    GlyphPath& path;
    double descent;
};

// ---------------------------------------------------------------------------
// Rasterising into the texture

// An AGG pixel format over B, G, R, A bytes that blends with straight alpha by
// the glyph rule: alpha = colour.A x (coverage + 1) / 256; full alpha copies
// the colour, anything less moves each channel towards the colour's by alpha
// and combines the alphas as layered coverage. It implements only what the
// base renderer and the solid scanline renderer call.
class GlyphPixelFormat {
public:
    using color_type = agg::rgba8;
    using row_data = agg::rendering_buffer::row_data;

    explicit GlyphPixelFormat(agg::rendering_buffer& buffer)
        : buffer(buffer)
    {
    }

    unsigned width() const { return buffer.width(); }
    unsigned height() const { return buffer.height(); }

    void copy_hline(int x, int y, unsigned len, const color_type& c)
    {
        std::uint8_t* p = buffer.row_ptr(y) + x * 4;
        for (unsigned i = 0; i < len; ++i, p += 4)
            Copy(p, c);
    }

    void blend_hline(int x, int y, unsigned len, const color_type& c, agg::int8u cover)
    {
        std::uint8_t* p = buffer.row_ptr(y) + x * 4;
        for (unsigned i = 0; i < len; ++i, p += 4)
            Blend(p, c, cover);
    }

    void blend_solid_hspan(int x, int y, unsigned len, const color_type& c, const agg::int8u* covers)
    {
        std::uint8_t* p = buffer.row_ptr(y) + x * 4;
        for (unsigned i = 0; i < len; ++i, p += 4)
            Blend(p, c, covers[i]);
    }

private:
    static void Copy(std::uint8_t* p, const color_type& c)
    {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
        p[3] = c.a;
    }

    static void Blend(std::uint8_t* p, const color_type& c, unsigned cover)
    {
        const unsigned alpha = (unsigned(c.a) * (cover + 1)) >> 8;
        if (alpha == 255) {
            Copy(p, c);
            return;
        }
        // (colour - p) x alpha + p x 256 is never negative, so plain int arithmetic is exact.
        const auto towards = [alpha](int channel, int target) {
            return static_cast<std::uint8_t>(((target - channel) * int(alpha) + channel * 256) >> 8);
        };
        p[0] = towards(p[0], c.b);
        p[1] = towards(p[1], c.g);
        p[2] = towards(p[2], c.r);
        const unsigned a = p[3];
        p[3] = static_cast<std::uint8_t>(alpha + a - ((alpha * a + 255) >> 8));
    }

    agg::rendering_buffer& buffer;
};

agg::rgba8 FromArgb(std::uint32_t argb)
{
    return agg::rgba8((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
}

// Clears the w x h picture at the top of the locked bits to background and
// fills path over it in colour. The buffer's rows run bottom-up (negative
// stride) because the path's y axis points up from the bottom edge.
void RasterisePath(
    std::uint8_t* bits, int pitch, int w, int h, GlyphPath& path, std::uint32_t colour, std::uint32_t background)
{
    agg::rendering_buffer buffer(bits, unsigned(w), unsigned(h), -pitch);
    GlyphPixelFormat pixels(buffer);
    agg::renderer_base<GlyphPixelFormat> base(pixels);
    base.clear(FromArgb(background));

    agg::rasterizer_scanline_aa<> rasterizer;
    rasterizer.filling_rule(agg::fill_non_zero);
    agg::conv_curve<GlyphPath, QuadraticCurve, CubicCurve> curves(path);
    rasterizer.add_path(curves);
    agg::scanline_p8 scanline;
    agg::renderer_scanline_aa_solid<agg::renderer_base<GlyphPixelFormat>> solid(base);
    solid.color(FromArgb(colour));
    agg::render_scanlines(rasterizer, scanline, solid);
}

}  // namespace

// ---------------------------------------------------------------------------
// GlyphPath

void GlyphPath::Reserve(std::size_t count)
{
    if (count > vertices.capacity())
        vertices.reserve(count);
}

unsigned GlyphPath::vertex(double* x, double* y)
{
    if (next >= vertices.size())
        return agg::path_cmd_stop;
    const Vertex& v = vertices[next++];
    *x = v.x;
    *y = v.y;
    return v.command;
}

// ---------------------------------------------------------------------------
// Fonts and their per-character caches

IMGlyphCache::IMGlyphCache() = default;

IMGlyphCache::~IMGlyphCache()
{
    // Every font is made from the engine, so the fonts go first.
    fonts.clear();
    fontDC.reset();
}

std::size_t IMGlyphCache::GetFont(const std::wstring& face, int height, bool bold, bool italic, bool underline)
{
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        const GlyphFont& f = *fonts[i];
        if (f.face == face && f.height == height && f.bold == bold && f.italic == italic)
            return i;
    }
    auto font = std::make_unique<GlyphFont>();
    font->face = face;
    font->height = height;
    font->bold = bold;
    font->italic = italic;
    font->underline = underline;
    if (!fontDC)
        fontDC = FontEngine::Create();
    if (fontDC) {
        const FontRequest request {face, height, bold, italic, underline};
        font->hFont = fontDC->CreateFont(FindEmbedded(FontEngine::FileKey(face, bold, italic)), request);
        if (font->hFont)
            font->metrics = font->hFont->TextMetrics();
    }
    fonts.push_back(std::move(font));
    return fonts.size() - 1;
}

const AbcWidths& IMGlyphCache::GetAbcWidths(std::size_t font, wchar_t ch)
{
    GlyphFont& f = *fonts.at(font);
    auto found = f.abcWidths.find(ch);
    if (found != f.abcWidths.end())
        return found->second;
    AbcWidths widths;
    if (!f.hFont || !f.hFont->GetAbcWidths(ch, widths))
        widths = {};
    return f.abcWidths.emplace(ch, widths).first->second;
}

void IMGlyphCache::LoadOutline(GlyphFont& font, wchar_t ch)
{
    std::vector<std::uint8_t> buffer(OutlineBufferSize);
    GlyphMetrics metrics;
    int size = -1;
    if (font.hFont)
        size = font.hFont->GetNativeOutline(ch, metrics, buffer);
    if (size < 0)
        OutputDebugString(L"no outline for character " + std::to_wstring(unsigned(ch)) + L" of " + font.face);
    font.glyphMetrics[ch] = metrics;
    font.outlines[ch] = std::move(buffer);
    font.outlineSizes[ch] = size;
}

const GlyphMetrics& IMGlyphCache::GetGlyphMetrics(std::size_t font, wchar_t ch)
{
    GlyphFont& f = *fonts.at(font);
    if (!f.glyphMetrics.contains(ch))
        LoadOutline(f, ch);
    return f.glyphMetrics[ch];
}

const std::uint8_t* IMGlyphCache::GetOutline(std::size_t font, wchar_t ch)
{
    GlyphFont& f = *fonts.at(font);
    if (!f.outlines.contains(ch))
        LoadOutline(f, ch);
    return f.outlines[ch].data();
}

int IMGlyphCache::GetOutlineSize(std::size_t font, wchar_t ch)
{
    GlyphFont& f = *fonts.at(font);
    if (!f.outlineSizes.contains(ch))
        LoadOutline(f, ch);
    return f.outlineSizes[ch];
}

// ---------------------------------------------------------------------------
// The path of a character

GlyphPath IMGlyphCache::BuildPath(std::size_t font, wchar_t ch, bool underline)
{
    const AbcWidths& abc = GetAbcWidths(font, ch);
    const int advance = abc.a + abc.b + abc.c;
    const double descent = fonts[font]->metrics.descent;

    GlyphPath path;
    const int size = GetOutlineSize(font, ch);
    if (size < 0)
        return path;
    path.Reserve(std::size_t(size) / 8 + 256);
    const std::uint8_t* at = GetOutline(font, ch);
    const std::uint8_t* end = at + size;
    OutlineToPath converter(path, descent);
    while (at < end)
        if (!converter.AddPolygon(at, end)) {
            OutputDebugString(L"malformed outline of character " + std::to_wstring(unsigned(ch)));
            break;
        }

    if (underline) {
        path.Add(GlyphPath::MoveTo, 0, descent * 0.5);
        path.Add(GlyphPath::LineTo, advance, descent * 0.5);
        path.Add(GlyphPath::LineTo, advance, descent / 15);
        path.Add(GlyphPath::LineTo, 0, descent / 15);
        path.Add(GlyphPath::EndPolygonClosed, 0, 0);
    }
    path.Add(GlyphPath::Stop, 0, 0);
    return path;
}

// ---------------------------------------------------------------------------
// Glyph pictures

TextureHandle IMGlyphCache::CreateGlyphTexture(IMResourceManager& manager, const std::wstring& key, wchar_t ch,
    std::uint32_t colour, int height, const std::wstring& face, bool italic, bool bold, bool underline,
    std::uint32_t background)
{
    const TextureHandle found = manager.Loaded(key);
    if (found < manager.slotCount)
        return found;

    const std::size_t font = GetFont(face, height, bold, italic, underline);
    GlyphPath path = BuildPath(font, ch, underline);
    const AbcWidths& abc = GetAbcWidths(font, ch);
    const int w = std::max(1, abc.a + abc.b + abc.c);
    const int h = std::max(1, fonts[font]->metrics.height);

    std::unique_ptr<DeviceTexture> texture;
    manager.WithEviction(key, [&] { texture = manager.CreatePow2Texture(w, h, PixelFormat::A8R8G8B8); });
    if (!texture)
        return manager.slotCount;
    std::uint8_t* bits = texture->Lock();
    RasterisePath(bits, texture->Pitch(), w, h, path, colour, background);
    texture->Unlock();
    // After a loss the glyph is rasterised again from its font, which lives as long as the cache.
    auto remake = [this, &manager, font, ch, underline, w, h, colour, background] {
        std::unique_ptr<DeviceTexture> again = manager.CreatePow2Texture(w, h, PixelFormat::A8R8G8B8);
        if (again) {
            GlyphPath outline = BuildPath(font, ch, underline);
            RasterisePath(again->Lock(), again->Pitch(), w, h, outline, colour, background);
            again->Unlock();
        }
        return again;
    };
    return manager.Register(key, std::move(texture), w, h, PixelFormat::A8R8G8B8, std::move(remake));
}

TextureHandle IMResourceManager::CreateGlyphTexture(const std::wstring& key, wchar_t ch, std::uint32_t colour,
    int height, const std::wstring& face, bool italic, bool bold, bool underline, std::uint32_t background)
{
    return glyphCache.CreateGlyphTexture(*this, key, ch, colour, height, face, italic, bold, underline, background);
}
