// The sound system: identifiers, shared sources, the four notifications and
// their dispatch, silence without a device, and the real SDL device.

#include "SoundHarness.h"
#include "data/EmbeddedData.h"
#include "platform/DebugOutput.h"
#include "platform/Utf8.h"

#include <boost/signals2/shared_connection_block.hpp>

#include <chrono>
#include <filesystem>
#include <thread>

using SoundSystem = SoundHarness;

TEST_F(SoundSystem, IdentifiersStartAtOneAndGrowPerNewSound)
{
    EXPECT_EQ(MakeSound(L"first", 0.1), 1u);
    EXPECT_EQ(MakeSound(L"second", 0.1), 2u);
    EXPECT_EQ(system->CreateSound(L"/no/such/sound.ogg"), 0u) << "a failure uses no identifier";
    EXPECT_EQ(MakeSound(L"third", 0.1), 3u);
}

// Asking again for a name hands back its identifier and drops the end handlers
// connected so far; the source is opened only once.
TEST_F(SoundSystem, TheSameNameTwiceGivesTheSameIdentifierWithoutEndHandlers)
{
    const std::uint32_t id = MakeSound(L"melody", 0.3);
    int earlier = 0, later = 0;
    system->ConnectSoundEnded(id, [&](std::uint32_t) { return long(++earlier); });

    const auto& bytes = keep.back();
    EXPECT_EQ(system->CreateSoundFromMemory(L"melody", bytes.data(), bytes.size()), id);
    EXPECT_EQ(system->CreateSoundFromMemory(L"melody", nullptr, 0), id) << "the data is not looked at again";
    system->ConnectSoundEnded(id, [&](std::uint32_t) { return long(++later); });
    system->Play(id);
    ASSERT_NE(RunUntilEnded(id), 0u);

    EXPECT_EQ(earlier, 0);
    EXPECT_EQ(later, 1);
    EXPECT_EQ(MakeSound(L"other", 0.1), id + 1);
}

TEST_F(SoundSystem, TheSameResourceNumberTwiceGivesTheSameIdentifier)
{
    if (FindEmbedded(std::string_view("126")).empty())
        GTEST_SKIP() << "resource 126 is not embedded yet";
    const std::uint32_t id = system->CreateSound(L"126");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(system->CreateSound(L"126"), id);
}

TEST_F(SoundSystem, UnknownNamesAndIdentifiersDoNothing)
{
    for (const wchar_t* name : {L"130", L"999", L"", L"/no/such/sound.ogg", L"12a"})
        EXPECT_EQ(system->CreateSound(name), 0u) << ToUtf8(name);
    const std::string text = "not Ogg Vorbis";
    EXPECT_EQ(system->CreateSoundFromMemory(L"text", text.data(), text.size()), 0u);

    for (const std::uint32_t id : {0u, 1u, 77u}) {
        EXPECT_FALSE(system->Play(id)) << id;
        EXPECT_FALSE(system->Stop(id)) << id;
        EXPECT_FALSE(system->ConnectSoundEnded(id, [](std::uint32_t) { return 0L; }).connected()) << id;
    }
    Run(Tick);
    EXPECT_TRUE(notifications.empty());
}

TEST_F(SoundSystem, FileSoundsPlayLikeMemorySounds)
{
    VorbisParams params;
    params.frames = 30000;
    const auto path = WriteTemporaryFile(EncodeVorbis(params), "zv-system");
    const std::uint32_t id = system->CreateSound(path.wstring());
    ASSERT_NE(id, 0u);
    EXPECT_EQ(system->CreateSound(path.wstring()), id);
    system->Play(id);
    EXPECT_NE(RunUntilEnded(id), 0u);
    const auto [first, last] = AudibleSpan(output->Samples());
    EXPECT_NEAR(static_cast<double>(last - first), 30000, 100);
    system.reset();  // closes the file before it is removed
    std::filesystem::remove(path);
}

// The main window hands each message over; each of the four numbers reaches
// its own handler, with the identifier from wParam.
TEST_F(SoundSystem, TheFourNotificationsReachTheirSignals)
{
    const std::uint32_t id = MakeSound(L"tune", 0.5);
    CSoundStream* stream = system->FindStream(id);
    std::vector<std::string> calls;
    stream->Started.connect([&](std::uint32_t which) {
        calls.push_back("Started " + std::to_string(which));
        return 1L;
    });
    stream->Ended.connect([&](std::uint32_t which) {
        calls.push_back("Ended " + std::to_string(which));
        return 2L;
    });
    stream->Stopped.connect([&](std::uint32_t which) {
        calls.push_back("Stopped " + std::to_string(which));
        return 3L;
    });
    stream->AddLabel(40, [&] { calls.push_back("label 40"); });

    EXPECT_TRUE(system->HandleSoundMessage(PlayMessage(), id, 0));
    EXPECT_TRUE(system->HandleSoundMessage(PauseMessage(), id, 0));
    EXPECT_TRUE(system->HandleSoundMessage(StopMessage(), id, 0));
    EXPECT_TRUE(system->HandleSoundMessage(LabelMessage(), id, 40));
    EXPECT_TRUE(system->HandleSoundMessage(PauseMessage(), 99, 0)) << "ours, for no stream";
    EXPECT_FALSE(system->HandleSoundMessage(0, id, 0));
    EXPECT_FALSE(system->HandleSoundMessage(0x0010, id, 0));
    EXPECT_FALSE(system->HandleSoundMessage(RegisterWindowMessage(L"SOMEONE_ELSE"), id, 0));

    EXPECT_EQ(calls, (std::vector<std::string> {"Started 1", "Ended 1", "Stopped 1", "label 40"}));
}

// Ended runs on the main thread, after the start, once per playback; a slot
// whose object has gone (a closed screen) is simply skipped.
TEST_F(SoundSystem, NotificationsArriveInOrderAndDeadSlotsAreSkipped)
{
    const std::uint32_t id = MakeSound(L"tune", 0.4);
    const auto caller = std::this_thread::get_id();
    std::vector<std::thread::id> endedOn;
    auto screen = std::make_shared<int>(0);
    system->ConnectSoundEnded(id, SoundSignal::slot_type([](std::uint32_t) { return 0L; }).track_foreign(screen));
    screen.reset();
    system->Play(id);
    ASSERT_NE(RunUntilEnded(id), 0u);  // the only slot is dead: nothing throws

    system->ConnectSoundEnded(id, [&](std::uint32_t) {
        endedOn.push_back(std::this_thread::get_id());
        return 0L;
    });
    system->Play(id);
    ASSERT_NE(RunUntilEnded(id), 0u);

    const auto seen = Of(id);
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i].message, i % 2 == 0 ? PlayMessage() : PauseMessage()) << i;
    EXPECT_EQ(endedOn, std::vector<std::thread::id> {caller});
}

TEST(SoundSystemWithoutDevice, RunsSilently)
{
    CSoundSystem system;
    EXPECT_EQ(system.InitSound(nullptr), -1);
    VorbisParams params;
    const auto bytes = EncodeVorbis(params);
    EXPECT_FALSE(system.HasOutput());
    EXPECT_EQ(system.CreateSoundFromMemory(L"tune", bytes.data(), bytes.size()), 0u);
    EXPECT_FALSE(system.Play(0));
    EXPECT_FALSE(system.Stop(0));
    EXPECT_FALSE(system.ConnectSoundEnded(0, [](std::uint32_t) { return 0L; }).connected());
}

// The program's own device under SDL's dummy driver: a short sound plays in
// real time and its end notification arrives.
TEST(SoundSystemWithDevice, PlaysOnTheSDLDevice)
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    {
        CSoundSystem system;
        ASSERT_EQ(system.InitSound(), 0);
        VorbisParams params;
        params.frames = 4410;
        const auto bytes = EncodeVorbis(params);
        const std::uint32_t id = system.CreateSoundFromMemory(L"tune", bytes.data(), bytes.size());
        ASSERT_EQ(id, 1u);
        int ended = 0;
        system.ConnectSoundEnded(id, [&](std::uint32_t) { return long(++ended); });
        ASSERT_TRUE(system.Play(id));

        // About one second of real playback; give it ten.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        Msg msg;
        while (ended == 0 && std::chrono::steady_clock::now() < deadline) {
            WaitMessage(20);
            while (PeekMessage(msg, Letterbox {}))
                system.HandleSoundMessage(msg.message, msg.wParam, msg.lParam);
        }
        EXPECT_EQ(ended, 1);
    }
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}
