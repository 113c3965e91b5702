// One idle turn of the main loop over a still screen: the update pass and the
// dirty check, on a tree of 10 dialogs holding 200 controls in all.

#include "toolkit/IMDialogBase.h"

#include <benchmark/benchmark.h>

namespace {

class Plain : public IMViewControl<IMEmptyView> {
public:
    Plain(IMDialogBase* parent, Rect r)
        : IMViewControl(parent, 0)
    {
        SetRect(r);
    }
};

void IdleTurn(benchmark::State& state)
{
    IMDialogBase root(nullptr, nullptr, 0);
    for (int d = 0; d < 10; ++d) {
        IMDialogBase* dialog = root.CreateDialog(d * 10, d * 10, 400, 300, d);
        for (int c = 0; c < 20; ++c)
            new Plain(dialog, {c * 10, c * 5, c * 10 + 50, c * 5 + 20});
    }
    const IMEvent update(nullptr, EventCode::Update);
    root.Update(update);
    root.Update(update);
    root.SetDirty(false);
    for (auto _ : state) {
        root.Update(update);
        benchmark::DoNotOptimize(root.IsDirty());
    }
    root.Destroy(IMEvent(nullptr, EventCode::Close));
}
BENCHMARK(IdleTurn)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
