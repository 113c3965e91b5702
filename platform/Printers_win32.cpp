#include "platform/Printers.h"

#include "platform/DebugOutput.h"

// Printing through the Windows spooler is not there yet: no printer is offered, so nothing is ever sent.

PrinterList ListPrinters()
{
    return {};
}

std::optional<PrintPage> A4PageOn(const std::string&, int)
{
    return std::nullopt;
}

int SubmitPdf(const std::string& printer, const std::string&, std::string_view)
{
    OutputDebugString("print: no job for " + printer + ": this build prints on Linux only");
    return 0;
}
