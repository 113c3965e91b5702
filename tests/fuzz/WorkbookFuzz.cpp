// libFuzzer target: arbitrary bytes as the results workbook on disk. The pupil's workbook is opened on them, a row is
// added, the workbook is saved (a merge into what is on disk) and opened again: the pupil's worksheet must be there
// with the row last. Built by the ZV_FUZZ build (tests/fuzz/CMakeLists.txt) and run by tools/fuzz/run-workbook.

#include "data/EmbeddedData.h"
#include "reporting/StatisticsWorkbook.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

// No media are embedded in the fuzzer.
std::vector<EmbeddedFile> BuildEmbeddedTable()
{
    return {};
}

namespace {

std::filesystem::path folder;

const std::wstring Pupil = L"Маша \U0001F600";

void EmptyFolder()
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove_all(entry.path());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A folder in memory when there is one: every save flushes to the disk.
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = (base / "zv-workbook-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    folder = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    EmptyFolder();
    const std::filesystem::path file = folder / "Класс.xls";
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    {
        StatisticsWorkbook book(folder.wstring() + L"/Класс.xls", Pupil);
        book.AddRow(L"Попытка", L"1", L"Number");
        if (!book.Save(L""))
            std::abort();
    }
    StatisticsWorkbook again(folder.wstring() + L"/Класс.xls", Pupil);
    const auto listing = again.Listing({});
    if (!listing || listing->rows.empty() || listing->rows.back() != std::vector<std::wstring> {L"Попытка", L"1"})
        std::abort();
    return 0;
}
