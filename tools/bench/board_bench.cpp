// The exercise board on the software renderer: the full repaint that every
// mouse move of a drag causes (fourteen bricks, the staff, the gramophone),
// and the latency from a press on a brick to the first sample of its sound,
// measured on the audio output's own clock.

#include "app/IMWindow.h"
#include "exercise/Game.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"

#include "data/EmbeddedData.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vorbis/vorbisfile.h>

namespace {

IMWindow* window = nullptr;
Game* game = nullptr;
AudioManualOutput* audio = nullptr;

void Pump()
{
    Msg msg;
    while (PeekMessage(msg, window->Platform()->GetLetterbox()))
        window->WindowProc(msg);
}

void Setup()
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    audio = new AudioManualOutput(true);
    const Rect rect {0, 0, 800, 600};
    window = CreateMainWindow(L"bench", &rect, true, std::unique_ptr<AudioOutput>(audio));
    game = new Game(window, &rect);
    window->IdleTurn();
    window->IdleTurn();
}

void FullRepaint(benchmark::State& state)
{
    Brick& brick = *game->bricks[0];
    const Point home = brick.picture->GetPosition();
    window->WindowProc({EventCode::MouseMove, 0, 0, home.x + 5, home.y + 5});
    window->WindowProc({EventCode::LeftDown, MouseKey::Left, 0, home.x + 5, home.y + 5});
    int x = 0;
    for (auto _ : state) {
        // One drag step: the brick moves, the whole board is painted.
        x = (x + 7) % 300;
        window->WindowProc({EventCode::MouseMove, MouseKey::Left, 0, 100 + x, 200});
        window->IdleTurn();
    }
    window->WindowProc({EventCode::LeftUp, 0, 0, 100 + x, 200});
    window->IdleTurn();
}
BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The frame at which a sound's own data first leaves silence (some phrases
// start with a rest), read with the decoder directly.
std::uint64_t FirstAudibleFrame(const std::wstring& name)
{
    struct Reader {
        std::span<const unsigned char> bytes;
        std::size_t offset = 0;
    } reader {FindEmbedded(std::wstring_view(name))};
    ov_callbacks callbacks {};
    callbacks.read_func = [](void* out, size_t size, size_t count, void* source) -> size_t {
        auto* r = static_cast<Reader*>(source);
        const std::size_t n = std::min(size * count, r->bytes.size() - r->offset);
        std::memcpy(out, r->bytes.data() + r->offset, n);
        r->offset += n;
        return size ? n / size : 0;
    };
    OggVorbis_File file;
    if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0)
        return 0;
    std::uint64_t frame = 0;
    char buffer[4096];
    int section = 0;
    for (;;) {
        const long bytes = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (bytes <= 0)
            break;
        const auto* samples = reinterpret_cast<const std::int16_t*>(buffer);
        for (long i = 0; i < bytes / 2; ++i)
            if (samples[i] != 0) {
                ov_clear(&file);
                return frame + std::uint64_t(i / 2);
            }
        frame += std::uint64_t(bytes / 4);
    }
    ov_clear(&file);
    return frame;
}

// Frames of output between the press and the first sample of the brick's sound.
void PressLatency()
{
    std::vector<double> latencies;
    for (auto& brickPtr : game->bricks) {
        Brick& brick = *brickPtr;
        audio->Advance(0);
        audio->ClearSamples();
        const Point p = brick.picture->GetPosition();
        window->WindowProc({EventCode::MouseMove, 0, 0, p.x + 5, p.y + 5});
        window->IdleTurn();
        window->WindowProc({EventCode::LeftDown, MouseKey::Left, 0, p.x + 5, p.y + 5});
        std::uint64_t frames = 0;
        const std::uint64_t step = 32;
        bool heard = false;
        while (!heard && frames < 2 * 44100) {
            audio->Advance(step);
            frames += step;
            for (std::int16_t s : audio->Samples())
                if (s != 0) {
                    heard = true;
                    break;
                }
        }
        // The first audible output frame lies within the last step; subtract the
        // silence the sound itself starts with.
        std::uint64_t firstOutput = frames;
        const auto& mixed = audio->Samples();
        for (std::size_t i = 0; i < mixed.size(); ++i)
            if (mixed[i] != 0) {
                firstOutput = i / 2;
                break;
            }
        const std::uint64_t silence = FirstAudibleFrame(brick.soundName);
        latencies.push_back(double(firstOutput > silence ? firstOutput - silence : 0) * 1000.0 / 44100.0);
        window->WindowProc({EventCode::LeftUp, 0, 0, p.x + 5, p.y + 5});
        window->IdleTurn();
        Pump();
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("press to first sample: median %.1f ms, worst %.1f ms over %zu bricks "
                "(output frames between the press and the sound's first sample, less the silence it starts with;\n"
                "the SDL device adds its own buffer of 1024 frames, 23.2 ms, on top)\n",
        latencies[latencies.size() / 2], latencies.back(), latencies.size());
}

}  // namespace

int main(int argc, char** argv)
{
    Setup();
    PressLatency();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    return 0;
}
