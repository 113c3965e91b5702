#include "platform/SoundLibraryMessages.h"

// WASAPI and DirectSound report to SDL only, never to standard error.
void QuietSoundLibraryUnlessDebugging() { }
