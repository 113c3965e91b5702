#include "media/sound/CSoundStream.h"

#include "media/sound/CSoundSystem.h"
#include "media/sound/SoundSource.h"
#include "platform/AudioOutput.h"
#include "platform/DebugOutput.h"
#include "platform/Messages.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <system_error>

CSoundStream::CSoundStream(CSoundSystem* system, SoundSource* source, std::uint32_t id)
    : system(system)
    , source(source)
    , id(id)
{
    AudioOutput& output = *system->output;
    wakeEvent = output.CreateWakeEvent();
    const AudioFormat format {source->Channels(), source->Rate()};
    const auto blockAlign = static_cast<std::uint32_t>(format.BlockAlign());
    const auto avgBytes = static_cast<std::uint32_t>(format.rate) * blockAlign;
    // bufferMs / 1000 seconds of quarter-rate data: exactly one second. Each
    // half holds whole frames, so a rate whose half second is not (11025 Hz)
    // gets a buffer one frame short of a second.
    bufferBytes = static_cast<std::uint32_t>(bufferMs / 1000) * avgBytes / 4;
    halfBytes = bufferBytes / 2 / blockAlign * blockAlign;
    bufferBytes = halfBytes * 2;
    firstHalfOffset = 0;
    buffer = output.CreateBuffer(format, bufferBytes);
    if (!buffer)
        OutputDebugString("sound " + std::to_string(id) + ": no buffer for this format; it will not play");
}

CSoundStream::~CSoundStream()
{
    bool running = false;
    {
        std::lock_guard guard(lock);
        if (state != StateStopped) {
            command = CommandFinish;
            running = true;
        }
    }
    if (running)
        wakeEvent->Set();
    JoinThread();
    {
        std::lock_guard guard(lock);
        DisarmLabels();
    }
    // The buffer leaves the mixer before the event goes; both before the output.
    buffer.reset();
    wakeEvent.reset();
}

bool CSoundStream::IsPlaying()
{
    std::lock_guard guard(lock);
    return state == StatePlaying;
}

// ---------------------------------------------------------------------------
// Start and stop (main thread)

bool CSoundStream::Play()
{
    {
        std::lock_guard guard(lock);
        loop = false;
        if (state == StatePlaying)
            return false;
    }
    // The previous playback's thread has set state 0; it may still be posting its notification.
    JoinThread();
    fillSecondHalf = true;
    OutputDebugString(L" звук играет");
    if (!Prefill())
        return false;
    {
        std::lock_guard guard(lock);
        state = StatePlaying;
        ArmLabels();
    }
    wakeEvent->BeginFeeding();
    try {
        thread = std::thread(&CSoundStream::Run, this);
    } catch (const std::system_error& error) {
        OutputDebugString(std::string("sound: cannot start the decoding thread: ") + error.what());
        wakeEvent->EndFeeding();
        std::lock_guard guard(lock);
        state = StateStopped;
        DisarmLabels();
        return false;
    }
    PostMessage(system->msgSoundPlay, id, 0);
    return true;
}

bool CSoundStream::Stop()
{
    {
        std::lock_guard guard(lock);
        if (state != StatePlaying)
            return false;
        OutputDebugString(L" звук стой");
        DisarmLabels();
        buffer->Stop();
        command = CommandFinish;
    }
    wakeEvent->Set();
    // Joining waits for more than state 0: the thread has also posted its end
    // notification, and the next Play can start a new thread at once.
    JoinThread();
    return true;
}

void CSoundStream::JoinThread()
{
    if (thread.joinable())
        thread.join();
}

// The first half is written before playback starts; the second half is left
// as it is, because the thread's first wake-up refills it.
bool CSoundStream::Prefill()
{
    if (!buffer)
        return false;
    buffer->SetCurrentPosition(0);
    std::span<unsigned char> region;
    if (LockRegion(firstHalfOffset, region) != AudioResult::Ok)
        return false;
    source->Rewind();
    const std::uint32_t written = source->ReadPcm(region.data(), halfBytes);
    std::memset(region.data() + written, 0, halfBytes - written);
    std::lock_guard guard(lock);
    endCount = 0;
    buffer->Unlock(region);
    return true;
}

// ---------------------------------------------------------------------------
// The decoding thread

void CSoundStream::Run()
{
    buffer->Play(true);
    std::unique_lock guard(lock, std::defer_lock);
    for (;;) {
        const WakeReason reason = wakeEvent->Wait(WakePeriod);
        guard.lock();
        RefillDueHalf();
        PostDueLabels();
        // Leaves still holding the lock, so state turns 0 with no refill in between.
        if (reason == WakeReason::Signalled && command == CommandFinish)
            break;
        guard.unlock();
    }
    command = CommandNone;
    endCount = 0;
    state = StateStopped;
    guard.unlock();
    OutputDebugString(L" звук остановился");
    PostMessage(system->msgSoundPause, id, 0);
    // Last: from here on the manual output no longer waits for this thread.
    wakeEvent->EndFeeding();
}

// Refills the half the play cursor has left: the second while it plays the first, and back.
void CSoundStream::RefillDueHalf()
{
    std::uint32_t cursor = 0;
    if (buffer->GetCurrentPosition(cursor) != AudioResult::Ok)
        return;
    if (cursor < halfBytes && fillSecondHalf) {
        RefillHalf(halfBytes);
        fillSecondHalf = false;
    } else if (cursor > halfBytes && !fillSecondHalf) {
        RefillHalf(firstHalfOffset);
        fillSecondHalf = true;
    }
}

void CSoundStream::RefillHalf(std::uint32_t offset)
{
    if (endCount == 2) {
        // The half of silence queued after the data has been played: finish at the next turn.
        DisarmLabels();
        buffer->Stop();
        command = CommandFinish;
        endCount = 0;
        wakeEvent->Set();
    }
    std::span<unsigned char> region;
    if (LockRegion(offset, region) != AudioResult::Ok)
        return;
    std::uint32_t written = source->ReadPcm(region.data(), halfBytes);
    if (written < halfBytes) {
        if (loop) {
            source->Rewind();
            written += source->ReadPcm(region.data() + written, halfBytes - written);
        } else {
            ++endCount;
        }
        std::memset(region.data() + written, 0, halfBytes - written);
    }
    if (buffer->Unlock(region) != AudioResult::Ok)
        endCount = 1;
}

// A lost buffer is restored and locked once more; that second lock decides.
AudioResult CSoundStream::LockRegion(std::uint32_t offset, std::span<unsigned char>& region)
{
    AudioResult result = buffer->Lock(offset, halfBytes, region);
    if (result == AudioResult::Lost) {
        buffer->Restore();
        result = buffer->Lock(offset, halfBytes, region);
    }
    return result;
}

// ---------------------------------------------------------------------------
// Labels. The "timers" are due times on the buffer's playing clock, looked at
// by the decoding thread at every wake-up, so they keep step with what has
// actually been heard.

void CSoundStream::AddLabel(std::uint32_t timeMs, std::function<void()> callback)
{
    labelCallbacks[timeMs] = std::move(callback);
    std::lock_guard guard(lock);
    labelTimes.push_back(timeMs);
}

bool CSoundStream::RunLabel(std::uint32_t timeMs)
{
    const auto found = labelCallbacks.find(timeMs);
    if (found == labelCallbacks.end() || !found->second)
        return false;
    found->second();
    return true;
}

void CSoundStream::ArmLabels()
{
    // A new playback starts its playing clock at 0, so each label is due at its own time.
    labelTimers = labelTimes;
}

void CSoundStream::DisarmLabels()
{
    labelTimers.clear();
}

void CSoundStream::PostDueLabels()
{
    if (labelTimers.empty())
        return;
    const std::uint64_t playedMs = buffer->PlayingMs();
    for (std::size_t i = 0; i < labelTimers.size();) {
        if (labelTimers[i] > playedMs) {
            ++i;
            continue;
        }
        const std::uint32_t time = labelTimes[i];
        labelTimes.erase(labelTimes.begin() + static_cast<std::ptrdiff_t>(i));
        labelTimers.erase(labelTimers.begin() + static_cast<std::ptrdiff_t>(i));
        PostMessage(system->msgLabel, id, time);
    }
}
