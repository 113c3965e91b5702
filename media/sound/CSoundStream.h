#pragma once
// The playback of one sound identifier: a one-second sound buffer that its own
// decoding thread refills half by half while the other half plays, the end
// detection, and the notifications posted to the main thread when playback
// starts and ends. The sound system owns every stream and routes Play and Stop
// to it; the signals are emitted by the sound system's message handlers on the
// main thread.
//
// Timeline of a playback: Play() fills the first half and starts the thread;
// the thread starts the buffer looping and wakes every 20 ms of playback (or
// when signalled), refilling the half the cursor has just left. A refill that
// comes up short counts 1, one that finds nothing counts 2 (a whole half of
// silence is queued), and the refill after that stops the buffer: the last
// sample has been heard when the end notification is posted.

#include "platform/AudioBuffer.h"
#include "platform/AudioWakeEvent.h"

#include "events/IMSignal.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

class CSoundSystem;
class SoundSource;

// Signals of a stream carry its sound identifier.
using SoundSignal = IMSignal<long(std::uint32_t)>;
using SoundSlot = SoundSignal::slot_type;

class CSoundStream {
public:
    // Creates the wake event and the buffer (one second of the source's
    // format); without a buffer the stream exists but cannot play.
    CSoundStream(CSoundSystem* system, SoundSource* source, std::uint32_t id);
    // Stops a running playback and waits for its thread; the thread's end
    // notification may still arrive and then finds no stream.
    ~CSoundStream();
    CSoundStream(const CSoundStream&) = delete;
    CSoundStream& operator=(const CSoundStream&) = delete;

    // From the beginning, on a new thread; posts "WM_IM_ONSOUNDPLAY". False
    // when already playing (nothing changes) or when the buffer cannot be
    // filled (nothing is posted).
    bool Play();
    // False when not playing. Otherwise stops the buffer and returns after the
    // decoding thread has ended; that thread has posted "WM_IM_ONSOUNDPOUSE".
    bool Stop();

    // Labels: a callback due `timeMs` of playback after the start, armed by
    // the next Play. When due the decoding thread posts "WM_IM_ONLABEL" (id,
    // timeMs) and forgets the label; the main window then runs the callback
    // through RunLabel. Main thread. The program itself sets no labels.
    void AddLabel(std::uint32_t timeMs, std::function<void()> callback);
    bool RunLabel(std::uint32_t timeMs);

    std::uint32_t Id() const { return id; }
    SoundSource* Source() const { return source; }
    bool IsPlaying();
    bool HasBuffer() const { return buffer != nullptr; }

    SoundSignal Started;  // "WM_IM_ONSOUNDPLAY" handled; never has slots in this program
    SoundSignal Ended;    // "WM_IM_ONSOUNDPOUSE" handled: the data ran out or Stop() was called
    SoundSignal Stopped;  // "WM_IM_ONSOUNDSTOP" handled; that message is never posted

private:
    static constexpr std::int32_t StateStopped = 0;
    static constexpr std::int32_t StatePlaying = 1;
    static constexpr std::int32_t CommandNone = 0;
    static constexpr std::int32_t CommandFinish = 3;
    static constexpr auto WakePeriod = std::chrono::milliseconds(20);

    void Run();  // the decoding thread
    bool Prefill();
    void RefillDueHalf();
    void RefillHalf(std::uint32_t offset);
    AudioResult LockRegion(std::uint32_t offset, std::span<unsigned char>& region);
    void ArmLabels();
    void DisarmLabels();
    void PostDueLabels();
    void JoinThread();

    CSoundSystem* const system;                 // owner: the output, the message numbers
    SoundSource* const source;                  // owned by the system, played only by this stream
    std::int32_t state = StateStopped;          // under lock; written by the thread as its last change
    std::int32_t command = CommandNone;         // under lock; CommandFinish asks the thread to end
    std::unique_ptr<AudioWakeEvent> wakeEvent;  // wakes the thread before its 20 ms are up
    std::thread thread;                         // the decoding thread of the latest playback
    std::uint32_t bufferBytes = 0;              // one second, in whole frames
    bool fillSecondHalf = false;                // which half the next refill writes
    std::uint32_t firstHalfOffset = 0;          // always 0
    std::uint32_t halfBytes = 0;                // bufferBytes / 2
    std::unique_ptr<AudioBuffer> buffer;        // the ring; null when it could not be created
    bool loop = false;                          // under lock; cleared by every start, set by nobody
    std::int32_t endCount = 0;                  // under lock; refills that found the data exhausted
    std::map<std::uint32_t, std::function<void()>> labelCallbacks;  // main thread: label time -> callback
    std::vector<std::uint32_t> labelTimes;                          // under lock: labels not yet due, in ms of playback
    std::vector<std::uint32_t> labelTimers;  // under lock: armed due times, parallel to labelTimes; empty when disarmed
    const std::uint32_t id;                  // the sound identifier
    std::mutex lock;                         // serialises the thread's refills with Play, Stop, destruction
    const std::int32_t bufferMs = 4000;      // divided by four in the size formula: one second
};
