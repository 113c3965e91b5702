#include "reporting/PrintListing.h"

#include <algorithm>
#include <utility>

#include "data/EmbeddedData.h"
#include "platform/FontEngine.h"
#include "platform/Messages.h"
#include "platform/Utf8.h"

namespace {

// The name the printer's queue shows for a printout, and the printer's resolution the listing is laid out in.
constexpr const char* PrintJobName = "Print1: Printing";
constexpr int PrinterDpi = 300;

}  // namespace

ReportHeader MakeReportHeader(
    const std::wstring& title, const std::wstring& catalogueNumber, const std::wstring& pupilName)
{
    return {{L"Номер ЦОР", catalogueNumber}, {L"Название", title}, {L"Ученик", pupilName}};
}

void DrawListing(const PrintListing& listing, PrintDocument& document)
{
    const FontTextMetrics& metrics = document.TextMetrics();
    const int charWidth = metrics.aveCharWidth;
    const int lineHeight = metrics.height + metrics.externalLeading;
    const int pageWidth = document.PageWidth();
    const int pageHeight = document.PageHeight();

    int y = lineHeight;
    document.StartPage();
    for (const auto& [key, value] : listing.header) {
        document.DrawText(charWidth, y, key);
        const int keyWidth = document.TextWidth(key);
        document.DrawText(charWidth + std::max(pageWidth / 2, keyWidth + charWidth), y, value);
        y += lineHeight;
    }
    y += lineHeight;

    bool pageOpen = true;
    for (const std::vector<std::wstring>& row : listing.rows) {
        // The page after a break starts with its first line, so a listing that ends at a break leaves no blank sheet.
        if (!pageOpen) {
            document.StartPage();
            pageOpen = true;
        }
        int x = charWidth;
        for (const std::wstring& cell : row) {
            // Cells past the right edge would be cut off whole; stopping there also keeps x from growing unbounded.
            if (x >= pageWidth)
                break;
            document.DrawText(x, y, cell);
            x += std::max(pageWidth / 2, charWidth + document.TextWidth(cell));
        }
        const int rowY = y;
        y = rowY + lineHeight;
        if (rowY + 2 * lineHeight >= pageHeight) {
            y = lineHeight;
            document.EndPage();
            pageOpen = false;
        }
    }
    if (pageOpen)
        document.EndPage();
}

std::shared_ptr<PrintJob> PrintListingOn(const std::wstring& printer, PrintListing listing)
{
    PrintJob::Request request;
    request.printer = ToUtf8(printer);
    request.name = PrintJobName;
    request.font = FindEmbedded(FontEngine::FileKey(L"Arial", false, false));
    request.dpi = PrinterDpi;
    request.draw = [listing = std::move(listing)](PrintDocument& document) { DrawListing(listing, document); };
    // Wakes the message loop when the job is over, for whoever polls it.
    request.doneMessage = RegisterWindowMessage(L"WM_IM_ONPRINTED");
    return PrintJob::Start(std::move(request));
}
