// Opening the statistics workbook of a class, adding one attempt's rows and saving it: what a pupil waits for between
// finishing an exercise and the next screen. The class has 30 pupils with 50 attempts each; the target is 30 ms or
// less for the whole sequence (OpenAddAttemptSave). OpenOnly and SaveOnly split that figure in two. MergeSave is a
// save after another program saved the file meanwhile, so it is read again and merged (target 40 ms or less);
// JournalledRow is one row written with its journal entry flushed to the disk (target: a median of 5 ms or less).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "reporting/StatisticsWorkbook.h"

namespace {

constexpr int Pupils = 30;
constexpr int AttemptsPerPupil = 50;

void AddAttempt(StatisticsWorkbook& book, int number)
{
    book.AddRow(L"Время начала работы с упражнением", L"05-March-2008 14:07", L"String");
    book.AddRow(L"Количество дополнительных вызовов инструкций", std::to_wstring(number % 4), L"Number");
    book.AddRow(L"Общее время работы с упражнением. с.", std::to_wstring(100 + number), L"Number");
    book.AddSeparatorRow();
}

std::wstring PupilName(int pupil)
{
    return L"Ученик номер " + std::to_wstring(pupil + 1);
}

// The temporary folder's path is plain ASCII, so widening it byte by byte is exact.
std::wstring Widen(const std::filesystem::path& path)
{
    const std::string text = path.string();
    return std::wstring(text.begin(), text.end());
}

// The class's workbook as it stands after a term, written once for all benchmarks, and a working copy that each
// iteration starts from, so that the file does not keep growing.
class ClassWorkbook {
public:
    ClassWorkbook()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zv-workbook-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        for (int pupil = 0; pupil < Pupils; ++pupil) {
            StatisticsWorkbook book(Widen(folder / "class.xls"), PupilName(pupil));
            for (int attempt = 0; attempt < AttemptsPerPupil; ++attempt)
                AddAttempt(book, attempt);
            if (!book.Save(L""))
                std::abort();
        }
    }
    ~ClassWorkbook() { std::filesystem::remove_all(folder); }

    void ResetWorkingCopy() const
    {
        std::filesystem::copy_file(
            folder / "class.xls", folder / "working.xls", std::filesystem::copy_options::overwrite_existing);
    }
    std::wstring WorkingPath() const { return Widen(folder / "working.xls"); }
    double Bytes() const { return static_cast<double>(std::filesystem::file_size(folder / "class.xls")); }

private:
    std::filesystem::path folder;
};

const ClassWorkbook& TheClass()
{
    static const ClassWorkbook workbook;
    return workbook;
}

void OpenAddAttemptSave(benchmark::State& state)
{
    const ClassWorkbook& theClass = TheClass();
    for (auto _ : state) {
        state.PauseTiming();
        theClass.ResetWorkingCopy();
        state.ResumeTiming();

        StatisticsWorkbook book(theClass.WorkingPath(), PupilName(Pupils / 2));
        AddAttempt(book, AttemptsPerPupil);
        if (!book.Save(L""))
            state.SkipWithError("Save failed");
    }
    state.counters["file_bytes"] = theClass.Bytes();
}

void OpenOnly(benchmark::State& state)
{
    const ClassWorkbook& theClass = TheClass();
    theClass.ResetWorkingCopy();
    for (auto _ : state)
        StatisticsWorkbook book(theClass.WorkingPath(), PupilName(Pupils / 2));
}

void SaveOnly(benchmark::State& state)
{
    const ClassWorkbook& theClass = TheClass();
    theClass.ResetWorkingCopy();
    StatisticsWorkbook book(theClass.WorkingPath(), PupilName(Pupils / 2));
    AddAttempt(book, AttemptsPerPupil);
    for (auto _ : state)
        if (!book.Save(L""))
            state.SkipWithError("Save failed");
}

void MergeSave(benchmark::State& state)
{
    const ClassWorkbook& theClass = TheClass();
    theClass.ResetWorkingCopy();
    StatisticsWorkbook book(theClass.WorkingPath(), PupilName(Pupils / 2));
    for (auto _ : state) {
        state.PauseTiming();
        // Another program's save: a new file in its place, which this workbook has not read.
        theClass.ResetWorkingCopy();
        AddAttempt(book, AttemptsPerPupil);
        state.ResumeTiming();
        if (book.SaveMerging() != StatisticsWorkbook::SaveOutcome::Merged)
            state.SkipWithError("merge failed");
    }
}

void JournalledRow(benchmark::State& state)
{
    const ClassWorkbook& theClass = TheClass();
    theClass.ResetWorkingCopy();
    StatisticsWorkbook book(theClass.WorkingPath(), PupilName(Pupils / 2));
    book.KeepJournal();
    int number = 0;
    for (auto _ : state)
        book.AddRow(L"Общее время работы с упражнением. с.", std::to_wstring(++number), L"Number");
}

BENCHMARK(OpenAddAttemptSave)->Unit(benchmark::kMillisecond);
BENCHMARK(MergeSave)->Unit(benchmark::kMillisecond);
BENCHMARK(JournalledRow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(OpenOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
