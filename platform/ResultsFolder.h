#pragma once
// Where the results workbook lives: one folder per machine that every pupil's
// account can write, or the user's own data folder when the machine has none.
//
//   1. $ZVONKARY_RESULTS_DIR when set (tests, a school's network share);
//   2. /var/lib/KVRT when it can be written (the package creates it for the
//      pupils' group), or can be created (a run as root);
//   3. $XDG_DATA_HOME/KVRT, else ~/.local/share/KVRT, created when missing;
//   4. otherwise nothing: the file is named relative to the working folder.
// Returns the folder with a trailing slash, or an empty string for case 4.

#include <string>

std::string FindResultsFolder(const std::string& machineFolder = "/var/lib/KVRT");
