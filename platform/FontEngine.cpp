#include "platform/FontEngine.h"

#include "platform/DebugOutput.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void LogFreeTypeError(std::string_view what, FT_Error error)
{
    OutputDebugString(std::string(what) + " failed: FreeType error " + std::to_string(error));
}

// Rounds numerator / denominator (both positive) to the nearest integer.
int RoundedRatio(long long numerator, long long denominator)
{
    return static_cast<int>((numerator + denominator / 2) / denominator);
}

// The vertical design metrics GDI sizes a TrueType font by, in font units.
struct DesignMetrics {
    long winAscent = 0;
    long winDescent = 0;
    long avgCharWidth = 0;
    long lineGap = 0;  // hhea line gap beyond what the Windows metrics already cover
};

DesignMetrics ReadDesignMetrics(FT_Face face)
{
    DesignMetrics design;
    design.winAscent = face->ascender;
    design.winDescent = -face->descender;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        design.winAscent = os2->usWinAscent;
        design.winDescent = os2->usWinDescent;
        design.avgCharWidth = os2->xAvgCharWidth;
    }
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (hhea) {
        const long hheaHeight = hhea->Ascender - hhea->Descender;
        design.lineGap = std::max(0L, hhea->Line_Gap - ((design.winAscent + design.winDescent) - hheaHeight));
    }
    return design;
}

// A point of the hinted outline (26.6) as GDI's FIXED pair (16.16).
struct FixedPoint {
    std::int32_t x;
    std::int32_t y;
};

FixedPoint ToFixed(const FT_Vector& v)
{
    return {static_cast<std::int32_t>(v.x * 1024), static_cast<std::int32_t>(v.y * 1024)};
}

// Appends GDI's native records to a byte vector; the caller copies them out
// only when they fit.
class NativeOutlineWriter {
public:
    // Writes the polygon of one closed contour, or returns false when the
    // contour holds a point that is neither on-curve nor quadratic.
    bool AddContour(const FT_Outline& outline, int first, int last);
    const std::vector<std::uint8_t>& Bytes() const { return bytes; }

private:
    void Put32(std::uint32_t value);
    void Put16(std::uint16_t value);
    void PutPoint(const FixedPoint& p);
    void AddRecord(std::uint16_t type, const std::vector<FixedPoint>& points, std::size_t begin, std::size_t end);

    std::vector<std::uint8_t> bytes;
};

void NativeOutlineWriter::Put32(std::uint32_t value)
{
    std::uint8_t raw[4];
    std::memcpy(raw, &value, 4);
    bytes.insert(bytes.end(), raw, raw + 4);
}

void NativeOutlineWriter::Put16(std::uint16_t value)
{
    std::uint8_t raw[2];
    std::memcpy(raw, &value, 2);
    bytes.insert(bytes.end(), raw, raw + 2);
}

void NativeOutlineWriter::PutPoint(const FixedPoint& p)
{
    Put32(static_cast<std::uint32_t>(p.x));
    Put32(static_cast<std::uint32_t>(p.y));
}

void NativeOutlineWriter::AddRecord(
    std::uint16_t type, const std::vector<FixedPoint>& points, std::size_t begin, std::size_t end)
{
    Put16(type);
    Put16(static_cast<std::uint16_t>(end - begin));
    for (std::size_t i = begin; i < end; ++i)
        PutPoint(points[i]);
}

bool NativeOutlineWriter::AddContour(const FT_Outline& outline, int first, int last)
{
    const int count = last - first + 1;
    // A one-point contour encloses nothing; GDI leaves such contours out.
    if (count < 2)
        return true;
    std::vector<FixedPoint> ring;
    std::vector<bool> onCurve;
    for (int i = first; i <= last; ++i) {
        const int tag = FT_CURVE_TAG(outline.tags[i]);
        if (tag == FT_CURVE_TAG_CUBIC)
            return false;
        ring.push_back(ToFixed(outline.points[i]));
        onCurve.push_back(tag == FT_CURVE_TAG_ON);
    }

    // The polygon starts on the curve: at the first on-curve point, or, in a
    // contour of control points only, at the implied point between the last
    // and the first.
    std::vector<FixedPoint> points;
    std::vector<bool> on;
    const auto firstOn = std::find(onCurve.begin(), onCurve.end(), true);
    if (firstOn == onCurve.end()) {
        const auto mid
            = [](std::int32_t a, std::int32_t b) { return static_cast<std::int32_t>((std::int64_t(a) + b) / 2); };
        points.push_back({mid(ring.back().x, ring.front().x), mid(ring.back().y, ring.front().y)});
        on.push_back(true);
        points.insert(points.end(), ring.begin(), ring.end());
        on.insert(on.end(), onCurve.begin(), onCurve.end());
    } else {
        const auto start = static_cast<std::size_t>(firstOn - onCurve.begin());
        for (std::size_t k = 0; k < ring.size(); ++k) {
            points.push_back(ring[(start + k) % ring.size()]);
            on.push_back(onCurve[(start + k) % ring.size()]);
        }
    }
    // Closing on the start point lets a final spline end where the polygon
    // began; a final run of lines leaves it out, the polygon being closed anyway.
    points.push_back(points.front());
    on.push_back(true);

    const std::size_t headerAt = bytes.size();
    Put32(0);  // the polygon's byte size, known at the end
    Put32(OutlinePolygonType);
    PutPoint(points.front());
    std::size_t i = 1;
    while (i < points.size()) {
        std::size_t end = i;
        if (on[i]) {
            while (end < points.size() && on[end])
                ++end;
            const std::size_t stop = end == points.size() ? end - 1 : end;
            if (stop > i)
                AddRecord(OutlineLines, points, i, stop);
        } else {
            // Control points up to and including the on-curve point that ends the spline.
            while (!on[end])
                ++end;
            ++end;
            AddRecord(OutlineQSpline, points, i, end);
        }
        i = end;
    }
    const auto polygonSize = static_cast<std::uint32_t>(bytes.size() - headerAt);
    std::memcpy(bytes.data() + headerAt, &polygonSize, 4);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// FontEngine

std::unique_ptr<FontEngine> FontEngine::Create()
{
    std::unique_ptr<FontEngine> engine(new FontEngine());
    const FT_Error error = FT_Init_FreeType(&engine->library);
    if (error) {
        engine->library = nullptr;
        LogFreeTypeError("FT_Init_FreeType", error);
        return nullptr;
    }
    // GDI runs the font's hinting program in both directions, so stems land on
    // whole pixels; FreeType's default interpreter hints only vertically.
    // Without the classic one the outlines are merely softer.
    FT_UInt classic = TT_INTERPRETER_VERSION_35;
    const FT_Error propertyError = FT_Property_Set(engine->library, "truetype", "interpreter-version", &classic);
    if (propertyError)
        LogFreeTypeError("FT_Property_Set(interpreter-version 35)", propertyError);
    return engine;
}

FontEngine::~FontEngine()
{
    if (library)
        FT_Done_FreeType(library);
}

std::string_view FontEngine::FileKey(std::wstring_view, bool bold, bool italic)
{
    if (bold)
        return italic ? "LiberationSans-BoldItalic" : "LiberationSans-Bold";
    return italic ? "LiberationSans-Italic" : "LiberationSans-Regular";
}

std::unique_ptr<PlatformFont> FontEngine::CreateFont(std::span<const unsigned char> file, const FontRequest& request)
{
    // FreeType takes sizes up to 0xFFFF pixels per em.
    if (file.empty() || request.height == 0 || request.height < -0xFFFF) {
        OutputDebugString(L"CreateFont: no font file or no height for " + request.face);
        return nullptr;
    }
    FT_Face face = nullptr;
    FT_Error error = FT_New_Memory_Face(library, file.data(), static_cast<FT_Long>(file.size()), 0, &face);
    if (error) {
        LogFreeTypeError("FT_New_Memory_Face", error);
        return nullptr;
    }
    std::unique_ptr<PlatformFont> font(new PlatformFont(face));
    error = FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    if (error) {
        LogFreeTypeError("FT_Select_Charmap", error);
        return nullptr;
    }

    // The cell is split into ascent and descent in the proportion of the
    // Windows ascent and descent. The em is the largest whole number of pixels
    // (TrueType hinting works in whole pixels per em) at which those two, which
    // cover the glyphs of the face, fit the cell; GDI chooses the same way from
    // a font's VDMX table.
    const DesignMetrics design = ReadDesignMetrics(face);
    const long designHeight = design.winAscent + design.winDescent;
    const long unitsPerEm = face->units_per_EM;
    if (designHeight <= 0 || unitsPerEm <= 0) {
        OutputDebugString("CreateFont: the font has no vertical metrics");
        return nullptr;
    }
    int ppem = 0;
    long long height = 0;
    if (request.height > 0) {
        height = request.height;
        ppem = std::max(1, static_cast<int>(height * unitsPerEm / designHeight));
    } else {
        ppem = -request.height;
        height = std::max(1, RoundedRatio(static_cast<long long>(ppem) * designHeight, unitsPerEm));
    }
    const int ascent = RoundedRatio(height * design.winAscent, designHeight);
    const int descent = static_cast<int>(height) - ascent;
    error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem));
    if (error) {
        LogFreeTypeError("FT_Set_Pixel_Sizes", error);
        return nullptr;
    }

    FontTextMetrics& metrics = font->metrics;
    metrics.height = static_cast<int>(height);
    metrics.ascent = ascent;
    metrics.descent = descent;
    metrics.internalLeading = metrics.height - ppem;
    metrics.externalLeading = RoundedRatio(static_cast<long long>(design.lineGap) * ppem, unitsPerEm);
    metrics.aveCharWidth = RoundedRatio(static_cast<long long>(design.avgCharWidth) * ppem, unitsPerEm);
    metrics.maxCharWidth = RoundedRatio(static_cast<long long>(face->max_advance_width) * ppem, unitsPerEm);
    metrics.weight = request.bold ? 700 : 400;
    metrics.italic = request.italic;
    metrics.underlined = request.underline;
    return font;
}

// ---------------------------------------------------------------------------
// PlatformFont

PlatformFont::~PlatformFont()
{
    if (face)
        FT_Done_Face(face);
}

unsigned PlatformFont::GlyphIndex(wchar_t ch) const
{
    // wchar_t is signed on Linux and unsigned on Windows.
    const long long code = ch;
    return code < 0 ? 0 : FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
}

bool PlatformFont::LoadGlyph(wchar_t ch)
{
    const FT_UInt index = GlyphIndex(ch);
    // Hinted (grid-fitted) so that the outline, its black box and the advance
    // are the whole-pixel values text layout measures with.
    const FT_Error error = FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP);
    if (error) {
        LogFreeTypeError("FT_Load_Glyph", error);
        return false;
    }
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        OutputDebugString("FT_Load_Glyph: not an outline glyph");
        return false;
    }
    return true;
}

void PlatformFont::ReadGlyphMetrics(GlyphMetrics& glyphMetrics) const
{
    const FT_Glyph_Metrics& m = face->glyph->metrics;
    // Grid-fitted metrics are whole pixels already; floor and ceiling keep
    // the black box around every pixel the outline touches.
    const long left = m.horiBearingX >> 6;
    const long right = (m.horiBearingX + m.width + 63) >> 6;
    const long top = (m.horiBearingY + 63) >> 6;
    const long bottom = (m.horiBearingY - m.height) >> 6;
    glyphMetrics.originX = static_cast<int>(left);
    glyphMetrics.originY = static_cast<int>(top);
    // GDI reports an empty glyph (a space) as a one-pixel box.
    glyphMetrics.blackBoxX = static_cast<unsigned>(std::max(1L, right - left));
    glyphMetrics.blackBoxY = static_cast<unsigned>(std::max(1L, top - bottom));
    glyphMetrics.cellIncX = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    glyphMetrics.cellIncY = 0;
}

int PlatformFont::GetNativeOutline(wchar_t ch, GlyphMetrics& glyphMetrics, std::span<std::uint8_t> buffer)
{
    if (!LoadGlyph(ch))
        return -1;
    ReadGlyphMetrics(glyphMetrics);
    const FT_Outline& outline = face->glyph->outline;
    NativeOutlineWriter writer;
    int first = 0;
    for (int contour = 0; contour < outline.n_contours; ++contour) {
        const int last = outline.contours[contour];
        if (!writer.AddContour(outline, first, last)) {
            OutputDebugString("GetNativeOutline: the outline is not quadratic");
            return -1;
        }
        first = last + 1;
    }
    const std::vector<std::uint8_t>& bytes = writer.Bytes();
    if (buffer.empty())
        return static_cast<int>(bytes.size());
    if (bytes.size() > buffer.size())
        return -1;
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return static_cast<int>(bytes.size());
}

bool PlatformFont::GetAbcWidths(wchar_t ch, AbcWidths& widths)
{
    // GDI derives the ABC widths from the glyph metrics, black box included.
    if (!LoadGlyph(ch))
        return false;
    GlyphMetrics glyph;
    ReadGlyphMetrics(glyph);
    widths.a = glyph.originX;
    widths.b = static_cast<int>(glyph.blackBoxX);
    widths.c = glyph.cellIncX - widths.a - widths.b;
    return true;
}
