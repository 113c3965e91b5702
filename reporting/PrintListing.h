#pragma once
// The printed listing of a pupil's statistics: the header lines (title, resource number, pupil) and then every row of
// the worksheet, one line per row, the cells side by side. The listing is a plain copy of the texts, so it can be
// drawn on the worker thread that makes the print job while the workbook goes on changing.
//
// Layout, in printer pixels of the printable area, with charWidth the font's average character width and lineHeight
// its cell height plus external leading: the first line at y = lineHeight; a header line draws its key at charWidth
// and its value at charWidth + max(pageWidth / 2, key width + charWidth); one empty line; then each row draws its
// cells from x = charWidth, each next cell max(pageWidth / 2, charWidth + text width) further right. After a row at
// y, the next one goes lineHeight lower, or to y = lineHeight on a new page when y + 2 * lineHeight reaches the page
// height. The header has no page break.

#include "platform/PrintDocument.h"
#include "platform/PrintJob.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A printout's header: key -> value, printed in key order.
using ReportHeader = std::map<std::wstring, std::wstring>;

// The header of the result screen's printout, under its three keys ("Название", "Номер ЦОР", "Ученик").
ReportHeader MakeReportHeader(
    const std::wstring& title, const std::wstring& catalogueNumber, const std::wstring& pupilName);

struct PrintListing {
    std::vector<std::pair<std::wstring, std::wstring>> header;  // key and value, in printing order
    std::vector<std::vector<std::wstring>> rows;                // each row's cell texts; an empty row prints empty
};

// Draws `listing` into `document`, from its first page on. Pages start only for lines that are drawn, so a listing
// that fills its last page exactly has no empty page after it.
void DrawListing(const PrintListing& listing, PrintDocument& document);

// Prints `listing` on the CUPS printer `printer` as the job "Print1: Printing": the page is asked of the printer, and
// the document made and handed over, on a worker thread (PrintJob), which wakes the message loop with
// "WM_IM_ONPRINTED" when it is over.
std::shared_ptr<PrintJob> PrintListingOn(const std::wstring& printer, PrintListing listing);
