#pragma once
// The font engine of the program, over FreeType: a FontEngine (what a screen
// device context is to GDI: the one object every font is made from) and the
// PlatformFont it creates, which answers what GDI answers for a TrueType font:
// text metrics, per-character ABC widths, glyph metrics and the native
// quadratic outline in GDI's own byte layout.
//
// A font asked for with cell height H has ascent + descent = H, as GDI does:
// the cell is split in the proportion of the OS/2 Windows ascent and descent,
// and the em is the largest whole number of pixels at which those fit the
// cell. A negative height -E asks for an em of E pixels instead, and the cell
// is E scaled by the Windows ascent plus descent, rounded (the printer's
// "10 points" is an em of 42 pixels at 300 dpi). Glyphs are hinted by the font's own TrueType program with the classic
// interpreter, as GDI runs it, so all widths are whole pixels and widths,
// metrics and outlines agree with one another.
//
// Every face name maps to Liberation Sans (metric-compatible with Arial, the
// face the screens ask for); bold and italic pick the matching file. The
// caller supplies the file's bytes, which must outlive the font.
//
// Leaves out: bitmap strikes, synthetic bold or italic, font linking (a
// character missing from the face gets the face's missing-glyph box),
// transformation matrices, cubic (CFF) outlines, kerning.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct FT_LibraryRec_;
struct FT_FaceRec_;

// TEXTMETRICW, the fields the program reads; pixels.
struct FontTextMetrics {
    int height = 0;           // cell height: ascent + descent
    int ascent = 0;           // baseline to the top of the cell
    int descent = 0;          // baseline to the bottom of the cell
    int internalLeading = 0;  // cell height minus the em height
    int externalLeading = 0;  // extra space the designer asks for between lines
    int aveCharWidth = 0;     // OS/2 average character width
    int maxCharWidth = 0;     // widest advance of the face
    int weight = 400;         // 400 regular, 700 bold
    bool italic = false;
    bool underlined = false;
};

// ABC, pixels: advance = a + b + c.
struct AbcWidths {
    int a = 0;  // left side bearing: origin to the black box
    int b = 0;  // black box width
    int c = 0;  // black box to the next origin
};

// GLYPHMETRICS, pixels, y up from the baseline.
struct GlyphMetrics {
    unsigned blackBoxX = 0;  // black box width (1 for an empty glyph, as GDI reports)
    unsigned blackBoxY = 0;  // black box height (1 for an empty glyph)
    int originX = 0;         // left edge of the black box from the origin
    int originY = 0;         // top edge of the black box above the baseline
    int cellIncX = 0;        // advance
    int cellIncY = 0;        // always 0 for horizontal text
};

// GDI's native outline records, as laid out in the buffer GetNativeOutline
// fills. Points are 16.16 fixed point (low word the fraction, high word the
// signed integer part), in pixels, y up from the baseline at the glyph origin.
inline constexpr std::uint32_t OutlinePolygonType = 24;  // TT_POLYGON_TYPE
inline constexpr std::uint16_t OutlineLines = 1;         // TT_PRIM_LINE: a line to each point
inline constexpr std::uint16_t OutlineQSpline = 2;       // TT_PRIM_QSPLINE: B-spline, implied on-points midway
inline constexpr int OutlinePolygonHeaderSize = 16;      // cb, dwType, pfxStart.x, pfxStart.y
inline constexpr int OutlineCurveHeaderSize = 4;         // wType, cpfx
inline constexpr int OutlinePointSize = 8;               // x, y

struct FontRequest {
    std::wstring face;  // any name; all map to Liberation Sans
    int height = 0;     // cell height in pixels; negative: the em height, as GDI's lfHeight
    bool bold = false;
    bool italic = false;
    bool underline = false;  // recorded in the metrics only: the caller draws the bar
};

class PlatformFont;

// The FreeType library instance; every font must be destroyed before it.
class FontEngine {
public:
    // Null (after one debug line) when FreeType cannot start.
    static std::unique_ptr<FontEngine> Create();
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // The catalogue key of the font file serving (face, bold, italic).
    static std::string_view FileKey(std::wstring_view face, bool bold, bool italic);

    // A font from the bytes of a TrueType file (which must outlive it); null
    // (after one debug line) when the file cannot be read or sized.
    std::unique_ptr<PlatformFont> CreateFont(std::span<const unsigned char> file, const FontRequest& request);

private:
    FontEngine() = default;
    FT_LibraryRec_* library = nullptr;  // owned
};

class PlatformFont {
public:
    ~PlatformFont();
    PlatformFont(const PlatformFont&) = delete;
    PlatformFont& operator=(const PlatformFont&) = delete;

    const FontTextMetrics& TextMetrics() const { return metrics; }

    // GetCharABCWidthsW for one character; false when its glyph cannot be loaded.
    bool GetAbcWidths(wchar_t ch, AbcWidths& widths);
    // The face's glyph for ch; 0, the missing-glyph box, when the face has none.
    unsigned GlyphIndex(wchar_t ch) const;

    // GetGlyphOutlineW(GGO_NATIVE, identity matrix): writes the outline into
    // buffer and returns its byte count, or -1 when the glyph cannot be loaded,
    // its outline is not quadratic, or it does not fit into buffer. The glyph
    // metrics are filled whenever the glyph loads. An empty buffer asks for the
    // size only, as a null buffer does in GDI.
    int GetNativeOutline(wchar_t ch, GlyphMetrics& glyphMetrics, std::span<std::uint8_t> buffer);

private:
    friend class FontEngine;
    explicit PlatformFont(FT_FaceRec_* face)
        : face(face)
    {
    }
    bool LoadGlyph(wchar_t ch);                               // into the face's glyph slot
    void ReadGlyphMetrics(GlyphMetrics& glyphMetrics) const;  // of the loaded glyph

    FT_FaceRec_* face;  // owned; sized once at creation
    FontTextMetrics metrics;
};
