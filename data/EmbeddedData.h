#pragma once
// The media files carried inside the executable, found by their catalogue key:
// a resource number ("145"), a skin name ("ExitButton") or a media name
// ("bravo_sound"). The bytes live in read-only data for the whole run.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct EmbeddedFile {
    std::string_view key;                  // catalogue key, unique
    std::string_view kind;                 // "png", "ogg", "ogv", "ttf", ...
    std::span<const unsigned char> bytes;  // the file's contents
};

// The file stored under key, or an empty span when there is none.
std::span<const unsigned char> FindEmbedded(std::string_view key);

// Wide-string keys as the resource names of the program use them; only ASCII
// keys exist, so anything else finds nothing.
std::span<const unsigned char> FindEmbedded(std::wstring_view key);

// Every embedded file, sorted by key.
const std::vector<EmbeddedFile>& EmbeddedFiles();

// A resource name is a plain decimal number ("145"); anything else is a skin
// or media name or a file path. The number, or nothing for other names.
std::optional<int> ResourceNumber(std::wstring_view name);
