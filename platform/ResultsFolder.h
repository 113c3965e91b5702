#pragma once
// Where the results workbook lives: one folder per machine that every pupil's
// account can write, or the user's own data folder when the machine has none.
//
//   1. $ZVONKARY_RESULTS_DIR when set (tests, a school's network share); it is
//      never created, since a missing one is most likely a share that is not
//      mounted, which would later hide whatever was written in its place;
//   2. the machine's folder when it can be written, or can be created:
//      /var/lib/KVRT (the package creates it for the pupils' group; a run as
//      root creates it), on Windows %PROGRAMDATA%\KVRT (the installer creates
//      it for the Users group);
//   3. $XDG_DATA_HOME/KVRT, else ~/.local/share/KVRT, created when missing; on
//      Windows %LOCALAPPDATA%\KVRT.
// A $ZVONKARY_RESULTS_DIR that cannot be used sends the results to 3 instead,
// and says so. Never the working folder: when none of these works there is no
// results folder at all. On Windows the separators are '/' too, which every
// Windows file call takes.

#include <string>

struct ResultsLocation {
    std::string folder;    // with a trailing slash; empty when no folder can be used
    std::string intended;  // the folder the results belong in when they cannot go there; empty when they do
};

// The machine's folder of rule 2; empty when the system names none.
std::string MachineResultsFolder();

ResultsLocation LocateResultsFolder(const std::string& machineFolder = MachineResultsFolder());

// LocateResultsFolder's folder alone.
std::string FindResultsFolder(const std::string& machineFolder = MachineResultsFolder());
