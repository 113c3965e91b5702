#pragma once
// The gramophone: its button plays and stops the melody the pupil is to
// rebuild; while it plays, the record spins and the horn pulses. Not a control:
// its pictures are the board's children.

#include "toolkit/IMPictures.h"

#include "events/IMSignal.h"

class PlayerExample : public IMLifetime {
public:
    explicit PlayerExample(IMDialogBase* board);
    // A melody still playing stops, and its timer and end slot go with it.
    ~PlayerExample();
    PlayerExample(const PlayerExample&) = delete;
    PlayerExample& operator=(const PlayerExample&) = delete;

    void Play();
    long OnPlayClicked(IMStaticPictureBase<IMTextureView>* button);
    long OnMelodyEnded();
    long OnAnimationTick();

    std::uint32_t melody = 0;
    bool playing = false;
    int animationTimer = 0;
    int frame = 1;  // 0 to 7 after the first tick; never reset
    IMStaticPictureBase<IMTextureView>* record = nullptr;
    IMStaticPictureBase<IMTextureView>* horn = nullptr;

private:
    IMConnection endConnection;
};
