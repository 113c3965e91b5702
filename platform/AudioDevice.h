#pragma once
// The real audio output: SDL's default playback device, opened at 44100 Hz
// stereo 16-bit, whose callback (on SDL's audio thread) runs the mixer. SDL
// converts to whatever the hardware wants. Feeding threads wait in wall time.

#include "platform/AudioOutput.h"

#include <memory>

// Opens the default playback device; null (after one debug line saying why)
// when there is none or it cannot be opened, and the program then runs silently.
std::unique_ptr<AudioOutput> OpenAudioDevice();
