#pragma once
// Merges into their workbooks the rows that runs which ended without saving left in their journals (ResultsJournal),
// then removes those journals. A journal whose run still lives is locked and left alone; one that another program is
// replaying at the same moment is left to it. Each row reaches its workbook once, however often this runs and
// wherever it is interrupted: the workbook records the journal rows it holds.
//
// A replay never keeps its caller waiting on a locked workbook and never writes a file beside one: the rows stay in
// their journal for a later start. A journal whose replay failed, or killed the program twice, is moved aside (its
// name gets ".failed") and said so on standard error, so that no journal can stop the program from starting.
// Starting files of journals whose program died while making them are removed.

#include <string>

// Replays the left-behind journals in `folder` (a path ending in a slash, or empty for the working folder). Returns
// how many journals were merged and removed.
int ReplayJournals(const std::string& folder);
