#include "platform/PrintDocument.h"

#include "platform/DebugOutput.h"

// The printed documents are PDFs made with cairo, which the Windows build does not carry: no document is ever
// made there, and the printer list (Printers_win32.cpp) offers nothing to print on.

std::unique_ptr<PrintDocument> PrintDocument::Create(
    const PrintPage&, std::span<const unsigned char>, const std::string&)
{
    OutputDebugString(std::string_view("print: this build makes no printed documents"));
    return nullptr;
}

PrintDocument::~PrintDocument() = default;

int PrintDocument::TextWidth(std::wstring_view)
{
    return 0;
}

void PrintDocument::StartPage() { }

void PrintDocument::EndPage() { }

void PrintDocument::DrawText(int, int, std::wstring_view) { }

std::string PrintDocument::Finish()
{
    return {};
}
