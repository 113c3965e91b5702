#include "app/App.h"

#include "app/ProgramTexts.h"
#include "exercise/Game.h"

App::App()
{
    SetInfo(CatalogueNumberText, TitleText, DescriptionText());
}

void App::RegisterSteps()
{
    RegisterStep(L"Dialog1", [this](IMDialogBase* dialog) { BuildExerciseStep(dialog); });
}

void App::BuildExerciseStep(IMDialogBase* dialog)
{
    const Rect rect {0, 0, BackBufferWidth, BackBufferHeight};
    board = new Game(dialog, &rect);
    board->staff->Completed.connect(Tracked<VoidSlot>(board, [this] { return ShowPraiseAt(137, 100); }));
}
