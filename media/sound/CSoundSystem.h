#pragma once
// The sound system: owns the audio output, the opened sources (one per sound
// name) and the streams (one per sound identifier); hands out identifiers,
// starts and stops sounds by identifier, and turns the notifications that the
// streams' threads post into signals on the main thread. IMResourceManager
// derives from it; there is one for the whole run. Main thread only.
//
// Identifiers start at 1 and are never reused; 0 means "no sound". Without an
// audio output every CreateSound returns 0 and the program runs silently.
//
// The main window hands every message to HandleSoundMessage before its own
// handling; the four registered message numbers are the sound system's.

#include "media/sound/CSoundStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AudioOutput;
class SoundSource;

class CSoundSystem {
public:
    CSoundSystem();
    // Streams first (each stops its thread), then sources, then the output.
    virtual ~CSoundSystem();
    CSoundSystem(const CSoundSystem&) = delete;
    CSoundSystem& operator=(const CSoundSystem&) = delete;

    // Registers the four notification messages and opens the default playback
    // device. 0 on success, -1 when no device could be opened (one debug line
    // says why); the result may be ignored.
    int InitSound();
    // The same over a given output (tests pass an AudioManualOutput); null
    // leaves the system silent and returns -1.
    int InitSound(std::unique_ptr<AudioOutput> output);

    // A sound from an embedded numbered resource when `name` is a decimal
    // number ("145"), otherwise from the file at path `name`; 0 on failure.
    // Asking again for a name that has a stream returns the same identifier
    // and disconnects every slot of its Ended signal.
    std::uint32_t CreateSound(std::wstring_view name);
    // A sound from `size` bytes of Ogg Vorbis at `data`, which must stay valid
    // for the whole run, registered under `name`; 0 on failure.
    std::uint32_t CreateSoundFromMemory(std::wstring_view name, const void* data, std::size_t size);

    // False for 0 or an unknown identifier; true otherwise, also when the
    // sound was already playing or could not start.
    bool Play(std::uint32_t id);
    // False for 0 or an unknown identifier; otherwise returns true after the
    // stream's thread has ended. Its Ended slots run later, from the queue.
    bool Stop(std::uint32_t id);

    // Connects slot to the stream's Ended signal; an empty connection for 0
    // or an unknown identifier.
    IMConnection ConnectSoundEnded(std::uint32_t id, const SoundSlot& slot);

    // The main window's dispatch: true when `message` is one of the four
    // notification messages, which it then handles (below).
    bool HandleSoundMessage(unsigned message, std::uint32_t wParam, std::uint32_t lParam);
    void OnSoundPlay(std::uint32_t id);                            // "WM_IM_ONSOUNDPLAY": emits Started
    void OnSoundPause(std::uint32_t id);                           // "WM_IM_ONSOUNDPOUSE": emits Ended
    void OnSoundStop(std::uint32_t id);                            // "WM_IM_ONSOUNDSTOP": emits Stopped
    void OnSoundLabel(std::uint32_t id, std::uint32_t labelTime);  // "WM_IM_ONLABEL": runs the label's callback

    bool HasOutput() const { return output != nullptr; }
    // The stream of `id`, or null; for labels and tests.
    CSoundStream* FindStream(std::uint32_t id) const;

private:
    friend class CSoundStream;

    struct SoundSourceEntry {
        std::unique_ptr<SoundSource> source;  // opened once, closed with the system
        std::int32_t refCount = 0;            // streams created for this name
        std::wstring name;                    // the name CreateSound was given
    };

    std::uint32_t CreateSoundNamed(std::wstring_view name, const std::function<bool(SoundSource&)>& open);
    std::uint32_t AddStream(SoundSource* source);

    std::map<std::uint32_t, std::unique_ptr<CSoundStream>> streams;  // one per identifier
    std::vector<SoundSourceEntry> sources;                           // one per name
    std::unique_ptr<AudioOutput> output;                             // null when audio is unavailable
    std::uint32_t nextSoundId = 0;                                   // the last identifier handed out
    unsigned msgSoundPlay = 0;  // registered message numbers; 0 when a registration failed.
    unsigned msgSoundStop = 0;  // Read by the streams' threads, written only before any stream exists.
    unsigned msgSoundPause = 0;
    unsigned msgLabel = 0;
};

// The program's one sound system (the resource manager); null before it
// exists and after it is gone.
CSoundSystem* GetSoundSystem();
void SetSoundSystem(CSoundSystem* system);
