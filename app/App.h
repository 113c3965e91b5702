#pragma once
// The application object of this program: the exercise "Dialog1" with its
// board, and the screens particular to it.

#include "app/IMApp.h"

class Game;

class App final : public IMApp<App> {
public:
    App();

    void RegisterSteps() override;
    long ShowPraiseAt(int x, int y) override;
    void ShowInstruction(IMDialogBase* dialog) override;
    // The commentary has ended: the closing phrase, the keys, Space to go on.
    long OnInstructionSoundEnd(IMDialogBase* dialog);

    // The exercise step: a new board in stepDialog, whose completion shows the praise.
    void BuildExerciseStep(IMDialogBase* stepDialog);

    Game* board = nullptr;  // the board of the last step built, not owned
};
