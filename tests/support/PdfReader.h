#pragma once
// Reading printed PDF files back in tests, with poppler-utils (Debian package poppler-utils): the text as pdftotext
// lays it out, the words with their boxes, the page count and page size as pdfinfo reports them. A missing tool
// fails the test that needs it with a message naming the package.

#include <string>
#include <vector>

struct PdfWord {
    double xMin = 0;  // points from the page's left edge
    double yMin = 0;  // points from the page's top edge
    double xMax = 0;
    double yMax = 0;
    std::string text;  // UTF-8
};

// pdftotext -layout of pages first..last (0: from the first, to the last).
std::string PdfText(const std::string& path, int firstPage = 0, int lastPage = 0);
// The lines of PdfText, trailing spaces removed, the final form feed dropped.
std::vector<std::string> PdfLines(const std::string& path, int firstPage = 0, int lastPage = 0);
// Every word of one page (counting from 1) with its box.
std::vector<PdfWord> PdfWords(const std::string& path, int page);
// pdfinfo's "Pages:", or -1 when it cannot read the file.
int PdfPageCount(const std::string& path);
// pdfinfo's "Page size:" line, e.g. "595.2 x 841.92 pts (A4)".
std::string PdfPageSize(const std::string& path);
// pdfinfo's "Title:".
std::string PdfTitle(const std::string& path);
