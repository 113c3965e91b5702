#pragma once
// Where the results workbook lives: one folder per machine that every pupil's
// account can write, or the user's own data folder when the machine has none.
//
//   1. $ZVONKARY_RESULTS_DIR when set (tests, a school's network share);
//   2. the machine's folder when it can be written, or can be created:
//      /var/lib/KVRT (the package creates it for the pupils' group; a run as
//      root creates it), on Windows %PROGRAMDATA%\KVRT;
//   3. the user's own: $XDG_DATA_HOME/KVRT, else ~/.local/share/KVRT, on
//      Windows %LOCALAPPDATA%\KVRT, created when missing;
//   4. otherwise nothing: the file is named relative to the working folder.
// Returns the folder with a trailing slash, or an empty string for case 4. On
// Windows the separators are '/' too, which every Windows file call takes.

#include <string>

// The machine's folder of case 2; empty when the system names none.
std::string MachineResultsFolder();

std::string FindResultsFolder(const std::string& machineFolder = MachineResultsFolder());

// The files the program creates stay writable by the group of the results
// folder whatever umask the session set (Linux); Windows folders give their
// rights to the files made in them, so there it does nothing.
void KeepNewFilesGroupWritable();
