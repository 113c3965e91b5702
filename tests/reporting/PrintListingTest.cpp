// The listing's layout in printer pixels, read back from the PDF: the header in key order with its two columns, the
// rows' cells side by side (a wide first cell pushing the second), and page breaks where the rule puts them. Also the
// listing a worksheet gives.

#include "reporting/PrintListing.h"
#include "reporting/StatisticsWorkbook.h"

#include "WorkbookFiles.h"
#include "data/EmbeddedData.h"
#include "events/Geometry.h"
#include "support/PdfReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

// The generic PDF printer's A4 at 300 dpi: margins of 75 pixels at the sides and 150 at top and bottom, which
// leaves 2330 by 3208. The 10-point font has an average character width of 24 and a line height of 47 + 1.
constexpr int Left = 75;
constexpr int Top = 150;
constexpr int CharWidth = 24;
constexpr int LineHeight = 48;
constexpr int HalfPage = 2330 / 2;

PrintPage MarginedA4()
{
    PrintPage page;
    page.left = page.right = Left;
    page.top = page.bottom = Top;
    return page;
}

class PrintListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        document = PrintDocument::Create(MarginedA4(), FindEmbedded(FontEngine::FileKey(L"Arial", false, false)), "");
        ASSERT_NE(document, nullptr);
        ASSERT_EQ(document->TextMetrics().aveCharWidth, CharWidth);
        ASSERT_EQ(document->TextMetrics().height + document->TextMetrics().externalLeading, LineHeight);
        path
            = (std::filesystem::temp_directory_path() / ("zv-listing-" + std::to_string(::getpid()) + ".pdf")).string();
    }
    void TearDown() override { std::filesystem::remove(path); }

    // Draws the listing and writes the PDF.
    void Print(const PrintListing& listing)
    {
        DrawListing(listing, *document);
        std::ofstream(path, std::ios::binary) << document->Finish();
    }
    // Where a word starts on page `page`, in printer pixels of the sheet.
    Point WordAt(const std::string& text, int page = 1)
    {
        for (const PdfWord& word : PdfWords(path, page))
            if (word.text == text)
                return {static_cast<int>(std::lround(word.xMin * 300 / 72)),
                    static_cast<int>(std::lround(word.yMin * 300 / 72))};
        ADD_FAILURE() << "no word " << text << " on page " << page;
        return {-1, -1};
    }

    std::unique_ptr<PrintDocument> document;
    std::string path;
};

PrintListing NumberedRows(int count)
{
    PrintListing listing;
    const ReportHeader header = MakeReportHeader(L"Игра", L"00917", L"Вася");
    listing.header.assign(header.begin(), header.end());
    for (int row = 1; row <= count; ++row)
        listing.rows.push_back({L"Строка_" + std::to_wstring(row), std::to_wstring(row * 10)});
    return listing;
}

}  // namespace

TEST(ReportHeader, PrintsTitleThenNumberThenPupil)
{
    const ReportHeader header = MakeReportHeader(L"Игра «Звонкары»", L"00917", L"Вася");
    std::vector<std::pair<std::wstring, std::wstring>> lines(header.begin(), header.end());
    EXPECT_EQ(lines,
        (std::vector<std::pair<std::wstring, std::wstring>> {
            {L"Название", L"Игра «Звонкары»"}, {L"Номер ЦОР", L"00917"}, {L"Ученик", L"Вася"}}));
}

TEST_F(PrintListingTest, HeaderLinesThenAnEmptyLineThenTheRowsInTwoColumns)
{
    PrintListing listing;
    const ReportHeader header = MakeReportHeader(L"Игра", L"00917", L"Вася");
    listing.header.assign(header.begin(), header.end());
    listing.rows = {{L"Начало", L"14:07"}, {}, {L"Время", L"312"}};
    Print(listing);

    // Line n (from 1) has its cell top at n line heights; the header's keys and the rows' first cells start one
    // average character in, the second column at half the printable width beyond that.
    struct Expected {
        const char* word;
        int x;
        int line;
    };
    for (const Expected& e : {Expected {"Название", CharWidth, 1}, Expected {"Игра", CharWidth + HalfPage, 1},
             Expected {"Номер", CharWidth, 2}, Expected {"00917", CharWidth + HalfPage, 2},
             Expected {"Ученик", CharWidth, 3}, Expected {"Вася", CharWidth + HalfPage, 3},
             Expected {"Начало", CharWidth, 5}, Expected {"14:07", CharWidth + HalfPage, 5},
             Expected {"Время", CharWidth, 7}, Expected {"312", CharWidth + HalfPage, 7}}) {
        SCOPED_TRACE(e.word);
        const Point at = WordAt(e.word);
        EXPECT_NEAR(at.x, Left + e.x, 1);
        EXPECT_NEAR(at.y, Top + e.line * LineHeight, 2);
    }
    EXPECT_EQ(PdfPageCount(path), 1);
}

struct WideCellCase {
    const char* what;
    int firstCellWidth;  // wanted, in pixels (made of "Ш", whose width it is rounded to)
    bool pushed;         // the second cell moves right of half the page
};

class WideFirstCell : public PrintListingTest, public ::testing::WithParamInterface<WideCellCase> { };

TEST_P(WideFirstCell, PushesTheSecondCellPastItsEndPlusOneCharacter)
{
    const int letter = document->TextWidth(L"Ш");
    const std::wstring first(static_cast<std::size_t>(GetParam().firstCellWidth / letter), L'Ш');
    const int width = document->TextWidth(first);
    ASSERT_EQ(width + CharWidth > HalfPage, GetParam().pushed) << "the case is what it says";

    PrintListing listing;
    listing.rows = {{first, L"Второй"}, {L"Строка", L"ниже"}};
    Print(listing);

    const int expected = CharWidth + (GetParam().pushed ? width + CharWidth : HalfPage);
    EXPECT_NEAR(WordAt("Второй").x, Left + expected, 1);
    // The next row is laid out on its own again.
    EXPECT_NEAR(WordAt("ниже").x, Left + CharWidth + HalfPage, 1);
}

INSTANTIATE_TEST_SUITE_P(PrintListingTest, WideFirstCell,
    ::testing::Values(WideCellCase {"Short", 400, false},
        WideCellCase {"JustUnderHalf", HalfPage - 2 * CharWidth - 40, false},
        WideCellCase {"WiderThanHalf", HalfPage + 200, true}, WideCellCase {"FarRight", 1900, true}),
    [](const auto& info) { return std::string(info.param.what); });

struct PageBreakCase {
    int rows;
    std::vector<int> firstRows;  // the first row on each page
    int lastRowY;                // the last row's cell top on the last page
};

class PageBreaks : public PrintListingTest, public ::testing::WithParamInterface<PageBreakCase> { };

TEST_P(PageBreaks, StartANewPageWhenTwoMoreLinesReachTheBottom)
{
    // Page 1: three header lines and an empty one, then rows from y = 5 line heights (240); the row at y = 3120 is
    // its last, since 3120 + 2 × 48 reaches 3208. Later pages: rows from y = 48, 65 of them, the last again at 3120.
    Print(NumberedRows(GetParam().rows));

    const std::vector<int>& firstRows = GetParam().firstRows;
    const int pages = static_cast<int>(firstRows.size());
    ASSERT_EQ(PdfPageCount(path), pages) << "no empty page after the last row";
    for (int page = 1; page <= pages; ++page) {
        SCOPED_TRACE("page " + std::to_string(page));
        const std::string first = "Строка_" + std::to_string(firstRows[page - 1]);
        std::string firstRowLine;
        for (const std::string& line : PdfLines(path, page, page))
            if (firstRowLine.empty() && line.find("Строка_") != std::string::npos)
                firstRowLine = line;
        EXPECT_EQ(firstRowLine.substr(0, firstRowLine.find(' ')), first);
        EXPECT_NEAR(WordAt(first, page).y, Top + (page == 1 ? 5 * LineHeight : LineHeight), 2);
    }
    EXPECT_NEAR(WordAt("Строка_" + std::to_string(GetParam().rows), pages).y, Top + GetParam().lastRowY, 2);
}

INSTANTIATE_TEST_SUITE_P(PrintListingTest, PageBreaks,
    ::testing::Values(PageBreakCase {60, {1}, 3072}, PageBreakCase {61, {1}, 3120}, PageBreakCase {62, {1, 62}, 48},
        PageBreakCase {126, {1, 62}, 3120}, PageBreakCase {130, {1, 62, 127}, 192}),
    [](const auto& info) { return std::to_string(info.param.rows) + "Rows"; });

TEST_F(PrintListingTest, AnEmptyListingPrintsTheHeaderOnOnePage)
{
    PrintListing listing;
    listing.header = {{L"Ученик", L"Вася"}};
    Print(listing);
    EXPECT_EQ(PdfPageCount(path), 1);
    EXPECT_NEAR(WordAt("Вася").x, Left + CharWidth + HalfPage, 1);
}

// ---------------------------------------------------------------------------------------------------------------------
// The listing of a worksheet

TEST(WorksheetListing, HoldsEveryRowsDataTextsInDocumentOrder)
{
    // A worksheet as a spreadsheet application may leave it: formatted text inside a cell, a cell without data, an
    // empty row, and a second pupil's worksheet that is not listed.
    workbook_test::TemporaryFolder folder;
    workbook_test::WriteFile(folder.Utf8("Класс.xls"),
        R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" )"
        R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">)"
        R"(<Worksheet ss:Name="Петя"><Table><Row><Cell><Data ss:Type="String">Чужая</Data></Cell></Row></Table>)"
        R"(</Worksheet><Worksheet ss:Name="Вася"><Table><Column ss:Width="240"/>)"
        R"(<Row><Cell><Data ss:Type="String"><B>Ва</B>ся &amp; <![CDATA[Ко]]></Data></Cell>)"
        R"(<Cell><Data ss:Type="Number">7</Data></Cell></Row>)"
        R"(<Row/><Row><Cell/><Cell><Data ss:Type="String">Ωмега</Data></Cell></Row>)"
        R"(</Table></Worksheet></Workbook>)");
    StatisticsWorkbook workbook(folder.Wide(L"Класс.xls"), L"Вася");
    workbook.AddRow(L"Новая", L"1", L"Number");

    const std::optional<PrintListing> listing = workbook.Listing(MakeReportHeader(L"Игра", L"00917", L"Вася"));
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->header.size(), 3u);
    EXPECT_EQ(listing->rows,
        (std::vector<std::vector<std::wstring>> {{L"Вася & Ко", L"7"}, {}, {L"?мега"}, {L"Новая", L"1"}}));
}

// Nesting that deep is no workbook (the library's writer would overflow the stack saving it): it is refused before the
// library builds it, and the pupil's listing is that of a fresh worksheet, without a crash.
TEST(WorksheetListing, DeeplyNestedMarkupInACellIsRefusedWithoutRecursion)
{
    constexpr int Depth = 100'000;
    std::string nested;
    for (int i = 0; i < Depth; ++i)
        nested += "<B>";
    nested += "глубоко";
    for (int i = 0; i < Depth; ++i)
        nested += "</B>";
    workbook_test::TemporaryFolder folder;
    workbook_test::WriteFile(folder.Utf8("Класс.xls"),
        R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" )"
        R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="Вася"><Table><Row><Cell>)"
        R"(<Data ss:Type="String">)"
            + nested + R"(</Data></Cell></Row></Table></Worksheet></Workbook>)");
    StatisticsWorkbook workbook(folder.Wide(L"Класс.xls"), L"Вася");

    const std::optional<PrintListing> listing = workbook.Listing({});
    ASSERT_TRUE(listing.has_value());
    EXPECT_TRUE(listing->rows.empty());
}
