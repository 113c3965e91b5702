#include "platform/SoundLibraryMessages.h"

#include "platform/DebugOutput.h"

#include <alsa/asoundlib.h>

namespace {

// ALSA's error handler, which would print.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) { }

}  // namespace

void QuietSoundLibraryUnlessDebugging()
{
    if (!IsDebugOutputEnabled())
        snd_lib_error_set_handler(&QuietAlsaError);
}
