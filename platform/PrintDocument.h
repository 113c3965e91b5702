#pragma once
// A printed document as a printer sees it: pages of the printable area of a sheet, measured in printer pixels, with
// text in Liberation Sans at 10 points (what a printer writes with when a program chooses no font), made into a PDF
// with cairo. Coordinates are those of a printer's device context: (0, 0) is the top-left corner of the printable
// area, a text's position is the top-left corner of its character cell, and nothing is drawn outside the printable
// area.
//
// Provides: the printable size, the font's text metrics and text widths (whole pixels, hinted, as a device context
// measures them), text, pages, and the finished PDF as bytes. Leaves out: other fonts and sizes, graphics, colour,
// alignment modes, kerning.
//
// A document belongs to the thread that made it; documents on different threads may be made at the same time.

#include "platform/FontEngine.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct _cairo;
struct _cairo_surface;

// A sheet and where on it the printer can print, in printer pixels.
struct PrintPage {
    int dpi = 300;          // printer pixels per inch
    int paperWidth = 2480;  // the whole sheet: A4 at 300 dpi
    int paperHeight = 3508;
    int left = 0;  // hard margins: the edges of the sheet the printer cannot reach
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return paperWidth - left - right; }    // the printable width (HORZRES)
    int Height() const { return paperHeight - top - bottom; }  // the printable height (VERTRES)
};

class PrintDocument {
public:
    // The font is 10 points at the page's resolution, from `fontFile` (a TrueType file that must outlive the
    // document); `title` goes into the PDF's metadata. Null (after one debug line) when the page has no printable
    // area or an unusable resolution, or when the font or cairo cannot start.
    static std::unique_ptr<PrintDocument> Create(
        const PrintPage& page, std::span<const unsigned char> fontFile, const std::string& title);
    ~PrintDocument();
    PrintDocument(const PrintDocument&) = delete;
    PrintDocument& operator=(const PrintDocument&) = delete;

    int PageWidth() const { return page.Width(); }
    int PageHeight() const { return page.Height(); }
    // The font's metrics: aveCharWidth, height and externalLeading are what a listing is laid out by.
    const FontTextMetrics& TextMetrics() const { return font->TextMetrics(); }
    // The advance of `text` drawn in one line, in pixels.
    int TextWidth(std::wstring_view text);

    void StartPage();
    void EndPage();
    // Draws `text` with its cell's top-left corner at (x, y). A control character shows as a space and a character
    // the font lacks as "?", in the width as in the drawing. Outside a page nothing is drawn.
    void DrawText(int x, int y, std::wstring_view text);
    // Pages ended so far.
    int PageCount() const { return pages; }

    // Ends an open page, then the document. The PDF's bytes, or empty (after one debug line) when cairo failed.
    std::string Finish();

private:
    PrintDocument(const PrintPage& page, std::unique_ptr<FontEngine> engine, std::unique_ptr<PlatformFont> font);
    bool StartCairo(std::span<const unsigned char> fontFile, const std::string& title);
    // What is drawn for ch: itself, a space for a control character, "?" for one the font lacks.
    wchar_t Printable(wchar_t ch) const;
    int Advance(wchar_t printable);

    PrintPage page;
    std::unique_ptr<FontEngine> engine;  // this document's FreeType instance; outlives `font`
    std::unique_ptr<PlatformFont> font;  // metrics, widths and glyph numbers
    std::map<wchar_t, int> advances;     // hinted advance per printable character, filled as text is measured
    std::string pdf;                     // the bytes cairo has written so far
    _cairo_surface* surface = nullptr;   // the PDF surface writing into `pdf`; owned
    _cairo* cr = nullptr;                // drawing context in printer pixels, clipped to the printable area
    bool pageOpen = false;               // between StartPage and EndPage
    bool finished = false;               // Finish ran
    int pages = 0;                       // pages ended
};
