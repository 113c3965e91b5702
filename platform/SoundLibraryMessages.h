#pragma once
// The system's sound library may write its complaints (no sound card, no
// configuration for a device) straight to standard error when SDL probes the
// devices. They belong in the debug log, which is only written on request.

// Silences them unless the debug log is written.
void QuietSoundLibraryUnlessDebugging();
