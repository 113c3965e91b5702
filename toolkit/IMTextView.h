#pragma once
// The text view: every character is a glyph picture from the glyph cache
// (already coloured and styled), laid out in one line or wrapped within the
// view's width; the paint pass draws only the lines that meet the clip.
// Layout after an edit starts at the first changed glyph.

#include "render/IMResourceManager.h"
#include "toolkit/IMView.h"

#include <memory>
#include <string>
#include <vector>

struct IMGlyph {
    TextureHandle texture = NoTexture;  // the glyph picture, one reference held
    wchar_t ch = 0;
    Rect rect;                 // relative to the view's top-left corner
    std::uint32_t colour = 0;  // the style at creation
    bool underline = false;
    bool bold = false;
    bool italic = false;
    int size = 0;
    std::wstring face;
    std::wstring cacheKey;
    std::uint32_t backColour = 0;
};

class IMTextView : public IMView {
public:
    IMTextView() = default;
    ~IMTextView() override;

    void SetText(const std::wstring& text);
    std::wstring GetText() const;
    virtual void InsertText(int position, const std::wstring& text);
    virtual void EraseText(int position, int count);
    // Null keeps the current value.
    void SetStyle(const std::uint32_t* colour, const bool* underline, const bool* bold, const bool* italic,
        const int* size, const std::wstring* face, const std::uint32_t* back);
    void Layout(int from);
    void Draw() override;

    int GlyphCount() const { return int(glyphs.size()); }
    wchar_t GetGlyphChar(int i) const;
    Rect GetGlyphRect(int i) const;
    std::uint32_t GetGlyphColour(int i) const;
    std::wstring GetGlyphFace(int i) const;

    std::uint32_t textColour = 0xFFFFFFFF;
    std::uint32_t backColour = 0x00AFAFAF;
    bool wrap = false;
    bool underline = false;
    bool bold = false;
    bool italic = false;
    int fontSize = 16;
    std::wstring fontFace = L"Arial";
    std::vector<std::unique_ptr<IMGlyph>> glyphs;  // one per character, in text order
    int minLineHeight = 16;                        // wrapping: empty line height and lower bound
    std::vector<int> lineStarts {0};               // first glyph index of each line

private:
    std::unique_ptr<IMGlyph> MakeGlyph(wchar_t c) const;
    // Gives glyph the view's current style and the cache key that goes with it.
    void ApplyStyle(IMGlyph& glyph) const;
    // Requests the glyph's picture for its current style into texture.
    static void RequestPicture(IMGlyph& glyph);
    static void ReleasePicture(IMGlyph& glyph);
    Rect LaidOutExtent() const;
};

// The glyph-cache key: face, character, size, colour, bold, underline, italic,
// back colour and 0, numbers in signed decimal.
std::wstring GlyphCacheKey(const IMGlyph& glyph);
