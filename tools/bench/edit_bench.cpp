// Typing on the software renderer: one character typed into a name field
// that already holds 100 characters, on a stand-in of the start popup (its
// background, labels, scrollable description, scroll bar, name field, buttons
// and key pictures), timed from the character message to the finished frame.
// Each timed character is erased again, untimed, so the field stays at 100.

#include "app/IMWindow.h"
#include "app/ProgramTexts.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "render/IMResourceManager.h"
#include "toolkit/IMEditBar.h"
#include "toolkit/IMScroll.h"

#include <SDL.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace {

IMWindow* window = nullptr;
IMEditBar* nameField = nullptr;

using Label = IMStaticPictureBase<IMTextView>;

Label* AddLabel(IMDialogBase* parent, int x, int y, const std::wstring& text, int size, bool bold)
{
    auto* label = new Label(parent, 0);
    label->textColour = 0xFF072134;
    label->fontSize = size;
    label->bold = bold;
    label->Layout(0);
    label->SetText(text);
    label->SetRect(label->GetSourceRect());
    label->IMTextView::SetPosition(x, y);
    return label;
}

void Centre(Label* label, int popupWidth)
{
    label->IMTextView::SetPosition(popupWidth / 2 - label->GetWidth() / 2, label->GetPosition().y);
}

void BuildPopup()
{
    auto* popup = new IMDialogBase(window, nullptr, 0);
    popup->CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect(popup->GetRect());
    Centre(AddLabel(popup, 0, 10, L"Пеламира", 14, false), 800);
    Centre(AddLabel(popup, 0, 35, L"Тернавика", 18, true), 800);
    AddLabel(popup, 30, 115, L"Номер ЦОР:", 18, true);
    AddLabel(popup, 135, 115, L"00917", 18, false);
    AddLabel(popup, 30, 152, L"Название:", 18, true);
    AddLabel(popup, 135, 152, L"Игра «Звонкары»", 18, false);
    AddLabel(popup, 30, 188, L"Описание:", 18, true);

    IMDialogBase* clip = popup->CreateDialog(119, 187, 593, 236, 0);
    IMDialogBase* panel = clip->CreateDialog(0, 0, 593, 236, 0);
    auto* description = new Label(panel, 0);
    description->textColour = 0xFF072134;
    description->fontSize = 18;
    description->SetRect({0, 0, 593, 415});
    description->wrap = true;
    description->Layout(0);
    description->SetText(DescriptionText());
    description->SetRect(description->GetSourceRect());
    panel->SetRect({0, 0, 593, description->GetHeight()});
    const Rect scrollRect {712, 187, 726, 427};
    auto* scroll = new IMScroll(popup, &scrollRect);
    scroll->maximum = panel->GetHeight();
    scroll->page = 236;
    scroll->UpdateLayout();

    AddLabel(popup, 30, 460, L"Ученик:", 18, true);
    nameField = new IMEditBar(popup);
    nameField->SetSize(520, 20);
    nameField->SetPosition(135, 460);
    nameField->SetFocus(true);
    popup->CreateButton(690, 450, L"StartPopStartButton", L"StartPopStartButton", L"StartPopStartButtonNuv",
        L"StartPopStartButtonKlick", 0);
    popup->CreateButton(755, 22, L"ExitButton", L"", L"", L"", 0);
    AddLabel(popup, 30, 520, L"Клавиши:", 18, true);
    popup->CreatePicture(135, 517, L"EscButton", 0);
    AddLabel(popup, 180, 520, L"- пропустить инструкцию;", 16, false);
    popup->CreatePicture(350, 517, L"F1Button", 0);
    AddLabel(popup, 395, 520, L"- повторить инструкцию;", 16, false);
    popup->CreatePicture(555, 517, L"F12Button", 0);
    AddLabel(popup, 600, 520, L"- выход", 16, false);
}

void Send(unsigned message, std::uint32_t wParam)
{
    window->WindowProc({message, wParam, 0, 0, 0});
}

// A name of 100 characters, Cyrillic and Latin, typed as the pupil would.
void FillName()
{
    const std::wstring letters = L"Мария Ивановна Петрова-Водкина Anna ";
    for (int i = 0; i < 100; ++i)
        Send(EventCode::Char, letters[i % letters.size()]);
    window->IdleTurn();
}

// Milliseconds of processor time this thread has used: the machine the
// benchmarks run on is shared, and wall time then measures the neighbours too.
double ThreadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Median, 90th percentile and worst of the samples, as counters in milliseconds.
void Report(benchmark::State& state, const char* name, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const std::string prefix(name);
    state.counters[prefix + "_median_ms"] = samples[samples.size() / 2];
    state.counters[prefix + "_p90_ms"] = samples[samples.size() * 9 / 10];
    state.counters[prefix + "_max_ms"] = samples.back();
}

// Runs the timed step once per iteration, each followed by the untimed one.
template <class Timed, class Untimed> void Measure(benchmark::State& state, Timed timed, Untimed untimed)
{
    std::vector<double> wall, cpu;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        timed();
        cpu.push_back(ThreadCpuMs() - cpuStart);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        wall.push_back(seconds * 1000.0);
        untimed();
    }
    // Per keystroke, not per repetition: the target is on the median keystroke.
    Report(state, "wall", wall);
    Report(state, "cpu", cpu);
}

void TypeCharacter(benchmark::State& state)
{
    FillName();
    // The glyph is rendered once, outside the timing.
    Send(EventCode::Char, L'я');
    window->IdleTurn();
    Send(EventCode::Char, 8);
    window->IdleTurn();
    Measure(
        state,
        [] {
            Send(EventCode::Char, L'я');
            window->IdleTurn();  // update pass, the frame (drawn and presented), timers
        },
        [] {
            Send(EventCode::Char, 8);
            window->IdleTurn();
        });
    if (nameField->GetText().size() != 100)
        state.SkipWithError("the name field did not stay at 100 characters");
}
BENCHMARK(TypeCharacter)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1000);

// The same frame without the typing: what the edit itself adds is the difference.
void RepaintOnly(benchmark::State& state)
{
    Measure(
        state,
        [] {
            window->SetDirty(true);
            window->IdleTurn();
        },
        [] {});
}
BENCHMARK(RepaintOnly)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1000);

}  // namespace

int main(int argc, char** argv)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    const Rect rect {0, 0, 800, 600};
    window = CreateMainWindow(L"bench", &rect, true, std::make_unique<AudioManualOutput>(false));
    BuildPopup();
    window->IdleTurn();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    return 0;
}
