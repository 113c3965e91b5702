#include "reporting/ResultsJournal.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <unistd.h>

#include "platform/DebugOutput.h"
#include "platform/FileLock.h"
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

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string RunName()
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::strcpy(host, "localhost");
    for (char* c = host; *c; ++c)
        if (*c == '/' || *c == '.')
            *c = '_';
    std::random_device random;
    return std::string(host) + "-" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000u);
}

void SyncFolderOf(const std::string& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
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
    line.push_back('\n');
    return line;
}

std::vector<JournalEntry> ParseJournal(std::string_view text, bool& known)
{
    std::vector<JournalEntry> entries;
    known = text.starts_with(JournalVersionLine);
    if (!known)
        return entries;
    text.remove_prefix(JournalVersionLine.size());
    std::vector<std::string> fields;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!SplitFields(line, fields) || fields.size() < 3 || fields[1].empty())
            continue;
        JournalEntry entry;
        entry.workbook = fields[1];
        entry.sheet = FromUtf8(fields[2]);
        if (fields[0] == "empty" && fields.size() == 3) {
            entry.empty = true;
        } else if (fields[0] == "row" && fields.size() == 6) {
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
    if (fd < 0)
        return;
    // Removed while still locked, so that no one replays what the workbook already holds.
    if (!outstanding)
        ::unlink(path.c_str());
    ::close(fd);
}

bool ResultsJournal::Create()
{
    // The journal is made and locked under a name no replay looks at, and only then takes its own name: a replay
    // never sees it unlocked.
    const std::string base = folder + std::string(JournalPrefix) + RunName();
    const std::string starting = base + ".new";
    const int created = ::open(starting.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0666);
    if (created < 0) {
        ReportFailure("cannot create the journal " + starting + ": " + std::strerror(errno));
        return false;
    }
    const std::string final = base + std::string(JournalSuffix);
    if (!TryLockDescriptor(created) || !WriteAll(created, JournalVersionLine) || ::fdatasync(created) != 0
        || ::rename(starting.c_str(), final.c_str()) != 0) {
        ReportFailure("cannot start the journal " + final + ": " + std::strerror(errno));
        ::unlink(starting.c_str());
        ::close(created);
        return false;
    }
    SyncFolderOf(folder);
    fd = created;
    path = final;
    return true;
}

bool ResultsJournal::Append(const JournalEntry& entry)
{
    if (fd < 0 && !Create())
        return false;
    const std::string line = FormatJournalEntry(entry);
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (!WriteAll(fd, line) || ::fdatasync(fd) != 0) {
        // A part written stays no part of the next line.
        if (before >= 0 && ::ftruncate(fd, before) != 0) { }
        ReportFailure("cannot write the journal " + path + ": " + std::strerror(errno));
        return false;
    }
    outstanding = true;
    return true;
}

void ResultsJournal::Retire()
{
    if (fd < 0 || !outstanding)
        return;
    if (::ftruncate(fd, static_cast<off_t>(JournalVersionLine.size())) != 0 || ::fdatasync(fd) != 0) {
        ReportFailure("cannot retire the journal " + path + ": " + std::strerror(errno));
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
