#pragma once
// The catalogue of the embedded media as the data tests read it: one
// "key kind path" line per file in data/catalogue/<fragment>.txt, '#' comments.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CatalogueEntry {
    std::string key;   // the name the program finds the file by
    std::string kind;  // "png", "ogg", "ogv", "ttf", ...
    std::string path;  // relative to data/
};

// The entries of one fragment ("music.txt") in file order; nothing when it cannot be read.
inline std::vector<CatalogueEntry> ReadCatalogue(const std::string& fragment)
{
    std::vector<CatalogueEntry> entries;
    std::ifstream in(std::string(ZV_DATA_DIR) + "catalogue/" + fragment);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        CatalogueEntry entry;
        if (!(fields >> entry.key) || entry.key[0] == '#')
            continue;
        fields >> entry.kind >> entry.path;
        entries.push_back(entry);
    }
    return entries;
}
