#include "support/PdfReader.h"

#include "support/CupsTestServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

namespace {

std::string Run(const std::string& tool, std::vector<std::string> args)
{
    const std::string path = FindProgram(tool);
    if (path.empty()) {
        ADD_FAILURE() << tool << " is not installed (Debian package poppler-utils)";
        return {};
    }
    args.insert(args.begin(), path);
    std::string output;
    if (!RunProgram(args, output))
        ADD_FAILURE() << tool << " failed: " << output;
    return output;
}

std::vector<std::string> PageRange(int firstPage, int lastPage)
{
    std::vector<std::string> args;
    if (firstPage > 0)
        args.insert(args.end(), {"-f", std::to_string(firstPage)});
    if (lastPage > 0)
        args.insert(args.end(), {"-l", std::to_string(lastPage)});
    return args;
}

std::string InfoField(const std::string& path, const std::string& field)
{
    std::istringstream info(Run("pdfinfo", {path}));
    for (std::string line; std::getline(info, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            const std::size_t value = line.find_first_not_of(' ', field.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    }
    return {};
}

// pdftotext writes &amp;, &lt;, &gt; and &quot; in its HTML.
std::string Unescape(std::string text)
{
    for (const auto& [entity, plain] : {std::pair {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), plain);
    }
    return text;
}

}  // namespace

std::string PdfText(const std::string& path, int firstPage, int lastPage)
{
    std::vector<std::string> args {"-layout", "-enc", "UTF-8"};
    for (const std::string& arg : PageRange(firstPage, lastPage))
        args.push_back(arg);
    args.insert(args.end(), {path, "-"});
    return Run("pdftotext", args);
}

std::vector<std::string> PdfLines(const std::string& path, int firstPage, int lastPage)
{
    std::vector<std::string> lines;
    std::istringstream text(PdfText(path, firstPage, lastPage));
    for (std::string line; std::getline(text, line);) {
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
    }
    // Each page ends with a form feed, alone on the last line.
    if (!lines.empty() && lines.back() == "\f")
        lines.pop_back();
    return lines;
}

std::vector<PdfWord> PdfWords(const std::string& path, int page)
{
    const std::string html = Run(
        "pdftotext", {"-bbox", "-enc", "UTF-8", "-f", std::to_string(page), "-l", std::to_string(page), path, "-"});
    static const std::regex word(
        R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        words.push_back({std::atof(m[1].str().c_str()), std::atof(m[2].str().c_str()), std::atof(m[3].str().c_str()),
            std::atof(m[4].str().c_str()), Unescape(m[5].str())});
    }
    return words;
}

int PdfPageCount(const std::string& path)
{
    const std::string pages = InfoField(path, "Pages");
    return pages.empty() ? -1 : std::atoi(pages.c_str());
}

std::string PdfPageSize(const std::string& path)
{
    return InfoField(path, "Page size");
}

std::string PdfTitle(const std::string& path)
{
    return InfoField(path, "Title");
}
