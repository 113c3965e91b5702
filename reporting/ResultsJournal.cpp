#include "reporting/ResultsJournal.h"

#include <charconv>

#include "platform/DebugOutput.h"
#include "platform/JournalFile.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"

namespace {

void AppendField(std::string& line, std::string_view text)
{
    line.push_back('\t');
    for (char c : text) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line.push_back(c);
        }
    }
}

// The fields of one line (without its line break), unescaped; false when an escape is broken.
bool SplitFields(std::string_view line, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back().push_back(c);
        } else if (++i < line.size()) {
            switch (line[i]) {
            case '\\':
                fields.back().push_back('\\');
                break;
            case 't':
                fields.back().push_back('\t');
                break;
            case 'n':
                fields.back().push_back('\n');
                break;
            case 'r':
                fields.back().push_back('\r');
                break;
            default:
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string FormatJournalEntry(const JournalEntry& entry)
{
    std::string line = entry.empty ? "empty" : "row";
    AppendField(line, entry.workbook);
    AppendField(line, ToUtf8(entry.sheet));
    if (!entry.empty) {
        AppendField(line, ToUtf8(entry.name));
        AppendField(line, ToUtf8(entry.value));
        AppendField(line, ToUtf8(entry.type));
    }
    if (entry.sequence != 0)
        AppendField(line, std::to_string(entry.sequence));
    line.push_back('\n');
    return line;
}

namespace {

// The sequence number of an entry whose fields are otherwise complete; false when the field does not read as one.
bool ReadSequence(const std::vector<std::string>& fields, std::size_t complete, std::uint64_t& sequence)
{
    sequence = 0;
    if (fields.size() == complete)
        return true;
    if (fields.size() != complete + 1)
        return false;
    const std::string& text = fields.back();
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), sequence);
    return error == std::errc() && end == text.data() + text.size() && sequence > 0;
}

}  // namespace

std::vector<JournalEntry> ParseJournal(std::string_view text, bool& known, int* replays)
{
    if (replays)
        *replays = 0;
    std::vector<JournalEntry> entries;
    known = text.starts_with(JournalVersionLine);
    if (!known)
        return entries;
    text.remove_prefix(JournalVersionLine.size());
    std::vector<std::string> fields;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (replays && line == JournalReplayLine.substr(0, JournalReplayLine.size() - 1)) {
            ++*replays;
            continue;
        }
        if (!SplitFields(line, fields) || fields.size() < 3 || fields[1].empty())
            continue;
        JournalEntry entry;
        entry.workbook = fields[1];
        entry.sheet = FromUtf8(fields[2]);
        if (fields[0] == "empty" && ReadSequence(fields, 3, entry.sequence)) {
            entry.empty = true;
        } else if (fields[0] == "row" && ReadSequence(fields, 6, entry.sequence)) {
            entry.name = FromUtf8(fields[3]);
            entry.value = FromUtf8(fields[4]);
            entry.type = FromUtf8(fields[5]);
        } else {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

ResultsJournal::ResultsJournal(std::string folder)
    : folder(std::move(folder))
{
}

ResultsJournal::~ResultsJournal()
{
    // Removed while still locked, so that no one replays what the workbook already holds.
    if (file && !outstanding)
        file->Remove();
}

bool ResultsJournal::Create()
{
    std::string whyNot;
    file = JournalFile::Create(
        folder + std::string(JournalPrefix) + UniqueRunName(), JournalSuffix, JournalVersionLine, whyNot);
    if (!file) {
        ReportFailure(whyNot);
        return false;
    }
    name = file->Path().substr(folder.size());
    return true;
}

std::uint64_t ResultsJournal::Append(JournalEntry entry)
{
    if (!file && !Create())
        return 0;
    entry.sequence = lastSequence + 1;
    std::string whyNot;
    if (!file->Append(FormatJournalEntry(entry), whyNot)) {
        ReportFailure(whyNot);
        return 0;
    }
    lastSequence = entry.sequence;
    outstanding = true;
    return entry.sequence;
}

void ResultsJournal::Retire()
{
    if (!file || !outstanding)
        return;
    // The numbering goes on after the cut: the workbook may already record the numbers cut away.
    std::string whyNot;
    if (!file->Truncate(JournalVersionLine.size(), whyNot)) {
        ReportFailure(whyNot);
        return;
    }
    outstanding = false;
}

void ResultsJournal::ReportFailure(const std::string& whyNot)
{
    if (failureReported)
        return;
    failureReported = true;
    OutputWarning(whyNot + "; the results are kept in memory until the workbook is saved");
}
