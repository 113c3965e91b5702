#include "tools/film/Directions.h"

#include <charconv>
#include <fstream>
#include <string_view>

namespace {

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ReadSeconds(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    return problem == std::errc() && end == text.data() + text.size() && value >= 0.0;
}

// "7.0: text" or "4.2-6.5: text" into its times and text; false when the clause has no time in front.
bool SplitTime(std::string_view clause, Direction& direction)
{
    const std::size_t colon = clause.find(": ");
    if (colon == std::string_view::npos)
        return false;
    const std::string_view times = clause.substr(0, colon);
    if (times.find_first_not_of("0123456789.-") != std::string_view::npos)
        return false;
    const std::size_t dash = times.find('-');
    if (dash == std::string_view::npos) {
        if (!ReadSeconds(times, direction.from))
            return false;
        direction.to = direction.from;
    } else if (!ReadSeconds(times.substr(0, dash), direction.from) || !ReadSeconds(times.substr(dash + 1), direction.to)
        || direction.to < direction.from) {
        return false;
    }
    direction.text = std::string(Trim(clause.substr(colon + 2)));
    return true;
}

bool ReadVideoLine(std::string_view line, int number, FilmScript& script, std::string& error)
{
    bool timed = false;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find("; ", start);
        if (end == std::string_view::npos)
            end = line.size();
        const std::string_view clause = Trim(line.substr(start, end - start));
        start = end + 2;
        if (clause.empty())
            continue;
        Direction direction;
        direction.line = number;
        if (SplitTime(clause, direction)) {
            timed = true;
        } else if (timed) {
            direction = script.directions.back();
            direction.text = std::string(clause);
        } else {
            error = "line " + std::to_string(number) + ": the clause \"" + std::string(clause)
                + "\" has no time and follows none";
            return false;
        }
        script.directions.push_back(direction);
    }
    return true;
}

}  // namespace

bool ReadFilmScript(const std::string& path, FilmScript& script, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    script = {};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        const std::string_view text = line;
        const std::size_t space = text.find(' ');
        const std::string_view field = text.substr(0, space);
        const std::string_view value = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
        if (field == "length" && !ReadSeconds(value, script.length)) {
            error = "line " + std::to_string(number) + ": cannot read the length";
            return false;
        }
        if (field == "video" && !ReadVideoLine(value, number, script, error))
            return false;
    }
    if (script.directions.empty()) {
        error = path + " has no video directions";
        return false;
    }
    return true;
}
