#include "exercise/Game.h"

#include "platform/Random.h"
#include "toolkit/IMServices.h"

#include <algorithm>

namespace {

constexpr int ShelfTops[4] = {309, 377, 453, 518};
constexpr int BankLeft = 38;
// Bricks lie above the board's pictures; the one being dragged above them all.
constexpr int BrickLayer = 10;
constexpr int HeldBrickLayer = 20;

}  // namespace

Game::Game(IMDialogBase* parent, const Rect* rect)
    : IMDialogBase(parent, rect, 0)
{
    CreatePicture(0, 0, L"111", 0);
    CreatePicture(18, 13, L"112", 0);
    staff = std::make_unique<Micsher>(this);
    CreatePicture(20, 300, L"115", 1);
    gramophone = std::make_unique<PlayerExample>(this);
    FillBank();
    ConnectMouseButton(Tracked<MouseSlot>(this, [this](const IMMouseEvent& e) { return OnBoardMouseButton(e); }));
    ConnectMouseMoved(Tracked<MouseSlot>(this, [this](const IMMouseEvent& e) { return OnBoardMouseMove(e); }));
}

Game::~Game()
{
    // The staff stops its play first; the pictures are children and go with the board.
    staff.reset();
    gramophone.reset();
    bricks.clear();
}

// ---------------------------------------------------------------------------
// The bank

void Game::FillBank()
{
    staff->Reset();
    Srand(static_cast<unsigned>(CurrentTime()));
    bricks.clear();

    // Random numbers in a fixed order: sound then picture for each pair, then one per brick.
    std::vector<std::pair<int, int>> pairs;
    auto pairUp = [&pairs](std::vector<int> sounds, const std::vector<int>& pictures) {
        while (!sounds.empty()) {
            const std::size_t i = std::size_t(Rand()) % sounds.size();
            const std::size_t j = std::size_t(Rand()) % pictures.size();
            pairs.emplace_back(sounds[i], pictures[j]);
            sounds.erase(sounds.begin() + i);
        }
    };
    pairUp({131, 132, 133, 134, 135, 136}, {102, 103, 104, 105});
    pairUp({137, 138, 139, 140, 141, 142, 143, 144}, {106, 107, 108, 109});

    int shelf = 0, x = 0;
    for (int n = 0; n < 14; ++n) {
        const std::size_t k = std::size_t(Rand()) % pairs.size();
        const auto [sound, pic] = pairs[k];
        const bool isShort = pic >= 106 && pic <= 109;
        if ((!isShort && x > 282) || (isShort && x > 307)) {
            shelf = std::min(shelf + 1, 3);
            x = 0;
        }
        CreateBrick(x + BankLeft, ShelfTops[shelf], sound, pic);
        x += isShort ? 85 : 110;
        pairs.erase(pairs.begin() + k);
    }
}

void Game::CreateBrick(int x, int y, int sound, int pic)
{
    auto brick = std::make_unique<Brick>();
    brick->soundName = std::to_wstring(sound);
    brick->homeX = x;
    brick->homeY = y;
    brick->picture = CreatePicture(x, y, std::to_wstring(pic), BrickLayer);
    brick->sound = CreateSound(brick->soundName);
    bricks.push_back(std::move(brick));
}

// ---------------------------------------------------------------------------
// Dragging

long Game::OnBoardMouseButton(const IMMouseEvent& e)
{
    // A press that follows the last one quickly and close by arrives as a
    // double click; it picks a brick up all the same.
    if (e.code == EventCode::LeftDown || e.code == EventCode::LeftDoubleClick) {
        auto it
            = std::find_if(bricks.begin(), bricks.end(), [this](const auto& b) { return b->picture == hoveredChild; });
        if (it != bricks.end()) {
            Brick& brick = **it;
            const Rect r = brick.picture->GetRect();
            brick.grabX = e.x - r.left;
            brick.grabY = e.y - r.top;
            brick.dragging = true;
            PlaySound(brick.sound);
            staff->RemoveBrick(&brick);
            SetChildLayer(brick.picture, HeldBrickLayer);
        }
    } else if (e.code == EventCode::LeftUp) {
        Drop();
    }
    return 0;
}

long Game::OnBoardMouseMove(const IMMouseEvent& e)
{
    if (!IsLeftButtonDown(e))
        return 0;
    for (const auto& brick : bricks)
        if (brick->dragging)
            brick->picture->SetPosition(e.x - brick->grabX, e.y - brick->grabY);
    return 0;
}

void Game::Drop()
{
    auto it = std::find_if(bricks.begin(), bricks.end(), [](const auto& b) { return b->dragging; });
    if (it == bricks.end())
        return;
    Brick& brick = **it;
    brick.dragging = false;
    StopSound(brick.sound);
    if (!staff->TryPlace(&brick))
        brick.picture->SetPosition(brick.homeX, brick.homeY);
    SetChildLayer(brick.picture, BrickLayer);
}
