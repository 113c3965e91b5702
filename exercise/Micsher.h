#pragma once
// The staff: two shelves of slots on the board that hold the bricks the pupil
// drops there, play them slot position by slot position under a moving
// playhead, recognise the two known arrangements (heard through their
// reference recordings instead of the bricks) and announce completion when the
// solution has been played. Not a control: its pictures are the board's children.

#include "events/IMSignal.h"
#include "exercise/Brick.h"

#include <cstdint>
#include <string>
#include <vector>

class IMDialogBase;

struct Slot {
    Rect rect;                    // a brick placed here has its top-left corner at (left, top)
    std::wstring name = L"NULL";  // never read
    bool occupied = false;        // a brick starts here
    bool reserved = false;        // never read
    Brick* brick = nullptr;       // the brick that starts here, not owned
};

class Micsher : public IMLifetime {
public:
    explicit Micsher(IMDialogBase* board);
    ~Micsher();
    Micsher(const Micsher&) = delete;
    Micsher& operator=(const Micsher&) = delete;

    void Reset();
    bool RemoveBrick(Brick* brick);
    bool TryPlace(Brick* brick);
    void StartPlay();
    void StopPlay();
    long OnPlayClicked(IMStaticPictureBase<IMTextureView>* button);
    long PlayStep(int index);
    long OnPlayheadTick();
    long OnUpperRowSoundEnded();
    bool CheckRow(int row);

    IMConnection completionConnection;
    VoidSignal Completed;
    std::vector<Slot> upperSlots;
    std::vector<Slot> lowerSlots;
    int rightLimit = 416;
    Rect upperArea {95, 85, 428, 161};
    Rect lowerArea {96, 167, 428, 250};
    IMStaticPictureBase<IMTextureView>* playhead = nullptr;
    int ticks = 0;
    int animationTimer = 0;
    int stepTimer = 0;
    std::uint64_t playStart = 0;  // clock counter when the play started; the playhead follows it
    bool playing = false;
    IMStaticPictureBase<IMTextureView>* speaker = nullptr;
    std::uint32_t lowerRowSound = 0;
    std::uint32_t upperRowSound = 0;
    int upperArrangement = -1;  // the arrangement CheckRow recognised on each shelf; -1 none
    int lowerArrangement = -1;

private:
    bool Fits(const Slot& slot, const std::vector<Slot>& shelf, const Brick& brick) const;
    static void Place(Slot& slot, Brick& brick);
    bool PlaceOnShelf(std::vector<Slot>& shelf, const Rect& dropped, Brick& brick);
    // One step of the playhead to the right, with the speaker's pulse.
    void Step();
};
