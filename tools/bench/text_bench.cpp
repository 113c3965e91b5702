// Text on the software renderer: laying out the start popup's description
// (829 characters wrapped to 593 pixels) with a warm and with a cold glyph
// cache, and drawing a frame of 1000 glyphs.

#include "app/ProgramTexts.h"
#include "platform/AudioManualOutput.h"
#include "platform/PlatformWindow.h"
#include "render/IMResourceManager.h"
#include "toolkit/IMPictures.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

std::unique_ptr<PlatformWindow> window;

struct Screen {
    Screen()
    {
        CreateResourceManager(true, window.get(), std::make_unique<AudioManualOutput>(false));
        root = std::make_unique<IMDialogBase>(nullptr, nullptr, 0);
    }
    ~Screen()
    {
        root->Destroy(IMEvent(nullptr, EventCode::Close));
        root.reset();
        DestroyResourceManager();
    }
    IMStaticPictureBase<IMTextView>* Description()
    {
        auto* label = new IMStaticPictureBase<IMTextView>(root.get(), 0);
        label->textColour = 0xFF072134;
        label->fontSize = 18;
        label->SetRect({0, 0, 593, 415});
        label->wrap = true;
        return label;
    }
    std::unique_ptr<IMDialogBase> root;
};

void WarmLayout(benchmark::State& state)
{
    Screen screen;
    auto* label = screen.Description();
    label->SetText(DescriptionText());
    for (auto _ : state) {
        label->Layout(0);
        benchmark::DoNotOptimize(label->GetSourceRect());
    }
}
BENCHMARK(WarmLayout)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void WarmSetText(benchmark::State& state)
{
    Screen screen;
    auto* label = screen.Description();
    label->SetText(DescriptionText());
    for (auto _ : state)
        label->SetText(DescriptionText());
}
BENCHMARK(WarmSetText)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Every glyph rendered for the first time: a fresh manager per iteration,
// timed by hand around SetText only.
void ColdSetText(benchmark::State& state)
{
    for (auto _ : state) {
        Screen screen;
        auto* label = screen.Description();
        const auto start = std::chrono::steady_clock::now();
        label->SetText(DescriptionText());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(ColdSetText)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void DrawThousandGlyphs(benchmark::State& state)
{
    Screen screen;
    std::wstring text;
    for (int i = 0; i < 1000; ++i)
        text.push_back(L"абвгдеёжзийклмнопрстуфхцчшщыэюя ABCDEFGHIJ"[i % 42]);
    auto* label = new IMStaticPictureBase<IMTextView>(screen.root.get(), 0);
    label->SetRect({0, 0, 800, 600});
    label->wrap = true;
    label->SetText(text);
    screen.root->Update(IMEvent(nullptr, EventCode::Update));
    IMResourceManager* manager = GetResourceManager();
    for (auto _ : state) {
        manager->BeginFrame();
        screen.root->SetDirty(true);
        screen.root->Draw(IMEvent(nullptr, EventCode::Paint));
        manager->EndFrame();  // SDL batches draws until the frame is presented
    }
}
BENCHMARK(DrawThousandGlyphs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    window = PlatformWindow::Create(L"bench", false, &error);
    if (!window)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset();
    return 0;
}
