#include "exercise/PlayerExample.h"

#include "toolkit/IMDialogBase.h"
#include "toolkit/IMServices.h"

namespace {
const wchar_t* const RecordPictures[4] = {L"119", L"121", L"122", L"123"};
}

PlayerExample::PlayerExample(IMDialogBase* board)
{
    board->CreatePicture(557, 134, L"117", 1);
    horn = board->CreatePicture(557, 134, L"120", 3);
    board->CreatePicture(594, 275, L"118", 1);
    record = board->CreatePicture(622, 270, L"119", 2);
    auto* button = board->CreatePicture(581, 318, L"125", 4);
    button->SetRect({581, 318, 625, 362});
    button->ConnectClicked(
        Tracked<MouseSlot>(this, [this, button](const IMMouseEvent&) { return OnPlayClicked(button); }));
    melody = CreateSound(L"145");
    endConnection = ConnectSoundEnded(melody, this, [this](std::uint32_t) { return OnMelodyEnded(); });
    frame = 1;
    playing = false;
}

PlayerExample::~PlayerExample()
{
    // Nothing of a destroyed board may run afterwards: the end notification of
    // the stop below finds no slot.
    endConnection.disconnect();
    if (playing) {
        StopSound(melody);
        RemoveTimer(animationTimer);
    }
}

void PlayerExample::Play()
{
    playing = true;
    PlaySound(melody);
    animationTimer = AddTimer(70);
    ConnectTimer(animationTimer, this, [this](const IMEvent&) { return OnAnimationTick(); });
}

long PlayerExample::OnPlayClicked(IMStaticPictureBase<IMTextureView>*)
{
    if (!playing) {
        Play();
        return 0;
    }
    playing = false;
    StopSound(melody);
    RemoveTimer(animationTimer);
    return 0;
}

long PlayerExample::OnMelodyEnded()
{
    playing = false;
    StopSound(melody);
    RemoveTimer(animationTimer);
    return 0;
}

long PlayerExample::OnAnimationTick()
{
    record->SetImage(RecordPictures[frame % 4]);
    Rect r = horn->GetRect();
    if (frame < 4) {
        r.left -= 2;
        r.top -= 4;
    } else {
        r.left += 2;
        r.top += 4;
    }
    horn->SetRect(r);
    if (++frame == 8)
        frame = 0;
    return 0;
}
