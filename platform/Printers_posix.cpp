#include "platform/Printers.h"

#include "platform/DebugOutput.h"

#include <cups/cups.h>

#include <algorithm>
#include <cmath>

namespace {

// Listing happens while the screen waits: a silent server is given up after about this long.
constexpr int ListConnectMs = 3000;
constexpr double ListWaitSeconds = 1.0;
// Everything else runs on a worker thread and may wait for a slow server.
constexpr int WorkConnectMs = 30000;
// Hundredths of a millimetre per inch, the unit of CUPS's media sizes.
constexpr int HundredthsMmPerInch = 2540;
// Beyond any printer; keeps the pixel arithmetic small.
constexpr int MaxDpi = 4800;
// Bytes of the document sent per write.
constexpr std::size_t WriteChunk = 64 * 1024;

void LogCupsFailure(const std::string& what)
{
    OutputDebugString("Printers: " + what + ": " + cupsLastErrorString());
}

int GiveUpWaiting(http_t*, void*)
{
    return 0;
}

// One connection to the CUPS server of the current client configuration, closed with the object.
class CupsConnection {
public:
    explicit CupsConnection(int connectMs)
    {
        // The server is looked up again each time, so a changed client configuration needs no restart.
        cupsSetServer(nullptr);
        http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, connectMs, nullptr);
        if (!http)
            LogCupsFailure(std::string("no connection to ") + cupsServer());
    }
    ~CupsConnection()
    {
        if (http)
            httpClose(http);
    }
    CupsConnection(const CupsConnection&) = delete;
    CupsConnection& operator=(const CupsConnection&) = delete;

    http_t* Get() const { return http; }

private:
    http_t* http = nullptr;  // owned
};

// A margin in hundredths of a millimetre as whole printer pixels, rounded outwards so nothing lands in it.
int MarginPixels(int hundredthsMm, int dpi)
{
    if (hundredthsMm <= 0)
        return 0;
    // Anything wider than a metre is nonsense from the printer; it still must not overflow.
    const long long clamped = std::min(hundredthsMm, 100'000);
    return static_cast<int>((clamped * dpi + HundredthsMmPerInch - 1) / HundredthsMmPerInch);
}

// A4 in printer pixels: 210 by 297 millimetres, rounded.
int MillimetresToPixels(int mm, int dpi)
{
    return static_cast<int>(std::lround(mm * dpi / 25.4));
}

}  // namespace

PrinterList ListPrinters()
{
    PrinterList list;
    CupsConnection connection(ListConnectMs);
    if (!connection.Get())
        return list;
    httpSetTimeout(connection.Get(), ListWaitSeconds, GiveUpWaiting, nullptr);

    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(connection.Get(), &dests);
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        // An instance is a set of saved options for a queue that is listed anyway; it may be the default.
        if (dest.is_default)
            list.defaultName = dest.name;
        if (!dest.instance)
            list.names.emplace_back(dest.name);
    }
    cupsFreeDests(count, dests);
    return list;
}

std::optional<PrintPage> A4PageOn(const std::string& printer, int dpi)
{
    // An empty name would make CUPS pick its default printer; the caller chose none.
    if (printer.empty() || dpi <= 0 || dpi > MaxDpi)
        return std::nullopt;
    CupsConnection connection(WorkConnectMs);
    if (!connection.Get())
        return std::nullopt;
    cups_dest_t* dest = cupsGetNamedDest(connection.Get(), printer.c_str(), nullptr);
    if (!dest) {
        LogCupsFailure("no printer " + printer);
        return std::nullopt;
    }
    PrintPage page;
    page.dpi = dpi;
    page.paperWidth = MillimetresToPixels(210, dpi);
    page.paperHeight = MillimetresToPixels(297, dpi);
    cups_dinfo_t* info = cupsCopyDestInfo(connection.Get(), dest);
    cups_size_t size {};
    if (!info) {
        LogCupsFailure("nothing known about " + printer + "; printing on the whole sheet");
    } else if (!cupsGetDestMediaByName(connection.Get(), dest, info, CUPS_MEDIA_A4, CUPS_MEDIA_FLAGS_DEFAULT, &size)) {
        LogCupsFailure(printer + " reports no A4; printing on the whole sheet");
    } else {
        PrintPage within = page;
        within.left = MarginPixels(size.left, dpi);
        within.top = MarginPixels(size.top, dpi);
        within.right = MarginPixels(size.right, dpi);
        within.bottom = MarginPixels(size.bottom, dpi);
        // Margins that leave nothing printable are not believed.
        if (within.Width() > 0 && within.Height() > 0)
            page = within;
        else
            OutputDebugString("Printers: " + printer + " reports margins that cover the whole sheet");
    }
    if (info)
        cupsFreeDestInfo(info);
    cupsFreeDests(1, dest);
    return page;
}

int SubmitPdf(const std::string& printer, const std::string& jobName, std::string_view pdf)
{
    if (printer.empty() || pdf.empty())
        return 0;
    CupsConnection connection(WorkConnectMs);
    if (!connection.Get())
        return 0;
    http_t* http = connection.Get();

    // A4 at its natural size: a queue whose default is another sheet would otherwise scale the page onto it.
    cups_option_t* options = nullptr;
    int optionCount = cupsAddOption("media", CUPS_MEDIA_A4, 0, &options);
    optionCount = cupsAddOption("print-scaling", "none", optionCount, &options);
    const int job = cupsCreateJob(http, printer.c_str(), jobName.c_str(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (job <= 0) {
        LogCupsFailure("no job on " + printer);
        return 0;
    }

    bool sent
        = cupsStartDocument(http, printer.c_str(), job, jobName.c_str(), CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
    for (std::size_t at = 0; sent && at < pdf.size(); at += WriteChunk) {
        const std::size_t length = std::min(WriteChunk, pdf.size() - at);
        sent = cupsWriteRequestData(http, pdf.data() + at, length) == HTTP_STATUS_CONTINUE;
    }
    // The document request is finished in any case, so the connection can carry the cancel below.
    const bool accepted = cupsFinishDocument(http, printer.c_str()) == IPP_STATUS_OK && sent;
    if (!accepted) {
        LogCupsFailure("the document did not reach " + printer);
        // A job without its document would wait in the queue until the server gives it up.
        cupsCancelJob2(http, printer.c_str(), job, 0);
        return 0;
    }
    return job;
}
