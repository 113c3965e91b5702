#include "media/sound/CSoundSystem.h"

#include "data/EmbeddedData.h"
#include "media/sound/SoundSource.h"
#include "platform/AudioDevice.h"
#include "platform/AudioOutput.h"
#include "platform/DebugOutput.h"
#include "platform/Messages.h"

#include <algorithm>
#include <cassert>

namespace {
CSoundSystem* theSoundSystem = nullptr;  // main thread only
}

CSoundSystem* GetSoundSystem()
{
    return theSoundSystem;
}

void SetSoundSystem(CSoundSystem* system)
{
    theSoundSystem = system;
}

CSoundSystem::CSoundSystem() = default;

CSoundSystem::~CSoundSystem()
{
    if (theSoundSystem == this)
        theSoundSystem = nullptr;
    // Explicit, because the members would go in the opposite order: streams
    // join their threads, which read the sources and play on the output.
    streams.clear();
    sources.clear();
    output.reset();
}

int CSoundSystem::InitSound()
{
    return InitSound(OpenAudioDevice());
}

int CSoundSystem::InitSound(std::unique_ptr<AudioOutput> device)
{
    assert(streams.empty() && "InitSound runs once, before any sound exists");
    // Each registration depends on the one before, as the window procedure expects.
    msgSoundPlay = RegisterWindowMessage(L"WM_IM_ONSOUNDPLAY");
    if (msgSoundPlay != 0)
        msgLabel = RegisterWindowMessage(L"WM_IM_ONLABEL");
    if (msgLabel != 0)
        msgSoundStop = RegisterWindowMessage(L"WM_IM_ONSOUNDSTOP");
    msgSoundPause = RegisterWindowMessage(L"WM_IM_ONSOUNDPOUSE");
    output = std::move(device);
    return output ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Creating sounds

std::uint32_t CSoundSystem::CreateSound(std::wstring_view name)
{
    return CreateSoundNamed(name, [name](SoundSource& source) {
        if (const std::optional<int> number = ResourceNumber(name))
            return source.OpenResource(*number);
        return source.OpenFile(name);
    });
}

std::uint32_t CSoundSystem::CreateSoundFromMemory(std::wstring_view name, const void* data, std::size_t size)
{
    return CreateSoundNamed(name, [data, size](SoundSource& source) { return source.OpenMemory(data, size); });
}

std::uint32_t CSoundSystem::CreateSoundNamed(std::wstring_view name, const std::function<bool(SoundSource&)>& open)
{
    if (!output)
        return 0;
    const auto entry = std::find_if(
        sources.begin(), sources.end(), [name](const SoundSourceEntry& candidate) { return candidate.name == name; });
    if (entry != sources.end()) {
        for (const auto& [id, stream] : streams) {
            if (stream->Source() == entry->source.get()) {
                // The caller that asks again takes the sound over: earlier end handlers go.
                stream->Ended.disconnect_all_slots();
                return id;
            }
        }
        ++entry->refCount;
        return AddStream(entry->source.get());
    }
    auto source = std::make_unique<SoundSource>();
    if (!open(*source)) {
        OutputDebugString(L"sound: cannot open " + std::wstring(name));
        return 0;
    }
    SoundSource* opened = source.get();
    sources.push_back({std::move(source), 1, std::wstring(name)});
    return AddStream(opened);
}

std::uint32_t CSoundSystem::AddStream(SoundSource* source)
{
    ++nextSoundId;
    if (streams.contains(nextSoundId))
        return 0;
    streams.emplace(nextSoundId, std::make_unique<CSoundStream>(this, source, nextSoundId));
    return nextSoundId;
}

CSoundStream* CSoundSystem::FindStream(std::uint32_t id) const
{
    const auto found = streams.find(id);
    return found == streams.end() ? nullptr : found->second.get();
}

// ---------------------------------------------------------------------------
// Playing

bool CSoundSystem::Play(std::uint32_t id)
{
    CSoundStream* stream = id == 0 ? nullptr : FindStream(id);
    if (stream == nullptr)
        return false;
    stream->Play();
    return true;
}

bool CSoundSystem::Stop(std::uint32_t id)
{
    CSoundStream* stream = id == 0 ? nullptr : FindStream(id);
    if (stream == nullptr)
        return false;
    stream->Stop();
    return true;
}

IMConnection CSoundSystem::ConnectSoundEnded(std::uint32_t id, const SoundSlot& slot)
{
    CSoundStream* stream = id == 0 ? nullptr : FindStream(id);
    if (stream == nullptr)
        return {};
    return stream->Ended.connect(slot);
}

// ---------------------------------------------------------------------------
// Notifications, handled on the main thread

bool CSoundSystem::HandleSoundMessage(unsigned message, std::uint32_t wParam, std::uint32_t lParam)
{
    // A failed registration leaves 0, which must not catch WM_NULL.
    if (message == 0)
        return false;
    if (message == msgSoundPlay)
        OnSoundPlay(wParam);
    else if (message == msgSoundPause)
        OnSoundPause(wParam);
    else if (message == msgSoundStop)
        OnSoundStop(wParam);
    else if (message == msgLabel)
        OnSoundLabel(wParam, lParam);
    else
        return false;
    return true;
}

void CSoundSystem::OnSoundPlay(std::uint32_t id)
{
    if (CSoundStream* stream = FindStream(id))
        Emit(stream->Started, id);
}

void CSoundSystem::OnSoundPause(std::uint32_t id)
{
    if (CSoundStream* stream = FindStream(id))
        Emit(stream->Ended, id);
}

void CSoundSystem::OnSoundStop(std::uint32_t id)
{
    if (CSoundStream* stream = FindStream(id))
        Emit(stream->Stopped, id);
}

void CSoundSystem::OnSoundLabel(std::uint32_t id, std::uint32_t labelTime)
{
    if (CSoundStream* stream = FindStream(id))
        stream->RunLabel(labelTime);
}
