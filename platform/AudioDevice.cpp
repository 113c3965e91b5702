#include "platform/AudioDevice.h"

#include "platform/DebugOutput.h"
#include "platform/SoundLibraryMessages.h"

#include <SDL.h>
#include <string>
#include <utility>

namespace {

class AudioDevice final : public AudioOutput {
public:
    explicit AudioDevice(AudioTap tap)
        : tap(std::move(tap))
    {
    }

    ~AudioDevice() override
    {
        // Closing waits for a running callback, so the mixer is idle before the base goes.
        if (device != 0)
            SDL_CloseAudioDevice(device);
        if (subsystemStarted)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    std::unique_ptr<AudioWakeEvent> CreateWakeEvent() override { return std::make_unique<BeatWakeEvent>(); }

    // Opens and starts the default device; false after a debug line naming SDL's reason.
    bool Open()
    {
        QuietSoundLibraryUnlessDebugging();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return Fail("no audio subsystem");
        subsystemStarted = true;
        SDL_AudioSpec wanted {};
        wanted.freq = Rate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = Channels;
        wanted.samples = DeviceBufferFrames;  // far inside the lead of the feeding threads' half buffers
        wanted.callback = &AudioDevice::Callback;
        wanted.userdata = this;
        SDL_AudioSpec obtained {};
        // No changes allowed: SDL converts to the hardware's format behind the callback.
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0)
            return Fail("cannot open the playback device");
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

private:
    static void SDLCALL Callback(void* self, Uint8* stream, int bytes)
    {
        const std::size_t frames = static_cast<std::size_t>(bytes) / (Channels * sizeof(std::int16_t));
        auto* device = static_cast<AudioDevice*>(self);
        auto* out = reinterpret_cast<std::int16_t*>(stream);
        device->Mix(out, frames);
        if (device->tap)
            device->tap(out, frames);
    }

    static bool Fail(const char* what)
    {
        OutputDebugString(std::string("audio: ") + what + ": " + SDL_GetError());
        return false;
    }

    AudioTap tap;                   // set before the device opens, read only by the callback
    SDL_AudioDeviceID device = 0;   // 0 until opened
    bool subsystemStarted = false;  // SDL counts subsystem starts; each needs its quit
};

}  // namespace

std::unique_ptr<AudioOutput> OpenAudioDevice(AudioTap tap)
{
    auto output = std::make_unique<AudioDevice>(std::move(tap));
    if (!output->Open())
        return nullptr;
    return output;
}
