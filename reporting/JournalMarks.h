#pragma once
// Which journalled rows a workbook already holds: for each journal (by its file name), the sequence numbers of the
// rows merged from it. Kept inside the workbook and written in the same save as the rows, so a row merged once is
// never merged again, whichever program and whichever moment the merge is repeated by.
//
// As text, one line per journal: its name, then ranges of sequence numbers ("5" or "1-14"), separated by spaces.
// A line that does not read so is dropped.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class JournalMarks {
public:
    static JournalMarks Parse(std::string_view text);
    std::string Format() const;

    bool Holds(const std::string& journal, std::uint64_t sequence) const;
    void Add(const std::string& journal, std::uint64_t sequence);
    // Forgets the journals not in `existing`: a journal once removed is never written again, so its marks can go.
    void KeepOnly(const std::set<std::string>& existing);
    bool Empty() const { return ranges.empty(); }
    friend bool operator==(const JournalMarks&, const JournalMarks&) = default;

private:
    void AddRange(const std::string& journal, std::uint64_t first, std::uint64_t last);

    std::map<std::string, std::vector<std::pair<std::uint64_t, std::uint64_t>>> ranges;  // sorted, disjoint, apart
};
