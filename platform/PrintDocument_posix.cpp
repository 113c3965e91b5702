#include "platform/PrintDocument.h"

#include "platform/DebugOutput.h"
#include "platform/Utf8.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>
#include <vector>

namespace {

constexpr int PointsPerInch = 72;
constexpr int FontPoints = 10;
constexpr int MaxDpi = 4800;

// The em of a 10-point font at `dpi`, rounded as a device context rounds a point size (MulDiv).
int FontEmPixels(int dpi)
{
    return (FontPoints * dpi + PointsPerInch / 2) / PointsPerInch;
}

// cairo's face for the font file, made once per file and kept for the whole run. cairo keeps font faces in caches of
// its own beyond the last reference, so a face tied to a document could outlive the FreeType face under it; one
// long-lived face per file has no such hazard. cairo locks the FreeType face around every use, so documents on
// several threads share it safely; nothing else touches that FreeType face.
cairo_font_face_t* SharedCairoFace(std::span<const unsigned char> file)
{
    static std::mutex mutex;
    static FT_Library library = nullptr;
    static std::map<const unsigned char*, cairo_font_face_t*> faces;

    std::lock_guard lock(mutex);
    if (auto found = faces.find(file.data()); found != faces.end())
        return found->second;
    if (!library && FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        OutputDebugString("PrintDocument: FreeType does not start");
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, file.data(), static_cast<FT_Long>(file.size()), 0, &face) != 0) {
        OutputDebugString("PrintDocument: the font file cannot be read");
        return nullptr;
    }
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, FT_LOAD_NO_HINTING);
    if (cairo_font_face_status(cairoFace) != CAIRO_STATUS_SUCCESS) {
        OutputDebugString(std::string("PrintDocument: cairo font face: ")
            + cairo_status_to_string(cairo_font_face_status(cairoFace)));
        cairo_font_face_destroy(cairoFace);
        FT_Done_Face(face);
        return nullptr;
    }
    faces.emplace(file.data(), cairoFace);
    return cairoFace;
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

bool IsControl(wchar_t ch)
{
    return (ch >= 0 && ch < 0x20) || (ch >= 0x7F && ch < 0xA0);
}

}  // namespace

std::unique_ptr<PrintDocument> PrintDocument::Create(
    const PrintPage& page, std::span<const unsigned char> fontFile, const std::string& title)
{
    if (page.dpi <= 0 || page.dpi > MaxDpi || page.Width() <= 0 || page.Height() <= 0 || page.left < 0 || page.top < 0
        || page.right < 0 || page.bottom < 0) {
        OutputDebugString("PrintDocument: the page has no printable area");
        return nullptr;
    }
    std::unique_ptr<FontEngine> engine = FontEngine::Create();
    if (!engine)
        return nullptr;
    FontRequest request;
    request.face = L"Arial";
    request.height = -FontEmPixels(page.dpi);
    std::unique_ptr<PlatformFont> font = engine->CreateFont(fontFile, request);
    if (!font)
        return nullptr;
    std::unique_ptr<PrintDocument> document(new PrintDocument(page, std::move(engine), std::move(font)));
    if (!document->StartCairo(fontFile, title))
        return nullptr;
    return document;
}

PrintDocument::PrintDocument(
    const PrintPage& page, std::unique_ptr<FontEngine> engine, std::unique_ptr<PlatformFont> font)
    : page(page)
    , engine(std::move(engine))
    , font(std::move(font))
{
}

bool PrintDocument::StartCairo(std::span<const unsigned char> fontFile, const std::string& title)
{
    cairo_font_face_t* face = SharedCairoFace(fontFile);
    if (!face)
        return false;
    const double toPoints = static_cast<double>(PointsPerInch) / page.dpi;
    surface = cairo_pdf_surface_create_for_stream(
        AppendToString, &pdf, page.paperWidth * toPoints, page.paperHeight * toPoints);
    cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        OutputDebugString(std::string("PrintDocument: cairo: ") + cairo_status_to_string(cairo_status(cr)));
        return false;
    }
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Zvonkary");

    // Printer pixels from the printable area's corner; shown pages keep this state.
    cairo_scale(cr, toPoints, toPoints);
    cairo_translate(cr, page.left, page.top);
    cairo_rectangle(cr, 0, 0, page.Width(), page.Height());
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, FontEmPixels(page.dpi));
    // The glyphs are placed at the hinted advances this document measures with.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    return true;
}

PrintDocument::~PrintDocument()
{
    if (cr)
        cairo_destroy(cr);
    if (surface) {
        // Finishing writes into `pdf`, which is still alive here.
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
    }
}

wchar_t PrintDocument::Printable(wchar_t ch) const
{
    if (IsControl(ch))
        return L' ';
    return font->GlyphIndex(ch) != 0 ? ch : L'?';
}

int PrintDocument::Advance(wchar_t printable)
{
    auto found = advances.find(printable);
    if (found != advances.end())
        return found->second;
    AbcWidths widths;
    const int advance = font->GetAbcWidths(printable, widths) ? widths.a + widths.b + widths.c : 0;
    advances.emplace(printable, advance);
    return advance;
}

int PrintDocument::TextWidth(std::wstring_view text)
{
    // Saturates far beyond any sheet, so sums of widths cannot overflow either.
    constexpr int Limit = 1 << 24;
    int width = 0;
    for (wchar_t ch : text) {
        width += Advance(Printable(ch));
        if (width >= Limit)
            return Limit;
    }
    return width;
}

void PrintDocument::StartPage()
{
    pageOpen = !finished;
}

void PrintDocument::EndPage()
{
    if (!pageOpen)
        return;
    cairo_show_page(cr);
    pageOpen = false;
    ++pages;
}

void PrintDocument::DrawText(int x, int y, std::wstring_view text)
{
    if (!pageOpen || text.empty() || x >= page.Width() || y >= page.Height())
        return;
    // One glyph per character and one cluster per glyph, so the PDF's text reads back as the characters drawn.
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    std::string utf8;
    glyphs.reserve(text.size());
    clusters.reserve(text.size());
    const double baseline = y + TextMetrics().ascent;
    int pen = x;
    for (wchar_t ch : text) {
        // The rest would fall outside the printable area, which cuts it off anyway.
        if (pen >= page.Width())
            break;
        const wchar_t printable = Printable(ch);
        const std::string bytes = ToUtf8(std::wstring_view(&printable, 1));
        glyphs.push_back({font->GlyphIndex(printable), static_cast<double>(pen), baseline});
        clusters.push_back({static_cast<int>(bytes.size()), 1});
        utf8 += bytes;
        pen += Advance(printable);
    }
    cairo_show_text_glyphs(cr, utf8.data(), static_cast<int>(utf8.size()), glyphs.data(),
        static_cast<int>(glyphs.size()), clusters.data(), static_cast<int>(clusters.size()),
        static_cast<cairo_text_cluster_flags_t>(0));
}

std::string PrintDocument::Finish()
{
    if (finished)
        return {};
    EndPage();
    finished = true;
    cairo_destroy(cr);
    cr = nullptr;
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    surface = nullptr;
    if (status != CAIRO_STATUS_SUCCESS) {
        OutputDebugString(std::string("PrintDocument: the PDF is not made: ") + cairo_status_to_string(status));
        return {};
    }
    return std::move(pdf);
}
