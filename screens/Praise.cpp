// The praise: a cloud with a clip of a character saying one of five words,
// spoken at once; when the clip has played, the exercise step closes.

#include "screens/Praise.h"
#include "app/App.h"
#include "app/IMWindow.h"
#include "data/EmbeddedData.h"
#include "media/video/IMAnimationBase.h"
#include "platform/Random.h"
#include "toolkit/IMServices.h"
#include "toolkit/ScreenKit.h"

namespace {

struct PraiseMedia {
    const wchar_t* sound;  // the spoken word, registered under this name
    const char* clip;      // the clip that says it
};
constexpr PraiseMedia Praises[5] = {
    {L"bravo_sound", "bravo_video"},
    {L"gotovo_sound", "gotovo_video"},
    {L"molodec_sound", "molodec_video"},
    {L"otlichno_sound", "otlichno_video"},
    {L"ura_sound", "ura_video"},
};

using Clip = IMAnimationBase<IMTheoraView>;

// One of the five, from the program's 15-bit generator.
const PraiseMedia& ChoosePraise()
{
    return Praises[PraiseIndex(Rand())];
}

void PlayWord(const PraiseMedia& praise)
{
    PlaySound(CreateEmbeddedSound(praise.sound));
}

// The cloud above the clip: created after it in the same layer.
void CreateCloud(IMDialogBase* dialog, int x, int y)
{
    CreateEmbeddedPicture(dialog, x, y, L"oblako_png", 0);
}

void StartClip(Clip* clip, const PraiseMedia& praise, int x, int y)
{
    const auto bytes = FindEmbedded(std::string_view(praise.clip));
    clip->OpenVideo(bytes.data(), bytes.size());
    clip->SetPosition(x, y);
    clip->framePeriod = 5000;  // 12 frames a second
    clip->SetSize(320, 200);
}

}  // namespace

long App::ShowPraiseAt(int x, int y)
{
    auto* dialog = new IMDialogBase(mainWindow.get(), nullptr, 0);
    auto* clip = new Clip(dialog, 0);
    CreateCloud(dialog, x, y);
    const PraiseMedia& praise = ChoosePraise();
    PlayWord(praise);
    StartClip(clip, praise, x + 93, y + 76);
    clip->Finished.connect(Tracked<EventSlot>(clip, [this, clip](const IMEvent&) {
        clip->Close();
        if (stepDialog)
            stepDialog->Close();
        return 0L;
    }));
    clip->Start();
    return 0;
}
