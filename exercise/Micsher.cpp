#include "exercise/Micsher.h"

#include "platform/Clock.h"
#include "toolkit/IMDialogBase.h"
#include "toolkit/IMServices.h"

#include <algorithm>

namespace {

constexpr int PlayheadTickMs = 80;
constexpr int StepMs = 2090;        // one slot position of the shelves
constexpr int PlayheadSteps = 317;  // pixels the playhead moves; the next tick ends the play

constexpr int SlotLefts[10] = {116, 142, 166, 191, 216, 243, 265, 290, 318, 341};
constexpr int SlotRights[10] = {141, 165, 190, 215, 242, 264, 289, 317, 340, 411};

struct Arrangement {
    std::vector<const wchar_t*> sounds;  // in the shelf's recognition slots, left to right
    const wchar_t* reference;            // heard instead of the bricks
};

const std::vector<int> UpperRecognitionSlots {0, 3, 6, 9};
const std::vector<int> LowerRecognitionSlots {0, 4, 8};
// The first arrangement of each shelf is the solution.
constexpr int SolutionArrangement = 0;
const std::vector<Arrangement> UpperArrangements {
    {{L"137", L"138", L"139", L"140"}, L"126"}, {{L"141", L"142", L"143", L"144"}, L"128"}};
const std::vector<Arrangement> LowerArrangements {
    {{L"134", L"135", L"136"}, L"127"}, {{L"131", L"132", L"133"}, L"129"}};

std::vector<Slot> MakeShelf(int top, int bottom)
{
    std::vector<Slot> shelf(10);
    for (int i = 0; i < 10; ++i)
        shelf[i].rect = {SlotLefts[i], top, SlotRights[i], bottom};
    return shelf;
}

}  // namespace

Micsher::Micsher(IMDialogBase* board)
    : upperSlots(MakeShelf(106, 156))
    , lowerSlots(MakeShelf(195, 245))
{
    board->CreatePicture(18, 12, L"113", 1);
    for (Point bolt : {Point {24, 16}, Point {484, 16}, Point {24, 246}, Point {484, 246}})
        board->CreatePicture(bolt.x, bolt.y, L"114", 2);
    speaker = board->CreatePicture(79, 29, L"124", 3);
    playhead = board->CreatePicture(87, 80, L"147", 15);
    playhead->SetRect({113, 80, 114, 267});
    playhead->Hide();
    auto* button = board->CreatePicture(581, 318, L"125", 4);
    button->SetRect({401, 34, 445, 78});
    button->ConnectClicked(
        Tracked<MouseSlot>(this, [this, button](const IMMouseEvent&) { return OnPlayClicked(button); }));
    board->CreatePicture(95, 102, L"116", 4);
}

// Stopping first, so that a reference sound stopped here cannot reach Completed.
Micsher::~Micsher()
{
    StopPlay();
    completionConnection.disconnect();
}

void Micsher::Reset()
{
    StopPlay();
    for (auto* shelf : {&upperSlots, &lowerSlots})
        for (Slot& slot : *shelf) {
            slot.occupied = false;
            slot.brick = nullptr;
        }
}

bool Micsher::RemoveBrick(Brick* brick)
{
    for (auto* shelf : {&upperSlots, &lowerSlots})
        for (Slot& slot : *shelf)
            if (slot.occupied && slot.brick == brick) {
                slot.occupied = false;
                slot.brick = nullptr;
                return true;
            }
    return false;
}

// ---------------------------------------------------------------------------
// Placing

bool Micsher::Fits(const Slot& slot, const std::vector<Slot>& shelf, const Brick& brick) const
{
    if (slot.occupied)
        return false;
    const Rect candidate {slot.rect.left, slot.rect.top, slot.rect.left + brick.picture->GetWidth(),
        slot.rect.top + brick.picture->GetHeight()};
    if (candidate.right > rightLimit)
        return false;
    for (const Slot& other : shelf)
        if (other.occupied && other.brick && Intersect(candidate, other.brick->picture->GetRect()))
            return false;
    return true;
}

void Micsher::Place(Slot& slot, Brick& brick)
{
    slot.occupied = true;
    slot.brick = &brick;
    brick.picture->SetPosition(slot.rect.left, slot.rect.top);
}

bool Micsher::PlaceOnShelf(std::vector<Slot>& shelf, const Rect& dropped, Brick& brick)
{
    // The first suitable slot under the brick, else the leftmost place where it fits.
    for (Slot& slot : shelf)
        if (Intersect(slot.rect, dropped) && Fits(slot, shelf, brick)) {
            Place(slot, brick);
            return true;
        }
    for (Slot& slot : shelf)
        if (Fits(slot, shelf, brick)) {
            Place(slot, brick);
            return true;
        }
    return false;
}

bool Micsher::TryPlace(Brick* brick)
{
    const Rect dropped = brick->picture->GetRect();
    if (Intersect(dropped, upperArea) && PlaceOnShelf(upperSlots, dropped, *brick))
        return true;
    if (Intersect(dropped, lowerArea))
        return PlaceOnShelf(lowerSlots, dropped, *brick);
    return false;
}

// ---------------------------------------------------------------------------
// Playing

bool Micsher::CheckRow(int row)
{
    const bool upper = row == 0;
    const std::vector<Slot>& shelf = upper ? upperSlots : lowerSlots;
    const std::vector<int>& recognition = upper ? UpperRecognitionSlots : LowerRecognitionSlots;
    std::uint32_t& rowSound = upper ? upperRowSound : lowerRowSound;
    int& rowArrangement = upper ? upperArrangement : lowerArrangement;
    const std::vector<Arrangement>& arrangements = upper ? UpperArrangements : LowerArrangements;
    for (std::size_t a = 0; a < arrangements.size(); ++a) {
        bool matches = true;
        for (std::size_t k = 0; k < recognition.size() && matches; ++k) {
            const Slot& slot = shelf[recognition[k]];
            matches = slot.occupied && slot.brick && slot.brick->sound == CreateSound(arrangements[a].sounds[k]);
        }
        if (matches) {
            rowSound = CreateSound(arrangements[a].reference);
            rowArrangement = static_cast<int>(a);
            return true;
        }
    }
    rowSound = 0;
    rowArrangement = -1;
    return false;
}

void Micsher::StartPlay()
{
    speaker->SetRect({79, 29, 112, 67});
    playhead->Show();
    playing = true;
    playStart = GetClock().Counter();
    animationTimer = AddTimer(PlayheadTickMs);
    ConnectTimer(animationTimer, this, [this](const IMEvent&) { return OnPlayheadTick(); });
    if (CheckRow(0))
        PlaySound(upperRowSound);
    if (CheckRow(1))
        PlaySound(lowerRowSound);
    if (upperArrangement == SolutionArrangement && lowerArrangement == SolutionArrangement) {
        // Asking for the reference again in CheckRow dropped any slot an earlier play connected.
        completionConnection
            = ConnectSoundEnded(upperRowSound, this, [this](std::uint32_t) { return OnUpperRowSoundEnded(); });
    }
    stepTimer = 0;
    PlayStep(0);
}

long Micsher::PlayStep(int index)
{
    RemoveTimer(stepTimer);
    if (index > 9)
        return 0;
    if (upperSlots[index].occupied && upperRowSound == 0)
        PlaySound(upperSlots[index].brick->sound);
    if (lowerSlots[index].occupied && lowerRowSound == 0)
        PlaySound(lowerSlots[index].brick->sound);
    // Each step is timed from the play's start, so the bricks of a shelf follow
    // each other exactly as they do in the tune, however late this turn came.
    const Clock& clock = GetClock();
    const std::int64_t elapsedMs = static_cast<std::int64_t>((clock.Counter() - playStart) * 1000 / clock.Frequency());
    const std::int64_t next = std::int64_t {index + 1} * StepMs;
    stepTimer = AddTimer(static_cast<int>(std::max<std::int64_t>(0, next - elapsedMs)));
    ConnectTimer(stepTimer, this, [this, index](const IMEvent&) { return PlayStep(index + 1); });
    return 0;
}

long Micsher::OnPlayheadTick()
{
    // The playhead shows where the music is, so it takes as many steps as the
    // clock says have passed since the play started: a turn that came late
    // (a slow frame) is made up at once instead of delaying every later tick.
    const Clock& clock = GetClock();
    const std::uint64_t elapsedMs = (clock.Counter() - playStart) * 1000 / clock.Frequency();
    const int due = static_cast<int>(std::min<std::uint64_t>(elapsedMs / PlayheadTickMs, PlayheadSteps + 1));
    do {
        // The 318th tick ends the play. It is not counted, because StopPlay
        // moves the playhead back by `ticks` and it has moved only 317 times.
        if (ticks + 1 > PlayheadSteps) {
            StopPlay();
            return 0;
        }
        Step();
    } while (ticks < due);
    return 0;
}

void Micsher::Step()
{
    ++ticks;
    const Point p = playhead->GetPosition();
    playhead->SetPosition(p.x + 1, p.y);
    Rect r = speaker->GetRect();
    if (ticks % 8 < 4) {
        r.right += 2;
        r.top -= 2;
        r.bottom += 2;
    } else {
        r.right -= 2;
        r.top += 2;
        r.bottom -= 2;
    }
    speaker->SetRect(r);
}

void Micsher::StopPlay()
{
    playhead->Hide();
    const Point p = playhead->GetPosition();
    playhead->SetPosition(p.x - ticks, p.y);
    ticks = 0;
    playing = false;
    StopSound(upperRowSound);
    StopSound(lowerRowSound);
    RemoveTimer(animationTimer);
    RemoveTimer(stepTimer);
    for (int i = 0; i < 10; ++i) {
        if (upperSlots[i].occupied)
            StopSound(upperSlots[i].brick->sound);
        if (lowerSlots[i].occupied)
            StopSound(lowerSlots[i].brick->sound);
    }
}

long Micsher::OnPlayClicked(IMStaticPictureBase<IMTextureView>*)
{
    if (playing)
        StopPlay();
    else
        StartPlay();
    return 0;
}

long Micsher::OnUpperRowSoundEnded()
{
    Emit(Completed);
    return 0;
}
