#pragma once
// The glyph cache: fonts with their per-character widths, glyph metrics and
// outlines, each asked of the font engine once; the vector path of a
// character built from its outline; and the anti-aliased rendering of that
// path, in a colour on a background, into a glyph picture of the texture table.
// Text is drawn only through such pictures. Owned by the resource manager;
// main thread only.

#include "platform/FontEngine.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IMResourceManager;
using TextureHandle = unsigned;

// Bytes of every outline buffer; an outline that does not fit is refused.
inline constexpr int OutlineBufferSize = 16352;

// One font of the cache; every map is filled on first use of a character.
struct GlyphFont {
    std::wstring face;                                      // as asked for
    int height = 0;                                         // character cell height in pixels
    std::uint8_t bold = 0;                                  // 0 or 1
    std::uint8_t italic = 0;                                // 0 or 1
    std::uint8_t underline = 0;                             // of the request that created the font
    FontTextMetrics metrics;                                // read once at creation
    std::map<wchar_t, AbcWidths> abcWidths;                 // character -> A, B, C
    std::map<wchar_t, GlyphMetrics> glyphMetrics;           // character -> black box, origin, increment
    std::map<wchar_t, std::vector<std::uint8_t>> outlines;  // character -> native outline buffer
    std::map<wchar_t, int> outlineSizes;                    // character -> outline bytes; < 0: refused
    std::unique_ptr<PlatformFont> hFont;                    // null when the font engine refused the font
};

// The path of one character as a sequence of commands with points, y up, the
// baseline `descent` above the picture's bottom edge. It is an AGG vertex
// source, hence the two lower-case operations AGG calls.
class GlyphPath {
public:
    enum Command : std::uint8_t {
        Stop = 0,
        MoveTo = 1,
        LineTo = 2,
        Curve3 = 3,               // comes in pairs: control point, end point
        EndPolygonClosed = 0x5F,  // end of polygon with the close flag
    };
    struct Vertex {
        std::uint8_t command;
        double x;
        double y;
    };

    GlyphPath() { vertices.reserve(256); }
    void Reserve(std::size_t count);
    void Add(std::uint8_t command, double x, double y) { vertices.push_back({command, x, y}); }
    const std::vector<Vertex>& Vertices() const { return vertices; }

    void rewind(unsigned) { next = 0; }
    unsigned vertex(double* x, double* y);

private:
    std::vector<Vertex> vertices;
    std::size_t next = 0;  // the vertex AGG reads next
};

class IMGlyphCache {
public:
    IMGlyphCache();
    ~IMGlyphCache();
    IMGlyphCache(const IMGlyphCache&) = delete;
    IMGlyphCache& operator=(const IMGlyphCache&) = delete;

    // The index in fonts of the font (face, height, bold, italic), created on
    // first request; a request differing only in underline shares it.
    std::size_t GetFont(const std::wstring& face, int height, bool bold, bool italic, bool underline);

    // Per-character queries of fonts[font], cached. A character the engine
    // refuses has zero widths and metrics and an outline size below zero.
    const AbcWidths& GetAbcWidths(std::size_t font, wchar_t ch);
    const GlyphMetrics& GetGlyphMetrics(std::size_t font, wchar_t ch);
    const std::uint8_t* GetOutline(std::size_t font, wchar_t ch);  // OutlineBufferSize bytes
    int GetOutlineSize(std::size_t font, wchar_t ch);

    // The path of ch in fonts[font], with the underline bar when underline is set.
    GlyphPath BuildPath(std::size_t font, wchar_t ch, bool underline);

    // IMResourceManager::CreateGlyphTexture: the glyph picture of ch registered
    // in manager's texture table under key, or one more reference to the one
    // registered already.
    TextureHandle CreateGlyphTexture(IMResourceManager& manager, const std::wstring& key, wchar_t ch,
        std::uint32_t colour, int height, const std::wstring& face, bool italic, bool bold, bool underline,
        std::uint32_t background);

    std::vector<std::unique_ptr<GlyphFont>> fonts;  // searched in order; never shrinks
    std::unique_ptr<FontEngine> fontDC;             // made with the first font; outlives every font

private:
    void LoadOutline(GlyphFont& font, wchar_t ch);  // fills glyphMetrics, outlines, outlineSizes for ch
};
