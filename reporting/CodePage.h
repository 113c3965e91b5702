#pragma once
// The workbook's 8-bit Cyrillic code page, Windows-1251, exactly as the XML library's "windows-1251" transcoder defines
// it. Every text is narrowed to it before it enters a workbook or names a workbook file, so a workbook holds the same
// characters whichever way it was written; the document itself is UTF-16 and file names on disk are UTF-8.
//
// A CodePage must live inside an initialised XML library (between Initialize and Terminate).

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class XMLTranscoder;
XERCES_CPP_NAMESPACE_END

class CodePage {
public:
    // Throws std::runtime_error when the XML library has no Windows-1251 transcoder (a broken installation).
    CodePage();
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // A double quote becomes an apostrophe; a character the code page lacks becomes "?", and so does one that an XML
    // file cannot carry (the C0 controls other than tab, line feed and carriage return).
    std::string Narrow(std::wstring_view text) const;
    // A name as document text: through the code page when the code page holds every character of it, otherwise
    // exactly as typed, so that two names differing only in characters the code page lacks stay two names. Unlike
    // Narrow, it keeps a double quote, and turns a control character an XML file cannot carry into its picture
    // (U+2401 for U+0001), so that names differing only there stay apart too.
    std::u16string NameToUtf16(std::wstring_view name) const;
    // Code-page bytes back to the DOM's UTF-16, through the transcoder.
    std::u16string ToUtf16(std::string_view bytes) const;
    // Code-page bytes back to the program's wide text.
    std::wstring ToWide(std::string_view bytes) const;

private:
    std::unique_ptr<XERCES_CPP_NAMESPACE::XMLTranscoder> transcoder;  // "windows-1251"; owned
    std::array<char16_t, 256> byteToChar {};                          // what each byte reads as; 0 when undefined
    std::vector<std::pair<char16_t, char>> charToByte;                // the inverse, sorted by character
};
