// The print document: 10-point Liberation Sans at the printer's resolution, text measured and placed in printer
// pixels of the printable area, pages of an A4 sheet, and the PDF read back with poppler.

#include "platform/PrintDocument.h"

#include "data/EmbeddedData.h"
#include "support/CupsTestServer.h"
#include "support/PdfReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr double PointsPerPixel = 72.0 / 300.0;

std::span<const unsigned char> Font()
{
    return FindEmbedded(FontEngine::FileKey(L"Arial", false, false));
}

// A4 at 300 dpi with the generic PDF printer's hard margins: 1/4 inch at the sides, 1/2 inch at top and bottom.
PrintPage MarginedA4()
{
    PrintPage page;
    page.left = 75;
    page.top = 150;
    page.right = 75;
    page.bottom = 150;
    return page;
}

class PrintDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = PrintDocument::Create(MarginedA4(), Font(), "Проба");
        ASSERT_NE(document, nullptr);
    }
    // Finishes the document into a file and returns its path.
    std::string Written()
    {
        const std::string pdf = document->Finish();
        EXPECT_FALSE(pdf.empty());
        path = (std::filesystem::temp_directory_path() / ("zv-print-document-" + std::to_string(::getpid()) + ".pdf"))
                   .string();
        std::ofstream(path, std::ios::binary) << pdf;
        return path;
    }
    void TearDown() override
    {
        if (!path.empty())
            std::filesystem::remove(path);
    }
    const PdfWord* FindWord(const std::vector<PdfWord>& words, const std::string& text)
    {
        for (const PdfWord& word : words)
            if (word.text == text)
                return &word;
        ADD_FAILURE() << "no word " << text;
        return nullptr;
    }

    std::unique_ptr<PrintDocument> document;
    std::string path;
};

}  // namespace

struct FontSizeCase {
    int dpi;
    int em;      // 10 points at dpi, rounded: the device context's -MulDiv(10, dpi, 72)
    int height;  // em scaled by Liberation Sans's Windows ascent + descent (2288 of 2048 units), rounded
};

class PrintFontSize : public ::testing::TestWithParam<FontSizeCase> { };

TEST_P(PrintFontSize, IsTenPointsAtThePrintersResolution)
{
    PrintPage page;
    page.dpi = GetParam().dpi;
    page.paperWidth = 210 * GetParam().dpi / 25;
    page.paperHeight = 297 * GetParam().dpi / 25;
    std::unique_ptr<PrintDocument> document = PrintDocument::Create(page, Font(), "");
    ASSERT_NE(document, nullptr);
    const FontTextMetrics& metrics = document->TextMetrics();
    EXPECT_EQ(metrics.height - metrics.internalLeading, GetParam().em) << "the em";
    EXPECT_EQ(metrics.height, GetParam().height);
    EXPECT_EQ(metrics.ascent + metrics.descent, metrics.height);
    // Liberation Sans: average width 1176 of 2048 units, line gap 67 units.
    EXPECT_EQ(metrics.aveCharWidth, (1176 * GetParam().em + 1024) / 2048);
    EXPECT_EQ(metrics.externalLeading, (67 * GetParam().em + 1024) / 2048);
}

INSTANTIATE_TEST_SUITE_P(PrintDocumentTest, PrintFontSize,
    ::testing::Values(
        FontSizeCase {300, 42, 47}, FontSizeCase {600, 83, 93}, FontSizeCase {150, 21, 23}, FontSizeCase {72, 10, 11}),
    [](const auto& info) { return std::to_string(info.param.dpi) + "Dpi"; });

TEST_F(PrintDocumentTest, PrintableAreaIsTheSheetLessTheHardMargins)
{
    EXPECT_EQ(document->PageWidth(), 2480 - 75 - 75);
    EXPECT_EQ(document->PageHeight(), 3508 - 150 - 150);
}

TEST_F(PrintDocumentTest, WidthsAddUpAndStandInsMeasureAsTheyPrint)
{
    EXPECT_EQ(document->TextWidth(L""), 0);
    EXPECT_GT(document->TextWidth(L"Ж"), 0);
    EXPECT_EQ(document->TextWidth(L"Жук"), document->TextWidth(L"Ж") + document->TextWidth(L"ук"));
    // A character the font lacks prints as "?", a control character as a space.
    EXPECT_EQ(document->TextWidth(L"中"), document->TextWidth(L"?"));
    EXPECT_EQ(document->TextWidth(L"a\tb\x7F"), document->TextWidth(L"a b "));
    EXPECT_NE(document->TextWidth(L"i"), document->TextWidth(L"W")) << "proportional, not a fixed pitch";
}

struct BadPageCase {
    const char* what;
    PrintPage page;
};

class BadPrintPage : public ::testing::TestWithParam<BadPageCase> { };

TEST_P(BadPrintPage, MakesNoDocument)
{
    EXPECT_EQ(PrintDocument::Create(GetParam().page, Font(), ""), nullptr);
}

INSTANTIATE_TEST_SUITE_P(PrintDocumentTest, BadPrintPage,
    ::testing::Values(BadPageCase {"margins wider than the sheet", {300, 2480, 3508, 1300, 0, 1300, 0}},
        BadPageCase {"margins taller than the sheet", {300, 2480, 3508, 0, 3508, 0, 0}},
        BadPageCase {"a negative margin", {300, 2480, 3508, -5, 0, 0, 0}},
        BadPageCase {"no resolution", {0, 2480, 3508, 0, 0, 0, 0}},
        BadPageCase {"an absurd resolution", {1'000'000, 2480, 3508, 0, 0, 0, 0}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

TEST_F(PrintDocumentTest, NoFontMakesNoDocument)
{
    EXPECT_EQ(PrintDocument::Create(MarginedA4(), {}, ""), nullptr);
    const unsigned char notAFont[] = "not a font";
    EXPECT_EQ(PrintDocument::Create(MarginedA4(), notAFont, ""), nullptr);
}

TEST_F(PrintDocumentTest, TextCellsLandAtTheirPositionsInTheSheet)
{
    document->StartPage();
    document->DrawText(0, 0, L"Первая");
    document->DrawText(1000, 480, L"Вторая");
    document->EndPage();
    const std::string file = Written();

    // Printer pixels of the printable area, shifted by the margins, in points. A word's box starts at its pen
    // position and spans the font's ascent and descent, which is the cell.
    const std::vector<PdfWord> words = PdfWords(file, 1);
    struct Expected {
        const char* text;
        int x;
        int y;
        const wchar_t* wide;
    };
    for (const Expected& expected : {Expected {"Первая", 0, 0, L"Первая"}, Expected {"Вторая", 1000, 480, L"Вторая"}}) {
        SCOPED_TRACE(expected.text);
        const PdfWord* word = FindWord(words, expected.text);
        ASSERT_NE(word, nullptr);
        EXPECT_NEAR(word->xMin, (75 + expected.x) * PointsPerPixel, 0.3);
        EXPECT_NEAR(word->yMin, (150 + expected.y) * PointsPerPixel, 0.5);
        EXPECT_NEAR(word->xMax - word->xMin, document->TextWidth(expected.wide) * PointsPerPixel, 0.3);
        EXPECT_NEAR(word->yMax - word->yMin, document->TextMetrics().height * PointsPerPixel, 0.5);
    }
}

TEST_F(PrintDocumentTest, PagesOfAnA4SheetWithTheTitle)
{
    for (int page = 1; page <= 3; ++page) {
        document->StartPage();
        document->DrawText(100, 100, L"Страница " + std::to_wstring(page));
        document->EndPage();
    }
    EXPECT_EQ(document->PageCount(), 3);
    const std::string file = Written();
    EXPECT_EQ(PdfPageCount(file), 3);
    EXPECT_EQ(PdfPageSize(file), "595.2 x 841.92 pts (A4)");
    EXPECT_EQ(PdfTitle(file), "Проба");
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(PdfLines(file, page, page).at(0), "Страница " + std::to_string(page));
}

TEST_F(PrintDocumentTest, NothingIsDrawnOutsideThePrintableAreaOrAPage)
{
    document->DrawText(100, 100, L"Раньше");  // before the first page
    document->StartPage();
    document->DrawText(100, 100, L"Внутри");
    document->DrawText(document->PageWidth() + 10, 100, L"Справа");
    document->DrawText(100, document->PageHeight() + 10, L"Снизу");
    // Runs past the right edge: cut off there, the part inside stays.
    document->DrawText(document->PageWidth() - 300, 300, L"Край" + std::wstring(5000, L'ж'));
    document->EndPage();
    document->DrawText(100, 100, L"Позже");  // after the last page
    const std::string file = Written();

    const std::string text = PdfText(file);
    EXPECT_NE(text.find("Внутри"), std::string::npos);
    EXPECT_NE(text.find("Край"), std::string::npos);
    for (const char* outside : {"Раньше", "Справа", "Снизу", "Позже"})
        EXPECT_EQ(text.find(outside), std::string::npos) << outside;
    for (const PdfWord& word : PdfWords(file, 1))
        EXPECT_LE(word.xMax, (2480 - 75) * PointsPerPixel + 12) << word.text;  // at most the glyph that straddles
    EXPECT_EQ(PdfPageCount(file), 1);
}

TEST_F(PrintDocumentTest, CyrillicReadsBackAndStandInsShowAsQuestionMarksAndSpaces)
{
    document->StartPage();
    document->DrawText(100, 100, L"Ёжик съел «Ω» 中 a\tb");
    document->EndPage();
    EXPECT_EQ(PdfLines(Written()).at(0), "Ёжик съел «Ω» ? a b");
}
