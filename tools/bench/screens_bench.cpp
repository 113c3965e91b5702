// The screens on the software renderer, from the moment something happens to
// the first frame that shows its answer:
//   PraiseFirstFrame    the staff's completion -> the cloud and the clip's first picture
//   InstructionOnF1     F1 over the board -> the instruction's first frame
//   StartToInstruction  Enter on the start popup, with a class of 30 pupils x 50
//                       attempts in the results folder -> the instruction's first frame
//   OpenClassWorkbook   the workbook part of that (reading the class's file)

#include "app/App.h"
#include "app/IMWindow.h"
#include "exercise/Game.h"
#include "platform/Utf8.h"
#include "reporting/StatisticsWorkbook.h"
#include "support/ProgramHarness.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr int Pupils = 30;
constexpr int AttemptsPerPupil = 50;

// The program, its results in a private folder.
struct Program {
    std::filesystem::path folder;
    std::unique_ptr<ProgramHarness> harness;
    App* app = nullptr;

    Program()
    {
        folder = std::filesystem::temp_directory_path() / ("zv-screens-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        ::setenv("ZVONKARY_RESULTS_DIR", folder.c_str(), 1);
        harness = std::make_unique<ProgramHarness>();
        app = GetApp(L"00917 Игра «Звонкары»", harness->TakeAudioOutput());
        harness->Attach(app->mainWindow.get());
    }
    ~Program()
    {
        harness->Detach();
        ReleaseApp();
        harness.reset();
        std::filesystem::remove_all(folder);
    }
    std::wstring ClassFile() const { return FromUtf8(folder.string()) + L"/00917 Игра «Звонкары».xls"; }
    void WriteClass()
    {
        for (int pupil = 0; pupil < Pupils; ++pupil) {
            StatisticsWorkbook book(ClassFile(), L"Ученик " + std::to_wstring(pupil));
            for (int attempt = 0; attempt < AttemptsPerPupil; ++attempt) {
                book.AddRow(L"Время начала работы с упражнением", L"05-March-2008 14:07", L"String");
                book.AddRow(L"Количество дополнительных вызовов инструкций", L"1", L"Number");
                book.AddRow(L"Общее время работы с упражнением. с.", std::to_wstring(100 + attempt), L"Number");
                book.AddSeparatorRow();
            }
            book.Save(L"");
        }
    }
    // A fresh exercise step, the instruction skipped.
    void BuildStep()
    {
        app->StartExercise();
        harness->Key(VirtualKey::Escape);
    }
    // Back to an empty screen (twice: a closing step shows a result screen).
    void CloseAll()
    {
        for (int pass = 0; pass < 2; ++pass) {
            app->mainWindow->ForEachChild([](IMControl* c) { c->Close(); });
            harness->Turn();
        }
        app->instructionActive = false;
        app->SetNextStep(L"Dialog1");
        harness->Turn();
    }
};

void PraiseFirstFrame(benchmark::State& state)
{
    Program program;
    for (auto _ : state) {
        state.PauseTiming();
        program.CloseAll();
        program.BuildStep();
        state.ResumeTiming();
        Emit(program.app->board->staff->Completed);
        // The update pass builds the praise and shows the clip's first picture; the frame draws it.
        program.harness->Turn();
    }
}
BENCHMARK(PraiseFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(30)->Repetitions(3)->ReportAggregatesOnly();

void InstructionOnF1(benchmark::State& state)
{
    Program program;
    for (auto _ : state) {
        state.PauseTiming();
        program.CloseAll();
        program.BuildStep();
        state.ResumeTiming();
        program.harness->KeyDown(VirtualKey::F1);
    }
}
BENCHMARK(InstructionOnF1)->Unit(benchmark::kMillisecond)->Iterations(30)->Repetitions(3)->ReportAggregatesOnly();

void StartToInstruction(benchmark::State& state)
{
    Program program;
    program.WriteClass();
    for (auto _ : state) {
        state.PauseTiming();
        program.CloseAll();
        program.app->report.reset();
        program.app->ShowStartPopup();
        program.harness->Turn();
        program.harness->Type(L"Ученик 15");
        state.ResumeTiming();
        program.harness->KeyDown(VirtualKey::Return);
    }
}
BENCHMARK(StartToInstruction)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3)->ReportAggregatesOnly();

void OpenClassWorkbook(benchmark::State& state)
{
    Program program;
    program.WriteClass();
    for (auto _ : state)
        StatisticsWorkbook book(program.ClassFile(), L"Ученик 15");
}
BENCHMARK(OpenClassWorkbook)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
