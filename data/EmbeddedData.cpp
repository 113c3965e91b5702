#include "data/EmbeddedData.h"

#include <algorithm>
#include <string>

// Defined in the table generated from the catalogue.
std::vector<EmbeddedFile> BuildEmbeddedTable();

const std::vector<EmbeddedFile>& EmbeddedFiles()
{
    static const std::vector<EmbeddedFile> files = [] {
        std::vector<EmbeddedFile> table = BuildEmbeddedTable();
        std::sort(
            table.begin(), table.end(), [](const EmbeddedFile& a, const EmbeddedFile& b) { return a.key < b.key; });
        return table;
    }();
    return files;
}

std::span<const unsigned char> FindEmbedded(std::string_view key)
{
    const auto& files = EmbeddedFiles();
    auto it = std::lower_bound(
        files.begin(), files.end(), key, [](const EmbeddedFile& file, std::string_view k) { return file.key < k; });
    if (it == files.end() || it->key != key)
        return {};
    return it->bytes;
}

std::span<const unsigned char> FindEmbedded(std::wstring_view key)
{
    std::string narrow;
    narrow.reserve(key.size());
    for (wchar_t c : key) {
        if (c <= 0 || c > 0x7F)
            return {};
        narrow.push_back(static_cast<char>(c));
    }
    return FindEmbedded(std::string_view(narrow));
}

std::optional<int> ResourceNumber(std::wstring_view name)
{
    if (name.empty() || name.size() > 9)
        return std::nullopt;
    int number = 0;
    for (wchar_t c : name) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        number = number * 10 + (c - L'0');
    }
    return number;
}
