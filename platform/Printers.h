#pragma once
// The printers, through CUPS: the destinations CUPS offers with its default one, the printable area of an A4 sheet
// on a printer, and handing a PDF document to a printer as a job.
//
// Every operation opens a connection of its own to the CUPS server the client configuration names (CUPS_SERVER,
// client.conf, else the local scheduler), looked up afresh each time, and closes it before returning; operations may
// run on any thread. A server that cannot be reached, or answers with an error, gives the empty result: no printers,
// no margins, no job.
//
// Leaves out: printer instances (a printer is listed once, under its queue name), options other than the A4 sheet,
// job monitoring and cancelling.

#include "platform/PrintDocument.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PrinterList {
    std::vector<std::string> names;  // queue names, UTF-8, in the order CUPS gives them
    std::string defaultName;         // the default destination's queue name; empty when there is none
};

// The destinations and the default one. Listing waits for a silent server a few seconds at most, since the screen
// waits for it.
PrinterList ListPrinters();

// A4 at `dpi` on `printer`, less the hard margins CUPS reports for A4 there (whole printer pixels, rounded outwards;
// none when it reports none); nothing when the server does not know the printer or cannot be reached. Waits as long
// as the server takes.
std::optional<PrintPage> A4PageOn(const std::string& printer, int dpi);

// Hands `pdf` to `printer` as one job named `jobName`, printed on A4 at its natural size. Returns CUPS's job number,
// or 0 (after one debug line) when the job was not accepted. Waits as long as the server takes.
int SubmitPdf(const std::string& printer, const std::string& jobName, std::string_view pdf);
