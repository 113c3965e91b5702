// Costs of the sound system.
//
//   EightStreams: eight sounds playing at once on the hand-stepped output,
//     decoding threads and mixer included; reports the CPU time of the whole
//     process per second of audio as a percentage of one core (goal: <= 3 %).
//   EightStreamsOnDevice: the same on SDL's dummy device in real time.
//   PressToFirstSample: a brick's sound started as a press starts it, on the
//     real SDL device (the dummy driver unless SDL_AUDIODRIVER names another),
//     to the moment its first frames are handed to the device; reports the
//     median and the largest of the presses, and the same plus the device's
//     own buffer, which is when the frames are at the latest heard
//     (goal: <= 25 ms).
//   DecodeFile: decoding a 25 s stereo 44.1 kHz Vorbis file through
//     SoundSource in half-second pieces, as a stream does; reports the same
//     file's time in `ffmpeg -threads 1 -i file.ogg -f null -` run from here,
//     and the ratio (goal: <= 1.2).
//
// The sounds are the program's own: resources 145 and 137-144.

#include "data/EmbeddedData.h"
#include "media/sound/CSoundSystem.h"
#include "media/sound/SoundSource.h"
#include "platform/AudioDevice.h"
#include "platform/AudioManualOutput.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::span<const unsigned char> SoundBytes(const char* resource)
{
    const auto embedded = FindEmbedded(std::string_view(resource));
    if (embedded.empty())
        throw std::runtime_error(std::string("sound_bench: resource ") + resource + " is not embedded");
    return embedded;
}

std::filesystem::path WriteTemporaryFile(std::span<const unsigned char> bytes)
{
    const auto path = std::filesystem::temp_directory_path() / "zv-sound-bench-145.ogg";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("sound_bench: cannot write " + path.string());
    return path;
}

double ProcessCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void EightStreams(benchmark::State& state)
{
    std::vector<std::span<const unsigned char>> sounds;
    for (int k = 137; k <= 144; ++k)
        sounds.push_back(SoundBytes(std::to_string(k).c_str()));
    constexpr std::uint64_t Seconds = 6;
    double cpu = 0;
    double audio = 0;
    for (auto _ : state) {
        auto output = std::make_unique<AudioManualOutput>(false);
        AudioManualOutput* manual = output.get();
        CSoundSystem system;
        system.InitSound(std::move(output));
        std::vector<std::uint32_t> ids;
        for (std::size_t k = 0; k < sounds.size(); ++k)
            ids.push_back(system.CreateSoundFromMemory(std::to_wstring(k), sounds[k].data(), sounds[k].size()));
        const double start = ProcessCpuSeconds();
        for (std::uint32_t id : ids)
            system.Play(id);
        // The device's pace: 20 ms turns.
        for (std::uint64_t turn = 0; turn < Seconds * 50; ++turn)
            manual->Advance(AudioOutput::Rate / 50);
        for (std::uint32_t id : ids)
            system.Stop(id);
        cpu += ProcessCpuSeconds() - start;
        audio += Seconds;
    }
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / audio;
}
BENCHMARK(EightStreams)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same eight sounds on the real output (SDL's dummy driver, which pulls
// frames in real time): the cost as the program pays it, with each thread
// waking on its own event every 20 ms of wall time.
void EightStreamsOnDevice(benchmark::State& state)
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    constexpr double Seconds = 6;
    double cpu = 0;
    double audio = 0;
    for (auto _ : state) {
        CSoundSystem system;
        if (system.InitSound() != 0) {
            state.SkipWithError("no audio device");
            break;
        }
        std::vector<std::uint32_t> ids;
        for (int k = 137; k < 137 + state.range(0); ++k) {
            const auto bytes = SoundBytes(std::to_string(k).c_str());
            ids.push_back(system.CreateSoundFromMemory(std::to_wstring(k), bytes.data(), bytes.size()));
        }
        const double start = ProcessCpuSeconds();
        for (std::uint32_t id : ids)
            system.Play(id);
        std::this_thread::sleep_for(std::chrono::duration<double>(Seconds));
        for (std::uint32_t id : ids)
            system.Stop(id);
        cpu += ProcessCpuSeconds() - start;
        audio += Seconds;
    }
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / audio;
}
// With no stream at all it shows what the device itself costs.
BENCHMARK(EightStreamsOnDevice)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0)->Arg(8);

double SteadyMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PressToFirstSample(benchmark::State& state)
{
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::atomic<bool> listening {false};
    std::atomic<double> heardAt {0};
    auto tap = [&](const std::int16_t* frames, std::size_t count) {
        if (!listening.load())
            return;
        if (std::any_of(frames, frames + count * AudioOutput::Channels, [](std::int16_t s) { return s != 0; })) {
            heardAt.store(SteadyMs());
            listening.store(false);
        }
    };
    CSoundSystem system;
    std::unique_ptr<AudioOutput> device = OpenAudioDevice(tap);
    if (!device || system.InitSound(std::move(device)) != 0) {
        state.SkipWithError("no audio device");
        return;
    }
    const auto bytes = SoundBytes("137");
    const std::uint32_t id = system.CreateSoundFromMemory(L"137", bytes.data(), bytes.size());
    std::vector<double> latencies;
    unsigned phase = 1;
    for (auto _ : state) {
        heardAt.store(0);
        listening.store(true);
        const double pressed = SteadyMs();
        system.Play(id);
        while (heardAt.load() == 0 && SteadyMs() - pressed < 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        listening.store(false);
        if (heardAt.load() == 0) {
            state.SkipWithError("the sound never reached the device");
            break;
        }
        latencies.push_back(heardAt.load() - pressed);
        system.Stop(id);
        // The next press falls at another point of the device's period.
        phase = phase * 1103515245u + 12345u;
        std::this_thread::sleep_for(std::chrono::microseconds(20000 + phase % 12000));
    }
    if (latencies.empty())
        return;
    std::sort(latencies.begin(), latencies.end());
    const double buffer = 1000.0 * DeviceBufferFrames / AudioOutput::Rate;
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["max_ms"] = latencies.back();
    state.counters["device_buffer_ms"] = buffer;
    state.counters["median_heard_ms"] = latencies[latencies.size() / 2] + buffer;
}
BENCHMARK(PressToFirstSample)->Unit(benchmark::kMillisecond)->Iterations(100);

// Wall time of the ffmpeg command, and the decoding time it reports itself.
struct FfmpegTime {
    double wall = 0;
    double decode = 0;
};

FfmpegTime RunFfmpeg(const std::filesystem::path& file)
{
    const std::string command
        = "ffmpeg -hide_banner -nostdin -benchmark -threads 1 -i '" + file.string() + "' -f null - 2>&1";
    FfmpegTime best {1e9, 1e9};
    for (int run = 0; run < 5; ++run) {
        const double start = WallSeconds();
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return {};
        char line[512];
        double rtime = 0;
        while (std::fgets(line, sizeof line, pipe) != nullptr)
            if (std::sscanf(line, "bench: utime=%*fs stime=%*fs rtime=%lfs", &rtime) == 1)
                break;
        while (std::fgets(line, sizeof line, pipe) != nullptr) { }
        if (pclose(pipe) != 0)
            return {};
        best.wall = std::min(best.wall, WallSeconds() - start);
        best.decode = std::min(best.decode, rtime);
    }
    return best;
}

void DecodeFile(benchmark::State& state)
{
    const auto path = WriteTemporaryFile(SoundBytes("145"));
    double seconds = 0;
    double best = 1e9;
    for (auto _ : state) {
        const double start = WallSeconds();
        SoundSource source;
        if (!source.OpenFile(path.wstring())) {
            state.SkipWithError("cannot open the file");
            break;
        }
        const std::uint32_t half = static_cast<std::uint32_t>(source.Rate()) * source.BytesPerFrame() / 2;
        std::vector<unsigned char> region(half);
        std::uint64_t total = 0;
        while (const std::uint32_t got = source.ReadPcm(region.data(), half))
            total += got;
        benchmark::DoNotOptimize(total);
        const double elapsed = WallSeconds() - start;
        best = std::min(best, elapsed);
        seconds = static_cast<double>(total) / source.BytesPerFrame() / source.Rate();
    }
    const FfmpegTime ffmpeg = RunFfmpeg(path);
    std::filesystem::remove(path);
    state.counters["audio_s"] = seconds;
    state.counters["ours_best_ms"] = best * 1000;
    state.counters["ffmpeg_cmd_ms"] = ffmpeg.wall * 1000;
    state.counters["ffmpeg_rtime_ms"] = ffmpeg.decode * 1000;
    state.counters["ratio_to_cmd"] = ffmpeg.wall > 0 ? best / ffmpeg.wall : 0;
    state.counters["ratio_to_rtime"] = ffmpeg.decode > 0 ? best / ffmpeg.decode : 0;
}
BENCHMARK(DecodeFile)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
