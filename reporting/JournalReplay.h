#pragma once
// Merges into their workbooks the rows that runs which ended without saving left in their journals (ResultsJournal),
// then removes those journals. A journal whose run still lives is locked and left alone; one that another program is
// replaying at the same moment is left to it. Each row reaches its workbook once, however often this runs.

#include <string>

// Replays the left-behind journals in `folder` (a path ending in a slash, or empty for the working folder). Returns
// how many journals were merged and removed.
int ReplayJournals(const std::string& folder);
