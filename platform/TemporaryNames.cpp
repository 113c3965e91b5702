#include "platform/TemporaryNames.h"

#include <random>

namespace {

constexpr std::string_view TemporarySuffix = ".tmp";

}  // namespace

std::string TemporaryNameBeside(const std::string& folder, const std::string& name)
{
    static thread_local std::mt19937 random {std::random_device {}()};
    return folder + "." + name + "." + std::to_string(random() % 1000000000u) + std::string(TemporarySuffix);
}

bool IsTemporaryNameOf(std::string_view entry, const std::string& name)
{
    const std::size_t prefix = name.size() + 2;
    if (entry.size() <= prefix + TemporarySuffix.size() || entry[0] != '.' || entry.substr(1, name.size()) != name
        || entry[name.size() + 1] != '.' || !entry.ends_with(TemporarySuffix))
        return false;
    const std::string_view digits = entry.substr(prefix, entry.size() - prefix - TemporarySuffix.size());
    return digits.size() <= 10 && digits.find_first_not_of("0123456789") == std::string_view::npos;
}
