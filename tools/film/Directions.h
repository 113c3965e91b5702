#pragma once
// The stage directions of the instruction video, as the commentary's script writes them: every sentence
// block has a `video` line of clauses separated by "; ". A clause that begins with a time ("7.0: ..." or
// "4.2-6.5: ...") happens at that moment or over that span; a clause without one continues the clause
// before it and shares its times. Times are seconds from the start of the video.

#include <string>
#include <vector>

struct Direction {
    double from = 0.0;  // when it starts
    double to = 0.0;    // when it ends; equal to `from` for a moment
    std::string text;   // the clause without its time
    int line = 0;       // line of the script, for messages
};

struct FilmScript {
    double length = 0.0;                // the commentary's length in seconds (the `length` setting)
    std::vector<Direction> directions;  // in the order of the script
};

// Reads the script at path. False with `error` set when the file cannot be read, a `video` line has a clause
// without a time before its first timed one, or a time cannot be read.
bool ReadFilmScript(const std::string& path, FilmScript& script, std::string& error);
