#pragma once
// The real audio output: SDL's default playback device, opened at 44100 Hz
// stereo 16-bit, whose callback (on SDL's audio thread) runs the mixer. SDL
// converts to whatever the hardware wants. Feeding threads wait in wall time.

#include "platform/AudioOutput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Sees every block of frames the mixer hands the device, on SDL's audio thread,
// as it is handed over (interleaved stereo). The benchmarks time sounds with it.
using AudioTap = std::function<void(const std::int16_t* frames, std::size_t count)>;

// The frames SDL is asked to take per callback: 11.6 ms, the longest a pressed
// brick waits before its first frames reach the device.
inline constexpr int DeviceBufferFrames = 512;

// Opens the default playback device; null (after one debug line saying why)
// when there is none or it cannot be opened, and the program then runs silently.
std::unique_ptr<AudioOutput> OpenAudioDevice(AudioTap tap = {});
