#pragma once
// A sound system over the hand-stepped output, with SDL's event queue for the
// notifications. Tests advance playback time, then drain the queue the way
// the main window does, recording every notification in arrival order.

#include "media/sound/CSoundSystem.h"
#include "platform/AudioManualOutput.h"
#include "platform/Letterbox.h"
#include "platform/Messages.h"
#include "support/VorbisFixture.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

struct Notification {
    unsigned message = 0;
    std::uint32_t wParam = 0;
    std::uint32_t lParam = 0;
    std::uint64_t frame = 0;  // output frames played when it was taken from the queue

    bool operator==(const Notification&) const = default;
};

class SoundHarness : public ::testing::Test {
protected:
    static constexpr std::uint64_t Second = AudioOutput::Rate;  // output frames
    static constexpr std::uint64_t Tick = Second / 50;          // one 20 ms wake-up

    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
        auto manual = std::make_unique<AudioManualOutput>();
        output = manual.get();
        system = std::make_unique<CSoundSystem>();
        ASSERT_EQ(system->InitSound(std::move(manual)), 0);
        Dispatch();
        notifications.clear();
    }

    void TearDown() override
    {
        output = nullptr;
        system.reset();
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }

    // Takes every queued message, handles it as the main window does and records it.
    void Dispatch()
    {
        Msg msg;
        while (PeekMessage(msg, Letterbox {})) {
            notifications.push_back({msg.message, msg.wParam, msg.lParam, output ? output->FramesPlayed() : 0});
            if (system)
                system->HandleSoundMessage(msg.message, msg.wParam, msg.lParam);
        }
    }

    // Plays `frames` in 20 ms turns, dispatching after each, as the program's
    // loop would between device periods.
    void Run(std::uint64_t frames)
    {
        for (std::uint64_t done = 0; done < frames;) {
            const std::uint64_t step = std::min(Tick, frames - done);
            output->Advance(step);
            done += step;
            Dispatch();
        }
    }

    // Plays until `id` ends (its "WM_IM_ONSOUNDPOUSE" arrives) or `limit`
    // frames pass; returns the frame it ended at, or 0.
    std::uint64_t RunUntilEnded(std::uint32_t id, std::uint64_t limit = 120 * Second)
    {
        const std::uint64_t start = output->FramesPlayed();
        while (output->FramesPlayed() - start < limit) {
            const std::size_t seen = notifications.size();
            Run(Tick);
            for (std::size_t i = seen; i < notifications.size(); ++i)
                if (notifications[i].message == PauseMessage() && notifications[i].wParam == id)
                    return notifications[i].frame;
        }
        return 0;
    }

    std::vector<Notification> Of(std::uint32_t id) const
    {
        std::vector<Notification> found;
        for (const Notification& n : notifications)
            if (n.wParam == id)
                found.push_back(n);
        return found;
    }

    static unsigned PlayMessage() { return RegisterWindowMessage(L"WM_IM_ONSOUNDPLAY"); }
    static unsigned PauseMessage() { return RegisterWindowMessage(L"WM_IM_ONSOUNDPOUSE"); }
    static unsigned StopMessage() { return RegisterWindowMessage(L"WM_IM_ONSOUNDSTOP"); }
    static unsigned LabelMessage() { return RegisterWindowMessage(L"WM_IM_ONLABEL"); }

    // A sound of `seconds` seconds registered from memory under `name`.
    std::uint32_t MakeSound(
        const wchar_t* name, double seconds, int rate = 44100, int channels = 2, double frequency = 440.0)
    {
        VorbisParams params;
        params.rate = rate;
        params.channels = channels;
        params.frames = static_cast<std::int64_t>(seconds * rate);
        params.frequency = frequency;
        keep.push_back(EncodeVorbis(params));
        return system->CreateSoundFromMemory(name, keep.back().data(), keep.back().size());
    }

    AudioManualOutput* output = nullptr;
    std::unique_ptr<CSoundSystem> system;
    std::vector<Notification> notifications;
    std::vector<std::vector<unsigned char>> keep;  // memory sounds must outlive the system
};

// First and last output frame whose left or right sample exceeds `threshold`; {0, 0} when none does.
inline std::pair<std::uint64_t, std::uint64_t> AudibleSpan(
    const std::vector<std::int16_t>& samples, int threshold = 2000)
{
    std::uint64_t first = 0, last = 0;
    bool any = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            if (!any)
                first = i / 2;
            any = true;
            last = i / 2;
        }
    }
    return {first, last};
}
