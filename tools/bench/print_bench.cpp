// Making the PDF of a pupil's printout: what the print job does before it hands the document to the printer. The
// pupil has 50 attempts (200 rows); the target is 50 ms or less, median, for the whole of it (MakeListingPdf): the
// rows copied from the worksheet, the document with its font started, the listing laid out and the PDF finished.
// CopyRowsOnly and DrawOnly split that figure.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "data/EmbeddedData.h"
#include "platform/PrintDocument.h"
#include "reporting/StatisticsWorkbook.h"

namespace {

constexpr int Attempts = 50;

// The generic PDF printer's A4 at 300 dpi.
PrintPage PrinterPage()
{
    PrintPage page;
    page.left = page.right = 75;
    page.top = page.bottom = 150;
    return page;
}

std::span<const unsigned char> Font()
{
    return FindEmbedded(FontEngine::FileKey(L"Arial", false, false));
}

const ReportHeader& Header()
{
    static const ReportHeader header = MakeReportHeader(L"Игра «Звонкары»", L"00917", L"Ученик номер 15");
    return header;
}

// A workbook holding one pupil's 50 attempts; never saved.
class PupilWorkbook {
public:
    PupilWorkbook()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zv-print-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        const std::string file = (folder / "class.xls").string();
        book = std::make_unique<StatisticsWorkbook>(std::wstring(file.begin(), file.end()), L"Ученик номер 15");
        for (int attempt = 0; attempt < Attempts; ++attempt) {
            book->AddRow(L"Время начала работы с упражнением", L"05-March-2008 14:07", L"String");
            book->AddRow(L"Количество дополнительных вызовов инструкций", std::to_wstring(attempt % 4), L"Number");
            book->AddRow(L"Общее время работы с упражнением. с.", std::to_wstring(100 + attempt), L"Number");
            book->AddSeparatorRow();
        }
    }
    ~PupilWorkbook()
    {
        book.reset();
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;
    std::unique_ptr<StatisticsWorkbook> book;
};

PupilWorkbook& ThePupil()
{
    static PupilWorkbook pupil;
    return pupil;
}

std::string MakePdf(const PrintListing& listing)
{
    std::unique_ptr<PrintDocument> document = PrintDocument::Create(PrinterPage(), Font(), "Print1: Printing");
    if (!document)
        return {};
    DrawListing(listing, *document);
    return document->Finish();
}

void MakeListingPdf(benchmark::State& state)
{
    const StatisticsWorkbook& book = *ThePupil().book;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::optional<PrintListing> listing = book.Listing(Header());
        const std::string pdf = listing ? MakePdf(*listing) : std::string();
        if (pdf.empty())
            state.SkipWithError("no PDF");
        bytes = pdf.size();
    }
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
}

void CopyRowsOnly(benchmark::State& state)
{
    const StatisticsWorkbook& book = *ThePupil().book;
    for (auto _ : state)
        benchmark::DoNotOptimize(book.Listing(Header()));
}

void DrawOnly(benchmark::State& state)
{
    const PrintListing listing = *ThePupil().book->Listing(Header());
    for (auto _ : state)
        benchmark::DoNotOptimize(MakePdf(listing));
}

BENCHMARK(MakeListingPdf)->Unit(benchmark::kMillisecond)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(CopyRowsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
