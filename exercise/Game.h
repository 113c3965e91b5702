#pragma once
// The exercise board: the brick wall, the staff, the bank of fourteen bricks in
// random order and the gramophone. The board moves its bricks itself on its own
// mouse signals: a press on a brick picks it up (its music plays while it is
// held), moves drag it, a release drops it onto the staff or sends it home.

#include "exercise/Brick.h"
#include "exercise/Micsher.h"
#include "exercise/PlayerExample.h"
#include "toolkit/IMDialogBase.h"

#include <memory>
#include <vector>

class Game : public IMDialogBase {
public:
    Game(IMDialogBase* parent, const Rect* rect);
    ~Game() override;

    long OnBoardMouseButton(const IMMouseEvent& e);
    long OnBoardMouseMove(const IMMouseEvent& e);

    std::vector<std::unique_ptr<Brick>> bricks;  // creation order
    std::unique_ptr<Micsher> staff;
    std::unique_ptr<PlayerExample> gramophone;

private:
    void FillBank();
    void CreateBrick(int x, int y, int sound, int pic);
    void Drop();
};
