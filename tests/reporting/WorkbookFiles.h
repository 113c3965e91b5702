#pragma once
// Helpers for the reporting tests: a private temporary folder, whole-file reads and writes, and a reader for the
// worksheets and rows of a saved workbook, which the writer produces without any whitespace between its elements.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/DebugOutput.h"
#include "platform/Utf8.h"

namespace workbook_test {

// A UTF-8 path as std::filesystem takes it, and back: on Windows its narrow strings are in the ANSI code page.
inline std::filesystem::path PathOf(const std::string& utf8)
{
#ifdef _WIN32
    return std::filesystem::path(FromUtf8(utf8));
#else
    return std::filesystem::path(utf8);
#endif
}

inline std::string Utf8Of(const std::filesystem::path& path)
{
#ifdef _WIN32
    return ToUtf8(path.generic_wstring());
#else
    return path.string();
#endif
}

// Whether `program` is an executable in one of the folders of PATH.
inline bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::error_code ignored;
        const auto status = std::filesystem::status(std::filesystem::path(folder) / program, ignored);
        if (!folder.empty() && std::filesystem::is_regular_file(status)
            && (status.permissions() & std::filesystem::perms::owner_exec) != std::filesystem::perms::none)
            return true;
    }
    return false;
}

// The non-empty lines of a text (a CSV file, say); a line holding only a carriage return counts as empty.
inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (!line.empty() && line != "\r")
            lines.push_back(line);
    return lines;
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        // A new name of random letters, made by this call and no other.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            const auto candidate
                = std::filesystem::temp_directory_path() / ("zv-reporting-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error))
                path = candidate;
        }
        if (path.empty())
            throw std::runtime_error("cannot make a temporary folder");
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string Utf8(const std::string& name) const { return Utf8Of(path) + "/" + name; }
    // The program's wide paths; std::filesystem cannot widen UTF-8 under the "C" locale the program keeps.
    std::wstring Wide(const std::wstring& name) const { return FromUtf8(Utf8Of(path)) + L"/" + name; }

    // The names in the folder, sorted.
    std::set<std::string> Listing() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.insert(Utf8Of(entry.path().filename()));
        return names;
    }

    std::filesystem::path path;
};

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(PathOf(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

// One worksheet as written: its name and its rows, each row the texts of its Data elements (empty for an empty row).
struct Worksheet {
    std::string name;                            // the ss:Name attribute, as it stands in the file
    std::string markup;                          // the whole element, from "<Worksheet" to "</Worksheet>"
    int columns = 0;                             // Column elements in its table
    std::vector<std::vector<std::string>> rows;  // Data texts, still escaped as in the file
};

inline std::vector<std::string> Between(const std::string& text, const std::string& open, const std::string& close)
{
    std::vector<std::string> found;
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
        const std::size_t start = at + open.size();
        const std::size_t end = text.find(close, start);
        if (end == std::string::npos)
            break;
        found.push_back(text.substr(start, end - start));
        at = end + close.size();
    }
    return found;
}

inline std::vector<Worksheet> WorksheetsOf(const std::string& file)
{
    std::vector<Worksheet> sheets;
    for (const std::string& inner : Between(file, "<Worksheet ss:Name=\"", "</Worksheet>")) {
        Worksheet sheet;
        sheet.name = inner.substr(0, inner.find('"'));
        sheet.markup = "<Worksheet ss:Name=\"" + inner + "</Worksheet>";
        sheet.columns = static_cast<int>(Between(inner, "<Column ", "/>").size());
        // Rows are either "<Row/>" or "<Row>...</Row>"; walk them in order.
        for (std::size_t at = inner.find("<Row"); at != std::string::npos; at = inner.find("<Row", at + 1)) {
            if (inner.compare(at, 6, "<Row/>") == 0) {
                sheet.rows.emplace_back();
                continue;
            }
            const std::size_t end = inner.find("</Row>", at);
            sheet.rows.push_back(Between(inner.substr(at, end - at), "\">", "</Data>"));
        }
        sheets.push_back(sheet);
    }
    return sheets;
}

// Has LibreOffice convert every worksheet of `workbook` in `folder` to its own UTF-8 CSV file in `folder`/csv
// (named "<workbook>-<sheet>.csv"), with a private profile so that it runs headless and as any user; its output goes
// to `folder`/soffice.log. Whether it succeeded.
inline bool ConvertToCsv(const TemporaryFolder& folder, const std::string& workbook)
{
    const std::string command = "cd '" + folder.path.string() + "' && timeout 90 soffice -env:UserInstallation=file://"
        + folder.path.string()
        + "/profile --headless --convert-to "
          "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' "
          "--outdir csv '"
        + workbook + "' >soffice.log 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace workbook_test
