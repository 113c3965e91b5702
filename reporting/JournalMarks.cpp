#include "reporting/JournalMarks.h"

#include <algorithm>
#include <charconv>

namespace {

bool ReadNumber(std::string_view text, std::uint64_t& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number > 0;
}

// "5" or "1-14"; false when it does not read so.
bool ReadRange(std::string_view word, std::pair<std::uint64_t, std::uint64_t>& range)
{
    const std::size_t dash = word.find('-');
    if (dash == std::string_view::npos)
        return ReadNumber(word, range.first) && ReadNumber(word, range.second);
    return ReadNumber(word.substr(0, dash), range.first) && ReadNumber(word.substr(dash + 1), range.second)
        && range.first <= range.second;
}

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string_view::npos)
            break;
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find_first_of(" \t\r"), line.size());
        words.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return words;
}

}  // namespace

JournalMarks JournalMarks::Parse(std::string_view text)
{
    JournalMarks marks;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> words = Words(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (words.size() < 2)
            continue;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> read;
        std::pair<std::uint64_t, std::uint64_t> range;
        bool readable = true;
        for (std::size_t i = 1; i < words.size() && readable; ++i)
            if ((readable = ReadRange(words[i], range)))
                read.push_back(range);
        if (!readable)
            continue;
        const std::string journal(words[0]);
        for (const auto& [first, last] : read)
            marks.AddRange(journal, first, last);
    }
    return marks;
}

std::string JournalMarks::Format() const
{
    std::string text;
    for (const auto& [journal, list] : ranges) {
        text += journal;
        for (const auto& [first, last] : list) {
            text += ' ' + std::to_string(first);
            if (last != first)
                text += '-' + std::to_string(last);
        }
        text += '\n';
    }
    return text;
}

bool JournalMarks::Holds(const std::string& journal, std::uint64_t sequence) const
{
    const auto found = ranges.find(journal);
    if (found == ranges.end())
        return false;
    const auto& list = found->second;
    const auto after = std::upper_bound(list.begin(), list.end(), std::pair(sequence, UINT64_MAX));
    return after != list.begin() && std::prev(after)->second >= sequence;
}

void JournalMarks::Add(const std::string& journal, std::uint64_t sequence)
{
    if (!Holds(journal, sequence))
        AddRange(journal, sequence, sequence);
}

void JournalMarks::AddRange(const std::string& journal, std::uint64_t first, std::uint64_t last)
{
    if (first == 0 || last < first || journal.empty())
        return;
    auto& list = ranges[journal];
    list.emplace_back(first, last);
    std::sort(list.begin(), list.end());
    // Neighbours that touch become one range.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> joined;
    for (const auto& range : list) {
        if (!joined.empty() && joined.back().second >= range.first - 1)
            joined.back().second = std::max(joined.back().second, range.second);
        else
            joined.push_back(range);
    }
    list = std::move(joined);
}

void JournalMarks::KeepOnly(const std::set<std::string>& existing)
{
    std::erase_if(ranges, [&](const auto& entry) { return !existing.contains(entry.first); });
}
