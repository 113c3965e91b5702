#pragma once
// Fonts and their per-character caches (widths, glyph metrics, outlines), and
// the rendering of one character into a glyph picture. Owned by the resource
// manager; main thread only.
//
// (Placeholder interface: filled in with the font engine.)

class IMGlyphCache {
public:
};
